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

TEST(String, EmptyStringsHoldNoBuffer) {
    for (const String& s : {String(), String(nullptr), String(""), String("abc", 0)}) {
        EXPECT_EQ(s.Length(), 0u);
        EXPECT_EQ(s.ToByteArray(), nullptr);
        EXPECT_STREQ(s.CStr(), "");
    }
    EXPECT_EQ(String("abc").Substring(1, 0).ToByteArray(), nullptr);
    EXPECT_EQ((String("ab") - "ab").ToByteArray(), nullptr);
    EXPECT_EQ(String("   ").Trim().ToByteArray(), nullptr);
    EXPECT_EQ(String::Parse("%s", "").ToByteArray(), nullptr);
}

TEST(String, ZeroBytesCountLikeAnyOther) {
    const String s("a\0b", 3);
    EXPECT_EQ(s.ToByteArray()[3], 0);
    EXPECT_EQ(String("a\0b").Length(), 1u);
    EXPECT_EQ(Text(s + s), std::string("a\0ba\0b", 6));
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

TEST(String, AccessBeyondTheEndGivesZero) {
    const String s("abc");
    EXPECT_EQ(s[2], 'c');
    EXPECT_EQ(s[3], 0);
    EXPECT_EQ(s.At(3), 0);
    EXPECT_EQ(String().At(0), 0);
    EXPECT_EQ(String::Length("abc"), 3u);

    char dest[8] = "-------";
    s.CopyTo(1, dest, 2, 100);
    EXPECT_STREQ(dest, "--bc---");
    s.CopyTo(3, dest, 0, 1);
    EXPECT_STREQ(dest, "--bc---");
}

TEST(String, EqualityThroughObjectIsIdentity) {
    const String a("same");
    const String b("same");
    const Object& oa = a;
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(oa == static_cast<const Object&>(b));
    EXPECT_TRUE(oa == oa);
    EXPECT_TRUE(String("ab") != String("ab ", 3));
}

TEST(String, PositionsAndCountsNearTheLimitOfTheirTypeDoNotWrap) {
    EXPECT_EQ(String("abcd").IndexOf("cd", 2, 0xFFFFFFFFu), 2);
    EXPECT_EQ(String("abcd").IndexOf("d", 0xFFFFFFF0u, 0x20u), -1);
    EXPECT_EQ(String("abcd").EndIndexOf("d", 0xFFFFFFFFu, 0xFFFFFFFFu), 3);
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
// python's bytes methods: comparison, searches with and without a window, replacing,
// trimming, case mapping, slicing and splitting.
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
    e = min(start, n)
    lo = e - min(count, e)
    ls = len(s)
    end_index = max([p for p in range(0, e - ls + 1) if p + ls >= lo and h[p:p+ls] == s] or [-1]) if ls else -1
    def trim_end(x):
        while s and x.endswith(s): x = x[:-ls]
        return x
    def trim_start(x):
        while s and x.startswith(s): x = x[ls:]
        return x
    fields = h.split(sep) if sep else [h]
    field = fields[count % 4] if count % 4 < len(fields) else b''
    out = [(h > s) - (h < s),
           h.find(s, start, min(start + count, n)) if s else -1,
           h.find(s, start) if s else -1,
           h.find(s) if s else -1,
           h.rfind(s) if s else -1,
           h.rfind(s, 0, e) if s else -1,
           end_index,
           x(h.replace(s, t) if s else h),
           x(trim_end(h)), x(trim_start(h)), x(trim_start(trim_end(h))),
           x(h.strip(b' ')), x(h.upper()), x(h.lower()), x(h[::-1]),
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
        const std::vector<std::string> ours = {std::to_string(h.CompareTo(s)),
                                               std::to_string(h.IndexOf(s, c.start, c.count)),
                                               std::to_string(h.IndexOf(s, c.start)),
                                               std::to_string(h.IndexOf(s)),
                                               std::to_string(h.EndIndexOf(s)),
                                               std::to_string(h.EndIndexOf(s, c.start)),
                                               std::to_string(h.EndIndexOf(s, c.start, c.count)),
                                               X(Text(h.Replace(s, t))),
                                               X(Text(h.TrimEnd(s))),
                                               X(Text(h.TrimStart(s))),
                                               X(Text(h.Trim(s))),
                                               X(Text(h.Trim())),
                                               X(Text(h.ToUpper())),
                                               X(Text(h.ToLower())),
                                               X(Text(h.Reverse())),
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

TEST(String, ParseMatchesSnprintf) {
    const char* texts[] = {"", "a", "hello world", "\xE9t\xE9", "%d literal"};
    const int ints[] = {0, 1, -1, 7, 255, 65535, -2147483647 - 1, 2147483647};
    const double doubles[] = {0.0, 0.1, -2.5, 1e-300, 1e300, 3.141592653589793, -0.0};
    char expected[512];
    for (int v : ints) {
        for (const char* format : {"%d", "%02d", "%04X", "%x", "%+5d|%-5d|", "%u", "%o"}) {
            std::snprintf(expected, sizeof expected, format, v, v);
            EXPECT_EQ(Text(String::Parse(format, v, v)), expected) << format << ' ' << v;
        }
    }
    for (double v : doubles) {
        for (const char* format : {"%.16f", "%f", "%g", "%e", "%10.3f", "%a"}) {
            std::snprintf(expected, sizeof expected, format, v);
            EXPECT_EQ(Text(String::Parse(format, v)), expected) << format << ' ' << v;
        }
    }
    for (const char* text : texts) {
        for (const char* format : {"%s", "[%10s]", "%.3s", "%s%d_%d"}) {
            std::snprintf(expected, sizeof expected, format, text, 4, 5);
            EXPECT_EQ(Text(String::Parse(format, text, 4, 5)), expected) << format;
        }
    }
    EXPECT_EQ(Text(String::Parse("%c", 0)), std::string(1, '\0'));
    // No length limit; a NULL format gives the empty string.
    const std::string big(5000, 'k');
    EXPECT_EQ(Text(String::Parse("<%s>", big.c_str())), "<" + big + ">");
    const char* nothing = nullptr;
    EXPECT_EQ(String::Parse(nothing).Length(), 0u);

    auto shell = TestSupport::RunProcess({"printf", "%04X|%02d|%.16f\\n", "255", "7", "0.1"});
    ASSERT_EQ(shell.exitCode, 0);
    EXPECT_EQ(Text(String::Parse("%04X|%02d|%.16f\n", 255, 7, 0.1)), shell.output);
}

TEST(String, ScanMatchesSscanf) {
    const char* inputs[] = {"42",  "  -17 rest", "0x1F",    "12abc", "abc",        "",
                            "3.5", "1e3 7",      "+8 9 10", "-0",    "2147483647", "4 x"};
    for (const char* text : inputs) {
        int ours[3] = {-5, -5, -5}, theirs[3] = {-5, -5, -5};
        EXPECT_EQ(String(text).Scan("%d %d %d", &ours[0], &ours[1], &ours[2]),
                  std::sscanf(text, "%d %d %d", &theirs[0], &theirs[1], &theirs[2]))
            << text;
        EXPECT_EQ(std::vector<int>(ours, ours + 3), std::vector<int>(theirs, theirs + 3));

        double d1 = -1, d2 = -1;
        char word1[16] = {}, word2[16] = {};
        EXPECT_EQ(String(text).Scan("%lf%15s", &d1, word1),
                  std::sscanf(text, "%lf%15s", &d2, word2))
            << text;
        EXPECT_EQ(d1, d2);
        EXPECT_STREQ(word1, word2);
    }
    const char* nothing = nullptr;
    EXPECT_EQ(String("42").Scan(nothing), 0);
    // Scanning stops at the first zero byte.
    int a = 0, b = 0;
    EXPECT_EQ(String("1\0002", 3).Scan("%d%d", &a, &b), 1);
}

}  // namespace
}  // namespace System
