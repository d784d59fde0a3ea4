#include "ZelvoRelay/Threading/PhotoThreadWorker.h"

#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Threading/PhotoTask.h"

namespace ZelvoRelay::Threading {

PhotoThreadWorker::~PhotoThreadWorker() {
    while (PhotoTask* task = mTasks.Dequeue()) {
        delete task;
    }
}

void PhotoThreadWorker::Add(PhotoTask* task) {
    mTasks.Enqueue(task);
}

void PhotoThreadWorker::Run() {
    while (GetThreadState() != 0) {
        // A wake-up to stop brings no task.
        PhotoTask* task = mTasks.WaitDequeue();
        if (task != nullptr) {
            task->MakePreview();
            MVC::Model::ZelvoRelayModel::Instance()->QueueTask(task);
        }
    }
}

void PhotoThreadWorker::Wake() {
    mTasks.Wake();
}

}  // namespace ZelvoRelay::Threading
