#include "System/Utility/Locale.h"

#include "System/IO/MemoryStream.h"
#include "support/Text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace System::Utility {
namespace {

using Collections::Vector;
using IO::MemoryStream;
using TestSupport::Text;

// A locale imported from the given file content.
class LocaleTest : public ::testing::Test {
  protected:
    void Import(const std::string& content, const char* code = "en") {
        MemoryStream stream;
        stream.Write(reinterpret_cast<const unsigned char*>(content.data()), 0,
                     static_cast<int>(content.size()));
        stream.Position(0);
        mLocale.Import(stream, String(code));
        EXPECT_EQ(stream.Position(), stream.Length());
    }

    std::string Value(const char* key, const std::vector<std::string>& args = {}) {
        Vector<String> strings;
        for (const auto& arg : args) {
            strings.Add(TestSupport::Bytes(arg));
        }
        return Text(mLocale.GetValue(String(key), strings));
    }

    Locale mLocale;
};

TEST_F(LocaleTest, LinesSplitAtTheFirstEqualsSignWithNothingTrimmed) {
    Import(
        "# a comment=not an entry\n"
        "no separator\n"
        "\n"
        "a = b\n"
        "k=x=y\n"
        " #indented=entry\n"
        "=empty key\n"
        "two=first\\nsecond\n"
        "slash=a\\tb\\\n"
        "crlf=text\r\n"
        "last=no line feed");
    EXPECT_EQ(Value("a "), " b");
    EXPECT_EQ(Value("a"), "");
    EXPECT_EQ(Value("k"), "x=y");
    EXPECT_EQ(Value(" #indented"), "entry");
    EXPECT_EQ(Value("# a comment"), "");
    EXPECT_EQ(Value(""), "empty key");
    EXPECT_EQ(Value("two"), "first\nsecond");
    EXPECT_EQ(Value("slash"), "a\\tb\\");
    EXPECT_EQ(Value("crlf"), "text\r");
    EXPECT_EQ(Value("last"), "no line feed");
}

TEST_F(LocaleTest, PlaceholdersAreFilledByIndexInAnyOrder) {
    Import(
        "greeting=Hello {0}, you have {1} messages\n"
        "reversed={1} before {0}, {0} again\n"
        "plain=no placeholders\n"
        "short={0} and {2}\n"
        "empty=\n");
    EXPECT_EQ(Value("greeting", {"Ann", "3"}), "Hello Ann, you have 3 messages");
    EXPECT_EQ(Value("reversed", {"a", "b"}), "b before a, a again");
    EXPECT_EQ(Value("plain", {"a", "b"}), "no placeholders");
    EXPECT_EQ(Value("short", {"a"}), "a and {2}");
    EXPECT_EQ(Value("empty", {"a"}), "");
    EXPECT_EQ(Value("missing", {"a"}), "");
}

}  // namespace
}  // namespace System::Utility
