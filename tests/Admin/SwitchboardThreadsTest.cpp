// The switchboard commands against a fake switchboard: a local HTTP server that prints
// every request it gets and answers each path as the test says.
#include "Admin/AdminModel.h"
#include "Admin/ChangePasswordCommand.h"
#include "Admin/ChangePasswordEvent.h"
#include "Admin/ConfigProperty.h"
#include "Admin/ConsoleCapture.h"
#include "Admin/FindIpCommand.h"
#include "Admin/FindIpEvent.h"
#include "Admin/Log/RelayObserver.h"
#include "Admin/LoginCommand.h"
#include "Admin/LoginEvent.h"
#include "Admin/LogoutCommand.h"
#include "Admin/LogoutEvent.h"
#include "Admin/RoomFixture.h"
#include "Admin/RoomUpdateCommand.h"
#include "Admin/RoomUpdateEvent.h"
#include "Admin/UserForgotPasswordCommand.h"
#include "Admin/UserForgotPasswordEvent.h"
#include "Admin/UserRegisterCommand.h"
#include "Admin/UserRegisterEvent.h"
#include "Application/AppModel.h"
#include "System/EventManager.h"
#include "System/MVC/Controller.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "support/HttpTestServer.h"
#include "support/Text.h"
#include "support/Wait.h"

#include <signal.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

namespace {

using System::String;
using TestSupport::Text;
using TestSupport::WaitUntil;

const std::string kLoginRefused = "ZELVO Admin disconnected from the switchboard.";
// What the console shows for a login without a readable reply, and for a session whose
// first update is refused.
const std::vector<std::string> kUnreadable = {
    kLoginRefused,
    "ZELVO Admin failed to login to the switchboard. Response: Unknown switchboard address."};
const std::vector<std::string> kConnected = {
    "ZELVO Admin successfully connected to the switchboard.",
    "ZELVO Admin failed to update the switchboard. Response: Update denied."};

class Switchboard : public ::testing::Test {
  protected:
    Switchboard() {
        ConfigProperty("SwitchboardUrl") = Url().c_str();
        ConfigProperty("RelayServerPort") = "4502";
        ConfigProperty("RoomIsPublic") = "false";
        ConfigProperty("RoomName") = "Configured Room";
        auto& room = ZelvoRelay::MVC::Model::ZelvoRelayModel::Instance()->Room;
        room.MaxClients = 20;
        room.IsPublic = true;
        auto& locale = AppModel::Instance()->mLocale;
        locale.Set("switchboard.uri.unknown", "Unknown switchboard address");
        locale.Set("sb.bad.login", "Bad login");
        locale.Set("sb.denied", "Update denied");
        for (const char* name : {"LoginEvent", "LogoutEvent", "RoomUpdateEvent"}) {
            System::MVC::Controller::Set(name, Command(name));
        }
        mNetwork.SwitchboardState = NetworkModel::Disconnected;
        mNetwork.SwitchboardSessionId = "";
    }
    // The login's thread dispatches updates: it ends first, then nothing dispatches.
    ~Switchboard() override {
        mLogin.reset();
        mLogout.reset();
        mUpdate.reset();
        for (const char* name : {"LoginEvent", "LogoutEvent", "RoomUpdateEvent"}) {
            System::MVC::Controller::Set(name, nullptr);
        }
    }

    HttpCommand* Command(const std::string& name) {
        return name == "LoginEvent"    ? static_cast<HttpCommand*>(mLogin.get())
               : name == "LogoutEvent" ? static_cast<HttpCommand*>(mLogout.get())
                                       : mUpdate.get();
    }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(mServer.Port()) + "/sb"; }

    // Waits until no command has a request in progress (its handler may still run after
    // the outcome is recorded, and a dispatch meanwhile would be dropped).
    void Idle() {
        EXPECT_TRUE(WaitUntil([this] {
            return !mLogin->IsRequesting() && !mLogout->IsRequesting() && !mUpdate->IsRequesting();
        }));
    }

