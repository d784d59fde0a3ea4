#include "System/String.h"

#include "support/Process.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using System::String;

namespace {

std::string Bytes(const String& s) {
    return std::string(s.CStr(), s.Length());
}

String FromBytes(const std::string& s) {
    return String(s.data(), static_cast<uint32_t>(s.size()));
}

std::string Hex(const std::string& s) {
    static const char digits[] = "0123456789abcdef";
    std::string out = "x";  // keeps an empty field visible on the line
    for (unsigned char c : s) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
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
    ASSERT_EQ(s.Length(), 3u);
    EXPECT_EQ(s.ToByteArray()[1], 0);
    EXPECT_EQ(s.ToByteArray()[3], 0);
    EXPECT_GT(s.CompareTo("a"), 0);
    EXPECT_EQ(String("a\0b").Length(), 1u);
    EXPECT_EQ(s.IndexOf(String("\0b", 2)), 1);
    EXPECT_EQ(Bytes(s + s), std::string("a\0ba\0b", 6));
}

TEST(String, AssignmentCopiesDeeplyAndSurvivesAliasing) {
    String s("hello");
    String copy(s);
    s = s;
    EXPECT_EQ(Bytes(s), "hello");
    EXPECT_NE(copy.ToByteArray(), s.ToByteArray());
    s += s;
    EXPECT_EQ(Bytes(s), "hellohello");
    s -= "l";
    EXPECT_EQ(Bytes(s), "heoheo");
    String moved(std::move(s));
    EXPECT_EQ(Bytes(moved), "heoheo");
    EXPECT_EQ(s.Length(), 0u);
    EXPECT_EQ(s.ToByteArray(), nullptr);
}

TEST(String, AccessBeyondTheEndGivesZero) {
    const String s("abc");
    EXPECT_EQ(s[2], 'c');
    EXPECT_EQ(s[3], 0);
    EXPECT_EQ(s.At(3), 0);
    EXPECT_EQ(String().At(0), 0);
    EXPECT_EQ(String::Length("abc"), 3u);
    EXPECT_EQ(String::Length(""), 0u);

    char dest[8] = "-------";
    s.CopyTo(1, dest, 2, 100);
    EXPECT_STREQ(dest, "--bc---");
    s.CopyTo(3, dest, 0, 1);
    EXPECT_STREQ(dest, "--bc---");
}

TEST(String, EqualityThroughObjectIsIdentity) {
    const String a("same");
    const String b("same");
    const System::Object& oa = a;
    const System::Object& ob = b;
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(oa == ob);
    EXPECT_TRUE(oa == oa);
    EXPECT_EQ(oa.GetType(), typeid(String));
}

TEST(String, CompareToOrdersUnsignedBytesThenLength) {
    EXPECT_EQ(String("abc").CompareTo("abd"), -1);
    EXPECT_EQ(String("ab").CompareTo("abc"), -1);
    EXPECT_EQ(String("b").CompareTo("abc"), 1);
    EXPECT_EQ(String().CompareTo(""), 0);
    EXPECT_EQ(String("\xE9").CompareTo("z"), 1);
    EXPECT_TRUE(String("A") < String("a"));
    EXPECT_TRUE(String("ab") <= String("ab"));
    EXPECT_TRUE(String("ab") >= String("ab"));
    EXPECT_TRUE(String("b") > String("ab"));
    EXPECT_TRUE(String("ab") != String("ab ", 3));
    EXPECT_TRUE(String("abc").StartsWith(""));
    EXPECT_TRUE(String("abc").StartsWith("ab"));
    EXPECT_FALSE(String("abc").StartsWith("abcd"));
    EXPECT_TRUE(String("abc").EndsWith("bc"));
    EXPECT_TRUE(String().EndsWith(""));
    EXPECT_FALSE(String("abc").EndsWith("ab"));
    EXPECT_FALSE(String("bc").EndsWith("abc"));
}

TEST(String, SearchEdges) {
    EXPECT_EQ(String("abc").IndexOf(""), -1);
    EXPECT_EQ(String().IndexOf(""), -1);
    EXPECT_EQ(String("aaa").IndexOf("aa"), 0);
    EXPECT_EQ(String("abc").IndexOf("c", 4), -1);
    EXPECT_EQ(String("abcd").IndexOf("c", 2, 1), 2);
    EXPECT_EQ(String("abcd").IndexOf("cd", 2, 1), -1);
    EXPECT_EQ(String("abcd").IndexOf("cd", 2, 0xFFFFFFFFu), 2);
    EXPECT_EQ(String("abcd").IndexOf("d", 0xFFFFFFF0u, 0x20u), -1);

    EXPECT_EQ(String("abca").EndIndexOf("a"), 3);
    EXPECT_EQ(String("abca").EndIndexOf("a", 3), 0);
    EXPECT_EQ(String("abca").EndIndexOf(""), -1);
    EXPECT_EQ(String("abca").EndIndexOf("abcab"), -1);
    // A candidate may begin before the window as long as it ends inside it.
    EXPECT_EQ(String("xabcx").EndIndexOf("abc", 4, 1), 1);
    EXPECT_EQ(String("xabcx").EndIndexOf("abc", 4, 0), 1);
    EXPECT_EQ(String("abcxx").EndIndexOf("abc", 5, 1), -1);
}

TEST(String, SlicingCutsPositionsToTheLength) {
    EXPECT_EQ(Bytes(String("abcdef").Remove(2, 100)), "ab");
    EXPECT_EQ(Bytes(String("abcdef").Remove(2, 2)), "abef");
    EXPECT_EQ(Bytes(String("abcdef").Remove(9, 2)), "abcdef");
    EXPECT_EQ(Bytes(String("abc").Remove(10)), "abc");
    EXPECT_EQ(Bytes(String("abc").Remove(1)), "a");
    EXPECT_EQ(Bytes(String("ab").Insert(99, "x")), "abx");
    EXPECT_EQ(Bytes(String("ab").Insert(1, "x")), "axb");
    EXPECT_EQ(Bytes(String().Insert(3, "")), "");
    EXPECT_EQ(Bytes(String("abc").Substring(1, 0)), "");
    EXPECT_EQ(Bytes(String("abc").Substring(5)), "");
    EXPECT_EQ(Bytes(String("abc").Substring(1)), "bc");
    EXPECT_EQ(Bytes(String("abc").Substring(1, 0xFFFFFFFFu)), "bc");
    EXPECT_EQ(Bytes(String("ab\xE9Z9").Reverse()),
              "9Z\xE9"
              "ba");
}

TEST(String, SplitReturnsOneFieldPerCall) {
    const String address("10.0.0.1");
    const char* expected[] = {"10", "0", "0", "1", ""};
    for (uint32_t n = 0; n < 5; ++n) {
        EXPECT_EQ(Bytes(address.Split(".", n)), expected[n]) << n;
    }
    EXPECT_EQ(Bytes(String("abc").Split(".")), "abc");
    EXPECT_EQ(Bytes(String("abc").Split(".", 1)), "");
    EXPECT_EQ(Bytes(String("1.2.").Split(".", 2)), "");
    EXPECT_EQ(Bytes(String("abc").Split("", 0)), "abc");
    EXPECT_EQ(Bytes(String("abc").Split(nullptr, 1)), "");
}

TEST(String, SplitStartsFieldsAfterTheWholeSeparator) {
    EXPECT_EQ(Bytes(String("a::b").Split("::", 1)), "b");
    EXPECT_EQ(Bytes(String("a::b::c").Split("::", 2)), "c");
    // Occurrences do not overlap: ":::" holds one "::" and then a ":".
    EXPECT_EQ(Bytes(String("a:::b").Split("::", 1)), ":b");
    EXPECT_EQ(Bytes(String("a:::b").Split("::", 2)), "");
}

TEST(String, ReplaceResumesAfterTheInsertedText) {
    EXPECT_EQ(Bytes(String("aba").Replace("a", "aa")), "aabaa");
    EXPECT_EQ(Bytes(String("aabb") - "ab"), "ab");
    EXPECT_EQ(Bytes(String("abc").Replace("", "x")), "abc");
    EXPECT_EQ(Bytes(String("abc").Replace("x", "y")), "abc");
    EXPECT_EQ(Bytes(String("aaaa").Replace("aa", "")), "");
}

TEST(String, TrimRemovesWholeRepetitions) {
    EXPECT_EQ(Bytes(String("xabab").TrimEnd("ab")), "x");
    EXPECT_EQ(Bytes(String("xbaba").TrimEnd("ab")), "xbaba");
    EXPECT_EQ(Bytes(String("ababx").TrimStart("ab")), "x");
    EXPECT_EQ(Bytes(String("abab").TrimStart("ab")), "");
    EXPECT_EQ(Bytes(String("abab").TrimEnd("ab")), "");
    EXPECT_EQ(Bytes(String("   ").Trim()), "");
    EXPECT_EQ(Bytes(String("   ").TrimStart(" ")), "");
    EXPECT_EQ(Bytes(String("\t a ").Trim()), "\t a");
    EXPECT_EQ(Bytes(String().TrimEnd(" ")), "");
    EXPECT_EQ(Bytes(String("a").TrimEnd("")), "a");
    EXPECT_EQ(Bytes(String("a").TrimEnd("aa")), "a");
    EXPECT_EQ(Bytes(String("-x--").Trim("-")), "x");
}

TEST(String, CaseMappingTouchesAsciiLettersOnly) {
    EXPECT_EQ(Bytes(String("aZ9\xE9").ToUpper()), "AZ9\xE9");
    EXPECT_EQ(Bytes(String("aZ9\xC9@[").ToLower()), "az9\xC9@[");
}

// Random byte strings over a small alphabet (so that searches hit), checked against
// python's bytes methods.
TEST(String, AgreesWithPythonBytesOnRandomInputs) {
    std::mt19937 random(1234);
    const std::string alphabet("ab \0\xE9", 5);
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
    std::ostringstream input;
    for (int i = 0; i < 3000; ++i) {
        Case c{randomText(12), randomText(3), randomText(3), randomText(2), 0, 0};
        c.sep.erase(std::remove(c.sep.begin(), c.sep.end(), '\0'), c.sep.end());
        c.start = random() % 16;
        c.count = random() % 16;
        input << Hex(c.h) << ' ' << Hex(c.s) << ' ' << Hex(c.t) << ' ' << Hex(c.sep) << ' '
              << c.start << ' ' << c.count << '\n';
        cases.push_back(c);
    }
    const char* script = R"(
import sys
def bx(f): return bytes.fromhex(f[1:])
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
           h.rfind(s) if s else -1,
           h.rfind(s, 0, e) if s else -1,
           end_index,
           'x' + (h.replace(s, t) if s else h).hex(),
           'x' + trim_start(trim_end(h)).hex(),
           'x' + h.strip(b' ').hex(),
           'x' + h.upper().hex(),
           'x' + h.lower().hex(),
           'x' + h[::-1].hex(),
           'x' + field.hex(),
           int(h.startswith(s)), int(h.endswith(s))]
    print(' '.join(str(v) for v in out))
)";
    auto result = TestSupport::RunPython(script, input.str());
    ASSERT_EQ(result.exitCode, 0);
    std::istringstream lines(result.output);
    for (const Case& c : cases) {
        const String h = FromBytes(c.h), s = FromBytes(c.s), t = FromBytes(c.t);
        std::ostringstream ours;
        ours << h.CompareTo(s) << ' ' << h.IndexOf(s, c.start, c.count) << ' '
             << h.IndexOf(s, c.start) << ' ' << h.EndIndexOf(s) << ' ' << h.EndIndexOf(s, c.start)
             << ' ' << h.EndIndexOf(s, c.start, c.count) << ' ' << Hex(Bytes(h.Replace(s, t)))
             << ' ' << Hex(Bytes(h.Trim(s))) << ' ' << Hex(Bytes(h.Trim())) << ' '
             << Hex(Bytes(h.ToUpper())) << ' ' << Hex(Bytes(h.ToLower())) << ' '
             << Hex(Bytes(h.Reverse())) << ' ' << Hex(Bytes(h.Split(c.sep.c_str(), c.count % 4)))
             << ' ' << h.StartsWith(s) << ' ' << h.EndsWith(s);
        std::string theirs;
        ASSERT_TRUE(std::getline(lines, theirs));
        EXPECT_EQ(ours.str(), theirs) << Hex(c.h) << ' ' << Hex(c.s) << ' ' << Hex(c.t) << ' '
                                      << Hex(c.sep) << ' ' << c.start << ' ' << c.count;
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
            EXPECT_EQ(Bytes(String::Parse(format, v, v)), expected) << format << ' ' << v;
        }
    }
    for (double v : doubles) {
        for (const char* format : {"%.16f", "%f", "%g", "%e", "%10.3f", "%a"}) {
            std::snprintf(expected, sizeof expected, format, v);
            EXPECT_EQ(Bytes(String::Parse(format, v)), expected) << format << ' ' << v;
        }
    }
    for (const char* text : texts) {
        for (const char* format : {"%s", "[%10s]", "%.3s", "%s%d_%d"}) {
            std::snprintf(expected, sizeof expected, format, text, 4, 5);
            EXPECT_EQ(Bytes(String::Parse(format, text, 4, 5)), expected) << format;
        }
    }
    EXPECT_EQ(Bytes(String::Parse("%d.%d.%d.%d", 10, 0, 0, 1)), "10.0.0.1");
    EXPECT_EQ(Bytes(String::Parse("%c", 0)), std::string(1, '\0'));
}

