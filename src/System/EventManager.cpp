#include "System/EventManager.h"

namespace System {

EventManager::~EventManager() {
    for (auto* node = mDelegates.mHead; node != nullptr;) {
        auto* next = node->mNext;
        delete node->mValue;
        node = next;
    }
    mDelegates.Clear();
}

void EventManager::Remove(DelegateBase& event) {
    DelegateBase* const target = &event;
    for (auto* node = mDelegates.mHead; node != nullptr; node = node->mNext) {
        DelegateBase* delegate = node->mValue;
        if (delegate != nullptr && delegate->mLinks.Contains(target)) {
            mDelegates.Remove(delegate);
            delete delegate;
            return;
        }
    }
}

}  // namespace System