    // Sends an update and waits until its outcome is recorded; returns the body sent.
    std::string Update(const RoomUpdateEvent& values) {
        mNetwork.SwitchboardLastUpdate = System::DateTime();
        mNetwork.SwitchboardUpdateError = "";
        RoomUpdateEvent update = values;
        update.Dispatch();
        EXPECT_TRUE(WaitUntil([this] {
            return !(mNetwork.SwitchboardLastUpdate.Get() == System::DateTime()) ||
                   mNetwork.SwitchboardUpdateError.Get().Length() != 0;
        }));
        Idle();
        return mServer.NextRequest();
    }

    TestSupport::HttpTestServer mServer;
    AdminTest::ConsoleCapture mConsole;
    NetworkModel& mNetwork{AdminModel::Instance()->mNetwork};
    RelayObserver mObserver;
    std::unique_ptr<LoginCommand> mLogin{std::make_unique<LoginCommand>()};
    std::unique_ptr<LogoutCommand> mLogout{std::make_unique<LogoutCommand>()};
    std::unique_ptr<RoomUpdateCommand> mUpdate{std::make_unique<RoomUpdateCommand>()};
};

// Form values are percent-encoded, the session id included; an empty or unreadable reply
// or a connection that fails is a refused login, never a session.
TEST_F(Switchboard, LoginRecordsTheSessionOrTheRefusalAndLogsIt) {
    const struct {
        std::string reply;  // "" an empty body; "<refused>" nothing listens
        NetworkModel::ConnectionState state;
        std::string error;
        std::string roomName;
        std::vector<std::string> console;
        std::string update;  // the body of the first update; "" none is sent
    } cases[] = {
        {"<r sid=\"S 1&amp;\" room=\"My Room\"/>", NetworkModel::Connected, "", "My Room",
         kConnected, "s=S%201%26&pt=4502&f=14&pub=1&m=20&c=0"},
        // A reply without a room keeps the configured name.
        {"<r sid=\"S2\"/>", NetworkModel::Connected, "", "Configured Room", kConnected,
         "s=S2&pt=4502&f=14&pub=1&m=20&c=0"},
        {"<r error=\"sb.bad.login\"/>",
         NetworkModel::Disconnected,
         "sb.bad.login",
         "Configured Room",
         {kLoginRefused, "ZELVO Admin failed to login to the switchboard. Response: Bad login."},
         ""},
        {"", NetworkModel::Disconnected, "switchboard.uri.unknown", "Configured Room", kUnreadable,
         ""},
        {"<html>Not Found", NetworkModel::Disconnected, "switchboard.uri.unknown",
         "Configured Room", kUnreadable, ""},
        {"<refused>", NetworkModel::Disconnected, "switchboard.uri.unknown", "Configured Room",
         kUnreadable, ""},
    };
    mServer.SetReply("/sb/RoomUpdate", "<r error=\"sb.denied\"/>");
    for (const auto& test : cases) {
        ConfigProperty("RoomName") = "Configured Room";
        const size_t logged = mConsole.Texts().size();
        mServer.SetReply("/sb/Login", test.reply);
        if (test.reply == "<refused>") {
            ConfigProperty("SwitchboardUrl") =
                ("http://127.0.0.1:" + std::to_string(TestSupport::FreePort())).c_str();
        }
        mNetwork.SwitchboardUpdateError = "";
        LoginEvent login("al&ice", "p w=");
        login.Dispatch();
        const bool connected = test.state == NetworkModel::Connected;
        ASSERT_TRUE(WaitUntil([&] {
            return connected ? mNetwork.SwitchboardUpdateError.Get().Length() != 0
                             : mNetwork.SwitchboardLoginError.Get().Length() != 0;
        })) << test.reply;
        Idle();
        EXPECT_EQ(mNetwork.SwitchboardState.Get(), test.state) << test.reply;
        EXPECT_EQ(Text(mNetwork.SwitchboardLoginError.Get()), test.error) << test.reply;
        EXPECT_EQ(Text(ConfigProperty("RoomName")), test.roomName) << test.reply;
        EXPECT_EQ(Text(ConfigProperty("SwitchboardUsername")), "al&ice");
        EXPECT_EQ(Text(ConfigProperty("SwitchboardPassword")), "p w=");
        const auto texts = mConsole.Texts();
        EXPECT_EQ(std::vector<std::string>(texts.begin() + static_cast<long>(logged), texts.end()),
                  test.console)
            << test.reply;
        if (test.reply == "<refused>") {
            ConfigProperty("SwitchboardUrl") = Url().c_str();
            continue;
        }
        EXPECT_EQ(mServer.NextRequest(), "POST /sb/Login n=al%26ice&p=p%20w%3D");
        // Only a session is followed by its first room update, with the relay port; a
        // refused login's next request is the next case's login.
        if (connected) {
            EXPECT_EQ(mServer.NextRequest(), "POST /sb/RoomUpdate " + test.update);
        }
    }
}

