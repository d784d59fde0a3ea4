// A failed allocation fails the work at hand and nothing more, the server binary end to end:
// each case in a fresh working directory on a free port, the allocation made to fail by name.
//
// The address-space limit that makes allocations fail for real (prlimit --as) cannot be set
// here: the sanitizers every test build runs under reserve terabytes of address space for
// their shadow memory, so the server would not even start. The named failures stand in.
#include "Admin/RoomFixture.h"
#include "Admin/Uploads.h"
#include "support/ArmedFailPoint.h"
#include "support/Process.h"

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
using TestSupport::SocketsOpen;

// Whether a step's failure closes the connection it served, and on which thread: the accept
// thread has closed all it made for the connection by the time it takes in the next one.
enum class Closes { Nothing, OnAcceptThread, OnWorker };

// The step made to fail, "name" or "name:pass", and what its failure closes.
struct Case {
    std::string step;
    Closes closes;
};

// The sockets a member's connection holds: TCP and UDP.
constexpr size_t kMemberSockets = 2;

// Starts a room with step failing, then has a first connection meet the failure, and checks
// that the room goes on: two members join and chat, the connection met by the failure leaves
// no socket behind, and SIGTERM ends the server with status 0 and both files saved. Returns
// how many lines start-up wrote.
size_t ExpectOnlyTheWorkAtHandFails(const Case& armed) {
    SCOPED_TRACE(armed.step);
    Room room;
    const std::string config = ConfigXml(room.Port(), Settings(), Privileges("", "", ""));
    room.Write("config.xml", config);
    const ArmedFailPoint failing(armed.step);
    auto server = room.Start();
    const size_t startUp = server->Lines().size();
    const size_t sockets = SocketsOpen(server->Pid());
    RawClient first(room.Port());
    if (armed.closes != Closes::Nothing) {
        EXPECT_TRUE(first.WaitClosed());
    } else {
        EXPECT_EQ(AdminTest::Join(first, "First", ""), 0);
    }
    RawClient ann(room.Port());
    RawClient bob(room.Port());
    EXPECT_EQ(AdminTest::Join(ann, "Ann", ""), 0);
    EXPECT_EQ(AdminTest::Join(bob, "Bob", ""), 0);
    ann.SendFrame(RelayWire::ChatText("still here"));
    EXPECT_EQ(AdminTest::NextChat(bob), "still here");
    if (armed.closes == Closes::OnAcceptThread) {
        EXPECT_EQ(SocketsOpen(server->Pid()), sockets + 2 * kMemberSockets);
    }
    if (armed.closes == Closes::Nothing) {
        // Told with the first line queued once the drop is counted: the newcomers' lines, at
        // the latest, which come after the first connection's lines were made.
        EXPECT_TRUE(Logs(*server, "Console: 1 line was dropped while the console took no output."))
            << server->Output();
    }

    std::filesystem::remove(room.File("config.xml"));
    server->Signal(SIGTERM);
    EXPECT_EQ(server->WaitForExit(), 0) << server->Output();
    EXPECT_EQ(room.Read("config.xml"), config);
    EXPECT_EQ(room.Read("media.xml"), "<media count=\"0\" />");
    return startUp;
}

// Starts a room where the outcome of the first photo made cannot be handed back for want of
// memory; a member uploads a photo, and the upload ends without an item, the listing the member
// asks next (held back until that outcome is applied) is answered, and SIGTERM ends the server
// with status 0, the catalogue saved empty and the photo's files removed.
void ExpectOnlyThePhotoFails() {
    Room room;
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "")));
    const ArmedFailPoint failing("photo-outcome");
    auto server = room.Start();
    RawClient alice(room.Port());
    ASSERT_EQ(AdminTest::Join(alice, "Alice", ""), 0);
    const std::string photo = AdminTest::Pngs("(64, 48)")[0];
    const uint32_t id = AdminTest::AddMedia(alice, "lost", photo);
    AdminTest::SendChunks(alice, id, photo);
    alice.SendFrame(RelayWire::Message(RelayWire::GetMediaInfo, 0,
                                       RelayWire::U32(0xFFFFFFFF) + RelayWire::U8(255)));
    EXPECT_FALSE(AdminTest::FramesUntil(alice, RelayWire::MediaInfo).empty());
    EXPECT_GE(server->WaitForLine("uploaded photo " + std::to_string(id) +
                                  ", which ended without an item: out of memory."),
              0)
        << server->Output();

    server->Signal(SIGTERM);
    EXPECT_EQ(server->WaitForExit(), 0) << server->Output();
    EXPECT_EQ(room.Read("media.xml"), "<media count=\"0\" />");
    EXPECT_TRUE(AdminTest::StoredFiles(room).empty());
}

}  // namespace

// A new connection that cannot be taken in is closed, and once its client is made, once, with
// all that was made for it; a connection whose turn on its worker fails is closed; a line that
// cannot be made, the first connection's on the accept thread, is dropped and counted as the
// console's drops are; a photo whose outcome cannot be handed back fails alone. Before, the
// client made was left behind with its UDP descriptor open and its connection closed under it,
// and each other failure ended the process on the uncaught failure, without its closing save.
TEST(ServerFailedAllocation, FailsOnlyTheWorkAtHand) {
    const size_t startUp = ExpectOnlyTheWorkAtHandFails({"accept", Closes::OnAcceptThread});
    ExpectOnlyTheWorkAtHandFails({"new-client", Closes::OnAcceptThread});
    ExpectOnlyTheWorkAtHandFails({"client-turn", Closes::OnWorker});
    // The line after start-up's is the first connection's.
    ExpectOnlyTheWorkAtHandFails({"log-line:" + std::to_string(startUp + 1), Closes::Nothing});
    ExpectOnlyThePhotoFails();
}
