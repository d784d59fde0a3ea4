// The server binary end to end: the files of removed photos, named in media.xml.delete until
// they are deleted, across saves, kills and restarts.
#include "Admin/RoomFixture.h"

#include <signal.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

namespace {

using AdminTest::ConfigXml;
using AdminTest::Item;
using AdminTest::Logs;
using AdminTest::Privileges;
using AdminTest::Room;
using AdminTest::Settings;
using AdminTest::StoredFiles;
using TestSupport::RawClient;

constexpr uint32_t kAllItems = 0xFFFFFFFF;

// A room whose administrator's password is "boss", with media.xml as given.
void Prepare(const Room& room, const std::string& media) {
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("boss", "", "")));
    room.Write("media.xml", media);
}

// Has the administrator remove the item mediaId (or every item), and waits for the answer.
void Remove(const Room& room, uint32_t mediaId) {
    RawClient boss(room.Port());
    ASSERT_EQ(AdminTest::Join(boss, "boss", "boss"), 0);
    boss.SendFrame(RelayWire::Message(RelayWire::RemoveMedia, 0, RelayWire::U32(mediaId)));
    ASSERT_FALSE(AdminTest::FramesUntil(boss, RelayWire::RemoveMediaAnswer).empty());
}

// Stops the server with its closing save of media.xml failing (a directory where the temporary
// file would go, which stops root too), so that the list of files to delete stays as that save
// wrote it before the catalogue: as a kill between the save and the deletions leaves it.
void StopWithTheCatalogueUnsaved(const Room& room, TestSupport::ServerProcess& server) {
    std::filesystem::create_directory(room.File("media.xml.new"));
    server.Signal(SIGTERM);
    EXPECT_EQ(server.WaitForExit(), 1) << server.Output();
    std::filesystem::remove(room.File("media.xml.new"));
}

// A directory with a file in it: named as a photo, it cannot be deleted, even by root.
void Undeletable(const Room& room, const std::string& name) {
    room.Write(name + "/held", "");
}

// A save that removes thousands of items writes a list past the 1 MiB that bounds a list from
// elsewhere (here 2,500 items under a long MediaPath: 1,085,000 bytes; 35,000 items under
// "media/" make 1,120,000). After a kill in the middle of the deletions, with the files of the
// first 500 items deleted, the next start reads it whole and deletes the files it names, and
// nothing else; its line counts the files already gone as deleted. Before, the list was set
// aside unread and the files stayed for good; and the line counted only the files it deleted
// itself, fewer than the list named.
TEST(ServerDeletion, TheListASaveWritesIsReadWholeByTheNextStartHoweverManyItemsWereRemoved) {
    Room room;
    const std::string folder = "media/" + std::string(200, 'd') + "/";
    std::string config = ConfigXml(room.Port(), Settings(), Privileges("boss", "", ""));
    config.replace(config.find("\"media/\""), 8, "\"" + folder + "\"");
    constexpr uint32_t kFirst = 1000000;
    constexpr uint32_t kItems = 2500;
    std::string media = "<media count=\"" + std::to_string(kItems) + "\">";
    for (uint32_t id = kFirst; id < kFirst + kItems; ++id) {
        media += Item(std::to_string(id));
        room.Write(folder + std::to_string(id) + "_0", "p");
        room.Write(folder + std::to_string(id) + "_1", "v");
    }
    room.Write("config.xml", config);
    room.Write("media.xml", media + "</media>");
    room.Write(folder + "7_0", "named by no list");
    auto server = room.Start();
    Remove(room, kAllItems);
    StopWithTheCatalogueUnsaved(room, *server);
    const std::string list = room.Read("media.xml.delete");
    EXPECT_EQ(list.size(), 1085000u);
    EXPECT_EQ(list.substr(0, folder.size() + 10), folder + "1000000_0\n");
    for (uint32_t id = kFirst; id < kFirst + 500; ++id) {
        for (const char* resource : {"_0", "_1"}) {
            std::filesystem::remove(room.File(folder + std::to_string(id) + resource));
        }
    }

    room.Write("media.xml", "<media count=\"0\" />");
    server = room.Start();
    EXPECT_TRUE(Logs(*server, "Deleted 5000 files of removed photos named in media.xml.delete"))
        << server->Output();
    EXPECT_FALSE(std::filesystem::exists(room.File("media.xml.delete")));
    EXPECT_FALSE(std::filesystem::exists(room.File("media.xml.delete.bad")));
    std::set<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(room.File(folder))) {
        left.insert(entry.path().filename());
    }
    EXPECT_EQ(left, (std::set<std::string>{"7_0"}));
}