// A compressed reply is bounded by the size it inflates to: a login reply padded with spaces
// and gzipped logs in up to a mebibyte inflated, and one a byte longer is refused. Before,
// a reply that inflated to more than 32 times its compressed size was refused, 2 KiB of
// spaces being enough.
TEST_F(Switchboard, AGzippedLoginReplyIsBoundedByItsInflatedSizeNotItsCompression) {
    mServer.SetReply("/sb/RoomUpdate", "<r error=\"sb.denied\"/>");
    const std::string session = "<r sid=\"S1\"/>";
    constexpr size_t kBound = HttpCommand::kMaxReplySize;
    for (const size_t size : {size_t{64} << 10, kBound, kBound + 1}) {
        const bool connected = size <= kBound;
        const size_t logged = mConsole.Texts().size();
        mServer.SetReply("/sb/Login", session + std::string(size - session.size(), ' '), true);
        mNetwork.SwitchboardUpdateError = "";
        LoginEvent("alice", "pw").Dispatch();
        // A session ends its login with the outcome of its first update.
        ASSERT_TRUE(WaitUntil([&] {
            return mNetwork.SwitchboardUpdateError.Get().Length() != 0 ||
                   mNetwork.SwitchboardLoginError.Get().Length() != 0;
        })) << size;
        Idle();
        EXPECT_EQ(mNetwork.SwitchboardState.Get(),
                  connected ? NetworkModel::Connected : NetworkModel::Disconnected)
            << size;
        EXPECT_EQ(Text(mNetwork.SwitchboardSessionId.Get()), connected ? "S1" : "") << size;
        const auto texts = mConsole.Texts();
        EXPECT_EQ(std::vector<std::string>(texts.begin() + static_cast<long>(logged), texts.end()),
                  connected ? kConnected : kUnreadable)
            << size;
        EXPECT_EQ(mServer.NextRequest(), "POST /sb/Login n=alice&p=pw") << size;
        if (connected) {
            EXPECT_EQ(mServer.NextRequest(),
                      "POST /sb/RoomUpdate s=S1&pt=4502&f=14&pub=1&m=20&c=0");
        }
    }
}

TEST_F(Switchboard, RoomUpdatesSendTheFieldsThatAreSetAndRecordTheOutcome) {
    mNetwork.SwitchboardSessionId = "S1";
    mServer.SetReply("/sb/RoomUpdate", "<r/>");
    EXPECT_EQ(Update(RoomUpdateEvent("", -1, 14, 1, 20, 3)),
              "POST /sb/RoomUpdate s=S1&f=14&pub=1&m=20&c=3");
    EXPECT_EQ(Update(RoomUpdateEvent("10.0.0.1", 4502, -1, -1, -1, -1)),
              "POST /sb/RoomUpdate s=S1&i=10.0.0.1&pt=4502");
    // Flags of 128 and more are left out.
    EXPECT_EQ(Update(RoomUpdateEvent("a&b", 0, static_cast<int8_t>(0x8E), 0, 0, 0)),
              "POST /sb/RoomUpdate s=S1&i=a%26b&pub=0&m=0&c=0");
    EXPECT_EQ(Text(mNetwork.SwitchboardUpdateError.Get()), "");

    const struct {
        std::string reply;
        std::string error;
    } refusals[] = {
        {"<r error=\"sb.denied\"/>", "sb.denied"},
        {"", "switchboard.uri.unknown"},
        {"<silent>", "switchboard.uri.unknown"},
    };
    for (const auto& test : refusals) {
        // Short for the reply that never comes only: on a loaded machine one that comes at
        // once may take longer than a short time.
        mUpdate->SetTimeout(test.reply == "<silent>"
                                ? std::chrono::milliseconds(200)
                                : System::Net::Http::HttpClient::kDefaultTimeout);
        mServer.SetReply("/sb/RoomUpdate", test.reply);
        EXPECT_EQ(Update(RoomUpdateEvent("", -1, 0, 0, 0, 0)),
                  "POST /sb/RoomUpdate s=S1&f=0&pub=0&m=0&c=0");
        EXPECT_EQ(Text(mNetwork.SwitchboardUpdateError.Get()), test.error) << test.reply;
        EXPECT_TRUE(mNetwork.SwitchboardLastUpdate.Get() == System::DateTime()) << test.reply;
    }
}

