// A failed allocation in a handler that holds the room's monitors, the server binary end to
// end: each test in a fresh working directory on a free port.
#include "Admin/RoomFixture.h"
#include "support/ArmedFailPoint.h"

#include <signal.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <ostream>
#include <string>

namespace {

using AdminTest::ConfigXml;
using AdminTest::Privileges;
using AdminTest::Room;
using AdminTest::Settings;
using TestSupport::RawClient;

constexpr uint32_t kPhoto = 7;
const std::string kMedia =
    "<media count=\"1\"><item><entry><id>7</id><title>photo</title></entry><group><content "
    "fileSize=\"10\" /></group></item></media>";

// A step of a handler that fails while it holds the room's monitors, and what a member sends
// to reach it.
struct FailingStep {
    const char* name;       // the test's name for it
    const char* failPoint;  // the value of ZELVO_FAIL_POINT: the step and its failing pass
    std::string request;    // what the member sends, which meets the failure
};

// Named in the test's output by its fail point.
void PrintTo(const FailingStep& step, std::ostream* out) {
    *out << step.failPoint;
}

class ServerLockedFailure : public testing::TestWithParam<FailingStep> {};

// Ann and Bob join (the join's first two passes); Bob's request then meets a failed allocation
// in a handler that holds the client-collection monitor: a download's claim (with the
// downloads' monitor held too), a chat's relay to the room, or a join (his second, which
// fails before it is refused). The request alone fails: Bob's next chat reaches Ann, a
// newcomer's join is answered 0, and a SIGTERM ends the server with status 0 after saving
// both files. Before, the monitors stayed held: the chat never came, the join was never
// answered, and the server was still running after the SIGTERM.
TEST_P(ServerLockedFailure, RequestFailsAloneAndTheRoomGoesOnServing) {
    Room room;
    const std::string config = ConfigXml(room.Port(), Settings(), Privileges("", "", ""));
    room.Write("config.xml", config);
    room.Write("media.xml", kMedia);
    room.Write("media/" + std::to_string(kPhoto) + "_0", "photo file");
    std::unique_ptr<TestSupport::ServerProcess> server;
    {
        const TestSupport::ArmedFailPoint failing(GetParam().failPoint);
        server = room.Start();
    }
    RawClient ann(room.Port());
    ASSERT_EQ(AdminTest::Join(ann, "Ann", ""), 0);
    RawClient bob(room.Port());
    ASSERT_EQ(AdminTest::Join(bob, "Bob", ""), 0);

    bob.SendFrame(GetParam().request);
    bob.SendFrame(RelayWire::ChatText("after"));
    const auto chats = AdminTest::FramesUntil(ann, RelayWire::Chat);
    ASSERT_FALSE(chats.empty()) << server->Output();
    EXPECT_EQ(RelayWire::Parse(chats.back()).payload, RelayWire::Text("after"));
    RawClient newcomer(room.Port());
    ASSERT_EQ(AdminTest::Join(newcomer, "Cy", ""), 0) << server->Output();

    std::filesystem::remove(room.File("config.xml"));
    std::filesystem::remove(room.File("media.xml"));
    server->Signal(SIGTERM);
    ASSERT_EQ(server->WaitForExit(), 0) << server->Output();
    EXPECT_EQ(room.Read("config.xml"), config);
    EXPECT_EQ(room.Read("media.xml"), kMedia);
}

INSTANTIATE_TEST_SUITE_P(
    InEachLockedHandler, ServerLockedFailure,
    testing::Values(FailingStep{"DownloadClaim", "download-claim",
                                RelayWire::MediaFile(RelayWire::GetMedia, kPhoto, 0)},
                    FailingStep{"RelayMessage", "relay-message", RelayWire::ChatText("lost")},
                    FailingStep{"Join", "join:3", AdminTest::JoinRequest("Bob", "")}),
    [](const testing::TestParamInfo<FailingStep>& info) { return std::string(info.param.name); });

}  // namespace
