#include "System/IO/ConsoleWriter.h"

#include "support/Process.h"
#include "support/Wait.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

namespace {

System::String Notice(uint64_t count) {
    return System::String::Parse("%llu dropped\n", static_cast<unsigned long long>(count));
}

// A pipe whose buffer holds one page, the least it can.
struct SmallPipe {
    SmallPipe() {
        EXPECT_EQ(::pipe(mEnds), 0);
        fcntl(mEnds[1], F_SETPIPE_SZ, 4096);
    }
    ~SmallPipe() {
        CloseWriteEnd();
        close(mEnds[0]);
    }
    void CloseWriteEnd() {
        if (mEnds[1] != -1) {
            close(mEnds[1]);
            mEnds[1] = -1;
        }
    }
    // Reads into received until it holds until, or to the end where until is empty.
    void ReadUntil(std::string& received, const std::string& until = std::string()) const {
        char buffer[512];
        ssize_t n = 0;
        while ((until.empty() || received.find(until) == std::string::npos) &&
               (n = read(mEnds[0], buffer, sizeof buffer)) > 0) {
            received.append(buffer, static_cast<size_t>(n));
        }
    }
    int mEnds[2]{-1, -1};
};

// A console another program made non-blocking, with room for one page, read as the writer
// goes: every text comes whole and in order, waited for where the pipe is full, and what
// waits when the writer ends is written before it does.
TEST(ConsoleWriterTest, WritesEveryTextInOrderAndWhatWaitsBeforeItEnds) {
    SmallPipe pipe;
    ASSERT_EQ(fcntl(pipe.mEnds[1], F_SETFL, O_NONBLOCK), 0);
    std::string received;
    std::thread reader([&] { pipe.ReadUntil(received); });
    std::string expected;
    {
        System::IO::ConsoleWriter writer(1 << 20, &Notice, pipe.mEnds[1]);
        for (int i = 0; i < 400; ++i) {
            const std::string text = "line " + std::to_string(i) + std::string(90, '.') + "\n";
            writer.Write(System::String(text.c_str()));
            expected += text;
        }
    }
    pipe.CloseWriteEnd();
    reader.join();
    EXPECT_TRUE(received == expected) << received.size() << " of " << expected.size();
}

// Line index of the given length, line feed included.
System::String Line(int index, size_t length) {
    std::string text = "line " + std::to_string(index) + " ";
    text.resize(length - 1, '.');
    return System::String((text + "\n").c_str());
}

// A console left unread until the writer waits on it, given more than its backlog holds (a
// long line that does not fit, then short ones that would), then read slowly: one notice
// tells the whole loss, where the lines are missing, and the lines given while the backlog
// drains are all written. Before, the short lines kept after the long one split the loss,
// and the batch being written counted against the bound, so lines given while it drained
// were dropped too: three notices.
TEST(ConsoleWriterTest, OneStallsLostLinesAreOneGapToldByOneNoticeWhereTheyAreMissing) {
    constexpr size_t kCapacity = 16384;
    constexpr size_t kShort = 64;
    constexpr size_t kLong = 1024;
    SmallPipe pipe;
    // The console has taken all it will before it is read.
    std::string filler(4096, '#');
    ASSERT_EQ(fcntl(pipe.mEnds[1], F_SETFL, O_NONBLOCK), 0);
    ASSERT_EQ(write(pipe.mEnds[1], filler.data(), filler.size()),
              static_cast<ssize_t>(filler.size()));
    ASSERT_EQ(write(pipe.mEnds[1], "#", 1), -1);
    ASSERT_EQ(fcntl(pipe.mEnds[1], F_SETFL, 0), 0);
    const auto writerBlocked = [] { return TestSupport::ThreadWritingAFullPipe(getpid()) != 0; };

    int given = 0;
    std::string received;
    {
        System::IO::ConsoleWriter writer(kCapacity, &Notice, pipe.mEnds[1]);
        writer.Write(Line(given++, kShort));
        ASSERT_TRUE(TestSupport::WaitUntil(writerBlocked));
        // Until the backlog has room for short lines, but not for a long one.
        while (given * kShort + kLong / 2 < kCapacity) {
            writer.Write(Line(given++, kShort));
        }
        writer.Write(Line(given++, kLong));
        for (int i = 0; i < 20; ++i) {
            writer.Write(Line(given++, kShort));
        }
        // Read until the writer has begun the backlog, and left again with most of it.
        pipe.ReadUntil(received, "line 1 ");
        ASSERT_TRUE(TestSupport::WaitUntil(writerBlocked));
        for (int i = 0; i < 20; ++i) {
            writer.Write(Line(given++, kShort));
        }
        std::thread reader([&] { pipe.ReadUntil(received); });
        EXPECT_TRUE(
            writer.WaitUntilWritten(std::chrono::steady_clock::now() + std::chrono::seconds(30)));
        pipe.CloseWriteEnd();
        reader.join();
    }

    ASSERT_EQ(received.compare(0, filler.size(), filler), 0);
    std::istringstream lines(received.substr(filler.size()));
    const std::regex line(R"(line (\d+) \.+)");
    const std::regex notice(R"((\d+) dropped)");
    int next = 0;
    std::string notices;
    for (std::string text; std::getline(lines, text);) {
        std::smatch match;
        if (std::regex_match(text, match, notice)) {
            notices += text + "\n";
            next += std::stoi(match[1]);
        } else {
            ASSERT_TRUE(std::regex_match(text, match, line)) << text;
            // Every line is the next one given, but for those the notice before it counts.
            EXPECT_EQ(std::stoi(match[1]), next) << text;
            next = std::stoi(match[1]) + 1;
        }
    }
    EXPECT_EQ(std::count(notices.begin(), notices.end(), '\n'), 1) << notices;
    EXPECT_EQ(next, given);
}

}  // namespace