TEST_F(Switchboard, LogoutEndsTheSessionOnlyOnOk) {
    const struct {
        std::string reply;
        NetworkModel::ConnectionState state;
        std::string sessionId;
    } cases[] = {
        {"<r value=\"OK\"/>", NetworkModel::Connected, "S 1"},
        {"", NetworkModel::Connected, "S 1"},
        {"<?xml version=\"1.0\"?><logout value=\"ok\"/>", NetworkModel::Disconnected, ""},
    };
    for (const auto& test : cases) {
        mNetwork.SwitchboardSessionId = "S 1";
        mNetwork.SwitchboardState = NetworkModel::Connected;
        mServer.SetReply("/sb/Logout", test.reply);
        LogoutEvent().Dispatch();
        ASSERT_TRUE(WaitUntil(
            [&] { return mNetwork.SwitchboardState.Get() != NetworkModel::Disconnecting; }));
        Idle();
        EXPECT_EQ(mNetwork.SwitchboardState.Get(), test.state) << test.reply;
        EXPECT_EQ(Text(mNetwork.SwitchboardSessionId.Get()), test.sessionId) << test.reply;
        EXPECT_EQ(mServer.NextRequest(), "GET /sb/Logout?s=S%201");
    }
}

// What OnComplete reported, on whichever thread.
struct Completion {
    void On(void*, bool success, const String& text) {
        std::lock_guard<std::mutex> lock(mMutex);
        mOutcomes.push_back((success ? "ok: " : "failed: ") + Text(text));
    }
    std::vector<std::string> Outcomes() {
        std::lock_guard<std::mutex> lock(mMutex);
        return mOutcomes;
    }
    std::mutex mMutex;
    std::vector<std::string> mOutcomes;
};

