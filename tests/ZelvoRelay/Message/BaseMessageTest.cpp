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
    EXPECT_EQ(Decode(messages, FromHex("FF 01 00 00 00")), nullptr);
    for (unsigned int type = 0; type < 256; ++type) {
        const bool registered = type == 1 || type == 10 || type == 11 || type == 50 ||
                                (type >= 100 && type <= 106) || type == 110 ||
                                (type >= 150 && type <= 160 && type != 158);
        const auto message = Decode(messages, Bytes{static_cast<uint8_t>(type)});
        ASSERT_EQ(message != nullptr, registered) << type;
        if (registered) {
            EXPECT_EQ(message->GetMsgId(), type);
            EXPECT_EQ(BytesOf(*message), Bytes{static_cast<uint8_t>(type)});
        }
    }
}

}  // namespace
