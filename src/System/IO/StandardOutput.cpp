#include "System/IO/StandardOutput.h"

#include <unistd.h>

#include <cerrno>
#include <mutex>

namespace System::IO {

bool StandardOutput::Write(const char* data, size_t length) {
    static std::mutex writing;
    const std::lock_guard<std::mutex> lock(writing);
    while (length > 0) {
        const ssize_t written = write(STDOUT_FILENO, data, length);
        // The stop signals' handler does not have the system restart the write it lands in:
        // given up there, a line waiting for a stalled terminal or pipe would lose its end,
        // and the C library's buffer forgets what it could not write.
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        data += written;
        length -= static_cast<size_t>(written);
    }
    return true;
}

}  // namespace System::IO