// The events and what they reported outlive the commands, whose destruction waits for
// the last raise of OnComplete to return.
TEST_F(Switchboard, AccountRequestsCompleteOnceWithTheTextOfTheirOutcome) {
    auto& locale = AppModel::Instance()->mLocale;
    locale.Set("switchboard.connect.error", "Cannot connect");
    locale.Set("switchboard.register.success", "Registered");
    locale.Set("switchboard.forgot.password.success", "Mail sent");
    locale.Set("switchboard.change.password.success", "Changed");
    mNetwork.SwitchboardSessionId = "";
    UserRegisterEvent registration("bob", "p&w", "b@x.org", "r");
    UserForgotPasswordEvent forgotten("bob");
    ChangePasswordEvent changed("new");
    ChangePasswordEvent unreadable("new");
    ChangePasswordEvent first("one");
    ChangePasswordEvent second("two");
    Completion done[6];
    System::EventManager subscriptions;
    HttpEvent* const events[] = {&registration, &forgotten, &changed, &unreadable, &first, &second};
    for (size_t i = 0; i < 6; ++i) {
        subscriptions.Add(events[i]->OnComplete, &done[i], &Completion::On);
    }
    UserRegisterCommand registerCommand;
    UserForgotPasswordCommand forgotCommand;
    ChangePasswordCommand changeCommand;
    const struct {
        HttpCommand& command;
        std::string path;
        std::string reply;
        std::string request;
        std::string outcome;
    } cases[] = {
        {registerCommand, "/sb/UserRegister", "<r/>",
         "POST /sb/UserRegister n=bob&p=p%26w&e=b%40x.org&r=r", "ok: Registered"},
        {forgotCommand, "/sb/UserForgotPassword", "<r error=\"sb.no.user\"/>",
         "GET /sb/UserForgotPassword?n=bob", "failed: "},
        {changeCommand, "/sb/UserChangePassword", "<r ok=\"1\"/>",
         "POST /sb/UserChangePassword s=&p=new", "ok: Changed"},
        {changeCommand, "/sb/UserChangePassword", "", "POST /sb/UserChangePassword s=&p=new",
         "failed: Unknown switchboard address"},
    };
    for (size_t i = 0; i < 4; ++i) {
        mServer.SetReply(cases[i].path, cases[i].reply);
        cases[i].command.Execute(events[i]);
        ASSERT_TRUE(WaitUntil([&] { return !done[i].Outcomes().empty(); }));
        ASSERT_TRUE(WaitUntil([&] { return !cases[i].command.IsRequesting(); }));
        EXPECT_EQ(mServer.NextRequest(), cases[i].request);
        EXPECT_EQ(done[i].Outcomes(), std::vector<std::string>{cases[i].outcome});
    }

    // A second request while one is in progress fails at once; the first keeps its own
    // outcome.
    mServer.SetReply("/sb/UserChangePassword", "<silent>");
    // Long enough that the second request surely comes while the first is in progress.
    changeCommand.SetTimeout(std::chrono::seconds(2));
    changeCommand.Execute(&first);
    changeCommand.Execute(&second);
    EXPECT_EQ(done[5].Outcomes(), std::vector<std::string>{"failed: Cannot connect"});
    ASSERT_TRUE(WaitUntil([&] { return !done[4].Outcomes().empty(); }));
    EXPECT_EQ(done[4].Outcomes(), std::vector<std::string>{"failed: Cannot connect"});
    EXPECT_EQ(mServer.NextRequest(), "POST /sb/UserChangePassword s=&p=one");
}
// Memory that runs out while a reply is handled fails that request alone: the log names the
// reply, the command learns of the failure, and its next request is sent and answered.
// Before, the failure ended the process on the connection's thread.
TEST_F(Switchboard, MemoryRunningOutWhileAReplyIsHandledFailsThatRequestAlone) {
    struct Starved final : HttpCommand {
        ~Starved() override { Close(); }
        void Execute(System::MVC::EventDispatcher*) override {
            Client().SendGetRequest(SwitchboardUri("/Starved"));
        }
        void OnConnectFailed(System::Net::Http::HttpClient* client, const String& error) override {
            HttpCommand::OnConnectFailed(client, error);
            mDone.On(nullptr, false, error);
        }
        void OnResponse(System::Net::Http::HttpClient* client, const System::Uri& uri,
                        System::Net::Http::HttpResponse& response) override {
            if (mStarved.exchange(false)) {
                throw std::bad_alloc();
            }
            mDone.On(nullptr, true, response.GetResponseString());
            HttpCommand::OnResponse(client, uri, response);
        }
        std::atomic<bool> mStarved{true};
        Completion mDone;
    } starved;
    mServer.SetReply("/sb/Starved", "<r/>");
    for (size_t outcomes = 1; outcomes <= 2; ++outcomes) {
        starved.Execute(nullptr);
        ASSERT_TRUE(WaitUntil([&] { return starved.mDone.Outcomes().size() == outcomes; }));
        ASSERT_TRUE(WaitUntil([&] { return !starved.IsRequesting(); }));
        EXPECT_EQ(mServer.NextRequest(), "GET /sb/Starved");
    }
    EXPECT_EQ(starved.mDone.Outcomes(),
              (std::vector<std::string>{"failed: No usable answer", "ok: <r/>"}));
    const auto texts = mConsole.Texts();
    EXPECT_NE(
        std::find(texts.begin(), texts.end(),
                  "ZELVO Admin ran out of memory handling the reply to /sb/Starved from 127.0.0.1"),
        texts.end());
}

