#include "System/DelegateBase.h"

namespace System {

DelegateBase::~DelegateBase() {
    for (RaiseCursor* cursor = mRaising; cursor != nullptr; cursor = cursor->mOuter) {
        cursor->mOwner = nullptr;
        cursor->mNext = nullptr;
    }
    mRaising = nullptr;
    while (mLinks.mHead != nullptr) {
        Remove(mLinks.mHead->mValue);
    }
}

bool DelegateBase::Remove(DelegateBase* other) {
    if (other == nullptr || !DropLinksTo(other)) {
        return false;
    }
    other->DropLinksTo(this);
    return true;
}

void DelegateBase::Link(DelegateBase* subscriber) {
    subscriber->mLinks.Add(this);
    mLinks.Add(subscriber);
}

bool DelegateBase::DropLinksTo(DelegateBase* partner) {
    bool found = false;
    LinkNode* node = mLinks.mHead;
    while (node != nullptr) {
        LinkNode* next = node->mNext;
        if (node->mValue == partner) {
            for (RaiseCursor* cursor = mRaising; cursor != nullptr; cursor = cursor->mOuter) {
                if (cursor->mNext == node) {
                    cursor->mNext = node == cursor->mLast ? nullptr : node->mNext;
                }
                if (cursor->mLast == node) {
                    cursor->mLast = node->mPrev;
                }
            }
            // Every earlier node has been passed or removed, so the first node
            // holding partner is this one.
            mLinks.Remove(partner);
            found = true;
        }
        node = next;
    }
    return found;
}

DelegateBase::RaiseCursor::RaiseCursor(DelegateBase& owner)
    : mOwner(&owner), mNext(owner.mLinks.mHead), mLast(owner.mLinks.mTail), mOuter(owner.mRaising) {
    owner.mRaising = this;
}

DelegateBase::RaiseCursor::~RaiseCursor() {
    if (mOwner != nullptr) {
        mOwner->mRaising = mOuter;
    }
}

DelegateBase* DelegateBase::RaiseCursor::Next() {
    LinkNode* node = mNext;
    if (node == nullptr) {
        return nullptr;
    }
    mNext = node == mLast ? nullptr : node->mNext;
    return node->mValue;
}

}  // namespace System
