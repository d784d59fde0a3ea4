// A failed allocation fails the work at hand and nothing more, the server binary end to end:
// each case in a fresh working directory on a free port, the allocation made to fail by name.
//
// The address-space limit that makes allocations fail for real (prlimit --as) cannot be set
// here: the sanitizers every test build runs under reserve terabytes of address space for
// their shadow memory, so the server would not even start. The named failures stand in.
#include "Admin/RoomFixture.h"
#include "support/ArmedFailPoint.h"

#include <signal.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

using AdminTest::ConfigXml;
using AdminTest::Logs;
using AdminTest::Privileges;
using AdminTest::Room;
using AdminTest::Settings;
using TestSupport::ArmedFailPoint;
using TestSupport::RawClient;

// The step made to fail, "name" or "name:pass", and whether its failure closes the
// connection it served.
struct Case {
    std::string step;
    bool closesConnection;
};

// Starts a room with step failing, then has a first connection meet the failure, and checks
// that the room goes on: two members join and chat, and SIGTERM ends the server with status 0
// and both files saved. Returns how many lines start-up wrote.
size_t ExpectOnlyTheWorkAtHandFails(const Case& armed) {
    SCOPED_TRACE(armed.step);
    Room room;
    const std::string config = ConfigXml(room.Port(), Settings(), Privileges("", "", ""));
    room.Write("config.xml", config);
    const ArmedFailPoint failing(armed.step);
    auto server = room.Start();
    const size_t startUp = server->Lines().size();
    RawClient first(room.Port());
    if (armed.closesConnection) {
        EXPECT_TRUE(first.WaitClosed());
    } else {
        EXPECT_EQ(AdminTest::Join(first, "First", ""), 0);
        EXPECT_TRUE(Logs(*server, "Console: 1 line was dropped while the console took no output."))
            << server->Output();
    }
    RawClient ann(room.Port());
    RawClient bob(room.Port());
    EXPECT_EQ(AdminTest::Join(ann, "Ann", ""), 0);
    EXPECT_EQ(AdminTest::Join(bob, "Bob", ""), 0);
    ann.SendFrame(RelayWire::ChatText("still here"));
    EXPECT_EQ(AdminTest::NextChat(bob), "still here");

    std::filesystem::remove(room.File("config.xml"));
    server->Signal(SIGTERM);
    EXPECT_EQ(server->WaitForExit(), 0) << server->Output();
    EXPECT_EQ(room.Read("config.xml"), config);
    EXPECT_EQ(room.Read("media.xml"), "<media count=\"0\" />");
    return startUp;
}

}  // namespace

// A new connection that cannot be taken in is closed; a connection whose turn on its worker
// fails is closed; a line that cannot be made, the first connection's on the accept thread, is
// dropped and counted as the console's drops are. Before, each of them ended the process on
// the uncaught failure, without its closing save.
TEST(ServerFailedAllocation, FailsOnlyTheWorkAtHand) {
    const size_t startUp = ExpectOnlyTheWorkAtHandFails({"accept", true});
    ExpectOnlyTheWorkAtHandFails({"client-turn", true});
    // The line after start-up's is the first connection's.
    ExpectOnlyTheWorkAtHandFails({"log-line:" + std::to_string(startUp + 1), false});
}
