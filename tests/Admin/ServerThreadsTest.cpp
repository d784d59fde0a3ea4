// The server binary end to end, each test in a fresh working directory on a free port.
// Every server also tries the policy port 943, which can be bound only by root or with
// the bind capability; the tests hold whether it can be bound or not.
#include "Admin/RoomFixture.h"
#include "Admin/Uploads.h"
#include "support/ListenQueue.h"
#include "support/Process.h"
#include "support/RelayTestServer.h"
#include "support/Text.h"
#include "support/Wait.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using AdminTest::AddMedia;
using AdminTest::BeingMade;
using AdminTest::ConfigXml;
using AdminTest::Item;
using AdminTest::Logs;
using AdminTest::Pngs;
using AdminTest::Privileges;
using AdminTest::Room;
using AdminTest::SendChunks;
using AdminTest::Settings;
using AdminTest::StoredFiles;
using AdminTest::TwoUploads;
using TestSupport::RawClient;
using TestSupport::ServerProcess;

const std::string kPolicy =
    "<?xml version=\"1.0\"?><access-policy><cross-domain-access><policy><allow-from><domain "
    "uri=\"*\" /></allow-from><grant-to><socket-resource port=\"4502-4534\" protocol=\"tcp\" "
    "/></grant-to></policy></cross-domain-access></access-policy>";

// The stored password of an account element ("admin", "moderator" or "user").
std::string StoredPassword(const std::string& config, const std::string& account) {
    std::smatch match;
    const std::regex element("<" + account + R"re( isEnabled="[a-z]*" password="([^"]*)")re");
    return std::regex_search(config, match, element) ? match[1].str() : "<no " + account + ">";
}

// Whether the policy server listens; if so, a connection from the loopback address source
// gets the policy and is logged.
bool PolicyServiceWorks(ServerProcess& server, const std::string& source = "127.0.0.1") {
    const int hosting = server.WaitForLine("Policy server hosting on port 943");
    EXPECT_GE(hosting, 0);
    if (hosting < 0 || AdminTest::LogText(server.Lines()[static_cast<size_t>(hosting)]) !=
                           "Policy server hosting on port 943") {
        return false;
    }
    RawClient client(943, source);
    EXPECT_EQ(client.ReadToEnd().value_or("<reset>"), kPolicy);
    EXPECT_GE(server.WaitForLine("Policy server granting access to " + source + ":"), 0);
    return true;
}

// config (as ConfigXml writes it) with room for places members.
std::string WithPlaces(const std::string& config, size_t places) {
    return std::regex_replace(config, std::regex("RoomMaxClients=\"20\""),
                              "RoomMaxClients=\"" + std::to_string(places) + "\"");
}

// A relay frame: the payload's length, little-endian, then the payload.
std::string Frame(const std::string& payload) {
    return RelayWire::U32(static_cast<uint32_t>(payload.size())) + payload;
}

// The payload of the next frame on a blocking socket; empty when none came.
std::string NextFrame(const TestSupport::RawSocket& socket) {
    const std::string header = socket.Receive(4);
    if (header.size() < 4) {
        return "";
    }
    uint32_t length = 0;
    for (int i = 3; i >= 0; --i) {
        length = length << 8 | static_cast<uint8_t>(header[static_cast<size_t>(i)]);
    }
    const std::string payload = socket.Receive(length);
    return payload.size() == length ? payload : "";
}

// The port the relay server's hosting line names; 0 when it names none. Returns once
// start-up has ended.
int HostingPort(ServerProcess& server) {
    const int index = server.WaitForLine("Relay server hosting on port ");
    AdminTest::WaitForStartUp(server);
    std::smatch match;
    const std::string text =
        index < 0 ? "" : AdminTest::LogText(server.Lines()[static_cast<size_t>(index)]);
    return std::regex_match(text, match, std::regex(R"(Relay server hosting on port (\d+))"))
               ? std::stoi(match[1].str())
               : 0;
}

// The room's name saved in "config.xml" and the first item's title saved in "media.xml", each
// on a line as python's repr of what its XML reader reads.
std::string SavedTexts(const Room& room) {
    return TestSupport::RunPython(
               "import xml.etree.ElementTree as ET\n"
               "print(repr(ET.parse('" +
               room.File("config.xml") +
               "').getroot().get('RoomName')))\n"
               "print(repr(ET.parse('" +
               room.File("media.xml") + "').getroot().find('item/entry/title').text))\n")
        .output;
}

// The catalogue as a client is listed it, newest first: one line per entry, its id text
// and the python repr of its title, read by python from the deflated XML.
std::vector<std::string> Listing(RawClient& client) {
    client.SendFrame(RelayWire::Message(RelayWire::GetMediaInfo, 0,
                                        RelayWire::U32(0xFFFFFFFF) + RelayWire::U8(255)));
    const auto frames = AdminTest::FramesUntil(client, RelayWire::MediaInfo);
    EXPECT_FALSE(frames.empty());
    const RelayWire::Parsed answer = RelayWire::Parse(frames.empty() ? "" : frames.back());
    return TestSupport::PythonLines(R"(
import sys, zlib, xml.etree.ElementTree as ET
atom = '{http://www.w3.org/2005/Atom}'
for entry in ET.fromstring(zlib.decompress(sys.stdin.buffer.read()[8:])).findall(atom + 'entry'):
    print(entry.findtext(atom + 'id'), repr(entry.findtext(atom + 'title')))
)",
                                    answer.payload);
}

// The bytes of a resource of item id as a client downloads them, for a file that fits in one
// chunk; "<refused>" when the download is answered that it will not come, "<answer N>" for
// another answer.
std::string Download(RawClient& client, uint32_t id, uint8_t resource = 0) {
    client.SendFrame(RelayWire::MediaFile(RelayWire::GetMedia, id, resource));
    const auto frames = AdminTest::FramesUntil(client, RelayWire::GetMediaAnswer);
    const RelayWire::Parsed answer = RelayWire::Parse(frames.empty() ? "" : frames.back());
    const std::string asked = RelayWire::U32(id) + RelayWire::U8(resource);
    if (answer.payload == RelayWire::U8(2) + asked) {
        return "<refused>";
    }
    if (answer.payload != RelayWire::U8(0) + asked) {
        return answer.payload.empty()
                   ? "<no answer>"
                   : "<answer " + std::to_string(static_cast<uint8_t>(answer.payload[0])) + ">";
    }
    const RelayWire::Parsed chunk = RelayWire::Parse(client.NextFrame().value_or(""));
    EXPECT_EQ(chunk.type, RelayWire::MediaChunk);
    EXPECT_EQ(chunk.payload.substr(0, 9),
              RelayWire::U32(id) + RelayWire::U8(resource) + RelayWire::U32(0));
    return chunk.payload.size() < 11 ? "<no chunk>" : chunk.payload.substr(11);
}

// Client text is logged with its control bytes escaped, so it cannot forge or break lines.
// SIGTERM, like SIGINT, saves both files and ends with status 0.
TEST(Server, HostsTheRoomAndLogsEveryEventOnALineOfItsOwn) {
    Room room;
    const std::string config = ConfigXml(room.Port(), Settings(), Privileges("", "", "letmein"));
    const std::string media =
        "<media count=\"2\"><item><entry><author><name>Ann</name></author><id>0</id><title>cat"
        "</title><published>2024/01/02 13:04:05</published></entry><group><content "
        "fileSize=\"12345\" height=\"1000\" width=\"2000\" /><content fileSize=\"2345\" "
        "height=\"120\" width=\"160\" /></group></item><item><entry><id>7</id><title>dog"
        "</title><published>2024/01/03 10:00:00</published></entry><group><content "
        "fileSize=\"99\" /></group></item></media>";
    room.Write("config.xml", config);
    room.Write("media.xml", media);
    auto server = room.Start();
    const bool policyHosted = PolicyServiceWorks(*server);
    const std::string name = "Ann\n2000-01-01 00:00:00: Mallory";
    const char chat[] =
        "hi\x1b[31m\r\0end\xc2\x9b"
        "2J\x9b";
    {
        RawClient client(room.Port());
        ASSERT_TRUE(client.Connected());
        EXPECT_GE(server->WaitForLine("Relay server client 127.0.0.1:"), 0);
        EXPECT_EQ(AdminTest::Join(client, name, "letmein"), 0);
        // The request is logged when it arrives, before the join gives the client its name.
        EXPECT_TRUE(Logs(*server, " (id: 1) sent 100 (Registration Request)."));
        client.SendFrame(RelayWire::ChatText(std::string(chat, sizeof chat - 1)));
        EXPECT_TRUE(Logs(*server,
                         "Ann\\n2000-01-01 00:00:00: Mallory (id: 1) sent a chat msg. "
                         "hi\\x1b[31m\\r\\x00end\\xc2\\x9b2J\\x9b"));
    }
    EXPECT_TRUE(Logs(*server, "Ann\\n2000-01-01 00:00:00: Mallory (id: 1) has left the room."));
    RawClient refused(room.Port());
    EXPECT_EQ(AdminTest::Join(refused, "Bob", "wrong"), 3);
    // Media requests are answered, and the connection is still served after one.
    RawClient browser(room.Port());
    browser.SendFrame(
        RelayWire::Message(RelayWire::GetMediaInfo, 0, RelayWire::U32(0) + RelayWire::U8(10)));
    browser.SendFrame(RelayWire::Message(RelayWire::UserStatus, 0, RelayWire::U8(1)));
    EXPECT_EQ(RelayWire::Parse(browser.NextFrame().value_or("")).type, RelayWire::MediaInfo);
    const auto answer = browser.NextFrame();
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(*answer, RelayWire::Message(RelayWire::Error, 0, RelayWire::U8(1)));

    std::filesystem::remove(room.File("config.xml"));
    std::filesystem::remove(room.File("media.xml"));
    server->Signal(SIGTERM);
    EXPECT_EQ(server->WaitForExit(), 0) << server->Output();
    EXPECT_EQ(room.Read("config.xml"), config);
    EXPECT_EQ(room.Read("media.xml"), media);
    EXPECT_TRUE(Logs(*server, "Relay server stopped"));
    EXPECT_EQ(Logs(*server, "Policy server stopped"), policyHosted);
    for (const std::string& line : server->Lines()) {
        EXPECT_NE(AdminTest::LogText(line), line);
    }
}

TEST(Server, HelpAndVersionPrintTheirTextAndLeaveTheFiles) {
    const std::string help =
        "Command Line Example: " + AdminTest::kServer +
        " [CONFIG]\n"
        "-sp=\t--switchboardPassword=\tSets the password for logging into the switchboard.\n"
        "-ap=\t--adminPassword=\tSets the password for the administrator account.\n"
        "-mp=\t--modPassword=\t\tSets the password for the moderator account.\n"
        "-up=\t--userPassword=\t\tSets the password for normal users (the room password).\n"
        "-h\t--help=\t\t\tThis help text.\n"
        "-v\t--version=\t\tPrints the server version.\n";
    const std::string version = "ZELVO Admin Beta 1\n";
    const struct {
        std::vector<std::string> args;
        const std::string& output;
    } cases[] = {
        {{"-h"}, help},
        {{"--help"}, help},
        {{"-v"}, version},
        {{"--version", "-h"}, version},
        // The password is set, its word is skipped as an option, and -h ends the process
        // before anything is saved.
        {{"-sp", "secret", "-h"}, help},
        {{"-up=secret", "--version"}, version},
    };
    for (const auto& test : cases) {
        Room room;
        const std::string config = ConfigXml(room.Port(), Settings(), Privileges("", "", ""));
        room.Write("config.xml", config);
        ServerProcess server(AdminTest::kServer, test.args, room.File(""));
        EXPECT_EQ(server.WaitForExit(), 0) << test.args[0];
        EXPECT_EQ(server.Output(), test.output) << test.args[0];
        EXPECT_EQ(room.Read("config.xml"), config) << test.args[0];
        EXPECT_FALSE(std::filesystem::exists(room.File("media.xml"))) << test.args[0];
    }
}

// Password options are saved encrypted and admit at once. The files may be links into
// another directory (relative or absolute, or not there yet): each save goes through the
// link to its target, the link stays, and a target kept private to hide its passwords
// stays private. SIGINT ends the server and saves, as SIGTERM does.
TEST(Server, PasswordOptionsAreSavedThroughLinksAndAdmitAtOnce) {
    namespace fs = std::filesystem;
    Room room;
    fs::create_directories(room.File("store/sub"));
    room.Write("store/sub/config.xml",
               ConfigXml(room.Port(), Settings(), Privileges("", "", "old-pass")));
    fs::permissions(room.File("store/sub/config.xml"),
                    fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink("sub/config.xml", room.File("store/link.xml"));
    fs::create_symlink("store/link.xml", room.File("config.xml"));
    fs::create_symlink(room.File("store/media.xml"), room.File("media.xml"));
    auto server = room.Start({"-up=new pass", "--adminPassword", "boss", "-sp", "sb&secret"});
    EXPECT_EQ(fs::status(room.File("store/sub/config.xml")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write);

    const std::string config = room.Read("store/sub/config.xml");
    EXPECT_EQ(AdminTest::Decrypt(StoredPassword(config, "user")), "new pass");
    EXPECT_EQ(AdminTest::Decrypt(StoredPassword(config, "admin")), "boss");
    EXPECT_EQ(StoredPassword(config, "moderator"), "");
    std::smatch switchboard;
    ASSERT_TRUE(
        std::regex_search(config, switchboard, std::regex(R"re(SwitchboardPassword="([^"]*)")re")));
    EXPECT_EQ(AdminTest::Decrypt(switchboard[1].str()), "sb&secret");

    RawClient stale(room.Port());
    EXPECT_EQ(AdminTest::Join(stale, "Ann", "old-pass"), 3);
    RawClient user(room.Port());
    EXPECT_EQ(AdminTest::Join(user, "Ann", "new pass"), 0);
    RawClient admin(room.Port());
    EXPECT_EQ(AdminTest::Join(admin, "Boss", "boss"), 0);

    fs::remove(room.File("store/media.xml"));
    server->Signal(SIGINT);
    ASSERT_EQ(server->WaitForExit(), 0) << server->Output();
    EXPECT_EQ(fs::read_symlink(room.File("config.xml")), "store/link.xml");
    EXPECT_EQ(fs::read_symlink(room.File("store/link.xml")), "sub/config.xml");
    EXPECT_EQ(fs::read_symlink(room.File("media.xml")), room.File("store/media.xml"));
    EXPECT_EQ(room.Read("store/sub/config.xml"), config);
    EXPECT_EQ(room.Read("store/media.xml"), "<media count=\"0\" />");
    EXPECT_FALSE(fs::exists(room.File("store/sub/config.xml.new")));
}

// Killed whenever "config.xml" starts to change, the file is still the old or the new one.
TEST(Server, AKilledSaveLeavesTheOldOrTheNewFile) {
    Room room;
    Settings settings;
    settings.roomSummary = std::string(1 << 18, 's');
    room.Write("config.xml", ConfigXml(room.Port(), settings, Privileges("", "", "pass-0")));
    const auto identity = [&room] {
        struct stat file {};
        stat(room.File("config.xml").c_str(), &file);
        return std::to_string(file.st_ino) + ":" + std::to_string(file.st_size) + ":" +
               std::to_string(file.st_mtim.tv_nsec);
    };
    std::string previous = "pass-0";
    for (int round = 1; round <= 4; ++round) {
        const std::string password = "pass-" + std::to_string(round);
        std::string before = identity();
        std::vector<std::string> args{"-up", password};
        if (round % 2 == 0) {
            args.clear();  // the closing save, of an unchanged file
        }
        ServerProcess server(AdminTest::kServer, args, room.File(""));
        if (args.empty()) {
            ASSERT_TRUE(
                Logs(server, "Relay server hosting on port " + std::to_string(room.Port())));
            server.Signal(SIGTERM);
        }
        TestSupport::WaitUntil([&] { return identity() != before; });
        server.Signal(SIGKILL);
        server.WaitForExit();

        const std::string config = room.Read("config.xml");
        const std::string stored = AdminTest::Decrypt(StoredPassword(config, "user"));
        ASSERT_TRUE(stored == previous || stored == password) << "round " << round;
        ASSERT_EQ(config, ConfigXml(room.Port(), settings, Privileges("", "", stored)))
            << "round " << round;
        previous = stored;
    }
}

TEST(Server, UnreadableFilesAreReportedAndIgnored) {
    Room room;
    const std::string config =
        "<config RelayServerPort=\"" + std::to_string(room.Port()) + "\" RoomName=\"cut off";
    room.Write("config.xml", config);
    room.Write("media.xml", "<media count=\"1\"><item>");
    room.Write("resource/locale/en.txt", "switchboard.uri.unknown=Unknown\nno equals sign\n");
    ServerProcess server(AdminTest::kServer, {}, room.File(""));
    EXPECT_TRUE(Logs(server,
                     "config.xml is not a readable XML document; it is ignored and kept "
                     "as config.xml.bad"));
    EXPECT_TRUE(Logs(server,
                     "media.xml is not a readable XML document; it is ignored and kept "
                     "as media.xml.bad"));
    EXPECT_TRUE(Logs(server, "resource/locale/en.txt: ignored 1 line(s) that are not key=text"));
    // Without a configuration the relay server hosts on a port of the system's choice,
    // and names it.
    EXPECT_NE(HostingPort(server), 0);
    server.Signal(SIGTERM);
    EXPECT_EQ(server.WaitForExit(), 0) << server.Output();
    EXPECT_EQ(room.Read("media.xml"), "<media count=\"0\" />");
    // The closing save has not written over what the files held.
    EXPECT_EQ(room.Read("config.xml.bad"), config);
    EXPECT_EQ(room.Read("media.xml.bad"), "<media count=\"1\"><item>");

    // Values that cannot be read as what they stand for read as missing ones.
    Room garbled;
    garbled.Write("config.xml",
                  "<config RelayServerPort=\"" + std::to_string(garbled.Port()) +
                      "\" RoomMaxClients=\"many\" SwitchboardPassword=\"%%%\"><privileges>"
                      "<user isEnabled=\"yes\" password=\"not*base64\" /></privileges></config>");
    auto running = garbled.Start();
    RawClient client(garbled.Port());
    // No client fits in a room of 0.
    EXPECT_EQ(AdminTest::Join(client, "Ann", ""), 1);
    running->Signal(SIGTERM);
    EXPECT_EQ(running->WaitForExit(), 0) << running->Output();
}

// A file that exists but cannot be read is never taken for a missing one: the first save
// would write empty settings or an empty catalogue over it.
TEST(Server, AFileThatCannotBeReadEndsStartUpTouchingNoFile) {
    // Root reads a file whatever its mode; a directory cannot be read by anyone.
    std::vector<std::string> reasons = {"Is a directory"};
    if (getuid() != 0) {
        reasons.push_back(std::strerror(EACCES));
    }
    for (const std::string file : {"config.xml", "media.xml"}) {
        for (const std::string& reason : reasons) {
            SCOPED_TRACE(file + ": " + reason);
            Room room;
            const std::string config = ConfigXml(room.Port(), Settings(), Privileges("", "", ""));
            room.Write("config.xml", config);
            room.Write("media.xml", "<media count=\"0\" />");
            if (reason == "Is a directory") {
                std::filesystem::remove(room.File(file));
                std::filesystem::create_directory(room.File(file));
            } else {
                std::filesystem::permissions(room.File(file), std::filesystem::perms::none);
            }
            ServerProcess server(AdminTest::kServer, {"-up", "new"}, room.File(""));
            EXPECT_EQ(server.WaitForExit(), 1) << server.Output();
            EXPECT_TRUE(Logs(server, file + " cannot be read: " + reason));
            std::filesystem::permissions(room.File(file), std::filesystem::perms::owner_all);
            const std::string other = file == "config.xml" ? "media.xml" : "config.xml";
            EXPECT_EQ(room.Read(other), other == "config.xml" ? config : "<media count=\"0\" />");
            EXPECT_EQ(std::filesystem::is_directory(room.File(file)), reason == "Is a directory");
            EXPECT_FALSE(std::filesystem::exists(room.File(file + ".bad")));
        }
    }
}

// A password written into "config.xml" by hand, unencrypted, still guards the room: read
// as no password it would let everyone in, and the next save would erase it. The stored
// empty password is no such text: taken as written, it would lock its account. Texts with
// markup characters come through a save and a restart unchanged.
TEST(Server, HandWrittenPasswordsAndMarkupSurviveSaveAndRestart) {
    const std::string name = "Tom & Jerry <\"home\">\nsecond line";
    Room room;
    Settings settings;
    // A ">" may stand unescaped in a quoted value.
    settings.roomName = "Tom &amp; Jerry &lt;&quot;home&quot;>&#10;second line";
    room.Write("config.xml",
               ConfigXml(room.Port(), settings,
                         "\t\t<user isEnabled=\"true\" password=\"letmein\" chat=\"true\" />\n"
                         "\t\t<moderator isEnabled=\"true\" password=\"" +
                             AdminTest::Encrypt("") + "\" />\n"));
    room.Write("media.xml",
               "<media count=\"1\"><item><entry><id>3</id><title>a &lt;b&gt; &amp; &quot;c&quot;"
               "&#10;d</title></entry><group /></item></media>");
    std::string savedConfig;
    std::string savedMedia;
    for (int cycle = 0; cycle < 2; ++cycle) {
        auto server = room.Start();
        if (cycle == 0) {
            EXPECT_TRUE(Logs(*server,
                             "config.xml: the password of the user account is not encrypted; it "
                             "is taken as written"));
        }
        RawClient anyone(room.Port());
        EXPECT_EQ(AdminTest::Join(anyone, "Ann", ""), 3);
        RawClient member(room.Port());
        member.SendFrame(AdminTest::JoinRequest("Bob", "letmein"));
        auto frames = AdminTest::FramesUntil(member, RelayWire::RoomInfo);
        ASSERT_GE(frames.size(), 2u);
        EXPECT_EQ(frames.front().substr(5), RelayWire::U8(0));
        const std::string& info = frames.back();
        ASSERT_GT(info.size(), 6u);
        EXPECT_EQ(info.substr(6, static_cast<uint8_t>(info[5])), name);
        server->Signal(SIGTERM);
        ASSERT_EQ(server->WaitForExit(), 0) << server->Output();
        EXPECT_EQ(server->Output().find("password of the moderator"), std::string::npos);
        if (cycle == 1) {
            EXPECT_EQ(room.Read("config.xml"), savedConfig);
            EXPECT_EQ(room.Read("media.xml"), savedMedia);
        }
        savedConfig = room.Read("config.xml");
        savedMedia = room.Read("media.xml");
    }
    EXPECT_EQ(AdminTest::Decrypt(StoredPassword(savedConfig, "user")), "letmein");
    EXPECT_EQ(StoredPassword(savedConfig, "moderator"), "");
    EXPECT_EQ(SavedTexts(room), "'Tom & Jerry <\"home\">\\nsecond line'\n'a <b> & \"c\"\\nd'\n");
}

// A save that fails keeps the old file and says so; a console closed afterwards does not
// end the server, and the closing save still runs.
TEST(Server, AFailedSaveOrAClosedConsoleKeepsTheServerAndItsFiles) {
    Room room;
    const std::string config = ConfigXml(room.Port(), Settings(), Privileges("", "", "old"));
    room.Write("config.xml", config);
    // A directory where the temporary file would go makes writing it fail, even for root.
    std::filesystem::create_directory(room.File("config.xml.new"));
    auto server = room.Start({"-up", "new"});
    EXPECT_TRUE(Logs(*server,
                     "Saving config.xml failed; the file is left as it was. config.xml.new could "
                     "not be written: Is a directory"));
    EXPECT_EQ(room.Read("config.xml"), config);
    EXPECT_EQ(room.Read("media.xml"), "<media count=\"0\" />");
    server->CloseOutput();
    {
        // The join is answered after its request was logged, into the closed pipe.
        RawClient client(room.Port());
        EXPECT_EQ(AdminTest::Join(client, "Ann", "new"), 0);
    }
    std::filesystem::remove(room.File("media.xml"));
    // With the way cleared, the closing save goes through and the server ends well.
    std::filesystem::remove(room.File("config.xml.new"));
    server->Signal(SIGTERM);
    EXPECT_EQ(server->WaitForExit(), 0);
    EXPECT_EQ(room.Read("media.xml"), "<media count=\"0\" />");
    EXPECT_EQ(AdminTest::Decrypt(StoredPassword(room.Read("config.xml"), "user")), "new");
}

// The log says what the server really does. A relay port of 0, or one that is no number,
// gets a port from the system: the hosting line names that one, where clients can reach
// it, not the 0 asked for. A preview size for which no preview can be made (a side below
// 1, or more pixels than an image may have) makes every upload end without an item, so
// start-up says so, naming both settings.
TEST(Server, TheLogNamesTheRealPortAndAPreviewSizeThatCannotBeMade) {
    const struct {
        const char* port;
        const char* width;
        const char* height;
        bool usable;
    } cases[] = {
        {"0", "160", "120", true},     {"any", "0", "120", false},   {"0", "160", "-1", false},
        {"0", "10000", "5001", false}, {"0", "10000", "5000", true},
    };
    for (const auto& test : cases) {
        const std::string size = std::string(test.width) + " x " + test.height;
        SCOPED_TRACE(std::string("port ") + test.port + ", preview " + size);
        Room room;
        std::string config = ConfigXml(room.Port(), Settings(), Privileges("", "", ""));
        config = std::regex_replace(config, std::regex(R"re(RelayServerPort="\d+")re"),
                                    std::string("RelayServerPort=\"") + test.port + "\"");
        config = std::regex_replace(config, std::regex(R"re(MediaPreviewWidth="\d+")re"),
                                    std::string("MediaPreviewWidth=\"") + test.width + "\"");
        config = std::regex_replace(config, std::regex(R"re(MediaPreviewHeight="\d+")re"),
                                    std::string("MediaPreviewHeight=\"") + test.height + "\"");
        room.Write("config.xml", config);
        ServerProcess server(AdminTest::kServer, {}, room.File(""));
        const int port = HostingPort(server);
        ASSERT_GT(port, 0) << server.Output();
        RawClient client(static_cast<uint16_t>(port));
        EXPECT_EQ(AdminTest::Join(client, "Ann", ""), 0);
        const std::string warning =
            "config.xml: no preview can be made at MediaPreviewWidth x MediaPreviewHeight = " +
            size +
            " (each must be 1 or more, and the two together at most 50000000 pixels); every "
            "photo upload will end without an item";
        server.Signal(SIGTERM);
        EXPECT_EQ(server.WaitForExit(), 0) << server.Output();
        EXPECT_EQ(Logs(server, warning), !test.usable) << server.Output();
    }
}

// A terminal that hangs up on a foreground server ends it as SIGTERM does: the closing save
// runs, both servers stop, and the status is 0. Killed by the signal, it would lose every
// change since the last save.
TEST(Server, AHangUpSavesAndEndsWithStatus0) {
    Room room;
    const std::string config = ConfigXml(room.Port(), Settings(), Privileges("", "", "pass"));
    room.Write("config.xml", config);
    auto server = room.Start();
    std::filesystem::remove(room.File("config.xml"));
    server->Signal(SIGHUP);
    EXPECT_EQ(server->WaitForExit(), 0) << server->Output();
    EXPECT_EQ(room.Read("config.xml"), config);
    EXPECT_EQ(room.Read("media.xml"), "<media count=\"0\" />");
    EXPECT_TRUE(Logs(*server, "Relay server stopped"));
}

// A server started with SIGHUP and SIGINT ignored, as under nohup or as a background job of
// a script, outlives its session: it leaves both ignored and goes on serving after them.
// A launcher may also leave the three stop signals blocked; the server takes them all the
// same, so SIGTERM still ends it with the closing save and status 0.
TEST(Server, SignalsInheritedIgnoredStayIgnoredAndBlockedOnesAreTaken) {
    Room room;
    const std::string config = ConfigXml(room.Port(), Settings(), Privileges("", "", ""));
    room.Write("config.xml", config);
    auto server = room.Start({}, {SIGHUP, SIGINT}, {SIGHUP, SIGINT, SIGTERM});
    EXPECT_TRUE(TestSupport::IgnoresSignal(server->Pid(), SIGHUP));
    EXPECT_TRUE(TestSupport::IgnoresSignal(server->Pid(), SIGINT));
    EXPECT_FALSE(TestSupport::IgnoresSignal(server->Pid(), SIGTERM));
    server->Signal(SIGHUP);
    server->Signal(SIGINT);
    RawClient client(room.Port());
    EXPECT_EQ(AdminTest::Join(client, "Ann", ""), 0);
    std::filesystem::remove(room.File("config.xml"));
    server->Signal(SIGTERM);
    EXPECT_EQ(server->WaitForExit(), 0) << server->Output();
    EXPECT_EQ(room.Read("config.xml"), config);
    EXPECT_EQ(std::count_if(server->Lines().begin(), server->Lines().end(),
                            [](const std::string& line) {
                                return AdminTest::LogText(line) == "Relay server stopped";
                            }),
              1);
}

// Ids above 2147483647 written unsigned into "media.xml" by another tool name distinct
// items: each is listed and downloads its own file (named by the id written signed), a save
// writes them back as they were read, and the next upload takes an id none of them holds.
TEST(Server, UnsignedIdsInTheCatalogueNameDistinctItems) {
    const struct {
        uint32_t id;
        const char* file;
    } items[] = {{0, "0_0"},
                 {3000000000u, "-1294967296_0"},
                 {3000000001u, "-1294967295_0"},
                 {4294967295u, "-1_0"}};
    Room room;
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "")));
    std::string media = "<media count=\"4\">";
    std::vector<std::string> listed;
    for (const auto& item : items) {
        const std::string id = std::to_string(item.id);
        media += "<item><entry><id>" + id + "</id><title>photo " + id +
                 "</title></entry><group><content fileSize=\"10\" /></group></item>";
        listed.insert(listed.begin(), id + " 'photo " + id + "'");
        room.Write(std::string("media/") + item.file, "file of " + id);
    }
    media += "</media>";
    room.Write("media.xml", media);
    for (int cycle = 0; cycle < 2; ++cycle) {
        SCOPED_TRACE(cycle == 0 ? "as written by hand" : "as saved");
        auto server = room.Start();
        RawClient client(room.Port());
        ASSERT_EQ(AdminTest::Join(client, "Ann", ""), 0);
        EXPECT_EQ(Listing(client), listed);
        for (const auto& item : items) {
            EXPECT_EQ(Download(client, item.id), "file of " + std::to_string(item.id));
        }
        if (cycle == 1) {
            // The counter follows the highest id, 4294967295, round to 0, which is taken.
            client.SendFrame(RelayWire::AddMediaRequest(1, 1, 1000, "next"));
            const auto frames = AdminTest::FramesUntil(client, RelayWire::AddMediaAnswer);
            ASSERT_FALSE(frames.empty());
            EXPECT_EQ(RelayWire::Parse(frames.back()).payload,
                      RelayWire::U8(1) + RelayWire::U8(0) + RelayWire::U32(1));
        }
        server->Signal(SIGTERM);
        ASSERT_EQ(server->WaitForExit(), 0) << server->Output();
        EXPECT_EQ(room.Read("media.xml"), media);
    }
}

// Hand-written items whose ids name no 32-bit number, or repeat one read before, are left out
// and logged, never taking item 0's or 7's place; "media.xml" as written (through a link) is
// kept as "media.xml.bad", and the closing save keeps the real items.
TEST(Server, CatalogueItemsWhoseIdsNameNoNumberOrRepeatOneAreLeftOutAndKept) {
    const auto item = [](const std::string& id, const std::string& title) {
        return "<item><entry><id>" + id + "</id><title>" + title +
               "</title></entry><group><content fileSize=\"10\" /></group></item>";
    };
    const std::pair<std::string, std::string> foreign[] = {
        {"4294967296", "too big"}, {"-2147483649", "too small"}, {"abc", "letters"}, {"", "none"}};
    Room room;
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "")));
    std::string media = "<media count=\"7\">";
    for (const auto& [id, title] : foreign) {
        media += item(id, title);
    }
    media += item("0", "photo 0") + item("7", "photo 7") + item("7", "again&#10;7") + "</media>";
    room.Write("store/media.xml", media);
    std::filesystem::create_symlink("store/media.xml", room.File("media.xml"));
    room.Write("media/0_0", "file of 0");
    room.Write("media/7_0", "file of 7");
    auto server = room.Start();
    RawClient client(room.Port());
    ASSERT_EQ(AdminTest::Join(client, "Ann", ""), 0);
    EXPECT_EQ(Listing(client), (std::vector<std::string>{"7 'photo 7'", "0 'photo 0'"}));
    EXPECT_EQ(Download(client, 0), "file of 0");
    EXPECT_EQ(Download(client, 7), "file of 7");
    const std::string leftOut = ") left out of the catalogue: its id is ";
    for (const auto& [id, title] : foreign) {
        EXPECT_TRUE(Logs(*server, "Media item \"" + id + "\" (" + title + leftOut + "no number"));
    }
    EXPECT_TRUE(Logs(*server, "Media item \"7\" (again\\n7" + leftOut + "already in use"));
    EXPECT_TRUE(Logs(*server, "media.xml as read is kept as media.xml.bad"));
    server->Signal(SIGTERM);
    ASSERT_EQ(server->WaitForExit(), 0) << server->Output();
    EXPECT_EQ(room.Read("media.xml.bad"), media);
    EXPECT_EQ(room.Read("store/media.xml"),
              "<media count=\"2\">" + item("0", "photo 0") + item("7", "photo 7") + "</media>");
}

// Carriage returns, tabs and line feeds in a title and in the room's name reach clients and
// come through a save and a restart as they were, read by any conforming reader: written raw,
// a carriage return would be read as a line feed, and a tab in an attribute as a space.
TEST(Server, LineEndsAndTabsInTextsSurviveListingSaveAndRestart) {
    Room room;
    Settings settings;
    settings.roomName = "tab&#9;here&#13;&#10;there";
    room.Write("config.xml", ConfigXml(room.Port(), settings, Privileges("", "", "")));
    room.Write("media.xml",
               "<media count=\"1\"><item><entry><id>3</id><title>a&#13;b\tc&#10;d&#13;</title>"
               "</entry><group /></item></media>");
    for (int cycle = 0; cycle < 2; ++cycle) {
        SCOPED_TRACE(cycle == 0 ? "as written by hand" : "as saved");
        auto server = room.Start();
        RawClient client(room.Port());
        client.SendFrame(AdminTest::JoinRequest("Ann", ""));
        const auto frames = AdminTest::FramesUntil(client, RelayWire::RoomInfo);
        ASSERT_FALSE(frames.empty());
        const std::string& info = frames.back();
        ASSERT_GT(info.size(), 6u);
        EXPECT_EQ(info.substr(6, static_cast<uint8_t>(info[5])), "tab\there\r\nthere");
        EXPECT_EQ(Listing(client), std::vector<std::string>{"3 'a\\rb\\tc\\nd\\r'"});
        server->Signal(SIGTERM);
        ASSERT_EQ(server->WaitForExit(), 0) << server->Output();
        EXPECT_EQ(SavedTexts(room), "'tab\\there\\r\\nthere'\n'a\\rb\\tc\\nd\\r'\n");
    }
}

// A photo whose upload is complete becomes an item even when the stop comes while it is
// being made: the stop waits for it, and the closing save, made once the relay has
// stopped, lists it beside its two files.
TEST(Server, AStopWhileAPhotoIsMadeSavesItsItem) {
    Room room;
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "")));
    // Many pixels, so that it takes a while to decode, in few bytes, so that it uploads
    // at once.
    const std::string png = Pngs("(4000, 3000)")[0];
    ASSERT_LT(png.size(), 100000u);
    auto server = room.Start();
    RawClient alice(room.Port());
    ASSERT_EQ(AdminTest::Join(alice, "Alice", ""), 0);
    ASSERT_EQ(AddMedia(alice, "big", png), 0u);
    SendChunks(alice, 0, png);
    ASSERT_TRUE(BeingMade(*server, room, 0));
    const std::string photo = room.File("media/0_0");
    server->Signal(SIGTERM);
    EXPECT_EQ(server->WaitForExit(), 0) << server->Output();
    const std::string media = room.Read("media.xml");
    EXPECT_NE(media.find("<media count=\"1\">"), std::string::npos) << media;
    EXPECT_NE(media.find("<title>big</title>"), std::string::npos) << media;
    EXPECT_EQ(TestSupport::ReadFile(photo), png);
    EXPECT_TRUE(std::filesystem::exists(room.File("media/0_1")));
}

