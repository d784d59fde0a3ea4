// The server binary end to end: what its start-up needs and leaves, and the signals it
// inherits.
#include "Admin/RoomFixture.h"
#include "Admin/Uploads.h"
#include "support/ArmedFailPoint.h"
#include "support/Process.h"
#include "support/Wait.h"

#include <signal.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {

using AdminTest::ConfigXml;
using AdminTest::Item;
using AdminTest::Logs;
using AdminTest::Privileges;
using AdminTest::Room;
using AdminTest::Settings;
using AdminTest::StoredFiles;
using TestSupport::RawClient;
using TestSupport::ServerProcess;

// How many console lines of server have exactly text.
size_t CountLines(const ServerProcess& server, const std::string& text) {
    return static_cast<size_t>(std::count_if(
        server.Lines().begin(), server.Lines().end(),
        [&text](const std::string& line) { return AdminTest::LogText(line) == text; }));
}

// That the server, which ended with status, ended its start-up with status 1 and line, the one
// line it wrote, before it hosted or saved anything: config.xml is as written, no media.xml made.
void ExpectStartUpEnded(ServerProcess& server, int status, const Room& room,
                        const std::string& config, const std::string& line) {
    EXPECT_EQ(status, 1) << server.Output();
    EXPECT_TRUE(Logs(server, line)) << server.Output();
    EXPECT_EQ(server.Lines().size(), 1u) << server.Output();
    EXPECT_EQ(room.Read("config.xml"), config);
    EXPECT_FALSE(std::filesystem::exists(room.File("media.xml")));
}

// The first thread the server needs, the one that takes the stop signals, cannot start for
// want of memory: start-up ends with status 1 and a line that says so, before anything is
// hosted or saved. Before, the server hosted without a word, and SIGTERM, SIGINT and SIGHUP
// stayed pending for good: only a kill ended it, losing the closing save.
TEST(ServerStart, AStopSignalThreadThatCannotStartEndsTheStartUpWithStatus1) {
    Room room;
    const std::string config = ConfigXml(room.Port(), Settings(), Privileges("", "", ""));
    room.Write("config.xml", config);
    const TestSupport::ArmedFailPoint failing("thread-start:1");
    ServerProcess server(AdminTest::kServer, {}, room.File("."));
    ExpectStartUpEnded(server, server.WaitForExit(), room, config,
                       "The thread that takes the stop signals cannot start: Resource "
                       "temporarily unavailable; start-up ends, as nothing could stop the server");
}

// A server started under nohup, or as a background job that ignores SIGINT, outlives its
// session: SIGHUP and SIGINT sent to it are taken from the process and dropped, and it goes on
// serving. They come while the server is stopped (SIGSTOP), behind Alice's second upload waiting
// for her first photo to be made. Bob then joins and chats with Alice, and the SIGTERM after
// that is the server's one stop: it hurries nothing, both photos are made and saved. Taken as
// stops, SIGHUP and SIGINT would have stopped the server, and as a second stop they would have
// discarded Alice's second upload.
TEST(ServerStart, SighupAndSigintInheritedIgnoredStayIgnored) {
    const std::vector<std::string> photos = AdminTest::Pngs("(4000, 3000), (64, 48)");
    Room room;
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "")));
    auto server = room.Start({}, {SIGHUP, SIGINT});
    RawClient alice(room.Port());
    const auto [first, second] = AdminTest::TwoUploads(*server, room, alice, photos, 64);
    ASSERT_TRUE(alice.WaitAcknowledged());
    ASSERT_TRUE(server->Pause());
    server->Signal(SIGHUP);
    server->Signal(SIGINT);
    EXPECT_TRUE(TestSupport::IsSignalPending(server->Pid(), SIGHUP));
    EXPECT_TRUE(TestSupport::IsSignalPending(server->Pid(), SIGINT));
    server->Signal(SIGCONT);
    ASSERT_TRUE(TestSupport::WaitUntil([&] {
        return !TestSupport::IsSignalPending(server->Pid(), SIGHUP) &&
               !TestSupport::IsSignalPending(server->Pid(), SIGINT);
    }));

    RawClient bob(room.Port());
    ASSERT_EQ(AdminTest::Join(bob, "Bob", ""), 0);
    bob.SendFrame(RelayWire::ChatText("still here"));
    const auto frames = AdminTest::FramesUntil(alice, RelayWire::Chat);
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(RelayWire::Parse(frames.back()).payload, RelayWire::Text("still here"));
    EXPECT_EQ(CountLines(*server, "Relay server stopped"), 0u) << server->Output();

    server->Signal(SIGTERM);
    EXPECT_EQ(server->WaitForExit(), 0) << server->Output();
    EXPECT_EQ(CountLines(*server, "Relay server stopped"), 1u) << server->Output();
    EXPECT_EQ(server->Output().find("Relay server discarded"), std::string::npos)
        << server->Output();
    const std::string saved = room.Read("media.xml");
    EXPECT_NE(saved.find("<media count=\"2\">"), std::string::npos) << saved;
    std::set<std::string> files;
    for (const uint32_t id : {first, second}) {
        files.insert({std::to_string(id) + "_0", std::to_string(id) + "_1"});
    }
    EXPECT_EQ(StoredFiles(room), files);
}

