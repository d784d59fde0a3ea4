#pragma once

#include <cstdint>

#include "System/IO/Stream.h"
#include "System/String.h"

namespace System::IO {

// A regular file open for reading through its descriptor alone, with no buffer of its own:
// for files held open by the thousand, such as downloads. The C library links every file it
// opens into one list that each close searches, and gives each a buffer, so with 16,000
// downloads open each one's end cost as much as all of them (a stop took 6-9 s to close
// them) and each held 4 KiB more. When the file cannot be opened every flag stays false and
// every operation does nothing.
class FileReader : public Stream {
  public:
    // The descriptor of the file at path opened with flags (those of open), refusing what
    // is not a regular file: a directory opens for reading but reports an endless length,
    // and a pipe or socket has no length and may never end, so no reader may size a buffer
    // from them or wait on them for good. A named pipe does not block the opening. -1 on
    // failure, with missing set when nothing is at the path and error saying why.
    static int OpenDescriptor(const String& path, int flags, bool& missing, String& error);

    explicit FileReader(const String& path);
    ~FileReader() override;

    // The size of the file now; 0 when it is not open or its size cannot be told.
    int64_t Length() const override;
    // Seek(value, 0).
    int64_t Position(int64_t value) override;
    using Stream::Position;

    // Closes the file once; the flags keep their values.
    void Close() override;
    // Does nothing: nothing is written.
    void Flush() override {}
    // Reads up to count bytes from the position on, fewer only at the end of the file or on
    // a read error.
    int Read(unsigned char* buffer, int offset, int count) override;
    // fseek semantics (origin 2 counts forwards from the end); returns the position.
    int64_t Seek(int64_t offset, int origin) override;
    // Do nothing: the file is only read.
    void SetLength(int64_t) override {}
    void Write(const unsigned char*, int, int) override {}

    // The descriptor of the open file; -1 when it is not open.
    [[nodiscard]] int Descriptor() const { return mDescriptor; }
    // True when the file could not be opened because there is nothing at its path.
    [[nodiscard]] bool IsMissing() const { return mMissing; }

  private:
    int mDescriptor{-1};
    bool mMissing{false};
};

}  // namespace System::IO