// Complete uploads whose photos still wait for the photo worker when SIGTERM or SIGHUP comes
// become items as well: the stop says once how many photos it makes first, makes them,
// and the closing save lists every one beside its two files. Before, only the photo being
// made was kept; the others were thrown away with their files, without a word, and the
// status was still 0.
TEST(Server, AStopMakesEveryCompletePhotoStillWaitingAndSavesTheirItems) {
    // Two photos with many pixels, slow to decode, ahead of two small ones; all of them
    // few bytes, so that they upload at once.
    const std::vector<std::string> photos = Pngs("(4000, 3000), (3000, 4000), (64, 48), (48, 64)");
    ASSERT_EQ(photos.size(), 4u);
    const std::regex making(R"(Relay server making (\d) uploaded photos? before it stops)");
    for (const int signal : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        Room room;
        room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "")));
        auto server = room.Start();
        std::vector<std::unique_ptr<RawClient>> members;
        for (const char* name : {"Alice", "Bob", "Carol", "Dave", "Erin"}) {
            members.push_back(std::make_unique<RawClient>(room.Port()));
            ASSERT_EQ(AdminTest::Join(*members.back(), name, ""), 0);
        }
        // One after the other, so that they wait for the photo worker in this order.
        for (uint32_t id = 0; id < photos.size(); ++id) {
            const std::string& photo = photos[id];
            RawClient& member = *members[id];
            ASSERT_EQ(AddMedia(member, "photo " + std::to_string(id), photo), id);
            SendChunks(member, id, photo);
            const std::string file = room.File("media/" + std::to_string(id) + "_0");
            ASSERT_TRUE(TestSupport::WaitUntil([&] {
                std::error_code error;
                return std::filesystem::file_size(file, error) == photo.size();
            }));
            // The others queue behind the first while it is being made: the server then
            // has it open twice, for the upload and for its decoding.
            if (id == 0) {
                ASSERT_TRUE(BeingMade(*server, room, 0));
            }
        }
        // Answered once the last chunk has been handled, which queued the last photo.
        members.back()->SendFrame(
            RelayWire::Message(RelayWire::GetMediaInfo, 0, RelayWire::U32(0) + RelayWire::U8(10)));
        ASSERT_FALSE(AdminTest::FramesUntil(*members.back(), RelayWire::MediaInfo).empty());

        server->Signal(signal);
        EXPECT_EQ(server->WaitForExit(), 0) << server->Output();
        const std::string media = room.Read("media.xml");
        EXPECT_NE(media.find("<media count=\"4\">"), std::string::npos) << media;
        std::set<std::string> files;
        for (uint32_t id = 0; id < photos.size(); ++id) {
            const std::string name = std::to_string(id);
            EXPECT_NE(media.find("<title>photo " + name + "</title>"), std::string::npos) << media;
            EXPECT_TRUE(room.Read("media/" + name + "_0") == photos[id]) << name;
            files.insert({name + "_0", name + "_1"});
        }
        EXPECT_EQ(StoredFiles(room), files);
        int said = 0;
        for (const std::string& line : server->Lines()) {
            std::smatch match;
            const std::string text = AdminTest::LogText(line);
            if (std::regex_match(text, match, making)) {
                ++said;
                EXPECT_GE(std::stoi(match[1].str()), 1);
            }
        }
        EXPECT_EQ(said, 1) << server->Output();
    }
}

