#include <gtest/gtest.h>

#include <memory>

#include "ZelvoRelay/MVC/Model/MessageModel.h"
#include "ZelvoRelay/Message/Chat/ChatMessage.h"
#include "ZelvoRelay/Message/Registration/UserLeftMessage.h"
#include "ZelvoRelay/PostAction/IPostAction.h"
#include "ZelvoRelay/Threading/MessageTask.h"

namespace {

using System::String;
using ZelvoRelay::MVC::Model::MessageModel;
using ZelvoRelay::Threading::MessageTask;
namespace Message = ZelvoRelay::Message;

// Counts the actions alive.
struct CountedAction : ZelvoRelay::PostAction::IPostAction {
    explicit CountedAction(int& alive) : alive(alive) { ++alive; }
    ~CountedAction() override { --alive; }
    void Execute() override {}
    int& alive;
};

TEST(MessageModelTest, TasksLeftInTheQueueAreDeletedWithTheirMessagesAndActions) {
    int alive = 0;
    {
        MessageModel messages;
        auto* outgoing = new MessageTask(new Message::Registration::UserLeftMessage(4), 0, 4);
        outgoing->PostActions.Add(new CountedAction(alive));
        outgoing->PostActions.Add(new CountedAction(alive));
        messages.mTasks.Enqueue(outgoing->GetTurnOf(), outgoing);
        messages.mTasks.Enqueue(2,
                                new MessageTask(new Message::Chat::ChatMessage(2, String("x")), 2));
        EXPECT_EQ(alive, 2);

        messages.DiscardTasks();
        EXPECT_EQ(alive, 0);
        EXPECT_EQ(messages.mTasks.Dequeue(), nullptr);

        messages.mTasks.Enqueue(2,
                                new MessageTask(new Message::Chat::ChatMessage(2, String("y")), 2));
        auto* last = new MessageTask(nullptr, 3, 0);
        last->PostActions.Add(new CountedAction(alive));
        messages.mTasks.Enqueue(last->GetTurnOf(), last);
    }
    EXPECT_EQ(alive, 0);
}

}  // namespace
