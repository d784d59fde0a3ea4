#include "System/IO/ConsoleWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

System::String Notice(uint64_t count) {
    return System::String::Parse("%llu dropped\n", static_cast<unsigned long long>(count));
}

// A console another program made non-blocking, with room for one page, read as the writer
// goes: every text comes whole and in order, waited for where the pipe is full, and what
// waits when the writer ends is written before it does.
TEST(ConsoleWriterTest, WritesEveryTextInOrderAndWhatWaitsBeforeItEnds) {
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    ASSERT_EQ(fcntl(pipe[1], F_SETFL, O_NONBLOCK), 0);
    fcntl(pipe[1], F_SETPIPE_SZ, 4096);
    std::string received;
    std::thread reader([&] {
        char buffer[512];
        ssize_t n = 0;
        while ((n = read(pipe[0], buffer, sizeof buffer)) > 0) {
            received.append(buffer, static_cast<size_t>(n));
        }
    });
    std::string expected;
    {
        System::IO::ConsoleWriter writer(1 << 20, &Notice, pipe[1]);
        for (int i = 0; i < 400; ++i) {
            const std::string text = "line " + std::to_string(i) + std::string(90, '.') + "\n";
            writer.Write(System::String(text.c_str()));
            expected += text;
        }
    }
    close(pipe[1]);
    reader.join();
    close(pipe[0]);
    EXPECT_TRUE(received == expected) << received.size() << " of " << expected.size();
}

}  // namespace
