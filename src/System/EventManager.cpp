#include "System/EventManager.h"

#include <cstddef>

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
    const auto found = mByEvent.find(&event);
    if (found == mByEvent.end()) {
        return;
    }
    std::vector<Node*>& nodes = found->second;
    // An entry whose delegate is no longer on the event (the event was destroyed, or
    // unsubscribed it) is passed over and forgotten; the delegate stays in mDelegates,
    // unlinked, until the manager goes.
    std::size_t next = 0;
    while (next < nodes.size()) {
        Node* node = nodes[next++];
        DelegateBase* delegate = node->mValue;
        if (delegate != nullptr && delegate->mLinks.Contains(&event)) {
            mDelegates.RemoveNode(node);
            delete delegate;
            break;
        }
    }
    nodes.erase(nodes.begin(), nodes.begin() + static_cast<std::ptrdiff_t>(next));
    if (nodes.empty()) {
        mByEvent.erase(found);
    }
}

}  // namespace System
