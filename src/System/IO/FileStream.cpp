#include "System/IO/FileStream.h"

#include "System/IO/FileReader.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace System::IO {

FileStream::FileStream(const String& path, int mode) {
    const bool createNew = mode == kCreateNew;
    const bool create = mode == 1 || mode == 2 || mode == 5 || createNew;
    const bool append = mode == 6;
    // O_EXCL also refuses a link at the path, and a link is never followed.
    const int flags = createNew ? O_RDWR | O_CREAT | O_EXCL
                      : create  ? O_RDWR | O_CREAT | O_TRUNC
                      : append  ? O_WRONLY | O_CREAT | O_APPEND
                                : O_RDONLY;
    const int file = FileReader::OpenDescriptor(path, flags, mMissing, mError);
    if (file < 0) {
        return;
    }
    if ((mFile = fdopen(file, create ? "w+b" : append ? "ab" : "rb")) == nullptr) {
        mError = std::strerror(errno);
        close(file);
        return;
    }
    mCanRead = true;
    mCanSeek = true;
    mCanWrite = create || append;
}

FileStream::~FileStream() {
    Close();
}

int64_t FileStream::Position() const {
    if (mFile == nullptr) {
        return 0;
    }
    const off_t position = ftello(mFile);
    if (position < 0) {
        Fail();
        return 0;
    }
    return position;
}

int64_t FileStream::Position(int64_t value) {
    return Seek(value, 0);
}

int64_t FileStream::Length() const {
    if (mFile == nullptr) {
        return 0;
    }
    // Asked of the system rather than found by seeking to the end: the position stays, and
    // the bytes still held for writing are flushed by FlushWrites, which records a failure.
    FlushWrites();
    struct stat info {};
    if (fstat(fileno(mFile), &info) != 0) {
        Fail();
        return 0;
    }
    return info.st_size;
}

void FileStream::Close() {
    if (mFile == nullptr) {
        return;
    }
    if (std::fclose(mFile) != 0) {
        Fail();
    }
    mFile = nullptr;
    mLength = 0;
    mPosition = 0;
}

void FileStream::Flush() {
    if (mFile != nullptr && std::fflush(mFile) != 0) {
        Fail();
    }
}

bool FileStream::HoldsExactly(const String& bytes) {
    if (mFile == nullptr) {
        return false;
    }
    unsigned char buffer[64 * 1024];
    uint32_t compared = 0;
    for (int read; (read = Read(buffer, 0, sizeof buffer)) > 0;
         compared += static_cast<uint32_t>(read)) {
        if (static_cast<uint32_t>(read) > bytes.Length() - compared ||
            std::memcmp(buffer, bytes.CStr() + compared, static_cast<size_t>(read)) != 0) {
            return false;
        }
    }
    return compared == bytes.Length() && !mFailed;
}

bool FileStream::Sync() {
    if (mFile == nullptr) {
        return false;
    }
    if (std::fflush(mFile) != 0 || fsync(fileno(mFile)) != 0) {
        Fail();
        return false;
    }
    return true;
}

void FileStream::FlushWrites() const {
    if (mDirection == Direction::Writing && std::fflush(mFile) != 0) {
        Fail();
    }
}

void FileStream::Fail() const {
    // The first failure is the one to mend; what fails after it mostly follows from it.
    if (!mFailed) {
        mError = std::strerror(errno);
    }
    mFailed = true;
}

void FileStream::Turn(Direction direction) {
    if (mDirection != Direction::None && mDirection != direction) {
        FlushWrites();
        fseeko(mFile, 0, SEEK_CUR);
    }
    mDirection = direction;
}

int FileStream::Read(unsigned char* buffer, int offset, int count) {
    if (mFile == nullptr || !mCanRead || count <= 0) {
        return 0;
    }
    Turn(Direction::Reading);
    const size_t read = std::fread(buffer + offset, 1, static_cast<size_t>(count), mFile);
    // A short read is the end of the file or an error; only ferror tells them apart.
    if (read < static_cast<size_t>(count) && std::ferror(mFile) != 0) {
        Fail();
    }
    return static_cast<int>(read);
}

unsigned char FileStream::ReadByte() {
    if (mFile == nullptr || !mCanRead) {
        return 0;
    }
    Turn(Direction::Reading);
    return static_cast<unsigned char>(std::fgetc(mFile));
}

int64_t FileStream::Seek(int64_t offset, int origin) {
    if (mFile != nullptr && mCanSeek) {
        FlushWrites();
        fseeko(mFile, offset, origin);
    }
    return Position();
}

void FileStream::Write(const unsigned char* buffer, int offset, int count) {
    if (mFile == nullptr || !mCanWrite || count <= 0) {
        return;
    }
    Turn(Direction::Writing);
    if (std::fwrite(buffer + offset, 1, static_cast<size_t>(count), mFile) !=
        static_cast<size_t>(count)) {
        Fail();
    }
}

void FileStream::WriteByte(unsigned char value) {
    if (mFile == nullptr || !mCanWrite) {
        return;
    }
    Turn(Direction::Writing);
    if (std::fputc(value, mFile) == EOF) {
        Fail();
    }
}

}  // namespace System::IO
