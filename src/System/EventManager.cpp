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
    // The event lists its subscribers in the order they subscribed, which for those of
    // this manager is the order Add made them.
    for (auto* node = event.mLinks.mHead; node != nullptr; node = node->mNext) {
        const auto entry = mEntries.find(node->mValue);
        if (entry != mEntries.end()) {
            DelegateBase* delegate = node->mValue;
            mDelegates.RemoveNode(entry->second);
            mEntries.erase(entry);
            delete delegate;
            return;
        }
    }
}

}  // namespace System
