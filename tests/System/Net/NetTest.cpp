#include "System/Net/Net.h"
#include "support/Process.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <utility>
#include <vector>

namespace System::Net {
namespace {

// Each symbolic error with its fixed text; the numbers come from the platform.
const std::vector<std::pair<std::string, std::string>> kTexts = {
    {"EINTR", "Interrupted function call"},
    {"EAGAIN", "Resource temporarily unavailable"},
    {"EACCES", "Permission Denied: Access in use"},
    {"EFAULT", "Bad address"},
    {"EINVAL", "Invalid argument"},
    {"EMFILE", "Too many open files"},
    {"ENOTSOCK", "Socket operation on nonsocket"},
    {"EDESTADDRREQ", "Destination address required"},
    {"EMSGSIZE", "Message too long"},
    {"EPROTOTYPE", "Protocol wrong type for socket"},
    {"ENOPROTOOPT", "Bad protocol option"},
    {"EPROTONOSUPPORT", "Protocol not supported"},
    {"ESOCKTNOSUPPORT", "Socket type not supported"},
    {"EOPNOTSUPP", "Operation not supported"},
    {"EPFNOSUPPORT", "Protocol family not supported"},
    {"EAFNOSUPPORT", "Address family not supported by protocol family"},
    {"EADDRINUSE", "Address already in use"},
    {"EADDRNOTAVAIL", "Cannot assign requested address"},
    {"ENETDOWN", "Network is down"},
    {"ENETUNREACH", "Network is unreachable"},
    {"ENETRESET", "Network dropped connection on reset"},
    {"ECONNABORTED", "Software caused connection abort"},
    {"ECONNRESET", "Connection reset by peer"},
    {"ENOBUFS", "No buffer space available"},
    {"EISCONN", "Socket is already connected"},
    {"ENOTCONN", "Socket is not connected"},
    {"ESHUTDOWN", "Cannot send after socket shutdown"},
    {"ETIMEDOUT", "Connection timed out"},
    {"ECONNREFUSED", "Connection refused"},
    {"EHOSTDOWN", "Host is down"},
    {"EHOSTUNREACH", "No route to host"},
    {"EALREADY", "Operation already in progress"},
    {"EINPROGRESS", "Operation now in progress"},
};

TEST(Net, ErrorTextsFollowTheErrorNumbersOfThePlatform) {
    std::vector<std::string> names;
    for (const auto& entry : kTexts) {
        names.push_back(entry.first);
    }
    const auto numbers = TestSupport::PythonLines(
        "import errno, sys\n"
        "for name in sys.stdin.read().split():\n"
        "    print(getattr(errno, name))\n",
        names);
    ASSERT_EQ(numbers.size(), kTexts.size());
    for (size_t i = 0; i < kTexts.size(); ++i) {
        const auto& entry = kTexts[i];
        const int number = std::stoi(numbers[i]);
        EXPECT_EQ(Net::GetError(number), String(entry.second.c_str())) << entry.first;
        errno = number;
        EXPECT_EQ(Net::GetError(), String(entry.second.c_str())) << entry.first;
        EXPECT_EQ(Net::GetErrorId(), number);
        EXPECT_EQ(Net::GetErrorType(), number);
    }
}

TEST(Net, NumbersWithoutATextGiveTheEmptyText) {
    for (int number : {0, 1, 9, 109, 116, -1}) {
        errno = number;
        EXPECT_EQ(Net::GetError(), String("")) << number;
    }
    EXPECT_TRUE(Net::Init(2, 2));
}

}  // namespace
}  // namespace System::Net