// Everything a member sent before the stop is handled before the server stops. An upload
// sent right behind a photo still being made waits behind that photo, and most of it unread
// in the server's socket (the member has more messages waiting than the server reads
// ahead); the stop reads it, handles it and makes both photos. Before, only the first
// became an item and the second was thrown away without a word.
TEST(Server, AStopHandlesEveryUploadTheServerHadReceived) {
    const std::string big = Pngs("(4000, 3000)")[0];
    const std::string small = Pngs("(64, 48)", true)[0];
    Room room;
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "")));
    auto server = room.Start();
    RawClient alice(room.Port());
    ASSERT_EQ(AdminTest::Join(alice, "Alice", ""), 0);
    ASSERT_EQ(AddMedia(alice, "big", big), 0u);
    ASSERT_EQ(AddMedia(alice, "small", small), 1u);
    SendChunks(alice, 0, big);
    ASSERT_TRUE(BeingMade(*server, room, 0));
    SendChunks(alice, 1, small, 64);
    ASSERT_TRUE(alice.WaitAcknowledged());
    server->Signal(SIGTERM);
    EXPECT_EQ(server->WaitForExit(), 0) << server->Output();
    const std::string media = room.Read("media.xml");
    EXPECT_NE(media.find("<media count=\"2\">"), std::string::npos) << media;
    EXPECT_NE(media.find("<title>small</title>"), std::string::npos) << media;
    EXPECT_EQ(room.Read("media/1_0"), small);
    EXPECT_EQ(StoredFiles(room), (std::set<std::string>{"0_0", "0_1", "1_0", "1_1"}));
}

// The stop saves both files before it makes the photos waiting, so that a supervisor's
// kill meanwhile loses nothing saved, and a second stop signal ends the making: the photos
// not yet made are discarded with their files, the log says how many, and the closing save
// lists the others. Before, the only save came after every photo, and a second signal did
// nothing.
TEST(Server, AStopSavesFirstAndASecondSignalDiscardsThePhotosNotYetMade) {
    // One made before the stop, one slow to make when it comes, three queued behind that.
    const std::vector<std::string> photos =
        Pngs("(40, 30), (4000, 3000), (64, 48), (48, 64), (64, 48)");
    Room room;
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "")));
    auto server = room.Start();
    RawClient alice(room.Port());
    ASSERT_EQ(AdminTest::Join(alice, "Alice", ""), 0);
    for (uint32_t id = 0; id < photos.size(); ++id) {
        ASSERT_EQ(AddMedia(alice, "photo " + std::to_string(id), photos[id]), id);
    }
    SendChunks(alice, 0, photos[0]);
    ASSERT_EQ(Listing(alice).size(), 1u);
    for (uint32_t id = 1; id < photos.size(); ++id) {
        SendChunks(alice, id, photos[id]);
    }
    ASSERT_TRUE(BeingMade(*server, room, 1));
    ASSERT_TRUE(alice.WaitAcknowledged());
    server->Signal(SIGTERM);
    ASSERT_GE(server->WaitForLine("Relay server making "), 0) << server->Output();
    EXPECT_NE(room.Read("media.xml").find("<title>photo 0</title>"), std::string::npos);
    server->Signal(SIGTERM);
    EXPECT_EQ(server->WaitForExit(), 0) << server->Output();
    std::smatch match;
    const std::regex said(R"(Relay server discarded (\d) uploaded photos? not yet made, )"
                          R"(as asked again to stop)");
    const int line = server->WaitForLine("Relay server discarded ");
    ASSERT_GE(line, 0) << server->Output();
    const std::string text = AdminTest::LogText(server->Lines()[static_cast<size_t>(line)]);
    ASSERT_TRUE(std::regex_match(text, match, said)) << text;
    const size_t made = photos.size() - std::stoul(match[1].str());
    const std::string media = room.Read("media.xml");
    std::set<std::string> files;
    for (size_t id = 0; id < photos.size(); ++id) {
        const std::string name = std::to_string(id);
        const bool listed = media.find("<title>photo " + name + "</title>") != std::string::npos;
        EXPECT_EQ(listed, id < made) << media;
        if (listed) {
            files.insert({name + "_0", name + "_1"});
        }
    }
    EXPECT_EQ(StoredFiles(room), files);
}

// A closing save that fails keeps the old file, says so and ends with status 1, so that a
// supervisor learns that the state on disk is not the latest; the other file is saved.
TEST(Server, AFailedClosingSaveKeepsTheOldFileAndEndsWithStatus1) {
    Room room;
    const std::string config = ConfigXml(room.Port(), Settings(), Privileges("", "", ""));
    const std::string media = "<media count=\"0\"/>";
    room.Write("config.xml", config);
    room.Write("media.xml", media);
    auto server = room.Start();
    // A directory where the temporary file would go cannot be opened for writing, not even
    // by root, and it is not removed after the failure.
    std::filesystem::create_directory(room.File("media.xml.new"));
    std::filesystem::remove(room.File("config.xml"));
    server->Signal(SIGTERM);
    EXPECT_EQ(server->WaitForExit(), 1) << server->Output();
    EXPECT_TRUE(Logs(*server,
                     "Saving media.xml failed; the file is left as it was. media.xml.new could "
                     "not be written: Is a directory"));
    EXPECT_EQ(room.Read("media.xml"), media);
    EXPECT_EQ(room.Read("config.xml"), config);
    EXPECT_TRUE(Logs(*server, "Relay server stopped"));
}

// A save that fails says why, so that an operator can mend it: the file it could not write
// and the system's reason. A directory named like a save's temporary file is no file a save
// left, so the start leaves it, and every save of that file fails until it is gone.
TEST(Server, AFailedSaveNamesTheFileItCouldNotWriteAndWhy) {
    Room room;
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "")));
    room.Write("media.xml", "<media count=\"0\"/>");
    for (const char* name : {"config.xml", "media.xml"}) {
        std::filesystem::create_directory(room.File(std::string(name) + ".new"));
    }
    auto server = room.Start();
    AdminTest::WaitForStartUp(*server);
    server->Signal(SIGTERM);
    EXPECT_EQ(server->WaitForExit(), 1) << server->Output();
    for (const std::string name : {"config.xml", "media.xml"}) {
        EXPECT_TRUE(Logs(*server, "Saving " + name + " failed; the file is left as it was. " +
                                      name + ".new could not be written: Is a directory"))
            << server->Output();
    }
}

// A connection made while the server cannot accept waits in the listen queue. With a short
// queue the connects beyond it are dropped and wait a second or more for their SYN to be
// sent again: a room's members reconnecting together after a restart would stall. The
// server is stopped (SIGSTOP) while its clients connect, so its accept thread takes none of
// them; the kernel completes each handshake into the listening socket's queue, or drops it
// when the queue is full. The kernel's own account of that socket tells which: all of them
// wait there, or the first drop shows at once (with a queue of 10, no more than 11 wait).
// Once the server runs again, every connection is served.
TEST(Server, ConnectsMadeAllAtOnceCompleteAndAreServed) {
    constexpr size_t kClients = 100;
    Room room;
    room.Write("config.xml",
               WithPlaces(ConfigXml(room.Port(), Settings(), Privileges("", "", "")), kClients));
    auto server = room.Start();
    ASSERT_TRUE(server->Pause());

    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(room.Port());
    std::vector<TestSupport::RawSocket> clients;
    for (size_t i = 0; i < kClients; ++i) {
        TestSupport::RawSocket client(
            socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        ASSERT_GE(client.Descriptor(), 0);
        const int result =
            connect(client.Descriptor(), reinterpret_cast<sockaddr*>(&address), sizeof address);
        ASSERT_TRUE(result == 0 || errno == EINPROGRESS) << std::strerror(errno);
        clients.push_back(std::move(client));
    }
    TestSupport::ListenQueue queue;
    const bool settled = TestSupport::WaitUntil([&] {
        queue = TestSupport::ReadListenQueue(room.Port()).value_or(TestSupport::ListenQueue{});
        return queue.waiting == kClients || queue.dropped != 0;
    });
    server->Signal(SIGCONT);
    ASSERT_TRUE(settled) << queue.waiting << " connections wait to be accepted";
    ASSERT_EQ(queue.dropped, 0u) << "with " << queue.waiting << " waiting to be accepted";
    ASSERT_EQ(queue.waiting, kClients);

    for (TestSupport::RawSocket& client : clients) {
        int error = 0;
        socklen_t size = sizeof error;
        getsockopt(client.Descriptor(), SOL_SOCKET, SO_ERROR, &error, &size);
        ASSERT_EQ(error, 0) << std::strerror(error);
        const int flags = fcntl(client.Descriptor(), F_GETFL);
        fcntl(client.Descriptor(), F_SETFL, flags & ~O_NONBLOCK);
        // Only ends a test whose server does not answer.
        const timeval deadline{30, 0};
        setsockopt(client.Descriptor(), SOL_SOCKET, SO_RCVTIMEO, &deadline, sizeof deadline);
        client.SendAll(Frame(AdminTest::JoinRequest("member", "")));
    }
    for (size_t i = 0; i < kClients; ++i) {
        std::string frame;
        do {
            frame = NextFrame(clients[i]);
        } while (!frame.empty() && static_cast<uint8_t>(frame[0]) != RelayWire::JoinResponse);
        ASSERT_GE(frame.size(), 6u) << "client " << i << " got no answer to its join";
        EXPECT_EQ(static_cast<uint8_t>(frame[5]), 0) << "client " << i;
    }
}

// A preview or photo the disk does not take whole (a preview on /dev/full, a photo meeting the
// file-size limit a byte before its end) makes no item, leaves no file behind, and the log
// says why.
TEST(Server, APhotoOrPreviewTheDiskDoesNotTakeWholeMakesNoItem) {
    const std::vector<std::string> hex = TestSupport::PythonLines(
        "import io; from PIL import Image\n"
        "for size in ((64, 48), (640, 480)):\n"
        "    b = io.BytesIO(); Image.new('RGB', size).save(b, 'JPEG'); "
        "print(b.getvalue().hex())\n");
    Room room;
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "")));
    std::filesystem::create_symlink("/dev/full", room.File("media/0_1"));
    // With SIGXFSZ ignored, a write past the limit fails instead of ending the server.
    auto server = room.Start({}, {SIGXFSZ});
    const auto full = static_cast<rlim_t>(hex.at(1).size() / 2 - 1);
    const rlimit limit{full, full};
    ASSERT_EQ(prlimit(server->Pid(), RLIMIT_FSIZE, &limit, nullptr), 0) << std::strerror(errno);
    RawClient alice(room.Port());
    ASSERT_EQ(AdminTest::Join(alice, "Alice", ""), 0);
    for (uint32_t id = 0; id < hex.size(); ++id) {
        const std::string photo = TestSupport::FromHex(hex[id]);
        ASSERT_EQ(AddMedia(alice, "photo", photo), id);
        SendChunks(alice, id, photo);
        alice.SendFrame(RelayWire::MediaFile(RelayWire::GetMedia, id, 1));  // after the outcome
        const auto answer = AdminTest::FramesUntil(alice, RelayWire::GetMediaAnswer);
        EXPECT_EQ(RelayWire::Parse(answer.empty() ? "" : answer.back()).payload,
                  RelayWire::U8(2) + RelayWire::U32(id) + RelayWire::U8(1));
        EXPECT_GE(server->WaitForLine(
                      "uploaded photo " + std::to_string(id) + ", which ended without an item: " +
                      (id == 0 ? "its preview" : "its file") + " could not be written."),
                  0);
    }
    EXPECT_EQ(Listing(alice), std::vector<std::string>{});
    server->Signal(SIGTERM);
    EXPECT_EQ(server->WaitForExit(), 0) << server->Output();
    EXPECT_EQ(room.Read("media.xml"), "<media count=\"0\" />");
    EXPECT_TRUE(std::filesystem::is_empty(room.File("media")));
}

// A member that asks for every photo at once and reads none holds at most 16 of their files
// open on the server: the downloads beyond that wait their turn holding no file, so no member
// can take every descriptor the server may have. Once it reads, every download starts in the
// order asked and comes whole, but those whose items a moderator removed while they waited:
// each of those is answered NotFound at its turn, behind its Accepted (before, nothing came).
TEST(Server, DownloadsBeyondSixteenWaitTheirTurnHoldingNoFile) {
    constexpr uint32_t kItems = 40;
    constexpr uint32_t kKept = 30;  // the last ones asked are removed
    Room room;
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "mod", "")));
    std::string media = "<media count=\"40\">";
    std::vector<std::string> files;
    std::vector<uint32_t> asked;
    std::string requests;
    for (uint32_t id = 0; id < kItems; ++id) {
        media += "<item><entry><id>" + std::to_string(id) + "</id></entry><group /></item>";
        // Far more than the sockets' buffers hold for each, so none ends while unread; no
        // two chunks at the same offset alike.
        files.emplace_back(256 * 1024, '\0');
        for (size_t at = 0; at < files.back().size(); ++at) {
            files.back()[at] = static_cast<char>(at * 7 + at / 4096 + id);
        }
        room.Write("media/" + std::to_string(id) + "_0", files.back());
        asked.push_back(id * 7 % kItems);
        requests += Frame(RelayWire::MediaFile(RelayWire::GetMedia, asked.back(), 0));
    }
    room.Write("media.xml", media + "</media>");
    auto server = room.Start();
    RawClient member(room.Port());
    RawClient other(room.Port());
    ASSERT_EQ(AdminTest::Join(member, "Ann", ""), 0);
    ASSERT_EQ(AdminTest::Join(other, "Bob", "mod"), 0);
    // Asked again, a file that runs and one that waits are each being downloaded already.
    for (const uint32_t again : {asked[15], asked[kKept - 1]}) {
        requests += Frame(RelayWire::MediaFile(RelayWire::GetMedia, again, 0));
    }
    // The chat reaches Bob once every request before it has been handled.
    member.SendBytes(requests + Frame(RelayWire::ChatText("asked")));
    ASSERT_FALSE(AdminTest::FramesUntil(other, RelayWire::Chat).empty());
    std::vector<std::string> expected(kItems, "0");  // the answers, each "<status> <id>"
    expected.push_back("1 " + std::to_string(asked[15]));
    expected.push_back("1 " + std::to_string(asked[kKept - 1]));
    for (uint32_t i = 0; i < kItems; ++i) {
        expected[i] += " " + std::to_string(asked[i]);
        if (i >= kKept) {
            other.SendFrame(
                RelayWire::Message(RelayWire::RemoveMedia, 0, RelayWire::U32(asked[i])));
            ASSERT_FALSE(AdminTest::FramesUntil(other, RelayWire::RemoveMediaAnswer).empty());
            expected.push_back("2 " + std::to_string(asked[i]));
        }
    }
    int open = 0;
    for (uint32_t id = 0; id < kItems; ++id) {
        open += TestSupport::DescriptorsOpenOn(
            server->Pid(),
            std::filesystem::canonical(room.File("media/" + std::to_string(id) + "_0")));
    }
    EXPECT_LE(open, 16) << open << " files open";

    std::vector<uint32_t> started;
    std::vector<std::string> received(kItems);
    std::vector<std::string> answers;
    for (uint32_t complete = 0; complete < kKept || answers.size() < expected.size();) {
        const RelayWire::Parsed message = RelayWire::Parse(member.NextFrame().value_or(""));
        ASSERT_NE(message.type, 0) << complete << " downloads complete";
        const bool chunk = message.type == RelayWire::MediaChunk;
        const uint32_t id = chunk ? RelayWire::ReadU32(message.payload, 0) : kItems;
        if (id < kItems) {
            started.insert(started.end(), received[id].empty() ? 1 : 0, id);
            received[id] += message.payload.substr(11);
            complete += received[id].size() == files[id].size() ? 1 : 0;
        } else if (message.type == RelayWire::GetMediaAnswer) {
            answers.push_back(std::to_string(message.payload[0]) + " " +
                              std::to_string(RelayWire::ReadU32(message.payload, 1)));
        }
    }
    EXPECT_EQ(started, std::vector<uint32_t>(asked.begin(), asked.begin() + kKept));
    EXPECT_EQ(answers, expected);
    for (uint32_t i = 0; i < kItems; ++i) {
        EXPECT_TRUE(received[asked[i]] == (i < kKept ? files[asked[i]] : "")) << asked[i];
    }
}

// What a member piled up does not hold the stop: once the connections are closed, a request
// whose only effect is its answer is dropped. Alice's second upload waits behind her first
// photo, still being made, and behind it her listing and download requests, most unread in
// the server's socket; she goes on sending through the stop. The stop makes and saves both
// photos and starts no download: while it makes them no file of the catalogue is open.
// Before, it handled every request she had piled up, building each listing.
TEST(Server, AStopDropsTheRequestsMembersPiledUpAndStillStoresTheirUploads) {
    const std::vector<std::string> photos = Pngs("(4000, 3000), (3000, 4000)");
    Room room;
    room.Write("media.xml", "<media count=\"1\"><item><entry><id>100</id></entry></item></media>");
    room.Write("media/100_0", "old");
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "")));
    auto server = room.Start();
    RawClient alice(room.Port());
    const uint32_t second = TwoUploads(*server, room, alice, photos, 1000).second;
    const auto request = [&alice] {
        return alice.SendFrame(RelayWire::Message(
                   RelayWire::GetMediaInfo, 0, RelayWire::U32(0xFFFFFFFF) + RelayWire::U8(255))) &&
               alice.SendFrame(RelayWire::MediaFile(RelayWire::GetMedia, 100, 0));
    };
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(request());
    }
    ASSERT_TRUE(alice.WaitAcknowledged());
    std::thread piling([&request] {
        while (request()) {
        }
    });
    server->Signal(SIGTERM);
    const bool making = server->WaitForLine("Relay server making ") >= 0;
    const int open = TestSupport::DescriptorsOpenOn(
        server->Pid(), std::filesystem::canonical(room.File("media/100_0")));
    EXPECT_EQ(server->WaitForExit(), 0) << server->Output();
    piling.join();
    EXPECT_TRUE(making) << server->Output();
    EXPECT_EQ(open, 0);
    EXPECT_NE(room.Read("media.xml").find("<media count=\"3\">"), std::string::npos);
    EXPECT_EQ(room.Read("media/" + std::to_string(second) + "_0"), photos[1]);
}