TEST(String, ParseMatchesTheShellPrintf) {
    auto shell = TestSupport::RunProcess({"printf", "%04X|%02d|%.16f\\n", "255", "7", "0.1"});
    ASSERT_EQ(shell.exitCode, 0);
    EXPECT_EQ(Bytes(String::Parse("%04X|%02d|%.16f\n", 255, 7, 0.1)), shell.output);
}

TEST(String, ParseHasNoLengthLimitAndRefusesNothingElse) {
    const std::string big(5000, 'k');
    const String s = String::Parse("<%s>", big.c_str());
    EXPECT_EQ(Bytes(s), "<" + big + ">");
    const char* nothing = nullptr;
    EXPECT_EQ(String::Parse(nothing).Length(), 0u);
    const char* empty = "";
    EXPECT_EQ(String::Parse(empty).ToByteArray(), nullptr);
    EXPECT_EQ(Bytes(String::Parse("%d", 7)), "7");
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
    int v = 0;
    EXPECT_EQ(String("42").Scan("%d", &v), 1);
    EXPECT_EQ(v, 42);
    const char* nothing = nullptr;
    EXPECT_EQ(String("42").Scan(nothing), 0);
    // Scanning stops at the first zero byte.
    int a = 0, b = 0;
    EXPECT_EQ(String("1\0002", 3).Scan("%d%d", &a, &b), 1);
}

}  // namespace
