#include "Admin/Log/PrintLogMessage.h"

#include "Admin/AdminModel.h"
#include "Admin/ConsoleCapture.h"
#include "support/TempDir.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

namespace {

std::string FromString(const System::String& text) {
    return std::string(text.CStr(), text.Length());
}

// The line is written once the console's writer has caught up, while the process runs:
// standard output redirected to a file is fully buffered, so a line left unflushed would
// not be in the file yet.
TEST(PrintLogMessageTest, WritesOneStampedLineAndFlushesIt) {
    TestSupport::TempDir dir;
    // Lines logged before go where standard output went before.
    EXPECT_TRUE(WaitForConsole(std::chrono::steady_clock::now() + std::chrono::seconds(30)));
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    const int file = open(dir.File("log").c_str(), O_CREAT | O_WRONLY, 0600);
    dup2(file, STDOUT_FILENO);
    const std::string before = FromString(System::DateTime::Now().ToString("yyyy-MM-dd hh:mm:ss"));
    PrintLogMessage("Relay server stopped\n");
    EXPECT_TRUE(WaitForConsole(std::chrono::steady_clock::now() + std::chrono::seconds(30)));
    std::ifstream in(dir.File("log"));
    const std::string line{std::istreambuf_iterator<char>(in), {}};
    dup2(saved, STDOUT_FILENO);
    close(saved);
    close(file);
    ASSERT_TRUE(std::regex_match(
        line, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d: Relay server stopped\n)")));
    EXPECT_GE(line.substr(0, 19), before);
}

// Standard output redirected to a file is fully buffered: an unflushed line would not be
// in the file yet once the console's writer has caught up.
TEST(PrintLogMessageTest, TheLineIsWrittenOnceTheWriterHasCaughtUp) {
    AdminTest::ConsoleCapture console;
    PrintLogMessage("Relay server stopped\n");
    EXPECT_EQ(console.Texts(), std::vector<std::string>{"Relay server stopped"});
}

TEST(PrintLogMessageTest, EscapesControlBytesOfClientText) {
    const char raw[] =
        "Ann\n2024-01-02 13:04:05: forged\r\t\x1b[2J\x7f\0\x01\x1f \\x41 caf\xc3\xa9";
    const std::string text(raw, sizeof(raw) - 1);
    EXPECT_EQ(
        FromString(EscapeLogText(System::String(text.data(), text.size()))),
        "Ann\\n2024-01-02 13:04:05: forged\\r\\t\\x1b[2J\\x7f\\x00\\x01\\x1f \\x41 caf\xc3\xa9");
    // C1 controls: U+009B and U+0085 as UTF-8, and bytes 0x80-0x9F outside any UTF-8
    // sequence (alone, or after a lead byte cut short). Other characters stay as sent.
    const std::string c1 = "\xc2\x9b[2J\xc2\x85|\x9b\x80|\xe2\x82|\xc2\xa0\xe2\x82\xac\xe9";
    EXPECT_EQ(FromString(EscapeLogText(System::String(c1.data(), c1.size()))),
              "\\xc2\\x9b[2J\\xc2\\x85|\\x9b\\x80|\xe2\\x82|\xc2\xa0\xe2\x82\xac\xe9");
    EXPECT_EQ(FromString(AdminModel::VersionText()), "ZELVO Admin Beta 1\n");
}

}  // namespace
