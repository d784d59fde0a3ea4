#include "System/Net/Net.h"
#include "support/Process.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <utility>
#include <vector>

namespace System::Net {
namespace {

// Symbolic errors with their fixed texts, those a failed host, connection or send
// reports; the numbers come from the platform.
const std::vector<std::pair<std::string, std::string>> kTexts = {
    {"EACCES", "Permission Denied: Access in use"},
    {"EADDRINUSE", "Address already in use"},
    {"EADDRNOTAVAIL", "Cannot assign requested address"},
    {"ECONNRESET", "Connection reset by peer"},
    {"ENOTCONN", "Socket is not connected"},
    {"ETIMEDOUT", "Connection timed out"},
    {"ECONNREFUSED", "Connection refused"},
    {"EHOSTUNREACH", "No route to host"},
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
    errno = 0;
    EXPECT_EQ(Net::GetError(), String(""));
}

}  // namespace
}  // namespace System::Net
