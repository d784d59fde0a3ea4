#pragma once

#include <type_traits>

#include "System/IDelegate.h"

namespace System {

// A multicast event: raising it calls its subscribers one after another, in the
// order they subscribed, on the raising thread. Arguments are passed on unchanged,
// so a handler writing through a reference argument is seen by later handlers and
// the raiser. The event owns no delegate; destroying it detaches its subscribers.
// A handler may unsubscribe or delete any subscriber, itself included, or destroy
// the event: those removed are not called afterwards, and a subscriber added during
// a raise is first called by the next raise.
//
// REQUIRES: external synchronization. Subscribing, unsubscribing and raising happen
// on one thread at a time.
template <class A1 = EventParam::null, class A2 = EventParam::null, class A3 = EventParam::null,
          class A4 = EventParam::null, class A5 = EventParam::null>
class Event : public IDelegate<A1, A2, A3, A4, A5> {
  public:
    using Delegate = IDelegate<A1, A2, A3, A4, A5>;

    Event() = default;

    // Subscribes delegate at the tail; subscribing it twice makes it called twice.
    // The caller keeps ownership. A null delegate is ignored.
    void Add(Delegate* delegate) {
        if (delegate != nullptr) {
            this->Link(delegate);
        }
    }

    // Calls every subscriber with exactly the event's own number of arguments.
    template <int K = Delegate::kArity, std::enable_if_t<K == 0, int> = 0>
    void Raise() {
        Fire();
    }
    template <int K = Delegate::kArity, std::enable_if_t<K == 1, int> = 0>
    void Raise(A1 a1) {
        Fire(a1);
    }
    template <int K = Delegate::kArity, std::enable_if_t<K == 2, int> = 0>
    void Raise(A1 a1, A2 a2) {
        Fire(a1, a2);
    }
    template <int K = Delegate::kArity, std::enable_if_t<K == 3, int> = 0>
    void Raise(A1 a1, A2 a2, A3 a3) {
        Fire(a1, a2, a3);
    }
    template <int K = Delegate::kArity, std::enable_if_t<K == 4, int> = 0>
    void Raise(A1 a1, A2 a2, A3 a3, A4 a4) {
        Fire(a1, a2, a3, a4);
    }
    template <int K = Delegate::kArity, std::enable_if_t<K == 5, int> = 0>
    void Raise(A1 a1, A2 a2, A3 a3, A4 a4, A5 a5) {
        Fire(a1, a2, a3, a4, a5);
    }

  private:
    // Touches nothing of the event once a handler has run but the cursor, which a
    // destroyed event has already ended.
    template <class... P>
    void Fire(P&... args) {
        DelegateBase::RaiseCursor cursor(*this);
        while (DelegateBase* subscriber = cursor.Next()) {
            static_cast<Delegate*>(subscriber)->Execute(args...);
        }
    }
};

}  // namespace System