// Whether strace can trace a program here: not installed, or where ptrace is denied (as a
// container may deny it), it cannot.
bool CanTrace() {
    return TestSupport::RunProcess({"strace", "-f", "-o", "/dev/null", "true"}).exitCode == 0;
}

// Kills the processes that process pid started, while pid runs.
void KillChildren(pid_t pid) {
    const std::string task = "/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid);
    std::ifstream children(task + "/children");
    for (pid_t child = 0; children >> child;) {
        kill(child, SIGKILL);
    }
}

// With every thread creation but the first failing (strace injects EAGAIN, as a full process
// limit gives), the stop-signal thread starts and the console's writer, the next the server
// needs, does not: start-up ends with status 1 and a line that says so, written by the thread
// that logs it, before anything is hosted or saved. Before, each line was written by the
// thread that logged it, and a console that took nothing held up the room and its stop.
TEST(ServerStart, AConsoleWriterThatCannotStartEndsTheStartUpWithStatus1) {
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "ThreadSanitizer starts a thread of its own beside the server's first, so "
                    "the failing creation is not the console writer's; the other builds run it";
#endif
    if (!CanTrace()) {
        GTEST_SKIP() << "strace cannot trace a program here (not installed, or ptrace denied), "
                        "and it is what makes the server's thread creations fail";
    }
    Room room;
    const std::string config = ConfigXml(room.Port(), Settings(), Privileges("", "", ""));
    room.Write("config.xml", config);
    // LeakSanitizer cannot run under ptrace, and would end the server with its own status.
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    const std::string options =
        (sanitizer != nullptr ? std::string(sanitizer) + ":" : std::string()) + "detect_leaks=0";
    ServerProcess server("strace",
                         {"-f", "-o", "/dev/null", "-e", "inject=clone3:error=EAGAIN:when=2+", "-E",
                          "ASAN_OPTIONS=" + options, AdminTest::kServer},
                         room.File("."));
    const int status = server.WaitForExit();
    // A server that does not end here would run on once strace is stopped, deaf to SIGTERM.
    KillChildren(server.Pid());
    ExpectStartUpEnded(server, status, room, config,
                       "The thread that writes the console cannot start: Resource temporarily "
                       "unavailable; start-up ends, as a console that takes nothing would hold "
                       "up the room");
}

// A save cut short by a kill leaves its temporary file beside the file it replaces (beside the
// file a link leads to). The next start removes the temporary files of config.xml, media.xml
// and media.xml.delete, logs each, and leaves every other name and the files themselves as
// they were. Before, they stayed until the next save replaced them.
TEST(ServerStart, TheTemporaryFilesOfSavesCutShortAreRemovedAtStart) {
    Room room;
    const std::string config = ConfigXml(room.Port(), Settings(), Privileges("", "", ""));
    const std::string media = "<media count=\"1\">" + Item("1") + "</media>";
    room.Write("saved/config.xml", config);
    std::filesystem::create_symlink("saved/config.xml", room.File("config.xml"));
    room.Write("media.xml", media);
    const std::set<std::string> leftovers{"saved/config.xml.new", "media.xml.new",
                                          "media.xml.delete.new"};
    const std::set<std::string> others{"config.xml.new", "media.xml.new.1", "media.xml.bad",
                                       "saved/media.xml.new", "media/1_0.new"};
    for (const std::set<std::string>* names : {&leftovers, &others}) {
        for (const std::string& name : *names) {
            room.Write(name, "cut sh");
        }
    }
    auto server = room.Start();
    for (const std::string& name : leftovers) {
        EXPECT_TRUE(Logs(*server, "Removed " + name + ", left by a save that was cut short"))
            << server->Output();
        EXPECT_FALSE(std::filesystem::exists(room.File(name))) << name;
    }
    EXPECT_EQ(server->Output().find("Removed config.xml.new"), std::string::npos);
    for (const std::string& name : others) {
        EXPECT_EQ(room.Read(name), "cut sh") << name;
    }
    EXPECT_EQ(room.Read("config.xml"), config);
    EXPECT_TRUE(std::filesystem::is_symlink(room.File("config.xml")));
    EXPECT_EQ(room.Read("media.xml"), media);
    EXPECT_FALSE(std::filesystem::exists(room.File("media.xml.delete")));
}

}  // namespace
