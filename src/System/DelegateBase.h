#pragma once

#include "System/Collections/LinkList.h"
#include "System/Object.h"

namespace System {

// What every delegate and event shares, whatever its signature: the list of the
// objects it is linked with, and the unlinking of both sides. An event's list holds
// its subscribers in subscription order; a delegate's list holds the events it is
// subscribed to. Keeping this out of the templates lets EventManager hold and delete
// delegates of any signature through one pointer type.
//
// REQUIRES: external synchronization. Linking, unlinking and raising on one list
// happen on one thread at a time.
class DelegateBase : public Object {
  public:
    using Links = Collections::LinkList<DelegateBase*>;
    using LinkNode = Collections::LinkNode<DelegateBase*>;

    DelegateBase(const DelegateBase&) = delete;
    DelegateBase& operator=(const DelegateBase&) = delete;

    // Removes every link of this object on both sides. The partners are neither
    // deleted nor notified. A raise of this object that is still running stops.
    ~DelegateBase() override;

    // Removes every link between this object and other, on both sides. Returns true
    // when this object was linked with other, false (and changes nothing) otherwise.
    bool Remove(DelegateBase* other);

    // The linked objects, in the order the links were made. Walkers may read it;
    // only Event::Add, Remove and destruction change it.
    Links mLinks;

  protected:
    DelegateBase() = default;

    // Links subscriber to this object: this object at the tail of the subscriber's
    // list, then the subscriber at the tail of this one's. No duplicate check.
    void Link(DelegateBase* subscriber);

    // Walks this object's list for one raise. A raise sees the list as it stood when
    // it began, less what is unlinked while it runs: a subscriber removed or deleted
    // by a handler is not called afterwards, one added by a handler is not called in
    // this raise, and the walk ends quietly when the raising object is destroyed.
    // Without this, a handler unlinking the next subscriber would leave the walk on
    // a freed node.
    class RaiseCursor {
      public:
        explicit RaiseCursor(DelegateBase& owner);
        ~RaiseCursor();
        RaiseCursor(const RaiseCursor&) = delete;
        RaiseCursor& operator=(const RaiseCursor&) = delete;

        // The next subscriber to call, or null when the raise is over.
        DelegateBase* Next();

      private:
        friend class DelegateBase;

        DelegateBase* mOwner;  // null once the owner is destroyed
        LinkNode* mNext;       // the node to call next; null when none is left
        LinkNode* mLast;       // the last node to call: the tail when the raise began,
                               // moved back when that node is unlinked
        RaiseCursor* mOuter;   // the raise of the same owner that this one is nested in
    };

  private:
    // Unlinks and frees every node of this object's list that holds partner, moving
    // running raises off those nodes. Returns whether there was one.
    bool DropLinksTo(DelegateBase* partner);

    RaiseCursor* mRaising = nullptr;  // innermost raise of this object in progress
};

}  // namespace System
