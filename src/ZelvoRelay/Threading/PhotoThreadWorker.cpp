#include "ZelvoRelay/Threading/PhotoThreadWorker.h"

#include "System/Utility/FailPoint.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Threading/MessageTaskQueue.h"
#include "ZelvoRelay/Threading/PhotoTask.h"

#include <new>

namespace ZelvoRelay::Threading {

PhotoThreadWorker::~PhotoThreadWorker() {
    while (PhotoTask* task = mTasks.Dequeue()) {
        delete task;
    }
}

void PhotoThreadWorker::Add(PhotoTask* task) {
    mPending.fetch_add(1);
    mTasks.Enqueue(task);
}

uint32_t PhotoThreadWorker::GetNumToMake() const {
    return GetThreadState() != 0 ? mPending.load() : 0;
}

void PhotoThreadWorker::Run() {
    while (GetThreadState() != 0) {
        // A wake-up to stop brings no task.
        if (PhotoTask* task = mTasks.WaitDequeue()) {
            Make(task);
        }
    }
    // Left here, the complete uploads behind the photo being made when the server
    // stops would be thrown away. The message worker stops after this one and applies
    // their outcomes; each photo is bounded by the image limits, so the stop ends.
    while (PhotoTask* task = mTasks.Dequeue()) {
        Make(task);
    }
}

void PhotoThreadWorker::Wake() {
    mTasks.Wake();
}

void PhotoThreadWorker::Make(PhotoTask* task) {
    // A photo not made has no preview, and its upload is discarded with its file.
    if (mStopDiscard.Discards()) {
        task->Fail(PhotoFailure::Discarded);
    } else {
        // A photo too large for the memory left fails alone: uncaught, the failure would
        // end the process, and with it every upload not saved yet.
        try {
            task->MakePreview();
        } catch (const std::bad_alloc&) {
            task->Fail(PhotoFailure::NoMemory);
        }
    }
    HandBack(task);
    mPending.fetch_sub(1);
}

void PhotoThreadWorker::HandBack(PhotoTask* task) {
    MVC::Model::ZelvoRelayModel* model = MVC::Model::ZelvoRelayModel::Instance();
    try {
        System::Utility::FailPoint::Check("photo-outcome");
        model->QueueTask(task);
    } catch (const std::bad_alloc&) {
        // Uncaught, the failure ended the process. The photo fails alone instead, and its
        // outcome still goes to the message worker, which discards the upload and lets go of
        // the uploader's later messages: on the server's own line, which takes a task without
        // allocating.
        task->Fail(PhotoFailure::NoMemory);
        model->Messages.mTasks.Enqueue(MessageTaskQueue::kServer, task);
    }
}

}  // namespace ZelvoRelay::Threading
