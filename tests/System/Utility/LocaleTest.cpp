#include "System/Utility/Locale.h"

#include "System/EventManager.h"
#include "System/IO/FileStream.h"
#include "System/IO/MemoryStream.h"
#include "support/TempDir.h"
#include "support/Text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace System::Utility {
namespace {

using Collections::Vector;
using IO::FileStream;
using IO::MemoryStream;
using TestSupport::Text;

// A locale imported from the given file content, with every notice logged.
class LocaleTest : public ::testing::Test {
  protected:
    LocaleTest() { mEvents.Add(mLocale.PropertyChanged, this, &LocaleTest::OnChanged); }

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

    void OnChanged(void* sender, const String& key) {
        mNotices.push_back((sender == &mLocale ? "" : "stranger ") + Text(key));
    }

    Locale mLocale;
    std::vector<std::string> mNotices;
    EventManager mEvents;
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
    EXPECT_EQ(mNotices, (std::vector<std::string>{"a ", "k", " #indented", "", "two", "slash",
                                                  "crlf", "last"}));
}

TEST_F(LocaleTest, LaterLinesAndLaterImportsReplaceAndAnnounceAgain) {
    EXPECT_EQ(Text(mLocale.GetLocalCode()), "");
    Import("k=1\nk=2\nkept=yes\n");
    Import("k=3\n", "fr");
    EXPECT_EQ(Value("k"), "3");
    EXPECT_EQ(Value("kept"), "yes");
    EXPECT_EQ(Text(mLocale.GetLocalCode()), "fr");
    EXPECT_EQ(mNotices, (std::vector<std::string>{"k", "k", "kept", "k"}));

    Import("", "de");
    EXPECT_EQ(Text(mLocale.GetLocalCode()), "de");
    EXPECT_EQ(Value("k"), "3");
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

TEST_F(LocaleTest, PlaceholderInsideAnArgumentIsFilledOnlyByALaterIndex) {
    Import("pair={0} / {1}\n");
    EXPECT_EQ(Value("pair", {"{1}", "x"}), "x / x");
    EXPECT_EQ(Value("pair", {"a", "{0}"}), "a / {0}");
}

TEST_F(LocaleTest, LocaleFileIsReadThroughAFileStream) {
    TestSupport::TempDir dir;
    const std::string path = dir.File("en.txt");
    TestSupport::WriteFile(path,
                           "# texts\r\n"
                           "switchboard.connect.error=Cannot reach {0}\r\n"
                           "switchboard.register.success=Welcome, {1} ({0})");
    FileStream file(String(path.c_str()), 3);
    ASSERT_TRUE(file.CanRead());
    mLocale.Import(file, String("en"));
    EXPECT_EQ(file.Position(), file.Length());
    EXPECT_EQ(Value("switchboard.connect.error", {"host"}), "Cannot reach host\r");
    EXPECT_EQ(Value("switchboard.register.success", {"id", "Ann"}), "Welcome, Ann (id)");
    EXPECT_EQ(Value("switchboard.uri.unknown", {"x"}), "");
}

}  // namespace
}  // namespace System::Utility
