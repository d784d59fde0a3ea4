// The server binary keeping the photo catalogue through faults: copies of files it cannot take
// whole, and the files of removed items, each in a fresh working directory on a free port.
#include "Admin/RoomFixture.h"

#include <signal.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

using AdminTest::ConfigXml;
using AdminTest::Logs;
using AdminTest::Privileges;
using AdminTest::Room;
using AdminTest::Settings;
using TestSupport::RawClient;
using TestSupport::ServerProcess;

std::string Item(const std::string& id, const std::string& title) {
    return "<item><entry><id>" + id + "</id><title>" + title + "</title></entry><group /></item>";
}

// Every entry of the directory at path, each file with what it holds.
std::map<std::string, std::string> Entries(const std::string& path) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : std::filesystem::directory_iterator(path)) {
        entries[entry.path().filename().string()] =
            entry.is_regular_file() ? TestSupport::ReadFile(entry.path().string()) : "<dir>";
    }
    return entries;
}

// An earlier copy of a file the server could not take whole is never written over: a later
// one, of a catalogue with an item left out or of one that is no XML document, takes the next
// free name. A copy the disk does not take ends start-up with status 1 before anything is
// hosted or saved, though a password on the command line asks for a save.
TEST(ServerCatalogue, EarlierCopiesAreKeptAndACopyThatCannotBeWrittenEndsStartUp) {
    Room room;
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "")));
    room.Write("media.xml.bad", "an earlier copy");
    const std::string repeated =
        "<media count=\"2\">" + Item("3", "first") + Item("3", "again") + "</media>";
    for (const auto& [media, kept] :
         {std::pair<std::string, std::string>{repeated,
                                              "media.xml as read is kept as media.xml.bad.1"},
          {"<media",
           "media.xml is not a readable XML document; it is ignored and kept as "
           "media.xml.bad.2"}}) {
        room.Write("media.xml", media);
        auto server = room.Start();
        EXPECT_TRUE(Logs(*server, kept));
        server->Signal(SIGTERM);
        ASSERT_EQ(server->WaitForExit(), 0) << server->Output();
    }
    EXPECT_EQ(room.Read("media.xml.bad"), "an earlier copy");
    EXPECT_EQ(room.Read("media.xml.bad.1"), repeated);
    EXPECT_EQ(room.Read("media.xml.bad.2"), "<media");

    room.Write("media.xml", repeated);
    const auto before = Entries(room.File(""));
    // With SIGXFSZ ignored, a write past the file-size limit fails instead of ending the server.
    ServerProcess server(
        {"sh", "-c",
         "cd " + room.File("") + " && trap '' XFSZ && exec prlimit --fsize=" +
             std::to_string(repeated.size() - 1) + " " + AdminTest::kServer + " -up new"},
        "");
    EXPECT_EQ(server.WaitForExit(), 1) << server.Output();
    EXPECT_TRUE(Logs(server,
                     "media.xml as read cannot be kept as media.xml.bad.3: start-up ends, or the "
                     "next save would drop the items left out"));
    EXPECT_EQ(server.Output().find("hosting"), std::string::npos) << server.Output();
    EXPECT_EQ(Entries(room.File("")), before);
}

// A removed item's files stay until a save no longer lists it: after a kill before that save
// the restarted server lists the item and serves it whole, and no new upload takes its id
// while they stay; the save at the stop deletes them.
TEST(ServerCatalogue, ARemovedItemKeepsItsFilesUntilASaveNoLongerListsIt) {
    Room room;
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("boss", "", "")));
    // After the greatest id the next one drawn wraps to 0, the removed item's.
    room.Write("media.xml",
               "<media count=\"2\">" + Item("0", "cat") + Item("-1", "dog") + "</media>");
    const std::map<std::string, std::string> files = {
        {"0_0", "photo of 0"}, {"0_1", "preview of 0"}, {"-1_0", "photo of -1"}, {"-1_1", "p"}};
    for (const auto& [name, bytes] : files) {
        room.Write("media/" + name, bytes);
    }
    const auto removeItem0 = [](RawClient& boss) {
        boss.SendFrame(RelayWire::Message(RelayWire::RemoveMedia, 0, RelayWire::U32(0)));
        const auto answer = AdminTest::FramesUntil(boss, RelayWire::RemoveMediaAnswer);
        EXPECT_EQ(RelayWire::Parse(answer.empty() ? "" : answer.back()).payload,
                  RelayWire::U8(0) + RelayWire::U32(0));
    };
    {
        auto server = room.Start();
        RawClient boss(room.Port());
        ASSERT_EQ(AdminTest::Join(boss, "boss", "boss"), 0);
        removeItem0(boss);
        server->Signal(SIGKILL);
        server->WaitForExit();
    }
    EXPECT_EQ(Entries(room.File("media")), files);

    auto server = room.Start();
    RawClient boss(room.Port());
    ASSERT_EQ(AdminTest::Join(boss, "boss", "boss"), 0);
    EXPECT_EQ(AdminTest::Listing(boss), (std::vector<std::string>{"-1 'dog'", "0 'cat'"}));
    EXPECT_EQ(AdminTest::Download(boss, 0), "photo of 0");
    removeItem0(boss);
    boss.SendFrame(RelayWire::AddMediaRequest(1, 1, 100, "new"));
    const auto added = AdminTest::FramesUntil(boss, RelayWire::AddMediaAnswer);
    EXPECT_EQ(RelayWire::Parse(added.empty() ? "" : added.back()).payload,
              RelayWire::U8(1) + RelayWire::U8(0) + RelayWire::U32(1));
    EXPECT_EQ(room.Read("media/0_0"), "photo of 0");
    server->Signal(SIGTERM);
    ASSERT_EQ(server->WaitForExit(), 0) << server->Output();
    EXPECT_EQ(room.Read("media.xml").find("<id>0</id>"), std::string::npos);
    EXPECT_NE(room.Read("media.xml").find("<id>-1</id>"), std::string::npos);
    EXPECT_EQ(Entries(room.File("media")),
              (std::map<std::string, std::string>{{"-1_0", "photo of -1"}, {"-1_1", "p"}}));
}

}  // namespace
