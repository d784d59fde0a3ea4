#include "System/String.h"

#include "support/Process.h"
#include "support/Text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace System {
namespace {

using TestSupport::Bytes;
using TestSupport::Text;

// Hexadecimal behind an 'x', so that an empty field stays visible on an oracle's line.
std::string X(const std::string& bytes) {
    return "x" + TestSupport::LowerHex(bytes);
}

TEST(String, AssignmentCopiesDeeplyAndSurvivesAliasing) {
    String s("hello");
    String copy(s);
    s = s;
    EXPECT_EQ(Text(s), "hello");
    EXPECT_NE(copy.ToByteArray(), s.ToByteArray());
    s += s;
    EXPECT_EQ(Text(s), "hellohello");
    s -= "l";
    EXPECT_EQ(Text(s), "heoheo");
    String moved(std::move(s));
    EXPECT_EQ(Text(moved), "heoheo");
    EXPECT_EQ(s.ToByteArray(), nullptr);
}

TEST(String, PositionsAndCountsNearTheLimitOfTheirTypeDoNotWrap) {
    EXPECT_EQ(String("abcd").IndexOf("cd", 2, 0xFFFFFFFFu), 2);
    EXPECT_EQ(String("abcd").IndexOf("d", 0xFFFFFFF0u, 0x20u), -1);
    EXPECT_EQ(Text(String("abc").Substring(1, 0xFFFFFFFFu)), "bc");
    EXPECT_EQ(Text(String("abcdef").Remove(2, 0xFFFFFFFFu)), "ab");
    EXPECT_EQ(Text(String("abcdef").Remove(0xFFFFFFFFu, 2)), "abcdef");
    EXPECT_EQ(Text(String("ab").Insert(0xFFFFFFFFu, "x")), "abx");
}

TEST(String, SplitStartsFieldsAfterTheWholeSeparator) {
    EXPECT_EQ(Text(String("a::b").Split("::", 1)), "b");
    EXPECT_EQ(Text(String("a::b::c").Split("::", 2)), "c");
    // Occurrences do not overlap: ":::" holds one "::" and then a ":".
    EXPECT_EQ(Text(String("a:::b").Split("::", 1)), ":b");
    EXPECT_EQ(Text(String("a:::b").Split("::", 2)), "");
    EXPECT_EQ(Text(String("abc").Split(nullptr, 1)), "");
}

// Random byte strings over a small alphabet (so that searches hit), checked against
// python's bytes methods: searches with and without a window, replacing, case mapping,
// slicing and splitting.
TEST(String, AgreesWithPythonBytesOnRandomInputs) {
    std::mt19937 random(1234);
    const std::string alphabet("aAb \0\xE9", 6);
    auto randomText = [&](int maxLength) {
        std::string s(random() % (maxLength + 1), ' ');
        for (char& c : s) {
            c = alphabet[random() % alphabet.size()];
        }
        return s;
    };
    struct Case {
        std::string h, s, t, sep;
        uint32_t start, count;
    };
    std::vector<Case> cases;
    std::string input;
    for (int i = 0; i < 2000; ++i) {
        Case c{randomText(12), randomText(3), randomText(3), randomText(2), 0, 0};
        c.sep.erase(std::remove(c.sep.begin(), c.sep.end(), '\0'), c.sep.end());
        c.start = random() % 16;
        c.count = random() % 16;
        input += X(c.h) + ' ' + X(c.s) + ' ' + X(c.t) + ' ' + X(c.sep) + ' ' +
                 std::to_string(c.start) + ' ' + std::to_string(c.count) + '\n';
        cases.push_back(c);
    }
    const auto expected = TestSupport::PythonLines(R"(
import sys
def bx(f): return bytes.fromhex(f[1:])
def x(b): return 'x' + b.hex()
for line in sys.stdin:
    f = line.split()
    h, s, t, sep = bx(f[0]), bx(f[1]), bx(f[2]), bx(f[3])
    start, count = int(f[4]), int(f[5])
    n = len(h)
    fields = h.split(sep) if sep else [h]
    field = fields[count % 4] if count % 4 < len(fields) else b''
    out = [h.find(s, start, min(start + count, n)) if s else -1,
           h.find(s, start) if s else -1,
           h.find(s) if s else -1,
           x(h.replace(s, t) if s else h), x(h.lower()),
           x(h[start:start + count]), x(h[start:]), x(h[:start] + h[start + count:]),
           x(h[:start]), x(h[:start] + t + h[start:]), x(field),
           int(h.startswith(s)), int(h.endswith(s))]
    print(' '.join(str(v) for v in out))
)",
                                                   input);
    ASSERT_EQ(expected.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        const String h = Bytes(c.h), s = Bytes(c.s), t = Bytes(c.t);
        const std::vector<std::string> ours = {std::to_string(h.IndexOf(s, c.start, c.count)),
                                               std::to_string(h.IndexOf(s, c.start)),
                                               std::to_string(h.IndexOf(s)),
                                               X(Text(h.Replace(s, t))),
                                               X(Text(h.ToLower())),
                                               X(Text(h.Substring(c.start, c.count))),
                                               X(Text(h.Substring(c.start))),
                                               X(Text(h.Remove(c.start, c.count))),
                                               X(Text(h.Remove(c.start))),
                                               X(Text(h.Insert(c.start, t))),
                                               X(Text(h.Split(c.sep.c_str(), c.count % 4))),
                                               std::to_string(h.StartsWith(s)),
                                               std::to_string(h.EndsWith(s))};
        std::string line;
        for (const std::string& field : ours) {
            line += (line.empty() ? "" : " ") + field;
        }
        EXPECT_EQ(line, expected[i]) << X(c.h) << ' ' << X(c.s) << ' ' << X(c.t) << ' ' << X(c.sep)
                                     << ' ' << c.start << ' ' << c.count;
    }
}

// Parse is vsnprintf into a buffer of the needed size.
TEST(String, ParseFormatsAsSnprintfWithoutLengthLimit) {
    char expected[64];
    std::snprintf(expected, sizeof expected, "%+5d|%04X|%.3s|%g|%a", -7, 255, "hello", 0.1, -2.5);
    EXPECT_EQ(Text(String::Parse("%+5d|%04X|%.3s|%g|%a", -7, 255, "hello", 0.1, -2.5)), expected);
    EXPECT_EQ(Text(String::Parse("%c", 0)), std::string(1, '\0'));
    // A NULL format gives the empty string.
    const std::string big(5000, 'k');
    EXPECT_EQ(Text(String::Parse("<%s>", big.c_str())), "<" + big + ">");
    const char* nothing = nullptr;
    EXPECT_EQ(String::Parse(nothing).Length(), 0u);
}

}  // namespace
}  // namespace System
