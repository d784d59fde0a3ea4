#include "ZelvoRelay/Threading/MessageThreadWorker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "System/Singleton.h"
#include "ZelvoRelay/Client/QueueShare.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Message/Chat/ChatMessage.h"
#include "ZelvoRelay/Message/Media/GetMediaInfoRequest.h"
#include "ZelvoRelay/Processor/Media/GetMediaInfoRequestProcessor.h"
#include "ZelvoRelay/Threading/MessageTask.h"
#include "ZelvoRelay/Threading/ReceiveBacklog.h"
#include "ZelvoRelay/Threading/StopMark.h"
#include "support/PairedClient.h"
#include "support/RelayWire.h"

namespace {

using TestSupport::PairedClient;
using ZelvoRelay::MVC::Model::ZelvoRelayModel;
using ZelvoRelay::Threading::MessageTask;

// A chat frame as the room's members are sent it.
std::string ChatFrame(const std::string& text, uint32_t senderId) {
    const std::string message = RelayWire::ChatText(text, senderId);
    return RelayWire::U32(static_cast<uint32_t>(message.size())) + message;
}

// The types of the frames in stream, in order.
std::vector<uint8_t> FrameTypes(const std::string& stream) {
    std::vector<uint8_t> types;
    for (size_t at = 0; at + 5 <= stream.size();) {
        const auto length = static_cast<uint32_t>(static_cast<uint8_t>(stream[at])) |
                            static_cast<uint32_t>(static_cast<uint8_t>(stream[at + 1])) << 8 |
                            static_cast<uint32_t>(static_cast<uint8_t>(stream[at + 2])) << 16 |
                            static_cast<uint32_t>(static_cast<uint8_t>(stream[at + 3])) << 24;
        types.push_back(static_cast<uint8_t>(stream[at + 4]));
        at += 4 + length;
    }
    return types;
}

// The message worker driven one task at a time, without its thread, in a room of three
// members over socket pairs: what each was sent is what the worker put into its send queue.
class MessageThreadWorkerTest : public ::testing::Test {
  protected:
    MessageThreadWorkerTest() {
        for (PairedClient* member : {&mReader, &mAnn, &mBob}) {
            TestSupport::Admit(*member);
        }
    }
    ~MessageThreadWorkerTest() override { System::Singleton<ZelvoRelayModel>::Destroy(); }

    static ZelvoRelay::Threading::MessageThreadWorker& Worker() {
        return ZelvoRelayModel::Instance()->MessageWorker();
    }
    // A chat of senderId's relayed to the room, as the worker is given one.
    static MessageTask* ChatToRoom(const std::string& text, uint32_t senderId) {
        return new MessageTask(new ZelvoRelay::Message::Chat::ChatMessage(senderId, text.c_str()),
                               0, senderId);
    }

