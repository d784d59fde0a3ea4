#pragma once

#include <memory>

#include "System/IO/Stream.h"

namespace ZelvoRelay::Collections {

// A file a transfer keeps open beyond the chunk that moves, with the count of the table
// (TransferFiles) taken for it: the count is taken when the holder is made and given back when
// it is deleted, after the file is closed, so no transfer gives back a count it never took.
// Before, a transfer whose stream was set without a count gave one back when it ended, and the
// count wrapped: no file could be held again.
class HeldFile {
  public:
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    // Closes the file, then gives back the count.
    ~HeldFile();

    // A holder of one count of the table, with no file yet; null when the table has none left.
    [[nodiscard]] static std::unique_ptr<HeldFile> Take();

    // Holds file until the holder is deleted. REQUIRES: no file held yet.
    void Keep(std::unique_ptr<System::IO::Stream> file);
    // The file held. REQUIRES: Keep was called.
    [[nodiscard]] System::IO::Stream& File() const { return *mFile; }

  private:
    HeldFile() = default;

    std::unique_ptr<System::IO::Stream> mFile;  // the open file; null until Keep
};

}  // namespace ZelvoRelay::Collections
