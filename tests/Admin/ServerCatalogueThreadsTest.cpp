// The server binary keeping the catalogue whole: copies of a catalogue it cannot take whole,
// and the files of removed items.
#include "Admin/RoomFixture.h"

#include <signal.h>

#include <filesystem>
#include <map>
#include <string>

namespace {

using AdminTest::Room;

std::string Item(const std::string& id) {
    return "<item><entry><id>" + id + "</id><title>t" + id + "</title></entry><group /></item>";
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

// An earlier copy is never written over: a later one, of a catalogue with an item left out or
// of one that is no XML document, takes the next free name. A copy the disk does not take ends
// start-up with status 1, before the save that a password on the command line asks for.
TEST(ServerCatalogue, EarlierCopiesAreKeptAndACopyThatCannotBeWrittenEndsStartUp) {
    Room room;
    room.Write("config.xml", AdminTest::ConfigXml(room.Port(), AdminTest::Settings(),
                                                  AdminTest::Privileges("", "", "")));
    room.Write("media.xml.bad", "earlier");
    const std::string repeated = "<media count=\"2\">" + Item("3") + Item("3") + "</media>";
    for (const std::string& media : {repeated, std::string("<media")}) {
        room.Write("media.xml", media);
        auto server = room.Start();
        server->Signal(SIGTERM);
        ASSERT_EQ(server->WaitForExit(), 0) << server->Output();
    }
    EXPECT_EQ(
        room.Read("media.xml.bad") + room.Read("media.xml.bad.1") + room.Read("media.xml.bad.2"),
        "earlier" + repeated + "<media");

    room.Write("media.xml", repeated);
    const auto before = Entries(room.File(""));
    // With SIGXFSZ ignored, a write past the file-size limit fails instead of ending the server.
    TestSupport::ServerProcess server(
        {"sh", "-c",
         "cd " + room.File("") + " && trap '' XFSZ && exec prlimit --fsize=9 " +
             AdminTest::kServer + " -up new"},
        "");
    EXPECT_EQ(server.WaitForExit(), 1) << server.Output();
    EXPECT_TRUE(AdminTest::Logs(server,
                                "media.xml as read cannot be kept as media.xml.bad.3: "
                                "start-up ends, or the next save would drop the items "
                                "left out"));
    EXPECT_EQ(Entries(room.File("")), before);
}

// A removed item's files stay until a save no longer lists it: killed before that save, the
// server serves the item whole after a restart; while they stay no upload takes its id; the
// save at the stop deletes them.
TEST(ServerCatalogue, ARemovedItemKeepsItsFilesUntilASaveNoLongerListsIt) {
    Room room;
    room.Write("config.xml", AdminTest::ConfigXml(room.Port(), AdminTest::Settings(),
                                                  AdminTest::Privileges("boss", "", "")));
    // After the greatest id, the next one drawn wraps to 0, the removed item's.
    room.Write("media.xml", "<media count=\"2\">" + Item("0") + Item("-1") + "</media>");
    for (const auto& [name, bytes] : {std::pair{"0_0", "photo"},
                                      {"0_1", "preview"},
                                      {"-1_0", "other"},
                                      {"-1_1", "its preview"}}) {
        room.Write(std::string("media/") + name, bytes);
    }
    for (const int stop : {SIGKILL, SIGTERM}) {
        auto server = room.Start();
        TestSupport::RawClient boss(room.Port());
        ASSERT_EQ(AdminTest::Join(boss, "boss", "boss"), 0);
        EXPECT_EQ(AdminTest::Download(boss, 0), "photo");
        boss.SendFrame(RelayWire::Message(RelayWire::RemoveMedia, 0, RelayWire::U32(0)));
        boss.SendFrame(RelayWire::AddMediaRequest(1, 1, 100, "new"));
        const auto added = AdminTest::FramesUntil(boss, RelayWire::AddMediaAnswer);
        EXPECT_EQ(RelayWire::Parse(added.empty() ? "" : added.back()).payload,
                  RelayWire::U8(1) + RelayWire::U8(0) + RelayWire::U32(1));
        server->Signal(stop);
        server->WaitForExit();
    }
    EXPECT_EQ(room.Read("media.xml"), "<media count=\"1\">" + Item("-1") + "</media>");
    EXPECT_EQ(Entries(room.File("media")),
              (std::map<std::string, std::string>{{"-1_0", "other"}, {"-1_1", "its preview"}}));
}

}  // namespace
