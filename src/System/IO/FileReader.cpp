#include "System/IO/FileReader.h"

#include "System/Uninterrupted.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace System::IO {

int FileReader::OpenDescriptor(const String& path, int flags, bool& missing, String& error) {
    const char* name = path.ToByteArray();
    if (name == nullptr) {
        return -1;
    }
    // Opened without blocking: opening a named pipe would otherwise wait for the other
    // end for good.
    const int file = open(name, flags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (file < 0) {
        missing = errno == ENOENT;
        error = std::strerror(errno);
        return -1;
    }
    struct stat info {};
    if (fstat(file, &info) != 0) {
        error = std::strerror(errno);
    } else if (S_ISDIR(info.st_mode)) {
        error = std::strerror(EISDIR);
    } else if (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)) {
        error = "Not a regular file";
    } else if (!S_ISREG(info.st_mode) &&
               fcntl(file, F_SETFL, fcntl(file, F_GETFL) & ~O_NONBLOCK) != 0) {
        // A regular file's reads and writes never wait whatever the flag says, so only
        // another kind (a device) is made to block again.
        error = std::strerror(errno);
    } else {
        return file;
    }
    close(file);
    return -1;
}

FileReader::FileReader(const String& path) {
    String error;
    mDescriptor = OpenDescriptor(path, O_RDONLY, mMissing, error);
    mCanRead = mDescriptor >= 0;
    mCanSeek = mCanRead;
}

FileReader::~FileReader() {
    Close();
}

int64_t FileReader::Length() const {
    struct stat info {};
    return mDescriptor >= 0 && fstat(mDescriptor, &info) == 0 ? info.st_size : 0;
}

int64_t FileReader::Position(int64_t value) {
    return Seek(value, 0);
}

void FileReader::Close() {
    if (mDescriptor >= 0) {
        close(mDescriptor);
        mDescriptor = -1;
    }
}

int FileReader::Read(unsigned char* buffer, int offset, int count) {
    int read = 0;
    while (mDescriptor >= 0 && read < count) {
        const ssize_t got = Uninterrupted([&] {
            return ::read(mDescriptor, buffer + offset + read, static_cast<size_t>(count - read));
        });
        if (got <= 0) {
            break;
        }
        read += static_cast<int>(got);
    }
    mPosition += read;
    return read;
}

int64_t FileReader::Seek(int64_t offset, int origin) {
    if (mDescriptor >= 0) {
        const off_t position = lseek(mDescriptor, offset, origin);
        if (position >= 0) {
            mPosition = position;
        }
    }
    return mPosition;
}

}  // namespace System::IO