// A file that cannot be deleted (as in a media folder read-only for one start) stays named in
// the list, whether start-up or a save failed to delete it, and the log says how many; the
// files deleted and those already gone (media/3_1) are named no more, and counted as deleted. A
// start that can delete them deletes them and removes the list. Before, start-up and the save
// removed the list whatever failed, logging "Deleted 0 files", and the files stayed for good.
TEST(ServerDeletion, FilesThatCannotBeDeletedStayNamedUntilTheyAre) {
    Room room;
    Prepare(room, "<media count=\"1\">" + Item("1") + "</media>");
    for (const std::string name : {"1_0", "2_1", "3_0"}) {
        room.Write("media/" + name, "file " + name);
    }
    Undeletable(room, "media/1_1");
    Undeletable(room, "media/2_0");
    room.Write("media.xml.delete", "media/2_0\nmedia/2_1\nmedia/3_0\nmedia/3_1\n");
    auto server = room.Start();
    EXPECT_TRUE(Logs(*server,
                     "Deleted 3 files of removed photos named in media.xml.delete; 1 could not "
                     "be deleted (\"media/2_0\") and stays named in it"));
    EXPECT_EQ(room.Read("media.xml.delete"), "media/2_0\n");
    Remove(room, 1);
    server->Signal(SIGTERM);
    ASSERT_EQ(server->WaitForExit(), 0) << server->Output();
    EXPECT_TRUE(Logs(*server,
                     "1 file of removed photos could not be deleted (\"media/1_1\"); "
                     "media.xml.delete names it, and each save tries again"));
    EXPECT_EQ(room.Read("media.xml"), "<media count=\"0\" />");
    EXPECT_EQ(room.Read("media.xml.delete"), "media/1_0\nmedia/1_1\nmedia/2_0\n");
    EXPECT_EQ(StoredFiles(room), (std::set<std::string>{"1_1", "2_0"}));

    std::filesystem::remove_all(room.File("media/1_1"));
    room.Write("media/1_1", "file 1_1");
    server = room.Start();
    EXPECT_TRUE(Logs(*server,
                     "Deleted 2 files of removed photos named in media.xml.delete; 1 could not "
                     "be deleted (\"media/2_0\") and stays named in it"));
    EXPECT_EQ(room.Read("media.xml.delete"), "media/2_0\n");
    server->Signal(SIGTERM);
    ASSERT_EQ(server->WaitForExit(), 0) << server->Output();

    std::filesystem::remove_all(room.File("media/2_0"));
    room.Write("media/2_0", "file 2_0");
    server = room.Start();
    EXPECT_TRUE(Logs(*server, "Deleted 1 file of removed photos named in media.xml.delete"));
    EXPECT_FALSE(std::filesystem::exists(room.File("media.xml.delete")));
    EXPECT_TRUE(StoredFiles(room).empty());
}

// The files a list kept at start-up names (media.xml kept as read, an item left out) are named
// by the list a save writes before the catalogue, beside the files of the items it removes: a
// kill before the deletions leaves a list that still names them, for a start that reads the
// whole catalogue.
TEST(ServerDeletion, AListASaveWritesNamesTheFilesOfAListKeptAtStartUp) {
    Room room;
    const std::string media =
        "<media count=\"3\">" + Item("1") + Item("3") + Item("x") + "</media>";
    Prepare(room, media);
    room.Write("media.xml.delete", "media/2_1\nmedia/2_0\n");
    auto server = room.Start();
    EXPECT_TRUE(Logs(*server,
                     "Left 2 files of removed photos named in media.xml.delete for a start that "
                     "reads media.xml whole"));
    Remove(room, 3);
    StopWithTheCatalogueUnsaved(room, *server);
    EXPECT_EQ(room.Read("media.xml"), media);
    EXPECT_EQ(room.Read("media.xml.delete"), "media/2_0\nmedia/2_1\nmedia/3_0\nmedia/3_1\n");
}

}  // namespace
