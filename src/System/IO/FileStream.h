#pragma once

#include <cstdint>
#include <cstdio>

#include "System/IO/Stream.h"
#include "System/String.h"

namespace System::IO {

// A stream over a standard-library file. Modes 1, 2 and 5 create or truncate the file
// for reading and writing, mode 6 appends, kCreateNew creates a file that is not there
// yet, any other mode opens an existing file for reading; the system writes with mode 2
// and reads with mode 3. When the file cannot be opened every flag stays false and every
// operation does nothing.
class FileStream : public Stream {
  public:
    // Creates the file for reading and writing, and fails when anything is at its path: a
    // file, a directory, or a link, even one that leads nowhere. What it opens was never
    // written by another, whatever happened at the path since it was last looked at.
    static constexpr int kCreateNew = 8;

    FileStream(const String& path, int mode);
    ~FileStream() override;

    // The file position; 0 when the file is not open or the position cannot be told
    // (which counts as a failure).
    int64_t Position() const override;
    // Seek(value, 0).
    int64_t Position(int64_t value) override;
    // The size of the file, with every byte written so far flushed to it; 0 when it is not
    // open. The position does not move.
    int64_t Length() const override;

    // Closes the file once; the flags keep their values.
    void Close() override;
    void Flush() override;
    int Read(unsigned char* buffer, int offset, int count) override;
    // The next byte; at the end of the file this is 255 (EOF cut to 8 bits).
    unsigned char ReadByte() override;
    // fseek semantics (origin 2 counts forwards from the end); returns Position().
    int64_t Seek(int64_t offset, int origin) override;
    // Does nothing: a file keeps its size.
    void SetLength(int64_t) override {}
    void Write(const unsigned char* buffer, int offset, int count) override;
    void WriteByte(unsigned char value) override;

    // Whether the bytes from the position to the end of the file are exactly bytes. Reads
    // at most one buffer past their length, however long the file is. False when the file
    // is not open or a read fails.
    [[nodiscard]] bool HoldsExactly(const String& bytes);
    // Flushes the file to the disk (fflush, then fsync); false when either fails.
    [[nodiscard]] bool Sync();
    // True once a read, write, flush (a seek's or a length query's included), sync or
    // close of this file has failed, so a caller can tell a complete file from one cut
    // short by a full disk or an I/O error.
    [[nodiscard]] bool Failed() const { return mFailed; }
    // True when the file could not be opened because there is nothing at its path.
    [[nodiscard]] bool IsMissing() const { return mMissing; }
    // Why the file could not be opened (a directory, a pipe or a socket is refused too),
    // or why its first failed transfer (see Failed) failed, as the system words it; empty
    // while neither has happened.
    [[nodiscard]] const String& Error() const { return mError; }
    // The descriptor of the open file; -1 when it is not open.
    [[nodiscard]] int Descriptor() const { return mFile != nullptr ? fileno(mFile) : -1; }

  private:
    enum class Direction { None, Reading, Writing };
    // The C library requires a seek between a write and a following read (and the
    // other way round) on the same file.
    void Turn(Direction direction);
    // Flushes the bytes still held for writing, recording a failure. A seek would flush
    // them too, but when that flush fails the C library drops the bytes without a word: the
    // close then succeeds, and a file cut short would pass for complete.
    void FlushWrites() const;
    // Records a failure of the call just made, and the system's reason for the first one.
    void Fail() const;

    FILE* mFile{nullptr};                   // null when not open or after Close
    Direction mDirection{Direction::None};  // what the last transfer did
    mutable bool mFailed{false};            // see Failed; a length query may set it
    bool mMissing{false};                   // opening failed: nothing at the path
    mutable String mError;                  // see Error; set with mFailed
};

}  // namespace System::IO
