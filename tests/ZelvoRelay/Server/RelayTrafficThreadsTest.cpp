#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "System/IO/FileStream.h"
#include "System/Utility/HeapTrim.h"
#include "ZelvoRelay/Collections/HeldFile.h"

#include "support/RelayTestServer.h"
#include "support/RelayWire.h"
#include "support/TempDir.h"
#include "support/Wait.h"

namespace {

using System::Utility::HeapTrim;
using TestSupport::ExpectNext;
using TestSupport::RelayTestRoom;
using TestSupport::RelayTestServer;
namespace Wire = RelayWire;
using Privilege = ZelvoRelay::MVC::Model::UserPrivilegeModel::UserPrivilege;
using Right = ZelvoRelay::MVC::Model::UserPrivilegeModel::AccessRight;

class RelayTrafficTest : public ::testing::Test {
  protected:
    void SetUp() override { mServer.Room().MaxClients = 100; }

    // Starts the server and joins alice, bob and carol.
    void StartWithThree() {
        ASSERT_TRUE(mServer.Start());
        mRoom = std::make_unique<RelayTestRoom>(mServer.Port());
        mAlice = &mRoom->Join("alice");
        mBob = &mRoom->Join("bob");
        mCarol = &mRoom->Join("carol");
    }

    RelayTestServer mServer;
    std::unique_ptr<RelayTestRoom> mRoom;
    RelayTestRoom::Member* mAlice{nullptr};
    RelayTestRoom::Member* mBob{nullptr};
    RelayTestRoom::Member* mCarol{nullptr};
};

// A member that writes another id into the header is relayed as itself; a connection
// that has not joined may not speak and is not spoken to.
TEST_F(RelayTrafficTest, ChatVoiceNameAndStatusReachEveryOtherMemberStampedWithTheSender) {
    StartWithThree();
    RelayTestRoom::Member& outsider = mRoom->Connect();
    for (const std::string& sent :
         {Wire::ChatText("hello", 999), Wire::Voice(7, std::string(1000, '\x5A'), 999),
          Wire::Message(Wire::ChangeName, mBob->id, Wire::Text("Alicia")),
          Wire::Message(Wire::ChangeName, mBob->id, Wire::Text("")),
          Wire::Message(Wire::UserStatus, mCarol->id, Wire::U8(7))}) {
        mAlice->client->SendFrame(sent);
        const std::string relayed = Wire::U8(sent[0]) + Wire::U32(mAlice->id) + sent.substr(5);
        ExpectNext(*mBob->client, relayed);
        ExpectNext(*mCarol->client, relayed);
    }
    // Neither the sender nor the connection that has not joined got a copy: the next
    // thing each receives comes after.
    mBob->client->SendFrame(Wire::ChatText("after"));
    ExpectNext(*mAlice->client, Wire::Message(Wire::Chat, mBob->id, Wire::Text("after")));
    for (const std::string& change : {Wire::Message(Wire::ChangeName, 0, Wire::Text("nobody")),
                                      Wire::Message(Wire::UserStatus, 0, Wire::U8(3))}) {
        outsider.client->SendFrame(change);
        ExpectNext(*outsider.client, Wire::Message(Wire::Error, 0, Wire::U8(1)));
    }
}

TEST_F(RelayTrafficTest, FramesAreAssembledFromPiecesUpToTheLargest) {
    StartWithThree();
    const std::string chat = Wire::ChatText("slowly");
    mAlice->client->SendBytesOneByOne(Wire::U32(static_cast<uint32_t>(chat.size())) + chat);
    ExpectNext(*mBob->client, Wire::Message(Wire::Chat, mAlice->id, Wire::Text("slowly")));
    // 32767 bytes in all: the largest payload a frame may declare.
    const std::string sent = Wire::Voice(1, std::string(32767 - 8, '\x11'));
    ASSERT_EQ(sent.size(), 32767u);
    mAlice->client->SendFrame(sent);
    ExpectNext(*mBob->client, Wire::U8(sent[0]) + Wire::U32(mAlice->id) + sent.substr(5));
}

TEST_F(RelayTrafficTest, WithoutTheRightNothingIsRelayedAndTheConnectionStays) {
    mServer.Room().UserAccount.SetAccessRight(Privilege::Chat, Right::Read);
    mServer.Room().UserAccount.SetAccessRight(Privilege::Voice, Right::None);
    StartWithThree();
    RelayTestRoom::Member& outsider = mRoom->Connect();
    outsider.client->SendFrame(Wire::ChatText("stranger"));
    outsider.client->SendFrame(Wire::Message(Wire::ChangeName, 0, Wire::Text("x")));
    ExpectNext(*outsider.client, Wire::Message(Wire::Error, 0, Wire::U8(1)));
    mAlice->client->SendFrame(Wire::ChatText("muted"));
    mAlice->client->SendFrame(Wire::Voice(1, "muted"));
    // Name changes need no right: this one is the first thing the others receive.
    mAlice->client->SendFrame(
        Wire::Message(Wire::ChangeName, mAlice->id, Wire::Text("still here")));
    const std::string renamed =
        Wire::Message(Wire::ChangeName, mAlice->id, Wire::Text("still here"));
    ExpectNext(*mBob->client, renamed);
    ExpectNext(*mCarol->client, renamed);
}

TEST_F(RelayTrafficTest, FramingAbuseDisconnectsThatClientOnly) {
    StartWithThree();
    const struct {
        const char* what;
        std::string bytes;
        bool oneByOne = false;
    } cases[] = {
        {"declared length 32768", Wire::U32(32768) + Wire::ChatText("x")},
        {"declared length 32768, one byte at a time", Wire::U32(32768) + Wire::ChatText("x"), true},
        {"declared length 0xFFFFFFFF", Wire::U32(0xFFFFFFFF)},
        {"empty message", Wire::U32(0)},
        {"type 0", Wire::U32(5) + Wire::Message(0, 0)},
        {"unregistered type 158", Wire::U32(5) + Wire::Message(158, 0)},
        {"unregistered type 200", Wire::U32(6) + Wire::Message(200, 0, Wire::U8(1))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RelayTestRoom::Member& abuser = mRoom->Join("abuser");
        if (c.oneByOne) {
            abuser.client->SendBytesOneByOne(c.bytes);
        } else {
            abuser.client->SendBytes(c.bytes);
        }
        EXPECT_TRUE(abuser.client->WaitClosed());
        abuser.open = false;
        mRoom->ExpectLeft(abuser);
    }
    mAlice->client->SendFrame(Wire::ChatText("fine"));
    ExpectNext(*mBob->client, Wire::Message(Wire::Chat, mAlice->id, Wire::Text("fine")));
}

// The last bytes and the end of the stream often arrive together, in one readiness
// report: the end must not be missed once the bytes have been read.
TEST_F(RelayTrafficTest, LeavingTellsTheRoomEvenRightAfterSendingBytes) {
    StartWithThree();
    mRoom->Leave(*mCarol);
    for (int round = 0; round < 20; ++round) {
        RelayTestRoom::Member& leaver = mRoom->Join("leaver");
        leaver.client->SendBytes(Wire::U8(9));
        mRoom->Leave(leaver);
    }
    mAlice->client->SendFrame(Wire::ChatText("still"));
    ExpectNext(*mBob->client, Wire::Message(Wire::Chat, mAlice->id, Wire::Text("still")));
}

TEST_F(RelayTrafficTest, LeavingEndsTheClientsTransfersAndRemovesItsPartialUploads) {
    using ZelvoRelay::MVC::Model::MediaTransferModel;
    StartWithThree();
    TestSupport::TempDir media;
    auto* model = ZelvoRelay::MVC::Model::ZelvoRelayModel::Instance();
    model->Configuration.MediaPath = (media.Path() + "/").c_str();
    TestSupport::WriteFile(media.File("7_1"), "photo being downloaded");

    // Carol is half-way through an upload of item 8 and a download of item 7; alice is
    // uploading item 9.
    auto track = [](auto& transfers, uint32_t client, uint32_t id, uint32_t resource, int mode) {
        MediaTransferModel transfer(client, id, resource);
        // Its announced size, which an accepted upload holds until it completes.
        transfer.mMediaGroup.mContents.Add(System::Resource::Feeds::MediaContent());
        transfer.mFile = ZelvoRelay::Collections::HeldFile::Take().release();
        transfer.mFile->Keep(
            std::make_unique<System::IO::FileStream>(transfer.GetResourcePath(resource), mode));
        transfers.mMonitor.Enter();
        transfers.Add(transfer);
        transfers.mMonitor.Exit();
    };
    track(model->Uploads, mCarol->id, 8, 0, 1);
    track(model->Uploads, mAlice->id, 9, 0, 1);
    track(model->Downloads, mCarol->id, 7, 1, 0);

    mRoom->Leave(*mCarol);
    model->Uploads.mMonitor.Enter();
    EXPECT_EQ(model->Uploads.Count(), 1u);
    EXPECT_NE(model->Uploads.Find(mAlice->id, 9, 0), nullptr);
    model->Uploads.mMonitor.Exit();
    model->Downloads.mMonitor.Enter();
    EXPECT_EQ(model->Downloads.Count(), 0u);
    model->Downloads.mMonitor.Exit();
    EXPECT_FALSE(std::filesystem::exists(media.File("8_0")));
    EXPECT_TRUE(std::filesystem::exists(media.File("9_0")));
    EXPECT_TRUE(std::filesystem::exists(media.File("7_1")));
}

TEST_F(RelayTrafficTest, ClientThatStopsReadingIsDisconnectedPastSixteenMebibytes) {
    StartWithThree();
    mRoom->Leave(*mBob);
    // Carol never reads again, and holds little in her socket. What one member may send is
    // bounded, so alice and fifteen others talk until alice is told that carol left. Each
    // talker has a reader of its own, which takes what the others say as it comes until
    // it is told that carol left: a send held up by one talker's budget keeps no other
    // talker from reading, so none falls behind by the test's own doing.
    mCarol->client->SetReceiveBuffer(4096);
    std::vector<RelayTestRoom::Member*> talkers{mAlice};
    while (talkers.size() < 16) {
        talkers.push_back(&mRoom->Join("talker"));
    }
    struct Heard {
        uint64_t voice{0};
        std::vector<std::string> others;  // neither voice nor the notice that carol left
        bool toldLeft{false};
    };
    const std::string carolLeft = Wire::Message(Wire::UserLeft, mCarol->id);
    std::vector<Heard> heard(talkers.size());
    std::atomic<bool> left{false};
    std::vector<std::thread> readers;
    for (size_t i = 0; i < talkers.size(); ++i) {
        readers.emplace_back([&, i] {
            while (const auto frame = talkers[i]->client->NextFrame()) {
                if (Wire::Parse(*frame).type == Wire::VoiceData) {
                    ++heard[i].voice;
                } else if (*frame == carolLeft) {
                    heard[i].toldLeft = true;
                    if (talkers[i] == mAlice) {
                        left = true;
                    }
                    return;
                } else {
                    heard[i].others.push_back(*frame);
                }
            }
        });
    }
    const std::string voice = Wire::Voice(0, std::string(32000, '\x33'));
    const uint64_t limit = 16ull << 20;
    uint64_t sent = 0;
    bool sending = true;
    while (sending && !left && sent < 16 * limit) {
        for (size_t i = 0; sending && i < talkers.size(); ++i) {
            sending = talkers[i]->client->SendFrame(voice);
            sent += voice.size();
        }
    }
    for (std::thread& reader : readers) {
        reader.join();
    }
    EXPECT_TRUE(sending);
    EXPECT_TRUE(left);
    EXPECT_GT(sent, limit);
    for (size_t i = 0; i < talkers.size(); ++i) {
        EXPECT_TRUE(heard[i].toldLeft) << talkers[i]->id;
        EXPECT_GT(heard[i].voice, 0u) << talkers[i]->id;
        for (const std::string& frame : heard[i].others) {
            ADD_FAILURE() << talkers[i]->id << " was sent " << TestSupport::Hex(frame);
        }
    }
    mCarol->open = false;
}

// Stands in for the C library's trim, counting the times memory is given back.
std::atomic<int> sGiveBacks{0};
void CountGiveBack() {
    ++sGiveBacks;
}

// Carol reads nothing while alice and bob each send the room 3,000 chats, which both of them
// read: about 1.6 MB of frames wait for carol alone, each with its place in her queue. Her
// connection is reset, and what waited for her is given back to the system soon after.
// Before, what waited for a member was not counted toward giving memory back: 400 members
// that read nothing left with 1 GB waiting, and it stayed.
TEST_F(RelayTrafficTest, WhatWaitedForAMemberWhoLeftIsGivenBackSoonAfter) {
    StartWithThree();
    mCarol->client->SetReceiveBuffer(4096);
    // What was counted before is given back first, to the stand-in, and not counted again.
    const HeapTrim::GiveBack trim = HeapTrim::SetGiveBack(&CountGiveBack);
    HeapTrim::Freed(HeapTrim::kEvery);
    HeapTrim::GiveBackWhenDue();
    sGiveBacks = 0;
    const std::string chats = [] {
        std::string bytes;
        for (int i = 0; i < 3000; ++i) {
            const std::string chat = Wire::ChatText(std::string(250, 'c'));
            bytes += Wire::U32(static_cast<uint32_t>(chat.size())) + chat;
        }
        return bytes;
    }();
    for (auto [sender, reader] : {std::pair(mAlice, mBob), std::pair(mBob, mAlice)}) {
        ASSERT_TRUE(sender->client->SendBytes(chats));
        for (int read = 0; read < 3000;) {
            const auto frame = reader->client->NextFrame();
            ASSERT_TRUE(frame) << read << " chats read";
            read += Wire::Parse(*frame).type == Wire::Chat ? 1 : 0;
        }
    }
    mCarol->client->Reset();
    mCarol->open = false;
    ExpectNext(*mAlice->client, Wire::Message(Wire::UserLeft, mCarol->id));
    EXPECT_TRUE(TestSupport::WaitUntil([] { return sGiveBacks > 0; }));
    HeapTrim::SetGiveBack(trim);
}

// A member's connection is reset after the room acknowledged its chats, a crash or a
// close with unread bytes, while the others talk: sends to it fail before its last chats
// are read. They are read and relayed all the same, every one, before the room is told
// that it left.
TEST_F(RelayTrafficTest, AResetMembersChatsAreAllRelayedBeforeItLeaves) {
    StartWithThree();
    RelayTestRoom::Member& dave = mRoom->Join("dave");
    const int chats = 1500;
    const auto chat = [](int i) { return Wire::ChatText(std::to_string(i)); };
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        RelayTestRoom::Member& sender = mRoom->Join("sender");
        std::string burst;
        for (int i = 0; i < chats; ++i) {
            burst += Wire::U32(static_cast<uint32_t>(chat(i).size())) + chat(i);
        }
        ASSERT_TRUE(sender.client->SendBytes(burst));
        ASSERT_TRUE(sender.client->WaitAcknowledged());
        if (round % 2 == 0) {
            sender.client->Reset();
        } else {
            // Closed with bytes it has not read, the connection is reset too.
            mBob->client->SendFrame(Wire::ChatText("unread"));
            ASSERT_TRUE(TestSupport::WaitUntil([&sender] { return sender.client->Pending(); }));
            sender.client->Close();
        }
        sender.open = false;
        for (int i = 0; i < 100; ++i) {
            mBob->client->SendFrame(Wire::ChatText("busy"));
        }
        mBob->client->SendFrame(Wire::ChatText("end"));

        // Bob's chats come between the sender's in any order; each member reads until it
        // has been told that the sender left and, but for bob, has bob's last chat.
        for (RelayTestRoom::Member* member : {mAlice, mBob, mCarol, &dave}) {
            int next = 0;
            bool left = false;
            bool end = member == mBob;
            while (!left || !end) {
                const std::optional<std::string> frame = member->client->NextFrame();
                ASSERT_TRUE(frame.has_value()) << member->name << " after " << next;
                const Wire::Parsed parsed = Wire::Parse(*frame);
                if (parsed.clientId == sender.id) {
                    EXPECT_FALSE(left) << member->name;
                    if (parsed.type == Wire::UserLeft) {
                        left = true;
                    } else {
                        EXPECT_EQ(*frame, Wire::Message(Wire::Chat, sender.id,
                                                        Wire::Text(std::to_string(next))));
                        ++next;
                    }
                } else {
                    end = end || *frame == Wire::Message(Wire::Chat, mBob->id, Wire::Text("end"));
                }
            }
            EXPECT_EQ(next, chats) << member->name;
        }
    }
}

// Each message finds both workers asleep: a wake-up lost between a worker's look for work
// and its wait would stall the exchange.
TEST_F(RelayTrafficTest, AnExchangeOfSingleMessagesNeverStalls) {
    StartWithThree();
    for (int i = 0; i < 300; ++i) {
        RelayTestRoom::Member& from = i % 2 == 0 ? *mAlice : *mBob;
        RelayTestRoom::Member& to = i % 2 == 0 ? *mBob : *mAlice;
        const std::string text = std::to_string(i);
        from.client->SendFrame(Wire::ChatText(text));
        ExpectNext(*to.client, Wire::Message(Wire::Chat, from.id, Wire::Text(text)));
        ExpectNext(*mCarol->client, Wire::Message(Wire::Chat, from.id, Wire::Text(text)));
    }
}

// A member that sends past its relay budget is read again once the budget allows, while a
// connection that has not joined waits for its time to join to run out: every frame the member
// sent reaches the room, in order, long before that connection is closed. A worker whose wait
// looked only at the join deadline left the member unread until then, up to 30 s.
TEST_F(RelayTrafficTest, AMemberPastItsBudgetIsReadAgainWhileAConnectionHasYetToJoin) {
    ASSERT_TRUE(mServer.Start());
    mRoom = std::make_unique<RelayTestRoom>(mServer.Port());
    // Connected first, so its deadline comes first on whichever worker serves the member.
    RelayTestRoom::Member& outsider = mRoom->Connect();
    RelayTestRoom::Member& loud = mRoom->Join("loud");
    RelayTestRoom::Member& reader = mRoom->Join("reader");
    // A quarter of a burst past the budget: the member is held back for most of a second.
    const std::string data(32000, '\x5A');
    constexpr int kFrames = 40;
    std::thread sending([&loud, &data] {
        for (int i = 0; i < kFrames; ++i) {
            loud.client->SendFrame(Wire::Voice(static_cast<uint8_t>(i), data));
        }
        loud.client->SendFrame(Wire::ChatText("last"));
    });
    int relayed = 0;
    for (std::optional<std::string> frame; relayed < kFrames; ++relayed) {
        frame = reader.client->NextFrame();
        if (!frame || *frame != Wire::Voice(static_cast<uint8_t>(relayed), data, loud.id)) {
            break;
        }
    }
    EXPECT_EQ(relayed, kFrames) << "the member's frames stopped coming";
    if (relayed == kFrames) {
        ExpectNext(*reader.client, Wire::Message(Wire::Chat, loud.id, Wire::Text("last")));
    }
    // Its end would be waiting had it been closed.
    EXPECT_FALSE(outsider.client->Pending());
    // A send still held up by the budget ends when its side is shut.
    loud.client->ShutdownSend();
    sending.join();
}

// Workers asleep for want of work wake when the server stops, and the client workers
// close the connections they serve.
TEST_F(RelayTrafficTest, StoppingTheServerEndsWorkersThatWait) {
    StartWithThree();
    ZelvoRelay::MVC::Model::ZelvoRelayModel::Instance()->Server.Disconnect();
    for (RelayTestRoom::Member* member : {mAlice, mBob, mCarol}) {
        EXPECT_TRUE(member->client->WaitClosed());
        member->open = false;
    }
}

}  // namespace