// Every stop signal counts, however soon after the first. SIGINT and SIGTERM sent while the
// server is stopped (SIGSTOP) both come as it goes on, and the second ends the stop's work:
// the chunks of Alice's second upload, waiting behind her first photo being made, are
// discarded unhandled, the log says how many, and the closing save lists the photo being
// made alone, with no file of the other. Before, the two were folded into one.
TEST(Server, TwoStopSignalsThatComeTogetherEndTheStopsWorkAsASecondOneDoes) {
    const std::vector<std::string> photos = Pngs("(4000, 3000), (64, 48)");
    Room room;
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "")));
    auto server = room.Start();
    RawClient alice(room.Port());
    const uint32_t first = TwoUploads(*server, room, alice, photos, 64).first;
    ASSERT_TRUE(alice.WaitAcknowledged());
    ASSERT_TRUE(server->Pause());
    server->Signal(SIGINT);
    server->Signal(SIGTERM);
    server->Signal(SIGCONT);
    EXPECT_EQ(server->WaitForExit(), 0) << server->Output();
    EXPECT_TRUE(Logs(*server, "Relay server discarded " +
                                  std::to_string((photos[1].size() + 63) / 64) +
                                  " received messages not yet handled, as asked "
                                  "again to stop"));
    const std::string saved = room.Read("media.xml");
    EXPECT_NE(saved.find("<media count=\"1\">"), std::string::npos) << saved;
    const std::string name = std::to_string(first);
    EXPECT_EQ(StoredFiles(room), (std::set<std::string>{name + "_0", name + "_1"}));
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

// The server started in room with a password on the command line, which asks for a save at
// once, under a limit of 9 bytes per file written. With SIGXFSZ ignored, a write past the limit
// fails instead of ending the server.
std::unique_ptr<ServerProcess> StartWithNineByteFiles(const Room& room) {
    return std::make_unique<ServerProcess>(
        std::vector<std::string>{"sh", "-c",
                                 "cd " + room.File("") +
                                     " && trap '' XFSZ && exec prlimit --fsize=9 " +
                                     AdminTest::kServer + " -up new"},
        "");
}

// An earlier copy is never written over: a later one, of a catalogue with an item left out or
// of one that is no XML document, takes the next free name. A copy the disk does not take ends
// start-up with status 1, before the save that a password on the command line asks for.
TEST(ServerCatalogue, EarlierCopiesAreKeptAndACopyThatCannotBeWrittenEndsStartUp) {
    Room room;
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "")));
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
    auto server = StartWithNineByteFiles(room);
    EXPECT_EQ(server->WaitForExit(), 1) << server->Output();
    EXPECT_TRUE(Logs(*server,
                     "media.xml as read cannot be kept as media.xml.bad.3: "
                     "start-up ends, or the next save would drop the items "
                     "left out"));
    EXPECT_EQ(Entries(room.File("")), before);
}

// A file kept as read is not copied again while the newest copy holds the same bytes: a
// server killed before its first save, again and again (a crash loop), keeps one copy of
// each file. A copy of config.xml that cannot be written ends start-up as the catalogue's
// does, touching no file: the save that a password on the command line asks for would write
// over the only copy of the settings.
TEST(ServerCatalogue, FilesKeptAsReadAreCopiedOnceAndAConfigurationCopyMustBeWritten) {
    Room room;
    room.Write("config.xml", "<config RoomName=\"cut");
    room.Write("media.xml", "<media count=\"1\"><item>");
    std::map<std::string, std::string> kept;
    for (int start = 0; start < 3; ++start) {
        SCOPED_TRACE(start);
        ServerProcess server(AdminTest::kServer, {}, room.File(""));
        for (const std::string file : {"config.xml", "media.xml"}) {
            EXPECT_TRUE(Logs(server, file +
                                         " is not a readable XML document; it is ignored and "
                                         "kept as " +
                                         file + ".bad"));
        }
        server.Signal(SIGKILL);
        server.WaitForExit();
        if (start == 0) {
            kept = Entries(room.File(""));
        }
        EXPECT_EQ(Entries(room.File("")), kept);
    }
    EXPECT_EQ(kept.size(), 5u);

    room.Write("config.xml", "<config RoomName=\"cut short");
    const auto before = Entries(room.File(""));
    auto server = StartWithNineByteFiles(room);
    EXPECT_EQ(server->WaitForExit(), 1) << server->Output();
    EXPECT_TRUE(Logs(*server,
                     "config.xml is not a readable XML document and cannot be kept as "
                     "config.xml.bad.1: start-up ends, or the next save would write over it"));
    EXPECT_EQ(Entries(room.File("")), before);
}

// A symbolic link named as the newest copy is no copy the server made, even when it shows the
// bytes read: here it leads to media.xml itself, which the closing save replaces, so taken as
// the copy it would show the saved catalogue and the item left out would be lost. A real copy
// takes the next name, and the link is left as it was.
TEST(ServerCatalogue, ALinkNamedAsTheNewestCopyIsNoCopy) {
    Room room;
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "")));
    const std::string repeated = "<media count=\"2\">" + Item("3") + Item("3") + "</media>";
    room.Write("media.xml", repeated);
    std::filesystem::create_symlink("media.xml", room.File("media.xml.bad"));
    auto server = room.Start();
    EXPECT_TRUE(Logs(*server, "media.xml as read is kept as media.xml.bad.1"));
    server->Signal(SIGTERM);
    ASSERT_EQ(server->WaitForExit(), 0) << server->Output();
    EXPECT_EQ(room.Read("media.xml.bad.1"), repeated);
    EXPECT_EQ(std::filesystem::read_symlink(room.File("media.xml.bad")), "media.xml");
    EXPECT_EQ(room.Read("media.xml"), "<media count=\"1\">" + Item("3") + "</media>");
}

// A removed item's files stay until a save no longer lists it: killed before that save, the
// server serves the item whole after a restart; when the save of the catalogue fails, the
// files stay too, named in the list of files to delete that was written before it, and the log
// line of the failure counts the removed photos whose files wait; the next start keeps them,
// as the catalogue still lists the item, and removes the list; while they stay no upload takes
// its id; the save at the stop deletes them and removes its list.
TEST(ServerCatalogue, ARemovedItemKeepsItsFilesUntilASaveNoLongerListsIt) {
    Room room;
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("boss", "", "")));
    // After the greatest id, the next one drawn wraps to 0, the removed item's.
    const std::string media = "<media count=\"2\">" + Item("0") + Item("-1") + "</media>";
    room.Write("media.xml", media);
    for (const auto& [name, bytes] : {std::pair{"0_0", "photo"},
                                      {"0_1", "preview"},
                                      {"-1_0", "other"},
                                      {"-1_1", "its preview"}}) {
        room.Write(std::string("media/") + name, bytes);
    }
    enum class Stop { Kill, FailedSave, Saved };
    for (const Stop stop : {Stop::Kill, Stop::FailedSave, Stop::Saved}) {
        SCOPED_TRACE(static_cast<int>(stop));
        auto server = room.Start();
        if (stop == Stop::Saved) {
            EXPECT_TRUE(Logs(*server,
                             "Deleted 0 files of removed photos named in media.xml.delete, and "
                             "kept 2 of listed items"));
        }
        EXPECT_FALSE(std::filesystem::exists(room.File("media.xml.delete")));
        RawClient boss(room.Port());
        ASSERT_EQ(AdminTest::Join(boss, "boss", "boss"), 0);
        EXPECT_EQ(Download(boss, 0), "photo");
        boss.SendFrame(RelayWire::Message(RelayWire::RemoveMedia, 0, RelayWire::U32(0)));
        boss.SendFrame(RelayWire::AddMediaRequest(1, 1, 100, "new"));
        const auto added = AdminTest::FramesUntil(boss, RelayWire::AddMediaAnswer);
        EXPECT_EQ(RelayWire::Parse(added.empty() ? "" : added.back()).payload,
                  RelayWire::U8(1) + RelayWire::U8(0) + RelayWire::U32(1));
        if (stop == Stop::FailedSave) {
            // A directory where the temporary file would go makes the save fail, even for root.
            std::filesystem::create_directory(room.File("media.xml.new"));
        }
        server->Signal(stop == Stop::Kill ? SIGKILL : SIGTERM);
        server->WaitForExit();
        if (stop == Stop::FailedSave) {
            EXPECT_TRUE(Logs(*server,
                             "Saving media.xml failed; the file is left as it was; the files "
                             "of 1 removed photo wait for a save that succeeds. media.xml.new "
                             "could not be written: Is a directory"));
            std::filesystem::remove(room.File("media.xml.new"));
            EXPECT_EQ(room.Read("media.xml.delete"), "media/0_0\nmedia/0_1\n");
        }
        if (stop != Stop::Saved) {
            EXPECT_EQ(room.Read("media.xml"), media);
            EXPECT_EQ(room.Read("media/0_0") + room.Read("media/0_1"), "photopreview");
        }
    }
    EXPECT_EQ(room.Read("media.xml"), "<media count=\"1\">" + Item("-1") + "</media>");
    EXPECT_EQ(StoredFiles(room), (std::set<std::string>{"-1_0", "-1_1"}));
    EXPECT_FALSE(std::filesystem::exists(room.File("media.xml.delete")));
}

// A kill between a save and the deletion of the files it left to delete leaves the list that
// names them; the next start deletes the named files whose items the catalogue does not list,
// and nothing else: not a listed item's files, nor a name the server does not make under
// MediaPath (another folder, "..", an absolute path, another form of an id, a third file),
// whatever is there; a named file already gone (6_0) counts as deleted. While media.xml is kept
// as read, and while the list cannot be read, no file is deleted. Before, nothing ever deleted
// them.
TEST(ServerCatalogue, FilesAKillLeftNamedForDeletionAreDeletedByTheNextStartAndNothingElse) {
    Room room;
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "")));
    const std::string media = "<media count=\"1\">" + Item("1") + "</media>";
    const std::set<std::string> foreign{"3_0", "4_2", "+5_0", "4294967294_0"};
    std::set<std::string> stored = foreign;
    for (const std::string name : {"1_0", "1_1", "2_0", "2_1", "-2_0", "-2_1"}) {
        stored.insert(name);
    }
    for (const std::string& name : stored) {
        room.Write("media/" + name, "file " + name);
    }
    const std::string list =
        "media/2_0\nmedia/1_0\nmedia/2_1\nmedia/1_1\nmedia/-2_0\nmedia/6_0\n"
        "media/../config.xml\n" +
        room.File("media/3_0") + "\nmedia/4_2\nmedia/+5_0\nmedia/4294967294_0\n\nmedia/-2_1\n";
    room.Write("media.xml.delete", list);
    room.Write("media.xml", "<media");
    {
        auto server = room.Start();
        server->Signal(SIGKILL);
        server->WaitForExit();
        EXPECT_EQ(room.Read("media.xml.delete"), list);
        EXPECT_EQ(StoredFiles(room), stored);
    }

    room.Write("media.xml", media);
    auto server = room.Start();
    EXPECT_TRUE(Logs(*server,
                     "media.xml.delete names 5 files that the server does not make under "
                     "MediaPath \"media/\", left alone: \"media/../config.xml\" and others"));
    EXPECT_TRUE(Logs(*server,
                     "Deleted 5 files of removed photos named in media.xml.delete, and kept 2 "
                     "of listed items"));
    EXPECT_FALSE(std::filesystem::exists(room.File("media.xml.delete")));
    std::set<std::string> left = foreign;
    left.insert({"1_0", "1_1"});
    EXPECT_EQ(StoredFiles(room), left);
    EXPECT_TRUE(std::filesystem::exists(room.File("config.xml")));
    RawClient member(room.Port());
    EXPECT_EQ(Download(member, 1), "file 1_0");
    server->Signal(SIGTERM);
    ASSERT_EQ(server->WaitForExit(), 0) << server->Output();

    std::filesystem::create_directory(room.File("media.xml.delete"));
    room.Write("media/7_0", "file 7_0");
    server = room.Start();
    const int line = server->WaitForLine("media.xml.delete cannot be read: ");
    ASSERT_GE(line, 0) << server->Output();
    EXPECT_NE(server->Lines()[static_cast<size_t>(line)].find("; no file it names is deleted"),
              std::string::npos);
    server->Signal(SIGTERM);
    ASSERT_EQ(server->WaitForExit(), 0) << server->Output();
    EXPECT_TRUE(std::filesystem::is_directory(room.File("media.xml.delete")));
    left.insert("7_0");
    EXPECT_EQ(StoredFiles(room), left);
}

// A member asks again for a photo it is downloading after a moderator removed the item: the
// download goes on to its end (the files stay until a save), so the repeat is answered as
// already downloading and the file comes whole. Before, the repeat was answered NotFound and
// then the rest of the file came all the same.
TEST(ServerCatalogue, ARepeatOfARunningDownloadWhoseItemWasRemovedIsAnsweredAsRunning) {
    Room room;
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "mod", "")));
    room.Write("media.xml", "<media count=\"1\">" + Item("5") + "</media>");
    // Far more than the sockets' buffers hold, so that the download still runs while the
    // member reads nothing; no two chunks alike.
    std::string photo(8 << 20, '\0');
    for (size_t at = 0; at < photo.size(); ++at) {
        photo[at] = static_cast<char>(at * 7 + at / 4096);
    }
    room.Write("media/5_0", photo);
    auto server = room.Start();
    RawClient member(room.Port());
    RawClient moderator(room.Port());
    member.SetReceiveBuffer(32 * 1024);
    ASSERT_EQ(AdminTest::Join(member, "Ann", ""), 0);
    ASSERT_EQ(AdminTest::Join(moderator, "Bob", "mod"), 0);
    // Each chat reaches the moderator once the request before it has been handled.
    const auto ask = [&member, &moderator](const std::string& chat) {
        member.SendBytes(Frame(RelayWire::MediaFile(RelayWire::GetMedia, 5, 0)) +
                         Frame(RelayWire::ChatText(chat)));
        return !AdminTest::FramesUntil(moderator, RelayWire::Chat).empty();
    };
    ASSERT_TRUE(ask("asked"));
    moderator.SendFrame(RelayWire::Message(RelayWire::RemoveMedia, 0, RelayWire::U32(5)));
    ASSERT_FALSE(AdminTest::FramesUntil(moderator, RelayWire::RemoveMediaAnswer).empty());
    ASSERT_TRUE(ask("again"));

    std::string received;
    std::vector<int> answers;
    while (received.size() < photo.size() || answers.size() < 2) {
        const RelayWire::Parsed message = RelayWire::Parse(member.NextFrame().value_or(""));
        ASSERT_NE(message.type, 0) << received.size() << " bytes received";
        if (message.type == RelayWire::MediaChunk) {
            received += message.payload.substr(11);
        } else if (message.type == RelayWire::GetMediaAnswer) {
            answers.push_back(message.payload[0]);
        }
    }
    EXPECT_EQ(answers, (std::vector<int>{0, 1}));
    EXPECT_TRUE(received == photo) << received.size() << " bytes received";
}

// A listed item whose photo or preview cannot be sent (an empty preview, a missing photo, a
// directory, a named pipe, a link that leads nowhere) is named at start-up, on one line that
// counts them all and names the first ten; it stays listed, and a download of that file is
// answered at once that it will not come. Before, start-up said nothing, and the download of
// an empty preview was accepted and then nothing came.
TEST(ServerCatalogue, ItemsWhoseFilesCannotBeSentAreNamedAtStartUpAndTheirDownloadsRefused) {
    Room room;
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "")));
    std::string media = "<media count=\"14\">";
    for (int id = 1; id <= 14; ++id) {
        media += Item(std::to_string(id));
    }
    room.Write("media.xml", media + "</media>");
    // Items 1 to 6 have both files, item 6 whole; items 7 to 14 have none.
    for (int id = 1; id <= 6; ++id) {
        room.Write("media/" + std::to_string(id) + "_0", "photo " + std::to_string(id));
        room.Write("media/" + std::to_string(id) + "_1", "preview " + std::to_string(id));
    }
    room.Write("media/1_1", "");
    std::filesystem::remove(room.File("media/2_0"));
    std::filesystem::remove(room.File("media/3_0"));
    std::filesystem::create_directory(room.File("media/3_0"));
    std::filesystem::remove(room.File("media/4_0"));
    ASSERT_EQ(mkfifo(room.File("media/4_0").c_str(), 0600), 0);
    std::filesystem::remove(room.File("media/5_0"));
    std::filesystem::create_symlink("nowhere", room.File("media/5_0"));
    auto server = room.Start();
    EXPECT_TRUE(Logs(*server,
                     "13 listed media items have a photo or preview that is missing, empty or "
                     "not a regular file: 1, 2, 3, 4, 5, 7, 8, 9, 10, 11 and 3 more; they stay "
                     "listed, and their downloads are refused until the files are restored"));

    RawClient member(room.Port());
    EXPECT_EQ(Listing(member).size(), 14u);
    EXPECT_EQ(Download(member, 1, 0), "photo 1");
    EXPECT_EQ(Download(member, 1, 1), "<refused>");
    for (const uint32_t id : {2, 3, 4, 5, 7}) {
        EXPECT_EQ(Download(member, id), "<refused>") << id;
    }
    EXPECT_EQ(Download(member, 6, 1), "preview 6");
}

constexpr int kLimit = 64;
const std::string kListing =
    RelayWire::Message(RelayWire::GetMediaInfo, 0, RelayWire::U32(0xFFFFFFFF) + RelayWire::U8(255));

// The command that starts the server in room's directory under an open file limit of kLimit.
std::vector<std::string> WithSmallFileLimit(const Room& room) {
    return {"sh", "-c",
            "cd " + room.File("") + " && exec prlimit --nofile=32:" + std::to_string(kLimit) + " " +
                AdminTest::kServer};
}

// How many descriptors of the server have a number from `from` up to `to` (excluded), read in
// one listing.
size_t Held(pid_t pid, int from = 0, int to = kLimit) {
    const auto fds = std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd");
    return std::count_if(begin(fds), end(fds), [from, to](const auto& entry) {
        const int number = std::stoi(entry.path().filename().string());
        return number >= from && number < to;
    });
}