    PairedClient mReader{11};
    PairedClient mAnn{22};
    PairedClient mBob{33};
};

// Held for the tasks that follow, a frame for the room waited behind work that sends the room
// nothing for as long as such work kept coming (a flood of requests of connections that never
// joined held members' chat for hundreds of milliseconds).
TEST_F(MessageThreadWorkerTest, FramesForTheRoomGoOutAfterTheFirstTaskThatHoldsNone) {
    Worker().Serve(ChatToRoom("held", 22));
    // A connection that never joined may not chat: its chat is dropped, and sends nothing.
    Worker().Serve(new MessageTask(new ZelvoRelay::Message::Chat::ChatMessage(99, "dropped"), 99));
    EXPECT_EQ(mReader.Received(), ChatFrame("held", 22));
}

// Between two frames of one connection the worker serves every other connection once: a
// frame held past its sender's next one would wait behind more than one such pass.
TEST_F(MessageThreadWorkerTest, ASendersNextFrameSendsOnTheFramesHeldBeforeIt) {
    Worker().Serve(ChatToRoom("first", 22));
    Worker().Serve(ChatToRoom("between", 33));
    Worker().Serve(ChatToRoom("second", 22));
    EXPECT_EQ(mReader.Received(), ChatFrame("first", 22) + ChatFrame("between", 33));
    EXPECT_EQ(mAnn.Received(), ChatFrame("between", 33));
}

// A member is sent the room's traffic and its own answers in the order the worker handled
// them: a listing answered after a chat comes after that chat, never ahead of it.
TEST_F(MessageThreadWorkerTest, AListingAnswerGoesBehindTheRoomsFramesHeldBeforeIt) {
    Worker().Serve(ChatToRoom("before the answer", 33));
    ZelvoRelay::Processor::Media::GetMediaInfoRequestProcessor listings;
    Worker().Serve(
        new MessageTask(listings.Answer(ZelvoRelayModel::Instance()->Media, 11, 0, 10), 11, 0));
    EXPECT_EQ(FrameTypes(mReader.Received()),
              (std::vector<uint8_t>{RelayWire::Chat, RelayWire::MediaInfo}));
}

// Reached, the stop mark tells the stopping server that everything before it has been sent
// on; a frame still held for the room then would be lost.
TEST_F(MessageThreadWorkerTest, TheStopMarkIsReachedOnceTheRoomsFramesBeforeItAreSentOn) {
    Worker().Serve(ChatToRoom("before the stop", 33));
    auto* mark = new ZelvoRelay::Threading::StopMark();
    std::future<void> reached = mark->GetReached();
    Worker().Handle(mark);
    ASSERT_EQ(reached.wait_for(std::chrono::seconds(0)), std::future_status::ready);
    EXPECT_EQ(mReader.Received(), ChatFrame("before the stop", 33));
}

// A connection that has not joined asks for a listing. The answer waits in the server's line,
// not yet in any send queue, and what it may hold stays taken from the address's share until
// it has been handled: given back as soon as the answer was made, the share had room again for
// every request waiting, and answers not yet counted anywhere piled up past it.
TEST_F(MessageThreadWorkerTest, AnAnswersShareStaysTakenUntilTheAnswerLeavesTheServersLine) {
    using ZelvoRelay::Client::QueueShare;
    auto& tasks = ZelvoRelayModel::Instance()->Messages.mTasks;
    auto share = std::make_shared<QueueShare>();
    auto backlog = std::make_shared<ZelvoRelay::Threading::ReceiveBacklog>();
    backlog->SetShare(share);
    auto* request =
        new MessageTask(new ZelvoRelay::Message::Media::GetMediaInfoRequest(0, 0, 255), 7);
    request->CountIn(backlog);
    Worker().Handle(request);
    EXPECT_FALSE(share->Reserve(QueueShare::kBytes));
    MessageTask* answer = tasks.Dequeue();
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer->TargetId, 7u);
    Worker().Handle(answer);
    EXPECT_TRUE(share->Reserve(QueueShare::kBytes));
    EXPECT_EQ(tasks.Dequeue(), nullptr);
}

// A connection that has not joined asks for a listing while its address's share is full, and
// the request is parked. Woken with nothing else to do, the worker takes nothing: taking the
// parked request again only parked it again, and the worker spun at a full core for as long
// as the share stayed full.
TEST_F(MessageThreadWorkerTest, AWokenWorkerLeavesARequestParkedForItsShareParked) {
    using ZelvoRelay::Client::QueueShare;
    auto& tasks = ZelvoRelayModel::Instance()->Messages.mTasks;
    auto share = std::make_shared<QueueShare>();
    ASSERT_TRUE(share->Reserve(QueueShare::kBytes));
    auto backlog = std::make_shared<ZelvoRelay::Threading::ReceiveBacklog>();
    backlog->SetShare(share);
    auto* request =
        new MessageTask(new ZelvoRelay::Message::Media::GetMediaInfoRequest(0, 0, 255), 7);
    request->CountIn(backlog);
    tasks.Enqueue(7, request);
    MessageTask* taken = Worker().Next();
    ASSERT_EQ(taken, request);
    Worker().Handle(taken);
    tasks.Wake();
    MessageTask* next = Worker().Next();
    EXPECT_EQ(next, nullptr);
    if (next != nullptr) {
        next->Discard();
    }
    MessageTask* parked = tasks.Dequeue();
    EXPECT_EQ(parked, request);
    if (parked != nullptr) {
        parked->Discard();
    }
}

}  // namespace
