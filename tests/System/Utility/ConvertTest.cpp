#include "System/Utility/Convert.h"

#include "support/Text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>

namespace System::Utility {
namespace {

using TestSupport::Text;

TEST(Convert, ToIntReadsLikeScanfAndClampsPastTheRange) {
    const char* texts[] = {"0",    "42",  "  -42abc", "+7",         "\t\n 12 13",  "12abc",   "abc",
                           "0x1F", "-",   "+",        "2147483647", "-2147483648", "0000012", "-0",
                           " 1.9", "--1", ""};
    for (const char* text : texts) {
        int expected = 0;
        std::sscanf(text, "%d", &expected);
        EXPECT_EQ(Convert::ToInt(text), expected) << text;
        EXPECT_EQ(Convert::ToInt(text), std::strtol(text, nullptr, 10)) << text;
    }
    EXPECT_EQ(Convert::ToInt("2147483648"), INT_MAX);
    EXPECT_EQ(Convert::ToInt("-2147483649"), INT_MIN);
    EXPECT_EQ(Convert::ToInt("99999999999999999999999"), INT_MAX);
    EXPECT_EQ(Convert::ToInt(String("12\0"
                                    "3",
                                    4)),
              12);
}

}  // namespace
}  // namespace System::Utility
