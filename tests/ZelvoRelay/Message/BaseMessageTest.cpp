#include <gtest/gtest.h>

#include "ZelvoRelay/MVC/Model/MessageModel.h"
#include "ZelvoRelay/Message/MessageTestSupport.h"

namespace {

using namespace MessageTestSupport;
using ZelvoRelay::MVC::Model::MessageModel;

TEST(BaseMessageTest, HeaderIsWrittenAndReadOnlyWhenPresent) {
    const BaseMessage built(3, 50, 1);
    EXPECT_EQ(ToHex(BytesOf(built)), "32 01 00 00 00 00 00 00");

    const BaseMessage empty(MessageBytes(nullptr, 0));
    EXPECT_EQ(empty.GetMsgSize(), 0);
    EXPECT_EQ(empty.GetMsgId(), 0);
    EXPECT_EQ(empty.GetClientId(), 0u);

    const Bytes four = FromHex("32 01 02 03");
    BaseMessage shortMessage(MessageBytes(reinterpret_cast<const char*>(four.data()), 4));
    shortMessage.SetClientId(7);
    EXPECT_EQ(BytesOf(shortMessage), four);
    EXPECT_EQ(shortMessage.GetClientId(), 0u);

    const Bytes five = FromHex("32 01 02 03 04");
    BaseMessage header(MessageBytes(reinterpret_cast<const char*>(five.data()), 5));
    EXPECT_EQ(header.GetClientId(), 0x04030201u);
    header.SetClientId(0xFFFFFFFE);
    EXPECT_EQ(ToHex(BytesOf(header)), "32 FE FF FF FF");
}

TEST(BaseMessageTest, FactoryBuildsOnlyRegisteredTypes) {
    const MessageModel messages;
    EXPECT_EQ(Decode(messages, Bytes()), nullptr);
    for (const char* unregistered : {"00", "02", "09", "33", "9E", "C8", "FF", "FF 01 00 00 00"}) {
        EXPECT_EQ(Decode(messages, FromHex(unregistered)), nullptr) << unregistered;
    }
    const char* registered[] = {"01", "0A", "0B", "32", "64", "65",
                                "66", "67", "68", "69", "6A", "6E"};
    for (const char* type : registered) {
        const auto message = Decode(messages, FromHex(type));
        ASSERT_NE(message, nullptr) << type;
        EXPECT_EQ(Describe(*message).find("unknown"), std::string::npos) << type;
        EXPECT_EQ(ToHex(BytesOf(*message)), type);
    }
}

}  // namespace
