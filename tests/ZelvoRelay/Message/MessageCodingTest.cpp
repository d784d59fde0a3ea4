#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ZelvoRelay/MVC/Model/MessageModel.h"
#include "ZelvoRelay/MVC/Model/RoomModel.h"
#include "ZelvoRelay/MVC/Model/UserModel.h"
#include "ZelvoRelay/Message/MessageTestSupport.h"

namespace {

using namespace MessageTestSupport;
using System::String;
using ZelvoRelay::MVC::Model::MessageModel;
using ZelvoRelay::MVC::Model::RoomModel;
using ZelvoRelay::MVC::Model::UserModel;

// SHA-256 of "secret", as sha256sum prints it.
const std::string SecretDigest =
    "2B B8 0D 53 7B 1D A3 E3 8B D3 03 61 AA 85 56 86 BD E0 EA CD 71 62 FE F6 A2 5F E9 7B F5 27 "
    "A2 5B";

// A message's bytes written by hand from the layouts, what its getters return, and a
// message built by its class that writes exactly those bytes.
struct Case {
    std::string bytes;
    std::string description;
    bool complete;  // every field present: more bytes after it change nothing
    std::function<BaseMessage*()> build = nullptr;
};

const std::vector<Case> Cases = {
    {"01 00 00 00 00 01", "cid=0 Error 1", true, [] { return new Common::ErrorMessage(0, 1); }},
    {"0A 07 00 00 00 00 7D 00 00 01 10 01 08", "cid=7 VoiceInit 32000 1 16 1 8", true,
     [] { return new Voice::VoiceInitializationMessage(7, 32000, 1, 16, 1, 8); }},
    {"0B 04 03 02 01 09 03 00 61 62 63", "cid=16909060 VoiceData 9 3 [61 62 63]", true,
     [] { return new Voice::VoiceDataMessage(0x01020304, 9, 3, "abc"); }},
    {"0B 02 00 00 00 09 03 00 61 62 63", "cid=2 VoiceData 9 3 [61 62 63]", true},
    {"0B 02 00 00 00 09 05 00 61 62", "cid=2 VoiceData 9 5 [61 62]", false},
    {"0B 02 00 00 00 09 05 00", "cid=2 VoiceData 9 5 []", false},
    {"32 03 00 00 00 02 68 69", "cid=3 Chat \"hi\"", true,
     [] { return new Chat::ChatMessage(3, String("hi")); }},
    {"32 00 00 00 00 C8 " + Repeat("78", 200), "cid=0 Chat \"" + std::string(200, 'x') + "\"",
     true},
    {"32 00 00 00 00 C8 " + Repeat("78", 199), "cid=0 Chat \"\"", false},
    {"32", "cid=0 Chat \"\"", false},
    {"64 00 00 00 00 03 62 6F 62 20 " + SecretDigest, "cid=0 Join \"bob\" [" + SecretDigest + "]",
     true, [] { return new Registration::JoinRoomRequest(0, String("bob"), String("secret")); }},
    {"64 00 00 00 00 03 62 6F 62 00 " + Repeat("00", 32), "cid=0 Join \"bob\" []", true,
     [] { return new Registration::JoinRoomRequest(0, String("bob"), String()); }},
    {"64 00 00 00 00 03 62 6F 62 20 2B B8", "cid=0 Join \"bob\" []", false},
    {"64 00 00 00 00 03 62 6F 62 02 2B B8", "cid=0 Join \"bob\" [2B B8]", true},
    {"65 08 00 00 00 00", "cid=8 JoinResponse 0", true,
     [] { return new Registration::JoinRoomResponse(8, 0); }},
    {"65 00 00 00 00", "cid=0 JoinResponse 6", false},
    {"66 04 00 00 00 02 61 6C 01", "cid=4 UserJoined \"al\" 1", true,
     [] {
         UserModel user;
         user.Name = String("al");
         user.Group = UserModel::UserGroup::Moderator;
         return new Registration::UserJoinedMessage(4, user);
     }},
    {"66 00 00 00 00 00", "cid=0 UserJoined \"\" 2", false},
    {"67 02 00 00 00 07", "cid=2 Status 7", true,
     [] { return new Registration::UserStatusMessage(2, 7); }},
    {"68 02 00 00 00 03 7A 65 64", "cid=2 ChangeName \"zed\"", true,
     [] { return new Registration::ChangeNameMessage(2, String("zed")); }},
    {"69 02 00 00 00 02 04 01 02 02 02 03 02 04 00", "cid=2 Privileges 2 1:2 2:2 3:2 4:0", true,
     [] {
         const RoomModel room;
         return new Registration::UserPrivilegeMessage(2, UserModel::UserGroup::User,
                                                       room.UserAccount.Privileges);
     }},
    {"69 02 00 00 00 00 04 01 02 02 02 03 02 04 00", "cid=2 Privileges 0 1:2 2:2 3:2 4:0", true},
    {"69 07 00 00 00 01 03 01 02 02", "cid=7 Privileges 1 1:2", false},
    {"69 07 00 00 00", "cid=7 Privileges 2", false},
    {"6A 09 00 00 00", "cid=9 UserLeft", true, [] { return new Registration::UserLeftMessage(9); }},
    {"6E 01 00 00 00 01 61 00 11 00 00 00", "cid=1 RoomInfo \"a\" \"\" 17", true,
     [] {
         RoomModel room;
         room.Name = String("a");
         room.MaxClients = 17;
         return new Registration::RoomInfoMessage(1, room);
     }},
    {"6E 01 00 00 00 01 61 02 73 73 70 11 01 00", "cid=1 RoomInfo \"a\" \"ss\" 4464", true},
    {"6E 01 00 00 00 01 61 09 73 73 11 00 00 00", "cid=1 RoomInfo \"a\" \"\" 0", false},
};

TEST(MessageCodingTest, EveryLayoutIsWrittenAndReadThroughTheFactory) {
    const MessageModel messages;
    for (const Case& c : Cases) {
        if (c.build) {
            const std::unique_ptr<BaseMessage> message(c.build());
            EXPECT_EQ(ToHex(BytesOf(*message)), ToHex(FromHex(c.bytes))) << c.description;
        }
        const auto message = Decode(messages, FromHex(c.bytes));
        ASSERT_NE(message, nullptr) << c.bytes;
        EXPECT_EQ(Describe(*message), c.description) << c.bytes;
    }
}

// A text longer than its length byte can count goes out as its first 255 bytes, and
// the fields after it stay where a reader looks for them.
TEST(MessageCodingTest, TextsLongerThan255BytesAreCutTo255) {
    RoomModel room;
    room.Name = String(std::string(300, 'n').c_str());
    room.Summary = String(std::string(256, 's').c_str());
    room.MaxClients = 9;
    const Registration::RoomInfoMessage info(1, room);
    EXPECT_EQ(ToHex(BytesOf(info)), "6E 01 00 00 00 FF " + Repeat("6E", 255) + " FF " +
                                        Repeat("73", 255) + " 09 00 00 00");
    EXPECT_EQ(info.GetMaxClients(), 9);

    const Chat::ChatMessage chat(3, String(std::string(255, 'c').c_str()));
    EXPECT_EQ(ToHex(BytesOf(chat)), "32 03 00 00 00 FF " + Repeat("63", 255));
}

// Every prefix of every message is read whole under the address sanitizer; bytes
// after the last field are kept but change no getter.
TEST(MessageCodingTest, ShortAndLongMessagesNeverReadOutsideTheirBytes) {
    const MessageModel messages;
    for (const Case& c : Cases) {
        const Bytes bytes = FromHex(c.bytes);
        for (size_t size = 1; size < bytes.size(); ++size) {
            const auto message = Decode(messages, Bytes(bytes.begin(), bytes.begin() + size));
            EXPECT_FALSE(Describe(*message).empty());
        }
        if (c.complete) {
            Bytes longer = bytes;
            longer.insert(longer.end(), {0xFF, 0x07, 0x00});
            const auto message = Decode(messages, longer);
            EXPECT_EQ(Describe(*message), c.description) << c.bytes;
            EXPECT_EQ(BytesOf(*message), longer);
        }
    }
}

}  // namespace