// Frames up to and including the first of the given type, waited for however long the server
// takes; empty when the server ends the connection first. A deadline is no answer: under load
// a slow answer would pass for a closed connection.
std::vector<std::string> AnswerOrEnd(RawClient& client, uint8_t type) {
    std::vector<std::string> frames;
    while (client.Connected() && !client.Ended()) {
        if (auto frame = client.NextFrame()) {
            frames.push_back(*frame);
            if (!frame->empty() && static_cast<uint8_t>((*frame)[0]) == type) {
                return frames;
            }
        }
    }
    return {};
}

// One line of the descriptor reserve's log: how many connections that had not joined were
// closed for each use, and how many of each use were refused, in the order new connections,
// downloads, uploads, policy requests.
struct ReserveLine {
    std::array<uint64_t, 4> closedFor{};
    std::array<uint64_t, 4> refused{};
};

// The descriptor reserve's lines in log, in order; each one's total of connections closed is
// checked against its counts by use.
std::vector<ReserveLine> ReserveLines(const std::string& log) {
    const std::regex line(
        R"(: Descriptor reserve \(the last 16 of the open file limit 64, kept for saving\): )"
        R"(closed (\d+) connections? that had not joined, for new connections (\d+), downloads )"
        R"((\d+), uploads (\d+), policy requests (\d+); refused new connections (\d+), )"
        R"(downloads (\d+), uploads (\d+), policy requests (\d+)\n)");
    std::vector<ReserveLine> lines;
    for (std::sregex_iterator it(log.begin(), log.end(), line), none; it != none; ++it) {
        ReserveLine counts;
        uint64_t closed = 0;
        for (size_t use = 0; use < 4; ++use) {
            counts.closedFor[use] = std::stoull((*it)[2 + use].str());
            counts.refused[use] = std::stoull((*it)[6 + use].str());
            closed += counts.closedFor[use];
        }
        EXPECT_EQ(std::stoull((*it)[1].str()), closed) << (*it)[0].str();
        lines.push_back(counts);
    }
    return lines;
}

// The closings for, or refusals of, use (0: new connections, 1: downloads, 2: uploads,
// 3: policy requests) that lines tell of, summed.
uint64_t Told(const std::vector<ReserveLine>& lines, std::array<uint64_t, 4> ReserveLine::*what,
              size_t use) {
    uint64_t sum = 0;
    for (const ReserveLine& line : lines) {
        sum += (line.*what)[use];
    }
    return sum;
}

// Connects until the server closes two connections in a row (the first may get the number its
// accept took while every lower one was held); one whose join is answered stays, silent. They
// join, since the server would close one that has not joined to make room for a new one.
// Every connection closed adds one to closed. Whether the server then holds no reserved
// number, once it has closed those connections.
bool Reconnect(uint16_t port, std::deque<std::unique_ptr<RawClient>>& silent, pid_t pid,
               uint64_t& closed) {
    for (int refused = 0; refused < 2 && silent.size() < kLimit;) {
        auto client = std::make_unique<RawClient>(port);
        if (!client->Connected()) {
            ADD_FAILURE() << "cannot connect";
            return false;
        }
        client->SendFrame(AdminTest::JoinRequest("silent", ""));
        const auto frames = AnswerOrEnd(*client, RelayWire::JoinResponse);
        const bool served = !frames.empty() && frames.back().size() >= 6 && frames.back()[5] == 0;
        refused = served ? 0 : refused + 1;
        closed += served ? 0 : 1;
        if (served) {
            silent.push_back(std::move(client));
        }
    }
    return TestSupport::WaitUntil([pid] { return Held(pid, kLimit - 16) == 0; });
}

// Silent connections fill every number below the reserve, then rounds free one number at a
// time (a connection leaves, an upload takes one of its two numbers, the upload stops) and
// connect again. UDP sockets are checked as TCP ones are, so no peer holds a reserved number
// (before, UDP sockets took the reserve). With every other number in use, an upload is refused
// as a file that cannot be created and a download as an unreadable file, and the closing save
// still writes both files. Start-up raises the soft limit to the hard one and tells how few
// connections it leaves room for; one line tells of those closed in a minute.
TEST(ServerDescriptors, ConnectionsNeverTakeTheDescriptorsKeptForTheSavesAndTheLogSaysSo) {
    Room room;
    const std::string config = ConfigXml(room.Port(), Settings(), Privileges("", "", ""));
    const std::string media =
        "<media count=\"1\"><item><entry><id>0</id></entry><group /></item></media>";
    room.Write("config.xml", config);
    room.Write("media.xml", media);
    room.Write("media/0_0", "photo");
    ServerProcess server(WithSmallFileLimit(room), "");
    EXPECT_TRUE(Logs(server, "Open file limit: 64"));
    // Counted once the servers listen, the room is told before anyone connects.
    EXPECT_GE(server.WaitForLine("Open file limit 64 leaves room for "), 0);
    RawClient member(room.Port());
    ASSERT_EQ(AdminTest::Join(member, "Ann", ""), 0);
    std::deque<std::unique_ptr<RawClient>> silent;
    uint64_t closed = 0;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(Reconnect(room.Port(), silent, server.Pid(), closed));
    const size_t served = silent.size() + 1;

    for (uint8_t round = 1; round <= 8; ++round) {
        const size_t held = Held(server.Pid());
        silent.pop_front();
        ASSERT_TRUE(TestSupport::WaitUntil([&] { return Held(server.Pid()) + 2 <= held; }));
        member.SendFrame(RelayWire::AddMediaRequest(round, 1, 100, "held"));
        const auto answer = AnswerOrEnd(member, RelayWire::AddMediaAnswer);
        const std::string payload = answer.empty() ? "" : RelayWire::Parse(answer.back()).payload;
        ASSERT_EQ(payload.substr(0, 2), RelayWire::U8(round) + RelayWire::U8(0));  // accepted
        ASSERT_TRUE(Reconnect(room.Port(), silent, server.Pid(), closed)) << "round " << int{round};
        member.SendFrame(
            RelayWire::MediaFile(RelayWire::StopMedia, RelayWire::ReadU32(payload, 2), 0));
        member.SendFrame(kListing);  // answered once the stop has been handled
        ASSERT_FALSE(AnswerOrEnd(member, RelayWire::MediaInfo).empty());
        ASSERT_TRUE(Reconnect(room.Port(), silent, server.Pid(), closed)) << "round " << int{round};
        EXPECT_EQ(silent.size() + 1, served) << "round " << int{round};
    }
    member.SendFrame(RelayWire::AddMediaRequest(9, 1, 100, "new"));
    const auto added = AnswerOrEnd(member, RelayWire::AddMediaAnswer);
    ASSERT_FALSE(added.empty());
    EXPECT_EQ(RelayWire::Parse(added.back()).payload,
              RelayWire::U8(9) + RelayWire::U8(4) + RelayWire::U32(0));
    EXPECT_EQ(Download(member, 0), "<refused>");

    std::filesystem::remove(room.File("config.xml"));
    std::filesystem::remove(room.File("media.xml"));
    server.Signal(SIGTERM);
    EXPECT_EQ(server.WaitForExit(), 0);
    EXPECT_EQ(room.Read("config.xml"), config);
    EXPECT_EQ(room.Read("media.xml"), media);
    EXPECT_EQ(StoredFiles(room), std::set<std::string>{"0_0"});
    const std::string log = server.Output();
    EXPECT_EQ(log.find(" failed; the file is left as it was"), std::string::npos) << log;
    EXPECT_NE(log.find(": Open file limit 64 leaves room for " + std::to_string(served) +
                       " connections, fewer than RoomMaxClients (20): each takes 2 "
                       "descriptors and 16 are kept for saving\n"),
              std::string::npos);
    // The first refusal is told at once, later ones at most once a minute, and what is left
    // by the stop: every connection closed is counted, and so are the upload and the download
    // refused, each by its kind. Every connection had joined: none was closed to make room.
    const std::vector<ReserveLine> told = ReserveLines(log);
    ASSERT_FALSE(told.empty()) << log;
    EXPECT_EQ(told.front().refused, (std::array<uint64_t, 4>{1, 0, 0, 0})) << log;
    EXPECT_EQ(Told(told, &ReserveLine::refused, 0), closed) << log;
    EXPECT_EQ(Told(told, &ReserveLine::refused, 1), 1u) << log;
    EXPECT_EQ(Told(told, &ReserveLine::refused, 2), 1u) << log;
    for (size_t use = 0; use < 4; ++use) {
        EXPECT_EQ(Told(told, &ReserveLine::closedFor, use), 0u) << log;
    }
    EXPECT_TRUE(std::chrono::steady_clock::now() - start >= std::chrono::minutes(1) ||
                told.size() == 2)
        << log;
    EXPECT_LT(log.rfind(": Descriptor reserve "), log.find(": Relay server stopped\n")) << log;
}

// One outsider without the password, at 127.0.0.2, opens more connections than the descriptors
// below the reserve can hold, none of which joins: each new one is served, the one that has
// waited longest without joining being closed to make room for it, its leave logged as any
// other and told to no member (none was admitted while it was open). A member from 127.0.0.1
// still joins, no reserved number is held, no connection is refused to keep the reserve, and
// the log counts the connections closed for new ones. Before, once the outsider held every
// descriptor, every new connection was closed at once, the member's too.
TEST(ServerDescriptors, ConnectionsThatNeverJoinMakeRoomForNewOnes) {
    Room room;
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "pass")));
    ServerProcess server(WithSmallFileLimit(room), "");
    EXPECT_GE(server.WaitForLine("Open file limit 64 leaves room for "), 0);
    RawClient member(room.Port());
    ASSERT_EQ(AdminTest::Join(member, "Ann", "pass"), 0);  // id 1
    std::vector<std::unique_ptr<RawClient>> outsider;
    size_t served = 0;
    for (int i = 0; i < kLimit; ++i) {
        outsider.push_back(std::make_unique<RawClient>(room.Port(), "127.0.0.2"));
        outsider.back()->SendFrame(kListing);
        served += AdminTest::FramesUntil(*outsider.back(), RelayWire::MediaInfo).empty() ? 0 : 1;
    }
    EXPECT_EQ(served, outsider.size());
    RawClient newcomer(room.Port());
    EXPECT_EQ(AdminTest::Join(newcomer, "Bob", "pass"), 0);
    // Closed first: the server ends it (a deadline would pass for a connection never closed).
    EXPECT_TRUE(outsider.front()->WaitClosed());
    EXPECT_TRUE(Logs(server, " (id: 2) has left the room."));
    newcomer.SendFrame(RelayWire::ChatText("hello"));
    const auto told = AdminTest::FramesUntil(member, RelayWire::Chat);
    EXPECT_FALSE(told.empty());
    for (const std::string& frame : told) {
        EXPECT_NE(RelayWire::Parse(frame).type, RelayWire::UserLeft);
    }
    outsider.back()->SendFrame(kListing);
    EXPECT_FALSE(AdminTest::FramesUntil(*outsider.back(), RelayWire::MediaInfo).empty());
    EXPECT_TRUE(TestSupport::WaitUntil([&] { return Held(server.Pid(), kLimit - 16) == 0; }));
    server.Signal(SIGTERM);
    EXPECT_EQ(server.WaitForExit(), 0);
    const std::vector<ReserveLine> lines = ReserveLines(server.Output());
    EXPECT_GT(Told(lines, &ReserveLine::closedFor, 0), 0u) << server.Output();
    EXPECT_EQ(Told(lines, &ReserveLine::refused, 0), 0u) << server.Output();
}

// How many numbers below the reserve (the last 16 under the limit of 64) the server holds. A
// listening server's accept also holds one while it waits, which shows nowhere.
size_t HeldBelowReserve(pid_t pid) {
    return Held(pid, 0, kLimit - 16);
}

// A TCP socket of the server: its local port, whether it listens, and its inode.
struct TcpSocket {
    uint16_t port{0};
    bool listening{false};
    std::string inode;
};

// The inodes of the sockets on which the process pid holds a descriptor.
std::set<std::string> SocketInodes(pid_t pid) {
    std::set<std::string> sockets;
    for (const auto& entry :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd")) {
        std::error_code error;
        const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
        if (!error && target.rfind("socket:[", 0) == 0) {
            sockets.insert(target.substr(8, target.size() - 9));
        }
    }
    return sockets;
}

// The IPv4 TCP sockets that the process pid holds open: its descriptors that are sockets,
// looked up among the IPv4 TCP sockets of the system.
std::vector<TcpSocket> TcpSockets(pid_t pid) {
    const std::set<std::string> sockets = SocketInodes(pid);
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line);  // the heading
    std::vector<TcpSocket> held;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, localAddress, remote, state, queues, timer, retransmits, uid, timeout,
            inode;
        fields >> slot >> localAddress >> remote >> state >> queues >> timer >> retransmits >>
            uid >> timeout >> inode;
        const size_t colon = localAddress.find(':');
        if (colon != std::string::npos && sockets.count(inode) != 0) {
            held.push_back(
                {static_cast<uint16_t>(std::stoul(localAddress.substr(colon + 1), nullptr, 16)),
                 state == "0A", inode});
        }
    }
    return held;
}

// The inodes of the connections to port that the process pid holds open, its listening socket
// aside. A connection leaves the system's table as soon as the peer's end of stream follows
// the process's own, before the process has closed its socket: HoldsSocket tells when it has.
std::set<std::string> ConnectionsOnPort(pid_t pid, uint16_t port) {
    std::set<std::string> connections;
    for (const TcpSocket& socket : TcpSockets(pid)) {
        if (!socket.listening && socket.port == port) {
            connections.insert(socket.inode);
        }
    }
    return connections;
}

// Whether the process pid holds a descriptor on one of the sockets with the inodes given.
bool HoldsSocket(pid_t pid, const std::set<std::string>& inodes) {
    const std::set<std::string> held = SocketInodes(pid);
    return std::any_of(inodes.begin(), inodes.end(),
                       [&held](const std::string& inode) { return held.count(inode) != 0; });
}

// Waits until each listening socket of the server has its thread waiting in accept, which has
// taken the number its next connection gets; false when that does not come. Until then that
// thread may still take a number below the reserve that a connection closed for room has left
// free, so that whatever asks next finds it and needs no closing.
bool Accepting(pid_t pid) {
    return TestSupport::WaitUntil([pid] {
        const std::vector<TcpSocket> sockets = TcpSockets(pid);
        const auto listening =
            std::count_if(sockets.begin(), sockets.end(),
                          [](const TcpSocket& socket) { return socket.listening; });
        return listening > 0 && TestSupport::ThreadsWaitingToAccept(pid) == listening;
    });
}

// A connection from the loopback address source that sends a listing request and never joins;
// null when it is not answered (the server closed it).
std::unique_ptr<RawClient> Unjoined(uint16_t port, const std::string& source) {
    auto client = std::make_unique<RawClient>(port, source);
    client->SendFrame(kListing);
    return AdminTest::FramesUntil(*client, RelayWire::MediaInfo).empty() ? nullptr
                                                                         : std::move(client);
}

// Whether client is still served: a listing request is answered, not met by the end.
bool Served(RawClient& client) {
    client.SendFrame(kListing);
    return !AnswerOrEnd(client, RelayWire::MediaInfo).empty();
}

// Opens a connection from source that never joins, kept in into, and tells whether the server
// closed another to serve it: whether it holds no more numbers than before, once its accept
// waits again. Fails the test when the connection is not served.
// REQUIRES: nothing but the accepts takes or frees a descriptor of the server meanwhile.
bool ServedByClosing(uint16_t port, const std::string& source, pid_t pid,
                     std::vector<std::unique_ptr<RawClient>>& into) {
    const size_t before = HeldBelowReserve(pid);
    into.push_back(Unjoined(port, source));
    EXPECT_NE(into.back(), nullptr) << source;
    EXPECT_TRUE(Accepting(pid));
    return HeldBelowReserve(pid) <= before;
}

// Opens connections from source that never join until one is served by closing another. None
// could take a number below the reserve then, and the closing frees two, of which that
// connection and the accepts waiting again take what is left: every number below the reserve is
// held, by a connection or by an accept, and stays so until someone asks for one. False when
// none is served by closing.
// REQUIRES: nothing but the accepts takes or frees a descriptor of the server meanwhile.
bool FillBelowReserve(uint16_t port, const std::string& source, pid_t pid,
                      std::vector<std::unique_ptr<RawClient>>& into) {
    for (int i = 0; i < 2 * kLimit; ++i) {
        if (ServedByClosing(port, source, pid, into)) {
            return true;
        }
    }
    return false;
}

