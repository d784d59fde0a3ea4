#include "System/Utility/Base64.h"

#include "System/IO/FileStream.h"
#include "System/IO/MemoryStream.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using System::String;
using System::IO::MemoryStream;
using System::Utility::Base64;

namespace {

std::string Hex(const std::string& s) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : s) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

String Encode(const std::string& bytes) {
    std::vector<unsigned char> copy(bytes.begin(), bytes.end());
    MemoryStream input(copy.data(), static_cast<int32_t>(copy.size()));
    return Base64::Encode(input);
}

std::string Decode(const std::string& text) {
    MemoryStream output;
    Base64::Decode(String(text.data(), static_cast<uint32_t>(text.size())), output);
    return std::string(reinterpret_cast<const char*>(output.GetBuffer()),
                       static_cast<size_t>(output.Length()));
}

std::string Text(const String& s) {
    return std::string(s.CStr(), s.Length());
}

// Every length 0 to 300 of random bytes, checked both ways against python. Then the
// encodings are corrupted with bytes outside the alphabet, which must decode as
// 'A' (value 0) would.
TEST(Base64, AgreesWithPythonOnRandomBytesOfEveryLength) {
    std::mt19937 random(77);
    std::vector<std::string> inputs;
    std::ostringstream lines;
    for (int n = 0; n <= 300; ++n) {
        std::string bytes(n, '\0');
        for (char& c : bytes) {
            c = static_cast<char>(random());
        }
        lines << 'x' << Hex(bytes) << '\n';
        inputs.push_back(bytes);
    }
    auto encoded = TestSupport::RunPython(
        "import sys, base64\n"
        "for l in sys.stdin: print(base64.b64encode(bytes.fromhex(l.strip()[1:])).decode())\n",
        lines.str());
    ASSERT_EQ(encoded.exitCode, 0);
    std::istringstream expected(encoded.output);
    std::vector<std::string> corrupted;
    std::ostringstream corruptedLines;
    for (const std::string& bytes : inputs) {
        std::string text;
        ASSERT_TRUE(std::getline(expected, text));
        EXPECT_EQ(Text(Encode(bytes)), text) << bytes.size();
        EXPECT_EQ(Decode(text), bytes) << bytes.size();

        const std::string junk("\x80\xff\xe9{|}~*-_ \n\t\0", 14);
        for (char& c : text) {
            if (c != '=' && random() % 4 == 0) {
                c = junk[random() % junk.size()];
            }
        }
        corrupted.push_back(text);
        corruptedLines << 'x' << Hex(text) << '\n';
    }
    auto decoded = TestSupport::RunPython(
        "import sys, base64, re\n"
        "for l in sys.stdin:\n"
        "    t = re.sub(rb'[^A-Za-z0-9+/=]', b'A', bytes.fromhex(l.strip()[1:]))\n"
        "    print('x' + base64.b64decode(t, validate=True).hex())\n",
        corruptedLines.str());
    ASSERT_EQ(decoded.exitCode, 0);
    std::istringstream expectedBytes(decoded.output);
    for (const std::string& text : corrupted) {
        std::string hex;
        ASSERT_TRUE(std::getline(expectedBytes, hex));
        EXPECT_EQ('x' + Hex(Decode(text)), hex) << Hex(text);
    }
}

TEST(Base64, PaddingFollowsTheInputLength) {
    EXPECT_EQ(Text(Encode("")), "");
    EXPECT_EQ(Text(Encode("a")), "YQ==");
    EXPECT_EQ(Text(Encode("ab")), "YWI=");
    EXPECT_EQ(Text(Encode("abc")), "YWJj");
    EXPECT_EQ(Text(Encode("abcd")), "YWJjZA==");
    EXPECT_EQ(Decode("YQ=="), "a");
    EXPECT_EQ(Decode("YWI="), "ab");
    EXPECT_EQ(Decode("YWJj"), "abc");
    EXPECT_EQ(Decode(""), "");
}

TEST(Base64, EncodesFromTheCurrentPositionOnly) {
    unsigned char bytes[] = {'x', 'x', 'a', 'b'};
    MemoryStream input(bytes, sizeof bytes);
    input.Position(2);
    EXPECT_EQ(Text(Base64::Encode(input)), "YWI=");
    EXPECT_EQ(input.Position(), 4);
    EXPECT_EQ(Text(Base64::Encode(input)), "");
}

TEST(Base64, FileInputGetsNoBytesFromPastItsEnd) {
    TestSupport::TempDir dir;
    std::ofstream(dir.File("two.bin"), std::ios::binary) << "ab";
    System::IO::FileStream input(dir.File("two.bin").c_str(), 3);
    EXPECT_EQ(Text(Base64::Encode(input)), "YWI=");
}

TEST(Base64, DecodingValidatesNothing) {
    // A short last group counts its missing characters as 0, not as '='.
    EXPECT_EQ(Decode("YQ"), std::string("a\0\0", 3));
    // A line break is a character like any other and shifts every later group.
    EXPECT_EQ(Decode("YW\nJjZA=="), Decode("YWAJ") + Decode("jZA=") + Decode("=AAA"));
    // Bytes past the table (high bit set) and '=' in the middle count as 0.
    EXPECT_EQ(Decode("\xff\x80\x7b="), std::string("\0\0", 2));
    EXPECT_EQ(Decode("Y=WI"), Decode("YAWI"));
}

}  // namespace
