#include "System/Utility/Base64.h"

#include "System/IO/FileStream.h"
#include "System/IO/MemoryStream.h"
#include "support/Process.h"
#include "support/TempDir.h"
#include "support/Text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace System::Utility {
namespace {

using IO::MemoryStream;
using TestSupport::LowerHex;
using TestSupport::Text;

String Encode(const std::string& bytes) {
    std::vector<unsigned char> copy(bytes.begin(), bytes.end());
    MemoryStream input(copy.data(), static_cast<int32_t>(copy.size()));
    return Base64::Encode(input);
}

std::string Decode(const std::string& text) {
    MemoryStream output;
    Base64::Decode(TestSupport::Bytes(text), output);
    return std::string(reinterpret_cast<const char*>(output.GetBuffer()),
                       static_cast<size_t>(output.Length()));
}

// Every length 0 to 300 of random bytes, checked both ways against python. Then the
// encodings are corrupted with bytes outside the alphabet, which must decode as
// 'A' (value 0) would.
TEST(Base64, AgreesWithPythonOnRandomBytesOfEveryLength) {
    std::mt19937 random(77);
    std::vector<std::string> inputs;
    std::vector<std::string> lines;
    for (int n = 0; n <= 300; ++n) {
        std::string bytes(n, '\0');
        for (char& c : bytes) {
            c = static_cast<char>(random());
        }
        lines.push_back('x' + LowerHex(bytes));
        inputs.push_back(bytes);
    }
    const auto encoded = TestSupport::PythonLines(
        "import sys, base64\n"
        "for l in sys.stdin: print(base64.b64encode(bytes.fromhex(l.strip()[1:])).decode())\n",
        lines);
    ASSERT_EQ(encoded.size(), inputs.size());
    std::vector<std::string> corrupted;
    std::vector<std::string> corruptedLines;
    for (size_t i = 0; i < inputs.size(); ++i) {
        const std::string& bytes = inputs[i];
        std::string text = encoded[i];
        EXPECT_EQ(Text(Encode(bytes)), text) << bytes.size();
        EXPECT_EQ(Decode(text), bytes) << bytes.size();

        const std::string junk("\x80\xff\xe9{|}~*-_ \n\t\0", 14);
        for (char& c : text) {
            if (c != '=' && random() % 4 == 0) {
                c = junk[random() % junk.size()];
            }
        }
        corrupted.push_back(text);
        corruptedLines.push_back('x' + LowerHex(text));
    }
    const auto decoded = TestSupport::PythonLines(
        "import sys, base64, re\n"
        "for l in sys.stdin:\n"
        "    t = re.sub(rb'[^A-Za-z0-9+/=]', b'A', bytes.fromhex(l.strip()[1:]))\n"
        "    print('x' + base64.b64decode(t, validate=True).hex())\n",
        corruptedLines);
    ASSERT_EQ(decoded.size(), corrupted.size());
    for (size_t i = 0; i < corrupted.size(); ++i) {
        EXPECT_EQ('x' + LowerHex(Decode(corrupted[i])), decoded[i]) << LowerHex(corrupted[i]);
    }
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
    TestSupport::WriteFile(dir.File("two.bin"), "ab");
    IO::FileStream input(dir.File("two.bin").c_str(), 3);
    EXPECT_EQ(Text(Base64::Encode(input)), "YWI=");
}

TEST(Base64, DecodingValidatesNothing) {
    // A short last group counts its missing characters as 0, not as '='.
    EXPECT_EQ(Decode("YQ"), std::string("a\0\0", 3));
    // '=' in the middle counts as 0.
    EXPECT_EQ(Decode("Y=WI"), Decode("YAWI"));
}

}  // namespace
}  // namespace System::Utility