// One outsider without the password, at 127.0.0.2, holds every descriptor below the reserve
// with connections that never join, and takes them all again before each thing a member asks
// for. The member's download of a listed photo comes whole, its upload is accepted and a plug-in
// at another address gets the policy (when this server could bind its port), each by closing
// one of the outsider's connections; the log counts them by kind at the stop, and refuses
// nothing. Before, the download was answered 2 (not found), the upload 4 (cannot create) and
// the policy was closed unsent.
TEST(ServerDescriptors, AnOutsiderHoldingEveryDescriptorLeavesMembersDownloadsUploadsAndPolicy) {
    Room room;
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "pass")));
    room.Write("media.xml",
               "<media count=\"1\"><item><entry><id>0</id></entry><group /></item></media>");
    room.Write("media/0_0", "photo");
    room.Write("media/0_1", "preview");
    ServerProcess server(WithSmallFileLimit(room), "");
    const int hosting = server.WaitForLine("Policy server hosting on port 943");
    const bool policy =
        hosting >= 0 && AdminTest::LogText(server.Lines()[static_cast<size_t>(hosting)]) ==
                            "Policy server hosting on port 943";
    // Written once start-up has counted the descriptors left, with a listing closed by then.
    ASSERT_GE(server.WaitForLine("Open file limit 64 leaves room for "), 0);
    RawClient member(room.Port());
    ASSERT_EQ(AdminTest::Join(member, "Ann", "pass"), 0);
    std::vector<std::unique_ptr<RawClient>> outsider;
    ASSERT_TRUE(FillBelowReserve(room.Port(), "127.0.0.2", server.Pid(), outsider));
    const size_t full = HeldBelowReserve(server.Pid());
    // The leaves of the outsider's connections closed may come between the frames.
    member.SendFrame(RelayWire::MediaFile(RelayWire::GetMedia, 0, 0));
    const auto answer = AnswerOrEnd(member, RelayWire::GetMediaAnswer);
    ASSERT_EQ(RelayWire::Parse(answer.empty() ? "" : answer.back()).payload,
              RelayWire::U8(0) + RelayWire::U32(0) + RelayWire::U8(0));
    const auto chunk = AnswerOrEnd(member, RelayWire::MediaChunk);
    EXPECT_EQ(
        RelayWire::Parse(chunk.empty() ? "" : chunk.back()).payload,
        RelayWire::U32(0) + RelayWire::U8(0) + RelayWire::U32(0) + RelayWire::U16(5) + "photo");
    // Both numbers of the connection closed for it are free once its file is closed, which only
    // the count tells. Without that closing the count would stay full.
    ASSERT_TRUE(TestSupport::WaitUntil([&] { return HeldBelowReserve(server.Pid()) + 2 == full; }))
        << full << " " << HeldBelowReserve(server.Pid()) << server.Output();

    // The policy server's accept holds a number while it waits, which its next connection takes:
    // taken at start-up, below the reserve, it serves the first plug-in without a closing. The
    // accept then takes its next one at once, in the reserve while that plug-in's connection
    // still holds the old one: the plug-in keeps its end open until the accept waits again (the
    // server closes it by itself 100 ms after the policy), and the next plug-in is served by
    // closing the outsider's oldest connection. A round whose accept came back later starts
    // again, since that accept may have taken the old number.
    size_t oldest = 0;
    const auto closedSince = [&] {
        size_t closed = 0;
        for (; oldest < outsider.size() && !Served(*outsider[oldest]); ++oldest) {
            ++closed;
        }
        return closed;
    };
    bool inReserve = false;  // the accept is known to wait on a number in the reserve
    for (int plugins = 0; policy; ++plugins) {
        // Bounded only so that a loop whose accept never comes back in time ends.
        ASSERT_LT(plugins, 40);
        ASSERT_TRUE(FillBelowReserve(room.Port(), "127.0.0.2", server.Pid(), outsider));
        closedSince();
        RawClient plugin(943, "127.0.0.3");
        EXPECT_EQ(plugin.ReadToEnd().value_or("<reset>"), kPolicy);
        ASSERT_TRUE(Accepting(server.Pid()));
        const std::set<std::string> connection = ConnectionsOnPort(server.Pid(), 943);
        // Its number is free again once the server has closed its socket in turn.
        plugin.Close();
        ASSERT_TRUE(TestSupport::WaitUntil([&] { return !HoldsSocket(server.Pid(), connection); }));
        const bool closed = closedSince() != 0;
        ASSERT_TRUE(closed || !inReserve) << "served in the reserve without a closing";
        if (closed) {
            break;
        }
        inReserve = !connection.empty();
    }

    ASSERT_TRUE(FillBelowReserve(room.Port(), "127.0.0.2", server.Pid(), outsider));
    member.SendFrame(RelayWire::AddMediaRequest(1, 1, 100, "new"));
    const auto added = AnswerOrEnd(member, RelayWire::AddMediaAnswer);
    EXPECT_EQ(RelayWire::Parse(added.empty() ? "" : added.back()).payload.substr(0, 2),
              RelayWire::U8(1) + RelayWire::U8(0));

    server.Signal(SIGTERM);
    EXPECT_EQ(server.WaitForExit(), 0);
    const std::string log = server.Output();
    const std::vector<ReserveLine> told = ReserveLines(log);
    EXPECT_EQ(Told(told, &ReserveLine::closedFor, 1), 1u) << log;
    EXPECT_EQ(Told(told, &ReserveLine::closedFor, 2), 1u) << log;
    EXPECT_EQ(Told(told, &ReserveLine::closedFor, 3), policy ? 1u : 0u) << log;
    for (size_t use = 0; use < 4; ++use) {
        EXPECT_EQ(Told(told, &ReserveLine::refused, use), 0u) << log;
    }
}

// With the descriptors about to run out, connections come from three addresses in turn, so
// that the two client workers serve them alternately: a newcomer at 127.0.0.4 first, then the
// outsider at 127.0.0.2, and 127.0.0.3 on the worker of the outsider's first two connections,
// holding more there than the outsider. The first connection served by closing another closes
// the outsider's first one: the oldest of the address holding the most across both workers,
// neither the oldest of all (the newcomer's) nor what either worker's own connections would
// give (127.0.0.3's first, or the outsider's third). The outsider then opens many more, each
// closing one of its own, and the newcomer, joining only now, is admitted. Before, the
// newcomer was closed first, having waited longest.
TEST(ServerDescriptors, TheAddressHoldingTheMostGivesUpItsOldestConnectionFirst) {
    Room room;
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "pass")));
    ServerProcess server(WithSmallFileLimit(room), "");
    AdminTest::WaitForStartUp(server);
    // Written once start-up has counted the descriptors left, with a listing closed by then.
    ASSERT_GE(server.WaitForLine("Open file limit 64 leaves room for "), 0);
    // Each connection takes two numbers; the two servers' accepts may hold one each.
    const size_t fit = (kLimit - 16 - HeldBelowReserve(server.Pid()) - 2) / 2;
    ASSERT_GE(fit, 10u);
    // With no connection before, the workers take them in turn: the even ones (the newcomer,
    // then the outsider) on one, the odd ones (the outsider's first two, then 127.0.0.3) on
    // the other. The outsider holds at least two more than 127.0.0.3, so it still holds the
    // most once it has lost one.
    std::vector<std::unique_ptr<RawClient>> open;
    for (size_t i = 0; i < fit; ++i) {
        const std::string source = i == 0                 ? "127.0.0.4"
                                   : i <= 3 || i % 2 == 0 ? "127.0.0.2"
                                                          : "127.0.0.3";
        ASSERT_FALSE(ServedByClosing(room.Port(), source, server.Pid(), open)) << i;
    }
    // Newcomers from yet another address, one at a time, until one is served by closing.
    std::vector<std::unique_ptr<RawClient>> last;
    bool closed = false;
    for (int i = 0; i < 4 && !closed; ++i) {
        closed = ServedByClosing(room.Port(), "127.0.0.7", server.Pid(), last);
    }
    ASSERT_TRUE(closed);
    // Asked first, so that a wrong choice fails at once rather than after a deadline.
    EXPECT_TRUE(Served(*open[2]));       // the outsider's first on the newcomer's worker
    EXPECT_TRUE(Served(*open[5]));       // 127.0.0.3's first
    EXPECT_TRUE(Served(*open[0]));       // the newcomer
    EXPECT_TRUE(open[1]->WaitClosed());  // the outsider's first

    std::vector<std::unique_ptr<RawClient>> more;
    for (int i = 0; i < kLimit; ++i) {
        more.push_back(Unjoined(room.Port(), "127.0.0.2"));
        ASSERT_NE(more.back(), nullptr) << i;
    }
    EXPECT_EQ(AdminTest::Join(*open[0], "Bob", "pass"), 0);
    EXPECT_TRUE(Served(*open[5]));
}

// One address holds at most 64 connections that have not joined, or RoomMaxClients when that is
// larger: here 70, as an office of 70 members behind one address connecting at once, who all
// join, and then may connect again. One more connection from the address while the bound is
// held is closed at once, before it is read or made a client (the next client's id shows that
// none was drawn for it). Before, one address could hold every descriptor with such
// connections.
TEST(ServerDescriptors, OneAddressHoldsABoundedNumberOfConnectionsThatHaveNotJoined) {
    for (const size_t places : {70u, 20u}) {
        const size_t bound = std::max<size_t>(places, 64);
        Room room;
        room.Write(
            "config.xml",
            WithPlaces(ConfigXml(room.Port(), Settings(), Privileges("", "", "pass")), places));
        auto server = room.Start();
        std::vector<std::unique_ptr<RawClient>> office;
        for (size_t i = 0; i < bound; ++i) {
            office.push_back(Unjoined(room.Port(), "127.0.0.5"));
            ASSERT_NE(office.back(), nullptr) << places << " " << i;
        }
        RawClient extra(room.Port(), "127.0.0.5");
        extra.SendFrame(kListing);
        EXPECT_TRUE(AnswerOrEnd(extra, RelayWire::MediaInfo).empty()) << places;
        EXPECT_TRUE(extra.Ended()) << places;
        if (places == bound) {
            for (size_t i = 0; i < places; ++i) {
                EXPECT_EQ(AdminTest::Join(*office[i], "Member" + std::to_string(i), "pass"), 0)
                    << i;
            }
            EXPECT_NE(Unjoined(room.Port(), "127.0.0.5"), nullptr);
            continue;
        }
        RawClient other(room.Port(), "127.0.0.6");
        other.SendFrame(AdminTest::JoinRequest("Other", "pass"));
        const auto joined = AnswerOrEnd(other, RelayWire::JoinResponse);
        ASSERT_FALSE(joined.empty()) << places;
        EXPECT_EQ(TestSupport::Hex(joined.back()),
                  TestSupport::Hex(RelayWire::Message(
                      RelayWire::JoinResponse, static_cast<uint32_t>(bound + 1), RelayWire::U8(0))))
            << places;
    }
}

// A stop with hundreds of connections open that never joined ends, and once its closing save
// is made (which fails here, and says so) one more stop signal ends the process at once with the
// status that save decided, whatever is left of the closing, with the log left unread, as
// behind a stalled terminal. The connections come from many addresses, as a crowd's would. Before,
// a signal after the closing save did nothing, and with thousands of connections the rest of the
// closing took most of a minute.
TEST(Server, ASignalAfterTheClosingSaveEndsTheProcessAtOnceWithItsStatus) {
    constexpr int kConnections = 300;
    Room room;
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "pass")));
    auto server = room.Start();
    std::vector<std::unique_ptr<RawClient>> outsiders;
    for (int i = 0; i < kConnections; ++i) {
        outsiders.push_back(
            std::make_unique<RawClient>(room.Port(), "127.0.1." + std::to_string(1 + i % 30)));
        outsiders.back()->SendFrame(kListing);
        ASSERT_FALSE(AdminTest::FramesUntil(*outsiders.back(), RelayWire::MediaInfo).empty()) << i;
    }
    // A directory where the temporary file would go: the saves of the catalogue fail.
    std::filesystem::create_directory(room.File("media.xml.new"));
    server->LimitUnreadOutput();
    server->Signal(SIGTERM);
    const int stopped = server->WaitForLine("Relay server stopped");
    ASSERT_GE(stopped, 0) << server->Output();
    ASSERT_GE(server->WaitForLine("Saving media.xml failed", static_cast<size_t>(stopped) + 1), 0)
        << server->Output();
    server->Signal(SIGTERM);
    EXPECT_TRUE(server->WaitForEndUnread());
    EXPECT_EQ(server->WaitForExit(), 1) << server->Output();
}

// One member with the voice right sends 32,000-byte voice frames as fast as it can, and
// another sends name changes as large (relayed whole, whatever follows the name), while
// three members read at 1,000 KB/s: slower than the two send, faster than the server takes
// what they send to the room. For a few seconds none of the readers is closed, each
// receives each sender's frames in the order sent, and the senders keep their places.
// Before, the server read a sender as fast as it sent and queued every frame for every
// member, and each reader was closed once 16 MiB waited for it.
TEST(ServerRelay, MembersSendingFastGetNoSlowerMemberClosed) {
    constexpr size_t kReaders = 3;
    constexpr auto kTick = std::chrono::milliseconds(10);
    constexpr size_t kBytesPerTick = 10000;  // 1,000 KB/s
    constexpr auto kPacedFor = std::chrono::seconds(3);
    Room room;
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "")));
    auto server = room.Start();
    std::vector<std::unique_ptr<RawClient>> members;
    for (const std::string name : {"Loud", "Renamer", "Reader0", "Reader1", "Reader2"}) {
        members.push_back(std::make_unique<RawClient>(room.Port()));
        // Holding little in its socket, a reader leaves what it has not read queued on the
        // server, as a member on a slow link does.
        if (members.size() > 2) {
            members.back()->SetReceiveBuffer(32 * 1024);
        }
        ASSERT_EQ(AdminTest::Join(*members.back(), name, ""), 0);
    }
    RawClient& loud = *members[0];
    RawClient& renamer = *members[1];

    // Each sender's frames carry their count after the voice header or the name.
    std::atomic<bool> stop{false};
    const auto flood = [&stop](RawClient& sender, bool voice) {
        std::string data(32000, 'v');
        for (uint32_t count = 0; !stop; ++count) {
            std::memcpy(data.data(), &count, sizeof count);
            if (!sender.SendFrame(voice ? RelayWire::Voice(7, data)
                                        : RelayWire::Message(RelayWire::ChangeName, 0,
                                                             RelayWire::Text("Loud") + data))) {
                return;
            }
        }
    };
    std::thread floods[] = {std::thread(flood, std::ref(loud), true),
                            std::thread(flood, std::ref(renamer), false)};
    // What each reader got: each sender's frames received in order, and whether it was cut
    // off (ended, reset, or a frame out of order).
    struct Got {
        uint32_t voices{0};
        uint32_t names{0};
        bool cut{false};
    };
    std::vector<Got> got(kReaders);
    std::vector<std::thread> reading;
    for (size_t i = 0; i < kReaders; ++i) {
        reading.emplace_back([&reader = *members[2 + i], &got = got[i], kTick, kPacedFor] {
            const auto start = std::chrono::steady_clock::now();
            for (auto tick = start + kTick; !got.cut && tick <= start + kPacedFor; tick += kTick) {
                got.cut = !reader.ReadPaced(kBytesPerTick, tick);
                while (auto frame = reader.TakeFrame()) {
                    const RelayWire::Parsed message = RelayWire::Parse(*frame);
                    if (message.type == RelayWire::VoiceData) {
                        got.cut = got.cut || RelayWire::ReadU32(message.payload, 3) != got.voices;
                        ++got.voices;
                    } else if (message.type == RelayWire::ChangeName) {
                        got.cut = got.cut || RelayWire::ReadU32(message.payload, 5) != got.names;
                        ++got.names;
                    }
                }
            }
        });
    }
    for (std::thread& thread : reading) {
        thread.join();
    }

    // The first reader's chat reaches every other member behind what is queued for it, and
    // its listing's answer reaches it behind its own; a member closed meanwhile gets neither.
    members[2]->SendFrame(RelayWire::ChatText("done"));
    members[2]->SendFrame(kListing);
    bool served = true;
    for (size_t i = 0; i < kReaders; ++i) {
        EXPECT_FALSE(got[i].cut) << "reader " << i << " after " << got[i].voices
                                 << " voice frames and " << got[i].names << " name changes";
        EXPECT_GT(got[i].voices, 0u) << "reader " << i;
        EXPECT_GT(got[i].names, 0u) << "reader " << i;
        const uint8_t last = i == 0 ? RelayWire::MediaInfo : RelayWire::Chat;
        served = !AdminTest::FramesUntil(*members[2 + i], last).empty() && served && !got[i].cut;
    }
    EXPECT_TRUE(served);
    // The senders, still sending, are told of the chat and of no member leaving.
    for (RawClient* sender : {&loud, &renamer}) {
        const std::vector<std::string> told =
            served ? AdminTest::FramesUntil(*sender, RelayWire::Chat) : std::vector<std::string>();
        EXPECT_FALSE(told.empty());
        for (const std::string& frame : told) {
            EXPECT_NE(RelayWire::Parse(frame).type, RelayWire::UserLeft);
        }
    }
    stop = true;
    // A send held up by the server's budget ends when its side is shut.
    for (RawClient* sender : {&loud, &renamer}) {
        sender->ShutdownSend();
    }
    for (std::thread& thread : floods) {
        thread.join();
    }
}

// The room's places are its members': an outsider without the password holds as many
// connections open as the room has places, never joining, and members with the password
// still join until they fill the room; the next one is refused as full. Before, every
// connection held a place, and the outsider kept every member out.
TEST(ServerRoom, ConnectionsThatNeverJoinHoldNoPlace) {
    constexpr size_t kPlaces = 3;
    Room room;
    room.Write("config.xml",
               WithPlaces(ConfigXml(room.Port(), Settings(), Privileges("", "", "pass")), kPlaces));
    auto server = room.Start();
    // Accepted in the order they connect, so all of them before any member.
    std::vector<std::unique_ptr<RawClient>> outsider;
    std::vector<std::unique_ptr<RawClient>> members;
    for (size_t i = 0; i < kPlaces; ++i) {
        outsider.push_back(std::make_unique<RawClient>(room.Port()));
    }
    for (size_t i = 0; i < kPlaces; ++i) {
        members.push_back(std::make_unique<RawClient>(room.Port()));
        EXPECT_EQ(AdminTest::Join(*members.back(), "member", "pass"), 0) << "member " << i;
    }
    RawClient last(room.Port());
    EXPECT_EQ(AdminTest::Join(last, "last", "pass"), 1);
    server->Signal(SIGTERM);
    EXPECT_EQ(server->WaitForExit(), 0) << server->Output();
}

// The server closes client at once, unread: what it reads is the end of the stream or a reset,
// never a frame.
bool ClosedUnanswered(RawClient& client) {
    const std::optional<std::string> rest = client.ReadToEnd();
    return rest ? rest->empty() : client.WasReset();
}

// How many console lines contain text.
size_t CountLines(const ServerProcess& server, const std::string& text) {
    return static_cast<size_t>(std::count_if(
        server.Lines().begin(), server.Lines().end(),
        [&text](const std::string& line) { return line.find(text) != std::string::npos; }));
}

// Wrong passwords are bounded per address: after ten joins from 127.0.0.2 refused for one,
// the server closes its new connections at once, unread (even one with the password), before
// they become clients: no id is drawn for them, no member is told of them, and the log says so
// once, naming the address. Members from 127.0.0.1 still join; a member already joined from
// 127.0.0.2 stays, a connection it had open before may still try (adding no line), its leave
// told to the member admitted while it was open alone, and the policy service still answers
// it. A connection is closed once refused, and tries no more passwords however many joins it
// sent; the members admitted before it opened are not told of its leaving. Before, one peer
// tried thousands of passwords a second.
TEST(ServerRoom, AnAddressThatTriesTenWrongPasswordsHasItsNewConnectionsClosed) {
    const std::string guesser = "127.0.0.2";
    const auto joined = [](uint32_t id, const std::string& name) {
        return RelayWire::Message(RelayWire::UserJoined, id,
                                  RelayWire::Text(name) + RelayWire::U8(2));
    };
    Room room;
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "letmein")));
    auto server = room.Start();
    RawClient member(room.Port());
    ASSERT_EQ(AdminTest::Join(member, "Ann", "letmein"), 0);  // id 1
    RawClient resident(room.Port(), guesser);
    ASSERT_TRUE(resident.Connected());
    ASSERT_EQ(AdminTest::Join(resident, "Bob", "letmein"), 0);  // id 2
    const auto admission = AdminTest::FramesUntil(member, RelayWire::UserJoined);
    EXPECT_EQ(admission.empty() ? "" : admission.back(), joined(2, "Bob"));
    RawClient earlier(room.Port(), guesser);  // id 3
    for (uint32_t id = 4; id < 14; ++id) {
        RawClient guess(room.Port(), guesser);
        // The first sends twenty more behind its guess at once: a refusal closes the
        // connection, and what it sent behind it tries no password.
        std::string more;
        for (int i = 0; id == 4 && i < 20; ++i) {
            more += Frame(AdminTest::JoinRequest("Eve", "more " + std::to_string(i)));
        }
        guess.SendBytes(Frame(AdminTest::JoinRequest("Eve", "guess " + std::to_string(id))) + more);
        const auto refused = AdminTest::FramesUntil(guess, RelayWire::JoinResponse);
        ASSERT_EQ(refused.empty() ? -1 : static_cast<uint8_t>(refused.back()[5]), 3) << id;
        EXPECT_TRUE(ClosedUnanswered(guess)) << id;
        EXPECT_TRUE(Logs(*server, " (id: " + std::to_string(id) + ") has left the room.")) << id;
    }
    const std::string blockedLine =
        "Relay server closing new connections from 127.0.0.2 for 5 "
        "minutes: 10 wrong passwords within 2 minutes";
    EXPECT_TRUE(Logs(*server, blockedLine));

    RawClient blocked(room.Port(), guesser);
    blocked.SendFrame(AdminTest::JoinRequest("Eve", "letmein"));
    EXPECT_TRUE(ClosedUnanswered(blocked));
    RawClient newcomer(room.Port());
    newcomer.SendFrame(AdminTest::JoinRequest("Cid", "letmein"));
    const auto admitted = AdminTest::FramesUntil(newcomer, RelayWire::JoinResponse);
    EXPECT_EQ(admitted.empty() ? "" : TestSupport::Hex(admitted.back()),
              TestSupport::Hex(RelayWire::Message(RelayWire::JoinResponse, 14, RelayWire::U8(0))));
    TestSupport::ExpectNext(member, joined(14, "Cid"));
    resident.SendFrame(RelayWire::ChatText("still here"));
    TestSupport::ExpectNext(member, RelayWire::ChatText("still here", 2));
    EXPECT_EQ(AdminTest::Join(earlier, "Eve", "wrong"), 3);
    const auto toldCid = AdminTest::FramesUntil(newcomer, RelayWire::UserLeft);
    EXPECT_EQ(toldCid.empty() ? "" : TestSupport::Hex(toldCid.back()),
              TestSupport::Hex(RelayWire::Message(RelayWire::UserLeft, 3)));
    EXPECT_TRUE(Logs(*server, " (id: 3) has left the room."));
    resident.SendFrame(RelayWire::ChatText("still"));
    TestSupport::ExpectNext(member, RelayWire::ChatText("still", 2));
    EXPECT_EQ(CountLines(*server, blockedLine), 1u);
    // The resident, the earlier connection and the ten guesses; the closed one is not logged.
    EXPECT_EQ(CountLines(*server, "Relay server client 127.0.0.2:"), 12u);
    PolicyServiceWorks(*server, guesser);
}

