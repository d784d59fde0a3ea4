#include "System/Net/SocketType.h"

#include "support/Process.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace System::Net {
namespace {

struct Kind {
    const char* name;  // the python names of family and type
    int (*create)();
};

const std::vector<Kind> kKinds = {
    {"AF_INET SOCK_STREAM", SocketType::TCP},  {"AF_INET SOCK_DGRAM", SocketType::UDP},
    {"AF_INET SOCK_RAW", SocketType::RAW},     {"AF_INET6 SOCK_STREAM", SocketType::TCP6},
    {"AF_INET6 SOCK_DGRAM", SocketType::UDP6}, {"AF_INET6 SOCK_RAW", SocketType::RAW6},
};

int Option(int descriptor, int option) {
    int value = -1;
    socklen_t length = sizeof value;
    EXPECT_EQ(getsockopt(descriptor, SOL_SOCKET, option, &value, &length), 0);
    return value;
}

// What each factory makes, against what python's socket module gets from the same
// family, type and protocol 0: the family, type and protocol the platform reports for
// the new socket, or "error" and its number (a raw socket needs a protocol, so
// protocol 0 is refused for both families).
TEST(SocketType, EachFactoryMakesTheSocketThePlatformMakesForItsFamilyAndType) {
    std::vector<std::string> names;
    for (const Kind& kind : kKinds) {
        names.push_back(kind.name);
    }
    const auto expected = TestSupport::PythonLines(
        "import socket, sys\n"
        "for line in sys.stdin.read().split('\\n')[:-1]:\n"
        "    family, kind = (getattr(socket, name) for name in line.split())\n"
        "    try:\n"
        "        with socket.socket(family, kind, 0) as s:\n"
        "            print(*(s.getsockopt(socket.SOL_SOCKET, option) for option in\n"
        "                    (socket.SO_DOMAIN, socket.SO_TYPE, socket.SO_PROTOCOL)))\n"
        "    except OSError as e:\n"
        "        print('error', e.errno)\n",
        names);
    ASSERT_EQ(expected.size(), kKinds.size());
    for (size_t i = 0; i < kKinds.size(); ++i) {
        SCOPED_TRACE(kKinds[i].name);
        errno = 0;
        const int descriptor = kKinds[i].create();
        if (descriptor < 0) {
            EXPECT_EQ(descriptor, -1);
            EXPECT_EQ("error " + std::to_string(errno), expected[i]) << std::strerror(errno);
            continue;
        }
        EXPECT_EQ(std::to_string(Option(descriptor, SO_DOMAIN)) + " " +
                      std::to_string(Option(descriptor, SO_TYPE)) + " " +
                      std::to_string(Option(descriptor, SO_PROTOCOL)),
                  expected[i]);
        // Not inherited by programs the server starts.
        EXPECT_NE(fcntl(descriptor, F_GETFD) & FD_CLOEXEC, 0);
        close(descriptor);
    }
}

}  // namespace
}  // namespace System::Net
