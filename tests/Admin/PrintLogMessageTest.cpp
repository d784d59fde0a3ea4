#include "Admin/PrintLogMessage.h"

#include "Admin/AdminModel.h"
#include "support/TempDir.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

std::string FromString(const System::String& text) {
    return std::string(text.CStr(), text.Length());
}

// The line is on its way when PrintLogMessage returns: standard output redirected to
// a file is fully buffered, so an unflushed line would not be in the file yet.
TEST(PrintLogMessageTest, WritesOneFlushedLineToStandardOutput) {
    TestSupport::TempDir dir;
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    const int file = open(dir.File("log").c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
    ASSERT_GE(file, 0);
    dup2(file, STDOUT_FILENO);
    close(file);
    const std::string before = FromString(System::DateTime::Now().ToString("yyyy-MM-dd hh:mm:ss"));
    PrintLogMessage("Relay server stopped\n");
    const std::string after = FromString(System::DateTime::Now().ToString("yyyy-MM-dd hh:mm:ss"));
    std::ifstream in(dir.File("log"));
    std::stringstream written;
    written << in.rdbuf();
    dup2(saved, STDOUT_FILENO);
    close(saved);

    const std::string line = written.str();
    ASSERT_TRUE(std::regex_match(
        line, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d: Relay server stopped\n)")))
        << line;
    EXPECT_GE(line.substr(0, 19), before);
    EXPECT_LE(line.substr(0, 19), after);
}

TEST(PrintLogMessageTest, EscapesControlBytesOfClientText) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Ann", "Ann"},
        {"hi\n2024-01-02 13:04:05: forged", "hi\\n2024-01-02 13:04:05: forged"},
        {"a\r\tb", "a\\r\\tb"},
        {"\x1b[2J\x7f", "\\x1b[2J\\x7f"},
        {std::string("cut\0here", 8), "cut\\x00here"},
        {"\x01\x1f \\x41 caf\xc3\xa9", "\\x01\\x1f \\x41 caf\xc3\xa9"},
    };
    for (const auto& [text, escaped] : cases) {
        EXPECT_EQ(FromString(EscapeLogText(System::String(text.data(), text.size()))), escaped);
    }
}

TEST(PrintLogMessageTest, VersionTextNamesTheProgramAndEndsTheLine) {
    EXPECT_EQ(FromString(AdminModel::Version()), "Beta 1");
    EXPECT_EQ(FromString(AdminModel::VersionText()), "ZELVO Admin Beta 1\n");
}

}  // namespace