// A join refused because the room is full is no wrong password: eleven connections from one
// address refused as full, one more than the wrong passwords that block an address, leave its
// next connection answered, and it joins once a place is free. Counted as wrong passwords,
// members of one office arriving at a full room would have it locked out for five minutes.
TEST(ServerRoom, JoinsRefusedForAFullRoomCountAsNoWrongPassword) {
    const std::string office = "127.0.0.5";
    Room room;
    room.Write("config.xml",
               WithPlaces(ConfigXml(room.Port(), Settings(), Privileges("", "", "letmein")), 2));
    auto server = room.Start();
    RawClient ann(room.Port());
    ASSERT_EQ(AdminTest::Join(ann, "Ann", "letmein"), 0);  // id 1
    RawClient bob(room.Port());
    ASSERT_EQ(AdminTest::Join(bob, "Bob", "letmein"), 0);  // id 2
    ASSERT_FALSE(AdminTest::FramesUntil(ann, RelayWire::UserJoined).empty());
    for (uint32_t id = 3; id < 15; ++id) {
        RawClient late(room.Port(), office);
        ASSERT_EQ(AdminTest::Join(late, "Eve", "letmein"), 1) << id;
        EXPECT_TRUE(Logs(*server, " (id: " + std::to_string(id) + ") has left the room.")) << id;
    }
    // Admitted before the late ones opened, Ann is told of none of them leaving.
    bob.Close();
    TestSupport::ExpectNext(ann, RelayWire::Message(RelayWire::UserLeft, 2));
    RawClient eve(room.Port(), office);
    EXPECT_EQ(AdminTest::Join(eve, "Eve", "letmein"), 0);
    EXPECT_EQ(CountLines(*server, "Relay server closing new connections"), 0u);
}

// Connections cannot hold the room up by piling requests: each has at most one handled between
// two of anyone else's. Five members each pipeline 60 listings of a catalogue of 255 items
// with 200-byte titles (each of another page, so none is answered from an earlier one) and then
// say something; once the server has read what they said, Bob says something: Carol hears him
// before any of them. Before, their piles and what they said were all handled first. (Members:
// a connection that has not joined has no more than 4 of its requests read ahead.)
TEST(Server, ConnectionsPilingListingsDoNotHoldUpAMembersChat) {
    constexpr uint8_t kPilers = 5;
    constexpr uint32_t kListings = 60;
    Room room;
    std::string media = "<media count=\"255\">";
    for (int id = 1; id <= 255; ++id) {
        const std::string title = "photo " + std::to_string(id) + " ";
        media += "<item><entry><id>" + std::to_string(id) + "</id><title>" + title +
                 std::string(200 - title.size(), 'a' + id % 26) +
                 "</title></entry><group><content fileSize=\"10\" /></group></item>";
    }
    room.Write("media.xml", media + "</media>");
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "")));
    auto server = room.Start();
    RawClient bob(room.Port());
    RawClient carol(room.Port());
    ASSERT_EQ(AdminTest::Join(bob, "Bob", ""), 0);
    ASSERT_EQ(AdminTest::Join(carol, "Carol", ""), 0);

    std::vector<std::unique_ptr<RawClient>> pilers;
    std::vector<std::string> piles;
    for (uint8_t i = 0; i < kPilers; ++i) {
        // Each at an address of its own, whose lines all fit in its share of the log.
        pilers.push_back(
            std::make_unique<RawClient>(room.Port(), "127.0.0." + std::to_string(10 + i)));
        ASSERT_EQ(AdminTest::Join(*pilers.back(), "Piler" + std::to_string(i), ""), 0);
        std::string pile;
        for (uint32_t start = 255; start > 255 - kListings; --start) {
            pile += Frame(RelayWire::Message(RelayWire::GetMediaInfo, 0,
                                             RelayWire::U32(start) + RelayWire::U8(255 - i)));
        }
        piles.push_back(pile + Frame(RelayWire::ChatText("after")));
    }
    for (uint8_t i = 0; i < kPilers; ++i) {
        ASSERT_TRUE(pilers[i]->SendBytes(piles[i]));
    }
    // What each says is logged as it is queued, behind the listings read before it.
    for (int said = 0, from = 0; said < kPilers; ++said) {
        from = server->WaitForLine(" sent a chat msg.", static_cast<size_t>(from)) + 1;
        ASSERT_GT(from, 0);
    }
    ASSERT_TRUE(bob.SendFrame(RelayWire::ChatText("hello")));
    const auto heard = AdminTest::FramesUntil(carol, RelayWire::Chat);
    ASSERT_FALSE(heard.empty());
    EXPECT_EQ(RelayWire::Parse(heard.back()).payload, RelayWire::Text("hello"));
    server->Signal(SIGTERM);
    EXPECT_EQ(server->WaitForExit(), 0) << server->Output();
}

// How many lines about the connections of address the log says it left out, of the kind
// named by the pattern kind ("messages? sent", "connections?", "leavings?").
uint64_t LeftOut(const ServerProcess& server, const std::string& address, const std::string& kind) {
    const std::regex summary("Relay server left out \\d+ lines? about " + address +
                             " in the last \\d+ s: .*");
    const std::regex count("(?:: |, )(\\d+) " + kind + "(?:,|$)");
    uint64_t total = 0;
    for (const std::string& line : server.Lines()) {
        const std::string text = AdminTest::LogText(line);
        std::smatch match;
        if (std::regex_match(text, summary) && std::regex_search(text, match, count)) {
            total += std::stoull(match[1].str());
        }
    }
    return total;
}

// Reads console lines until told() comes to count; false when the output ends, or no line
// comes for the deadline of WaitForLine, first.
bool WaitUntilTold(ServerProcess& server, const std::function<uint64_t()>& told, uint64_t count) {
    while (told() < count) {
        if (server.WaitForLine("", server.Lines().size()) < 0) {
            return false;
        }
    }
    return true;
}

// The log is bounded per address: a connection that never joined pipelines 2,000 listing
// requests, and a burst of them and 20 a second are logged; the rest are counted in lines
// naming its address, so that written and counted make every request. Meanwhile a member at
// another address has every line written. Before, every request was a line of its own.
TEST(ServerLog, LinesAboutOneAddressAreBoundedAndCountedAndAnotherAddressKeepsItsLines) {
    constexpr uint32_t kRequests = 2000;
    constexpr uint32_t kChats = 50;
    const std::string listing = Frame(RelayWire::Message(
        RelayWire::GetMediaInfo, 0, RelayWire::U32(0xFFFFFFFF) + RelayWire::U8(255)));
    Room room;
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "letmein")));
    auto server = room.Start();
    const auto begin = std::chrono::steady_clock::now();
    RawClient flooder(room.Port());  // id 1
    std::string requests;
    for (uint32_t i = 0; i < kRequests; ++i) {
        requests += listing;
    }
    ASSERT_TRUE(flooder.SendBytes(requests));
    // Answers are read beside the log, which fills its pipe long before 2,000 lines. Each
    // request is logged as it is read, before it is answered.
    double seconds = 0;
    std::thread reader([&] {
        for (uint32_t answers = 0; answers < kRequests; ++answers) {
            if (AdminTest::FramesUntil(flooder, RelayWire::MediaInfo).empty()) {
                ADD_FAILURE() << answers << " answers";
                return;
            }
        }
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    });
    const std::string written = " (id: 1) sent 150 (Media Info Request).";
    EXPECT_TRUE(WaitUntilTold(
        *server,
        [&] {
            return CountLines(*server, written) + LeftOut(*server, "127.0.0.1", "messages? sent");
        },
        kRequests));
    reader.join();
    EXPECT_EQ(CountLines(*server, written) + LeftOut(*server, "127.0.0.1", "messages? sent"),
              kRequests);
    // A burst of 200 lines, the connection's own among them, and 20 a second.
    EXPECT_LE(CountLines(*server, written), 200 + 20 * (seconds + 1));

    RawClient member(room.Port(), "127.0.0.2");
    ASSERT_EQ(AdminTest::Join(member, "Bob", "letmein"), 0);  // id 2
    std::string chats;
    for (uint32_t i = 0; i < kChats; ++i) {
        chats += Frame(RelayWire::ChatText("line " + std::to_string(i)));
    }
    ASSERT_TRUE(member.SendBytes(chats + listing));
    ASSERT_FALSE(AdminTest::FramesUntil(member, RelayWire::MediaInfo).empty());
    // Logged after every chat line before it.
    ASSERT_GE(server->WaitForLine("Bob (id: 2) sent 150 (Media Info Request)."), 0);
    std::multiset<std::string> texts;
    for (const std::string& line : server->Lines()) {
        texts.insert(AdminTest::LogText(line));
    }
    for (uint32_t i = 0; i < kChats; ++i) {
        EXPECT_EQ(texts.count("Bob (id: 2) sent a chat msg. line " + std::to_string(i)), 1u) << i;
    }
    EXPECT_EQ(CountLines(*server, "Relay server client 127.0.0.2:"), 1u);
    EXPECT_EQ(CountLines(*server, "about 127.0.0.2"), 0u);
}

// Connections and leavings are bounded and counted as messages are, those of the connections
// the stop closes too: they leave after the relay has stopped, and the log still tells of
// each. Before, each was a line of its own. The room admits as many as connect, so that one
// address may hold them all without joining.
TEST(ServerLog, ConnectionsAndTheirLeavingAtTheStopAreBoundedAndCounted) {
    constexpr uint64_t kConnections = 250;
    const std::string peer = "127.0.0.3";
    Room room;
    room.Write("config.xml",
               WithPlaces(ConfigXml(room.Port(), Settings(), Privileges("", "", "letmein")),
                          kConnections));
    auto server = room.Start();
    std::vector<std::unique_ptr<RawClient>> connections;
    for (uint64_t i = 0; i < kConnections; ++i) {
        connections.push_back(std::make_unique<RawClient>(room.Port(), peer));
    }
    const auto connected = [&] {
        return CountLines(*server, "Relay server client " + peer + ":") +
               LeftOut(*server, peer, "connections?");
    };
    EXPECT_TRUE(WaitUntilTold(*server, connected, kConnections));
    EXPECT_EQ(connected(), kConnections);
    server->Signal(SIGTERM);
    EXPECT_EQ(server->WaitForExit(), 0);
    // A burst at most, since the bucket was last full.
    EXPECT_LE(CountLines(*server, " has left the room."), 200u);
    EXPECT_EQ(CountLines(*server, " has left the room.") + LeftOut(*server, peer, "leavings?"),
              kConnections);
}

// A PNG of width x height RGBA pixels, all zero, made a row at a time so that it costs the
// test no memory; with rows fewer than height, its image data stops after them.
std::string BlankPng(uint32_t width, uint32_t height, uint32_t rows) {
    return TestSupport::FromHex(
        TestSupport::PythonLines(
            "import struct, zlib\n"
            "def chunk(kind, data):\n"
            "    return struct.pack('>I', len(data)) + kind + data + "
            "struct.pack('>I', zlib.crc32(kind + data))\n"
            "w, h, rows = " +
            std::to_string(width) + ", " + std::to_string(height) + ", " + std::to_string(rows) +
            "\n"
            "z = zlib.compressobj(9)\n"
            "row = bytes(1 + 4 * w)\n"
            "idat = b''.join(z.compress(row) for _ in range(rows)) + z.flush()\n"
            "print((b'\\x89PNG\\r\\n\\x1a\\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, "
            "6, 0, 0, 0)) + chunk(b'IDAT', idat) + chunk(b'IEND', b'')).hex())\n")
            .at(0));
}

// Under a memory limit (set on the server alone), a photo that the size limit allows but
// that the memory left cannot decode (a PNG, a progressive JPEG) ends without an item, and the log
// says so with its uploader (its name escaped) and why, once, as it does for a file that is no
// photo and for one over the size limit. The server goes on: a small photo after them becomes an
// item, and the stop saves it. Before, such photos vanished without a word.
TEST(Server, APhotoThatEndsWithoutAnItemIsLoggedWithItsUploaderAndWhy) {
    const struct {
        std::string photo;
        std::string reason;
    } failures[] = {
        {BlankPng(7071, 7071, 7071), "out of memory"},
        {TestSupport::FromHex(
             TestSupport::PythonLines("import io; from PIL import Image\n"
                                      "b = io.BytesIO()\n"
                                      "Image.new('RGB', (7000, 7000)).save(b, 'JPEG', "
                                      "progressive=True, subsampling=0)\n"
                                      "print(b.getvalue().hex())\n")
                 .at(0)),
         "out of memory"},
        {"\x89PNG\r\n\x1a\nnot a picture", "not a PNG or JPEG that can be decoded"},
        {BlankPng(7072, 7072, 1), "too large, over 50 million pixels"},
    };
    Room room;
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "")));
    auto server = room.Start({}, {}, {}, 256);
    RawClient alice(room.Port());
    ASSERT_EQ(AdminTest::Join(alice, "Al\tice", ""), 0);
    for (uint32_t id = 0; id < std::size(failures); ++id) {
        ASSERT_EQ(AddMedia(alice, "lost", failures[id].photo), id);
        SendChunks(alice, id, failures[id].photo);
        const std::string line = "uploaded photo " + std::to_string(id) +
                                 ", which ended without an item: " + failures[id].reason + ".";
        const int at = server->WaitForLine(line);
        ASSERT_GE(at, 0) << server->Output();
        EXPECT_TRUE(std::regex_match(AdminTest::LogText(server->Lines()[static_cast<size_t>(at)]),
                                     std::regex(R"(Al\\tice \(id: \d+\) )" + line)))
            << server->Lines()[static_cast<size_t>(at)];
    }
    const std::string small = Pngs("(64, 48)")[0];
    ASSERT_EQ(AddMedia(alice, "kept", small), 4u);
    SendChunks(alice, 4, small);
    EXPECT_EQ(Listing(alice), std::vector<std::string>{"4 'kept'"});
    server->Signal(SIGTERM);
    EXPECT_EQ(server->WaitForExit(), 0) << server->Output();
    // Once each.
    const auto& lines = server->Lines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) {
                                return line.find("without an item") != std::string::npos;
                            }),
              4)
        << server->Output();
    const std::string media = room.Read("media.xml");
    EXPECT_NE(media.find("<media count=\"1\">"), std::string::npos) << media;
    EXPECT_EQ(StoredFiles(room), (std::set<std::string>{"4_0", "4_1"}));
}

// A list of files to delete that a kill left is kept as it is by a start that keeps media.xml
// as read (an item left out), which may lack items the operator puts back; a save that then
// removes a photo names the kept list's files again beside its own and deletes only its own,
// so a start that reads the whole catalogue deletes them, never a listed item's. Before, that
// save wrote its list over the kept one, and the files it named stayed for good.
TEST(ServerCatalogue, FilesOfAListKeptAtStartUpAreNamedByTheNextSaveAndDeletedByAWholeStart) {
    Room room;
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("boss", "", "")));
    room.Write("media.xml", "<media count=\"3\">" + Item("1") + Item("3") + Item("x") + "</media>");
    for (const std::string name : {"1_0", "1_1", "2_0", "2_1", "3_0", "3_1"}) {
        room.Write("media/" + name, "file " + name);
    }
    const std::string list = "media/2_0\nmedia/1_0\nmedia/2_1\n";
    room.Write("media.xml.delete", list);
    auto server = room.Start();
    EXPECT_TRUE(Logs(*server,
                     "Left 2 files of removed photos named in media.xml.delete for a start that "
                     "reads media.xml whole, and kept 1 of listed items"));
    EXPECT_EQ(room.Read("media.xml.delete"), list);
    RawClient boss(room.Port());
    ASSERT_EQ(AdminTest::Join(boss, "boss", "boss"), 0);
    boss.SendFrame(RelayWire::Message(RelayWire::RemoveMedia, 0, RelayWire::U32(3)));
    ASSERT_FALSE(AdminTest::FramesUntil(boss, RelayWire::RemoveMediaAnswer).empty());
    server->Signal(SIGTERM);
    ASSERT_EQ(server->WaitForExit(), 0) << server->Output();
    EXPECT_EQ(room.Read("media.xml"), "<media count=\"1\">" + Item("1") + "</media>");
    EXPECT_EQ(room.Read("media.xml.delete"), "media/2_0\nmedia/2_1\n");
    EXPECT_EQ(StoredFiles(room), (std::set<std::string>{"1_0", "1_1", "2_0", "2_1"}));

    server = room.Start();
    EXPECT_TRUE(Logs(*server, "Deleted 2 files of removed photos named in media.xml.delete"));
    RawClient member(room.Port());
    EXPECT_EQ(Download(member, 1), "file 1_0");
    server->Signal(SIGTERM);
    ASSERT_EQ(server->WaitForExit(), 0) << server->Output();
    EXPECT_EQ(StoredFiles(room), (std::set<std::string>{"1_0", "1_1"}));
    EXPECT_FALSE(std::filesystem::exists(room.File("media.xml.delete")));
}

