#include "System/Net/SocketType.h"

#include <signal.h>
#include <sys/socket.h>

#include <mutex>

namespace System::Net {

namespace {

int Create(int family, int type) {
    SocketType::IgnoreBrokenPipes();
    return socket(family, type | SOCK_CLOEXEC, 0);
}

}  // namespace

int SocketType::TCP() {
    return Create(AF_INET, SOCK_STREAM);
}

int SocketType::UDP() {
    return Create(AF_INET, SOCK_DGRAM);
}

int SocketType::RAW() {
    return Create(AF_INET, SOCK_RAW);
}

int SocketType::TCP6() {
    return Create(AF_INET6, SOCK_STREAM);
}

int SocketType::UDP6() {
    return Create(AF_INET6, SOCK_DGRAM);
}

int SocketType::RAW6() {
    return Create(AF_INET6, SOCK_RAW);
}

void SocketType::IgnoreBrokenPipes() {
    static std::once_flag once;
    std::call_once(once, [] { signal(SIGPIPE, SIG_IGN); });
}

}  // namespace System::Net
