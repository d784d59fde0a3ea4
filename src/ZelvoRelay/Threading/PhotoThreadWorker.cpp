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
    mWork.Release();
}

void PhotoThreadWorker::Run() {
    while (GetThreadState() != 0) {
        mWork.Acquire();
        // A wake-up to stop brings no task.
        PhotoTask* task = mTasks.Dequeue();
        if (task != nullptr) {
            task->MakePreview();
            MVC::Model::ZelvoRelayModel::Instance()->QueueTask(task);
        }
    }
}

void PhotoThreadWorker::Wake() {
    mWork.Release();
}

}  // namespace ZelvoRelay::Threading