// The list of files to delete is untrusted and read within a bound: one larger than 1 MiB, or
// one naming a file twice (more names than the ids of the catalogue could need, as one name
// repeated), is left unread with a log line, and moved aside for the operator, where no save
// writes over it; nothing it names is deleted, and the room is hosted. So is one found larger
// only while it is read (a file grown since its size was looked at, or a device, which has no
// size). Before, it was read whole however large (a 50 MB list held the start-up 14 s), and
// deleted from; later, one found larger while read was taken as read whole.
TEST(ServerCatalogue, AListOfFilesToDeletePastItsBoundIsLeftUnreadAndKept) {
    Room room;
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "")));
    room.Write("media.xml", "<media count=\"1\">" + Item("1") + "</media>");
    room.Write("media/2_0", "file 2_0");
    room.Write("media/2_1", "file 2_1");
    const struct {
        std::string list;
        std::string why;
        std::string kept;
    } lists[] = {
        {"media/2_0\nmedia/2_1\n" + std::string(1 << 20, '\n'), "is larger than 1048576 bytes",
         "media.xml.delete.bad"},
        {"media/2_0\nmedia/2_1\nmedia/2_0\n",
         "names \"media/2_0\" twice, more than the ids of the catalogue could need",
         "media.xml.delete.bad.1"},
    };
    for (const auto& [list, why, kept] : lists) {
        SCOPED_TRACE(why);
        room.Write("media.xml.delete", list);
        auto server = room.Start();
        EXPECT_TRUE(Logs(*server, "media.xml.delete " + why + ": it is left unread and kept as " +
                                      kept + " for the operator; no file it names is deleted"));
        server->Signal(SIGTERM);
        ASSERT_EQ(server->WaitForExit(), 0) << server->Output();
        // Compared as a whole: a megabyte of line feeds would fill the report.
        EXPECT_TRUE(room.Read(kept) == list);
        EXPECT_FALSE(std::filesystem::exists(room.File("media.xml.delete")));
        EXPECT_EQ(StoredFiles(room), (std::set<std::string>{"2_0", "2_1"}));
    }

    std::filesystem::create_symlink("/dev/zero", room.File("media.xml.delete"));
    auto server = room.Start();
    EXPECT_TRUE(Logs(*server,
                     "media.xml.delete is larger than 1048576 bytes: it is left unread "
                     "and kept as media.xml.delete.bad.2 for the operator; no file it "
                     "names is deleted"));
    server->Signal(SIGTERM);
    ASSERT_EQ(server->WaitForExit(), 0) << server->Output();
    EXPECT_EQ(std::filesystem::read_symlink(room.File("media.xml.delete.bad.2")), "/dev/zero");
    EXPECT_FALSE(std::filesystem::exists(room.File("media.xml.delete")));
    EXPECT_EQ(StoredFiles(room), (std::set<std::string>{"2_0", "2_1"}));
}

// count listing requests, framed one after another as a pipelining peer sends them.
std::string Listings(uint32_t count) {
    std::string frames;
    for (uint32_t i = 0; i < count; ++i) {
        frames += Frame(kListing);
    }
    return frames;
}

// Messages logged about the connections with the given ids, written or counted as left out
// about address.
uint64_t MessagesTold(const ServerProcess& server, const std::string& address,
                      const std::vector<uint32_t>& ids) {
    uint64_t written = 0;
    for (const uint32_t id : ids) {
        written += CountLines(server, "(id: " + std::to_string(id) + ") sent ");
    }
    return written + LeftOut(server, address, "messages? sent");
}

// At one address (an office), a connection that never joins keeps piling listings, past what
// the log tells of that address. A connection there with a wrong password is refused, and a
// member there joins, uploads and chats: its join, upload and chat lines are written, its
// join line although those not joined had no line left. Its own pile of listings then leaves
// out its own listings, never the upload it asks for after them and makes an item of. Written
// and counted, every message is told. Before, one bucket served the address, and the listings
// left the member's lines out.
TEST(ServerLog, AMembersJoinUploadsAndChatsAreWrittenWhateverItsAddressPiles) {
    constexpr uint32_t kChats = 10;
    constexpr uint32_t kOwnListings = 300;
    constexpr uint32_t kBatch = 20;
    const std::string office = "127.0.0.5";
    Room room;
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "letmein")));
    auto server = room.Start();
    RawClient piler(room.Port(), office);  // id 1
    const std::string batch = Listings(kBatch);
    std::atomic<bool> piling{true};
    std::atomic<uint64_t> piled{0};
    std::thread pile([&] {
        while (piling.load()) {
            ASSERT_TRUE(piler.SendBytes(batch));
            for (uint32_t i = 0; i < kBatch; ++i) {
                ASSERT_FALSE(AdminTest::FramesUntil(piler, RelayWire::MediaInfo).empty());
            }
            piled += kBatch;
        }
    });
    // Told once the first line left out is a second old: the address has no line left.
    EXPECT_GE(server->WaitForLine("Relay server left out "), 0);

    RawClient intruder(room.Port(), office);  // id 2
    EXPECT_EQ(AdminTest::Join(intruder, "Eve", "guess"), 3);
    RawClient member(room.Port(), office);  // id 3
    ASSERT_EQ(AdminTest::Join(member, "Ann", "letmein"), 0);
    const std::string photo(5000, 'p');
    EXPECT_EQ(AddMedia(member, "first", photo), 0u);
    std::string chats;
    for (uint32_t i = 0; i < kChats; ++i) {
        chats += Frame(RelayWire::ChatText("line " + std::to_string(i)));
    }
    ASSERT_TRUE(member.SendBytes(chats));
    ASSERT_TRUE(member.SendBytes(Listings(kOwnListings)));
    const std::string made = Pngs("(64, 48)").front();
    EXPECT_EQ(AddMedia(member, "second", made), 1u);
    SendChunks(member, 1, made);
    piling = false;
    pile.join();

    const uint64_t sent = piled.load() + 1 + 1 + 2 + kChats + kOwnListings;
    EXPECT_TRUE(WaitUntilTold(
        *server,
        [&] {
            return MessagesTold(*server, office, {1, 2, 3});
        },
        sent));
    EXPECT_EQ(MessagesTold(*server, office, {1, 2, 3}), sent);
    EXPECT_EQ(CountLines(*server, " (id: 3) sent 100 (Registration Request)."), 1u);
    EXPECT_EQ(CountLines(*server, "Ann (id: 3) sent 154 (Add Media Request)."), 2u);
    for (uint32_t i = 0; i < kChats; ++i) {
        EXPECT_EQ(CountLines(*server, "Ann (id: 3) sent a chat msg. line " + std::to_string(i)), 1u)
            << i;
    }
    EXPECT_LT(CountLines(*server, "Ann (id: 3) sent 150 (Media Info Request)."), kOwnListings);
}

// A member, Ann (id 1), joined at an address of its own, whose upload request lines are
// bounded as any message's.
struct UploadingMember {
    explicit UploadingMember(const std::string& at) : address(at) {
        room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "")));
        server = room.Start();
        member = std::make_unique<RawClient>(room.Port(), address);
        EXPECT_EQ(AdminTest::Join(*member, "Ann", ""), 0);
    }

    // count requests to upload size bytes, framed one after another.
    static std::string Requests(uint32_t count, uint32_t size) {
        std::string requests;
        for (uint32_t i = 0; i < count; ++i) {
            requests += Frame(RelayWire::AddMediaRequest(1, 1, size, "upload"));
        }
        return requests;
    }

    // Once the member has sent sent messages since begin, the join among them, with lines
    // left out: the upload it then makes an item of has its line written, every message is
    // written or counted about its address, and no more upload lines are written than a
    // burst, 20 a second and that upload's. The media id of that upload.
    uint32_t ExpectBoundedAndAnItemsLineWritten(uint64_t sent,
                                                std::chrono::steady_clock::time_point begin) {
        const std::string uploadLine = "Ann (id: 1) sent 154 (Add Media Request).";
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        const int leftOut = server->WaitForLine("Relay server left out ");
        EXPECT_GE(leftOut, 0);
        const std::string photo = Pngs("(64, 48)").front();
        const uint32_t made = AddMedia(*member, "made", photo);
        SendChunks(*member, made, photo);
        EXPECT_GE(server->WaitForLine(uploadLine, static_cast<size_t>(leftOut) + 1), 0);
        EXPECT_TRUE(WaitUntilTold(
            *server, [&] { return MessagesTold(*server, address, {1}); }, sent + 1));
        EXPECT_EQ(MessagesTold(*server, address, {1}), sent + 1);
        EXPECT_LE(CountLines(*server, uploadLine), 200 + 20 * (seconds + 1) + 1);
        return made;
    }

    const std::string address;
    Room room;
    std::unique_ptr<ServerProcess> server;
    std::unique_ptr<RawClient> member;
};

// A member pipelining upload requests that are refused at once, as too large, has their
// lines bounded as any message's: a burst and 20 a second are written, the rest counted about
// its address; the upload it then makes an item of still has its line written. Before, each
// refused request wrote a line.
TEST(ServerLog, RefusedUploadRequestsOfAMemberAreBoundedAndCountedAndAnItemsOneIsWritten) {
    constexpr uint32_t kRefused = 1000;
    UploadingMember ann("127.0.0.6");
    const auto begin = std::chrono::steady_clock::now();
    ASSERT_TRUE(ann.member->SendBytes(UploadingMember::Requests(kRefused, 0xFFFFFFFF)));
    for (uint32_t answers = 0; answers < kRefused; ++answers) {
        ASSERT_FALSE(AdminTest::FramesUntil(*ann.member, RelayWire::AddMediaAnswer).empty())
            << answers;
    }
    EXPECT_EQ(ann.ExpectBoundedAndAnItemsLineWritten(1 + kRefused, begin), 0u);
}

// A member announcing uploads and stopping them over and over, each granted, has their lines
// bounded as any message's: a burst and 20 a second are written, the rest counted about its
// address; the upload it then makes an item of still has its line written. Before, every
// granted upload request wrote a line, thousands a second.
TEST(ServerLog, UploadsAMemberStopsOverAndOverAreBoundedAndCountedAndAnItemsOneIsWritten) {
    // Few enough that the lines of all of them, unbounded, fit in the unread console pipe.
    constexpr uint32_t kRounds = 32;
    constexpr uint32_t kAtOnce = 16;  // the uploads a member may have at once
    UploadingMember ann("127.0.0.8");
    const auto begin = std::chrono::steady_clock::now();
    const std::string requests = UploadingMember::Requests(kAtOnce, 5000);
    for (uint32_t round = 0; round < kRounds; ++round) {
        ASSERT_TRUE(ann.member->SendBytes(requests));
        std::string stops;
        for (uint32_t i = 0; i < kAtOnce; ++i) {
            const auto answer = AdminTest::FramesUntil(*ann.member, RelayWire::AddMediaAnswer);
            ASSERT_FALSE(answer.empty()) << round;
            const std::string payload = RelayWire::Parse(answer.back()).payload;
            ASSERT_EQ(payload.substr(0, 2), RelayWire::U8(1) + RelayWire::U8(0)) << round;
            stops += Frame(
                RelayWire::MediaFile(RelayWire::StopMedia, RelayWire::ReadU32(payload, 2), 0));
        }
        ASSERT_TRUE(ann.member->SendBytes(stops));
    }
    ann.ExpectBoundedAndAnItemsLineWritten(1 + 2 * kRounds * kAtOnce, begin);
}

// Connections the relay closes at once, past the never-joined connections one address may
// hold, are counted about their address. Before, they left no trace in the log.
TEST(ServerLog, ConnectionsClosedAtOnceAreCountedAboutTheirAddress) {
    constexpr uint64_t kHeld = 64;
    const std::string peer = "127.0.0.7";
    Room room;
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "letmein")));
    auto server = room.Start();
    std::vector<std::unique_ptr<RawClient>> connections;
    for (uint64_t i = 0; i < kHeld; ++i) {
        connections.push_back(std::make_unique<RawClient>(room.Port(), peer));
    }
    RawClient closed(room.Port(), peer);
    EXPECT_TRUE(closed.WaitClosed());
    const auto connected = [&] {
        return CountLines(*server, "Relay server client " + peer + ":") +
               LeftOut(*server, peer, "connections?");
    };
    EXPECT_TRUE(WaitUntilTold(*server, connected, kHeld + 1));
    EXPECT_EQ(CountLines(*server, "Relay server client " + peer + ":"), kHeld);
    EXPECT_EQ(LeftOut(*server, peer, "connections?"), 1u);
}

// Whether a signal sent to process pid is still to be taken.
bool SignalPending(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("ShdPnd:", 0) == 0) {
            return line.find_first_not_of("0", line.find_first_not_of("ShdPnd:\t")) !=
                   std::string::npos;
        }
    }
    return false;
}

// The connections still open at the stop leave as it stops, before its closing save, so a
// second signal loses none of their leavings: at one address, one connection's listings have
// spent the address's lines, and the leavings of its 60 connections are written or counted;
// 300 connections from other addresses each have theirs written. The second signal comes once
// the first leaving is written, with the log unread, as behind a stalled terminal, while a
// thread waits to write the log. Before, the leavings came after the closing save, where that
// signal ended the process at once: the log told some of them and gave no count of the rest;
// and a signal to a thread waiting to write cut the line short.
TEST(ServerLog, ASecondSignalLosesNoLeavingOfTheConnectionsTheStopCloses) {
    constexpr uint64_t kAtOffice = 60;
    constexpr uint64_t kElsewhere = 300;
    constexpr uint32_t kListings = 400;
    const std::string office = "127.0.0.3";
    Room room;
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "letmein")));
    auto server = room.Start();
    std::vector<std::unique_ptr<RawClient>> connections;
    connections.push_back(std::make_unique<RawClient>(room.Port(), office));
    ASSERT_TRUE(connections.back()->SendBytes(Listings(kListings)));
    for (uint32_t i = 0; i < kListings; ++i) {
        ASSERT_FALSE(AdminTest::FramesUntil(*connections.back(), RelayWire::MediaInfo).empty());
    }
    while (connections.size() < kAtOffice) {
        connections.push_back(std::make_unique<RawClient>(room.Port(), office));
    }
    // Opened last, they leave first where the connections leave last to first.
    for (uint64_t i = 0; i < kElsewhere; ++i) {
        connections.push_back(std::make_unique<RawClient>(
            room.Port(),
            "127.0." + std::to_string(4 + i / 200) + "." + std::to_string(1 + i % 200)));
    }
    EXPECT_TRUE(WaitUntilTold(
        *server,
        [&] {
            return CountLines(*server, "Relay server client 127.0.") +
                   LeftOut(*server, office, "connections?");
        },
        kAtOffice + kElsewhere));
    server->LimitUnreadOutput();
    server->Signal(SIGTERM);
    ASSERT_GE(server->WaitForLine(" has left the room."), 0) << server->Output();
    ASSERT_TRUE(TestSupport::WaitUntil(
        [&] { return TestSupport::ThreadWritingAFullPipe(server->Pid()) != 0; }));
    server->Signal(SIGTERM);
    // Taken while the write still waits, not once the log is read.
    EXPECT_TRUE(TestSupport::WaitUntil([&] { return !SignalPending(server->Pid()); }));
    EXPECT_EQ(server->WaitForExit(), 0);
    EXPECT_EQ(CountLines(*server, " has left the room.") + LeftOut(*server, office, "leavings?"),
              kAtOffice + kElsewhere)
        << server->Output();
}

// A member that leaves during an upload has the partial file removed, and the log says so
// with the bytes that came and the size announced. Before, the upload vanished without a line.
TEST(Server, AnUploadItsUploaderLeavesIncompleteIsLoggedWithTheBytesThatCame) {
    Room room;
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "")));
    auto server = room.Start();
    RawClient alice(room.Port());
    ASSERT_EQ(AdminTest::Join(alice, "Al\tice", ""), 0);
    const std::string photo(5000, 'p');
    ASSERT_EQ(AddMedia(alice, "lost", photo), 0u);
    const size_t came = 2000;
    SendChunks(alice, 0, photo.substr(0, came), came);
    ASSERT_TRUE(alice.WaitAcknowledged());
    alice.Close();
    const int at = server->WaitForLine("uploaded photo 0, which ended without an item: ");
    ASSERT_GE(at, 0) << server->Output();
    EXPECT_EQ(AdminTest::LogText(server->Lines()[static_cast<size_t>(at)]),
              "Al\\tice (id: 1) uploaded photo 0, which ended without an item: its uploader "
              "left after " +
                  std::to_string(came) + " of " + std::to_string(photo.size()) + " bytes.");
    EXPECT_TRUE(StoredFiles(room).empty());
}

// The leave of a connection that never joined goes only to the members told of it, those
// admitted while it was open. Ann joins before an outsider at 127.0.0.2 opens a connection,
// Bob while it is open, and the outsider opens a second one after both: when the two close,
// Bob alone is told that the first left, nobody that the second did, and both members go on
// receiving the room's traffic in order. Before, every member was sent every such leave, and
// an outsider cycling connections sent each member more leave notices than a slow one reads.
TEST(ServerNotices, TheLeaveOfAConnectionThatNeverJoinedGoesOnlyToTheMembersToldOfIt) {
    Room room;
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "pass")));
    auto server = room.Start();
    // A connection of the outsider that the server holds once this returns.
    const auto open = [&room] {
        auto outsider = std::make_unique<RawClient>(room.Port(), "127.0.0.2");
        outsider->SendFrame(kListing);
        EXPECT_FALSE(AdminTest::FramesUntil(*outsider, RelayWire::MediaInfo).empty());
        return outsider;
    };
    RawClient ann(room.Port());
    ASSERT_EQ(AdminTest::Join(ann, "Ann", "pass"), 0);  // id 1
    ASSERT_FALSE(AdminTest::FramesUntil(ann, RelayWire::VoiceInit).empty());
    std::unique_ptr<RawClient> before = open();  // id 2
    RawClient bob(room.Port());
    ASSERT_EQ(AdminTest::Join(bob, "Bob", "pass"), 0);  // id 3
    const auto admission = AdminTest::FramesUntil(bob, RelayWire::UserJoined);
    EXPECT_EQ(admission.empty() ? "" : TestSupport::Hex(admission.back()),
              TestSupport::Hex(RelayWire::Message(RelayWire::UserJoined, 1,
                                                  RelayWire::Text("Ann") + RelayWire::U8(2))));
    TestSupport::ExpectNext(
        bob, RelayWire::Message(RelayWire::UserJoined, 2, RelayWire::Text("") + RelayWire::U8(2)));
    TestSupport::ExpectNext(ann, RelayWire::Message(RelayWire::UserJoined, 3,
                                                    RelayWire::Text("Bob") + RelayWire::U8(2)));
    std::unique_ptr<RawClient> after = open();  // id 4

    before->Close();
    after->Close();
    EXPECT_TRUE(Logs(*server, " (id: 2) has left the room."));
    EXPECT_TRUE(Logs(*server, " (id: 4) has left the room."));
    ann.SendFrame(RelayWire::ChatText("hello"));
    TestSupport::ExpectNext(bob, RelayWire::Message(RelayWire::UserLeft, 2));
    TestSupport::ExpectNext(bob, RelayWire::ChatText("hello", 1));
    bob.SendFrame(RelayWire::ChatText("hi"));
    TestSupport::ExpectNext(ann, RelayWire::ChatText("hi", 3));
}

}  // namespace
