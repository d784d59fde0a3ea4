#include "ZelvoRelay/Threading/MessageThreadWorker.h"

#include "ZelvoRelay/Client/QueueShare.h"
#include "ZelvoRelay/MVC/Events/RelayMessageEvent.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Message/BaseMessage.h"
#include "ZelvoRelay/Processor/IMessageProcessor.h"
#include "ZelvoRelay/Threading/DownloadStart.h"
#include "ZelvoRelay/Threading/MessageTask.h"
#include "ZelvoRelay/Threading/StopMark.h"

#include <new>
#include <utility>

namespace ZelvoRelay::Threading {

// Tasks already queued when the worker starts are kept: the client worker starts
// first, and a message it received in between would otherwise go unanswered.
void MessageThreadWorker::Run() {
    auto* model = MVC::Model::ZelvoRelayModel::Instance();
    auto& messages = model->Messages;
    while (GetThreadState() != 0) {
        if (MessageTask* task = Next()) {
            Serve(task);
        }
    }
    model->FlushRoom();
    // The outcomes of the photos the photo worker made as it stopped are applied, the
    // rest discarded: at a stop every message received has been handled already.
    auto& held = model->HeldUploaders;
    while (MessageTask* task = messages.mTasks.Dequeue()) {
        if (!held.TakeOutcome(task)) {
            task->Discard();
        }
    }
}

MessageTask* MessageThreadWorker::Next() {
    auto* model = MVC::Model::ZelvoRelayModel::Instance();
    auto& tasks = model->Messages.mTasks;
    // Parked requests stay parked: taken again here, each would be parked again at once,
    // and the worker would spin for as long as its address's share stayed full.
    if (MessageTask* task = tasks.TryDequeue()) {
        return task;
    }
    // The frames for the room held back for the tasks that followed them go out before the
    // worker sleeps: a frame never waits for the next task to come.
    model->FlushRoom();
    return tasks.WaitDequeue();
}

void MessageThreadWorker::EndAnswers() {
    mAnswering.store(false);
    MVC::Model::ZelvoRelayModel::Instance()->Messages.mTasks.ResumeAll();
}

void MessageThreadWorker::Wake() {
    MVC::Model::ZelvoRelayModel::Instance()->Messages.mTasks.Wake();
}

void MessageThreadWorker::Serve(MessageTask* task) {
    auto* model = MVC::Model::ZelvoRelayModel::Instance();
    // The frames for the room wait only while each task that follows holds one too: behind
    // work that sends the room nothing (a request of a connection that never joined, parked
    // or dropped, an upload's chunk) they waited until the queue ran empty, and under a flood
    // of such work far longer than the turns allow.
    const uint64_t held = model->NumHeldForRoom();
    Handle(task);
    if (model->NumHeldForRoom() == held) {
        model->FlushRoom();
    }
}

void MessageThreadWorker::Handle(MessageTask* task) {
    // Only a mark, a download's start or a photo's outcome comes without a message.
    if (task->Message == nullptr) {
        if (auto* mark = dynamic_cast<StopMark*>(task)) {
            // Reached, the mark tells that everything before it has been sent on.
            MVC::Model::ZelvoRelayModel::Instance()->FlushRoom();
            mark->Reach();
            delete mark;
            return;
        }
        if (auto* start = dynamic_cast<DownloadStart*>(task)) {
            // At a stop a download reaches nobody.
            if (mAnswering.load()) {
                start->Run();
            }
            delete start;
            return;
        }
    }
    auto* model = MVC::Model::ZelvoRelayModel::Instance();
    if (model->HeldUploaders.Take(task)) {
        return;
    }
    Processor::IMessageProcessor* processor =
        task->IsIncoming ? model->Messages.GetProcessor(task->Message->GetMsgId()) : nullptr;
    if (!mAnswering.load() && !IsStillWanted(processor)) {
        // Only what the stop would still have handled counts as discarded for its being
        // asked again; the rest is dropped at every stop.
        if (processor != nullptr && processor->ChangesStore()) {
            mStopDiscard.CountDiscarded();
        }
        task->Discard();
        return;
    }
    // What the answer to a connection that has not joined may hold, taken from its address's
    // share before the answer is made.
    std::shared_ptr<Client::QueueShare> share;
    uint64_t reserved = 0;
    if (processor != nullptr && processor->AnswersOnlySender()) {
        // Nothing reaches a client that is gone: handled, the listings and downloads that
        // connections closed unread had asked for kept the worker busy long after they had
        // gone, and their tasks piled up by the hundred thousand.
        if (task->IsSenderGone()) {
            task->Discard();
            return;
        }
        share = task->GetSenderShare();
        reserved = share != nullptr ? processor->AnswerBytes(*task->Message) : 0;
        if (share != nullptr && !Reserve(task, *share, reserved)) {
            return;
        }
    }
    // An answer that cannot be made for want of memory fails alone: the process, and every
    // other connection, goes on (it ended on the uncaught failure, without its closing save).
    try {
        if (!task->IsIncoming) {
            MVC::Events::RelayMessageEvent event(task);
            event.Dispatch();
        } else if (processor != nullptr) {
            processor->Process(task->Message, task->SenderId);
        }
    } catch (const std::bad_alloc&) {
        if (share != nullptr) {
            share->Unreserve(reserved);
        }
        task->Discard();
        return;
    }
    if (share != nullptr) {
        // Given back once the answer, queued behind what the server's line held, has been
        // counted in its client's send queue.
        model->Messages.mTasks.KeepUntilServed(std::move(share), reserved);
    }
    delete task->Message;
    delete task;
}

bool MessageThreadWorker::Reserve(MessageTask* task, Client::QueueShare& share, uint64_t bytes) {
    // Counted only once made, the answers to the requests that connections reading nothing
    // had piled up were all made before any was counted: 15 addresses' connections made the
    // server hold 800 MB, and under an address-space limit ended it.
    if (share.Reserve(bytes)) {
        return true;
    }
    auto& tasks = MVC::Model::ZelvoRelayModel::Instance()->Messages.mTasks;
    tasks.Park(task, share, bytes);
    // Parked as a stop began, the request would wait past the stop's handling of what was
    // received.
    if (!mAnswering.load()) {
        tasks.ResumeAll();
    }
    return false;
}

bool MessageThreadWorker::IsStillWanted(const Processor::IMessageProcessor* processor) const {
    return processor != nullptr && processor->ChangesStore() && !mStopDiscard.IsDiscarding();
}

}  // namespace ZelvoRelay::Threading
