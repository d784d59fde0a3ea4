#pragma once

#include "System/CDelegate.h"
#include "System/Collections/LinkList.h"
#include "System/DelegateBase.h"
#include "System/Object.h"

#include <unordered_map>

namespace System {

// The subscriber's side of its subscriptions: creates a delegate for each one,
// owns it, and unsubscribes and deletes them all when destroyed, so an object that
// holds a manager ends its subscriptions by being destroyed.
//
// REQUIRES: external synchronization, as for the events it subscribes to.
class EventManager : public Object {
    template <class T>
    struct TypeIdentity {
        using type = T;
    };

  public:
    EventManager() = default;
    EventManager(const EventManager&) = delete;
    EventManager& operator=(const EventManager&) = delete;

    // Unsubscribes and deletes every delegate this manager made. The targets and
    // the events stay.
    ~EventManager() override;

    // Subscribes handler on target to event through a new delegate, kept until
    // Remove or destruction. The handler's parameters must be the event's own.
    template <class E, class T, class... B>
    void Add(E& event, typename TypeIdentity<T>::type* target, void (T::*handler)(B...)) {
        auto* delegate = new CDelegate<T, B...>(target, handler);
        event.Add(delegate);
        mDelegates.Add(delegate);
        mEntries.emplace(delegate, mDelegates.mTail);
    }

    // Unsubscribes and deletes the first delegate of this manager that is
    // subscribed to event; does nothing when there is none. Looks among the event's
    // subscribers, not among the manager's delegates: it costs the same however many
    // delegates the manager holds.
    void Remove(DelegateBase& event);

    // The delegates made by Add, in creation order. Owners may walk it; only Add,
    // Remove and destruction change it.
    Collections::LinkList<DelegateBase*> mDelegates;

  private:
    // Each delegate of mDelegates with its entry there. Without it Remove searched every
    // delegate: the console log, subscribed to four events of each connection, took a
    // minute to see 9,900 connections leave.
    std::unordered_map<const DelegateBase*, Collections::LinkNode<DelegateBase*>*> mEntries;
};

}  // namespace System
