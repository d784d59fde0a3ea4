#include "System/Utility/Convert.h"

#include "support/Text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace System::Utility {
namespace {

using TestSupport::Text;

TEST(Convert, HexAgreesWithTheCLibrary) {
    std::mt19937 random(5);
    char text[16];
    for (int i = 0; i < 2000; ++i) {
        const uint32_t value = random() >> (random() % 32);
        std::snprintf(text, sizeof text, i % 2 ? "%x" : "%X", value);
        EXPECT_EQ(Convert::HexToDec(text), static_cast<int32_t>(std::strtoul(text, nullptr, 16)))
            << text;
        const int n = static_cast<int>(value >> 1);
        std::snprintf(text, sizeof text, "%X", n);
        EXPECT_EQ(Text(Convert::DecToHex(n)), text);
    }
    EXPECT_EQ(Convert::HexToDec(""), 0);
    EXPECT_EQ(Convert::HexToDec("1FFFFFFFF"), -1);
    // Characters outside the digits are not checked: 'G' is 23, a space -16.
    EXPECT_EQ(Convert::HexToDec("G"), 23);
    EXPECT_EQ(Convert::HexToDec("1 "), 0);
    EXPECT_EQ(Text(Convert::DecToHex(-1)), "");
}

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
    std::mt19937 random(9);
    char text[16];
    for (int i = 0; i < 1000; ++i) {
        const int value = static_cast<int>(random());
        std::snprintf(text, sizeof text, "%d", value);
        EXPECT_EQ(Convert::ToInt(text), value);
    }
    EXPECT_EQ(Convert::ToInt("2147483648"), INT_MAX);
    EXPECT_EQ(Convert::ToInt("-2147483649"), INT_MIN);
    EXPECT_EQ(Convert::ToInt("99999999999999999999999"), INT_MAX);
    EXPECT_EQ(Convert::ToInt(String("12\0"
                                    "3",
                                    4)),
              12);
}

TEST(Convert, ToDoubleReadsLikeStrtod) {
    const char* texts[] = {
        "1.5e3", "  -0.25x", ".5",     "1e",  "0x", "0x1p3", "inf",
        "-inf",  "1e400",    "1e-320", "abc", "e5", "",      "3.141592653589793"};
    for (const char* text : texts) {
        EXPECT_EQ(Convert::ToDouble(text), std::strtod(text, nullptr)) << text;
    }
    std::mt19937_64 random(3);
    char text[40];
    for (int i = 0; i < 1000; ++i) {
        const double value =
            std::ldexp(static_cast<double>(random() >> 11), int(random() % 200) - 150);
        std::snprintf(text, sizeof text, "%.17g", i % 2 ? value : -value);
        EXPECT_EQ(Convert::ToDouble(text), i % 2 ? value : -value) << text;
    }
}

TEST(Convert, FlagsAndByteOrder) {
    EXPECT_TRUE(Convert::ToBool("TrUe"));
    EXPECT_TRUE(Convert::ToBool(Convert::ToString(true)));
    EXPECT_FALSE(Convert::ToBool(Convert::ToString(false)));
    for (const char* text : {"1", "yes", " true", "", "true "}) {
        EXPECT_FALSE(Convert::ToBool(text)) << text;
    }
    EXPECT_EQ(Text(Convert::ToString(false)), "false");

    unsigned char four[] = {1, 2, 3, 4};
    Convert::SwapEndian(four, 4);
    EXPECT_EQ(std::string(four, four + 4), "\x04\x03\x02\x01");
    unsigned char three[] = {1, 2, 3};
    Convert::SwapEndian(three, 3);
    EXPECT_EQ(std::string(three, three + 3), "\x03\x02\x01");
    Convert::SwapEndian(three, 1);
    Convert::SwapEndian(nullptr, 0);
    EXPECT_EQ(three[0], 3);
}

}  // namespace
}  // namespace System::Utility