TEST_F(Switchboard, FindIpKeepsTheWholeBodyOrNothing) {
    FindIpCommand command;
    System::MVC::Controller::Set("FindIpEvent", &command);
    mServer.SetReply("/ip", "192.0.2.7\n");
    const struct {
        std::string url;
        std::string address;
    } cases[] = {
        {"http://127.0.0.1:" + std::to_string(mServer.Port()) + "/ip", "192.0.2.7\n"},
        {"http://127.0.0.1:" + std::to_string(TestSupport::FreePort()), ""},
    };
    for (const auto& test : cases) {
        ConfigProperty("IpDiscoveryUrl") = test.url.c_str();
        ConfigProperty("InternetAddress") = "before";
        FindIpEvent().Dispatch();
        ASSERT_TRUE(WaitUntil([] { return Text(ConfigProperty("InternetAddress")) != "before"; }));
        ASSERT_TRUE(WaitUntil([&] { return !command.IsRequesting(); }));
        EXPECT_EQ(Text(ConfigProperty("InternetAddress")), test.address);
    }
    System::MVC::Controller::Set("FindIpEvent", nullptr);
    EXPECT_EQ(mServer.NextRequest(), "GET /ip");
}

// Writes the room's config.xml: logging in at start-up to the switchboard on port with the
// stored account "alice", "se&cret", for a public room.
void WriteAutoLoginConfig(const AdminTest::Room& room, uint16_t port) {
    std::string config =
        AdminTest::ConfigXml(room.Port(), AdminTest::Settings(), AdminTest::Privileges("", "", ""));
    const auto set = [&config](const std::string& key, const std::string& value) {
        const size_t at = config.find(key + "=\"") + key.size() + 2;
        config.replace(at, config.find('"', at) - at, value);
    };
    set("SwitchboardUrl", "http://127.0.0.1:" + std::to_string(port) + "/sb");
    set("SwitchboardUsername", "alice");
    set("SwitchboardPassword", AdminTest::Encrypt("se&cret"));
    set("SwitchboardAutoLogin", "true");
    set("RoomIsPublic", "true");
    room.Write("config.xml", config);
}

// The server logs in at start-up with the stored account and sends its first update.
TEST(SwitchboardServer, AutoLoginThenUpdatesTheRoom) {
    TestSupport::HttpTestServer switchboard;
    switchboard.SetReply("/sb/Login", "<r sid=\"S1\" room=\"Listed Room\"/>");
    switchboard.SetReply("/sb/RoomUpdate", "<r/>");
    AdminTest::Room room;
    WriteAutoLoginConfig(room, switchboard.Port());
    auto server = room.Start();
    EXPECT_TRUE(AdminTest::Logs(*server, "ZELVO Admin successfully connected to the switchboard."));
    EXPECT_EQ(switchboard.NextRequest(), "POST /sb/Login n=alice&p=se%26cret");
    EXPECT_EQ(switchboard.NextRequest(), "POST /sb/RoomUpdate s=S1&pt=" +
                                             std::to_string(room.Port()) + "&f=14&pub=1&m=20&c=0");
    server->Signal(SIGTERM);
    EXPECT_EQ(server->WaitForExit(), 0) << server->Output();
    EXPECT_NE(room.Read("config.xml").find("RoomName=\"Listed Room\""), std::string::npos);
}

// A login reply far longer than any the switchboard sends (60 MB: 15 million empty elements
// after a session id) is a failed login: the server reads its first mebibyte, closes the
// connection and parses none of it, so that under a memory limit of 256 MB it logs the
// failure, goes on and saves at its stop. Before, it read the whole reply and parsed it,
// which cost gigabytes and ended the process on the failed allocation.
TEST(SwitchboardServer, AReplyOverAMebibyteIsAFailedLoginReadNoFurther) {
    TestSupport::HttpTestServer switchboard;
    std::string reply = "<r sid=\"S1\" room=\"Listed Room\">";
    for (int i = 0; i < 15'000'000; ++i) {
        reply += "<a/>";
    }
    switchboard.SetReply("/sb/Login", reply + "</r>");
    AdminTest::Room room;
    WriteAutoLoginConfig(room, switchboard.Port());
    auto server = room.Start({}, {}, {}, 256);
    EXPECT_EQ(switchboard.NextRequest(), "POST /sb/Login n=alice&p=se%26cret");
    EXPECT_TRUE(switchboard.WaitForLine("SEND cut"));
    EXPECT_GE(server->WaitForLine("ZELVO Admin failed to login to the switchboard. Response: "), 0)
        << server->Output();
    server->Signal(SIGTERM);
    EXPECT_EQ(server->WaitForExit(), 0) << server->Output();
    EXPECT_NE(room.Read("config.xml").find("RoomName=\"Test Room\""), std::string::npos);
}

}  // namespace
