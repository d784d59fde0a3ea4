#pragma once

#include <cstdint>

#include "System/Collections/ICollection.h"
#include "System/Collections/LinkNode.h"

namespace System::Collections {

// Doubly linked list in insertion order. Its structure is public and it has no
// iterator: walkers start at mHead and follow mNext. A node never moves and its value
// is never copied again after Add; removing a node changes only its neighbours' links,
// so a walk that may remove the node it stands on reads mNext first. Owners that pop
// the head unlink and delete it themselves, exactly as Remove does.
//
// The list owns its nodes but never what a pointer element points to. Not copyable.
// REQUIRES: external synchronization when shared between threads.
template <typename T>
class LinkList : public ICollection<T> {
  public:
    LinkList() = default;
    LinkList(const LinkList&) = delete;
    LinkList& operator=(const LinkList&) = delete;
    ~LinkList() override { Clear(); }

    // Appends a node holding a copy of item at the tail, even when an equal one is held.
    void Add(const T& item) override {
        auto* node = new LinkNode<T>();
        node->mValue = item;
        node->mPrev = mTail;
        if (mTail == nullptr) {
            mHead = node;
        } else {
            mTail->mNext = node;
        }
        mTail = node;
        ++mCount;
    }

    // Deletes every node, head first.
    void Clear() override {
        LinkNode<T>* node = mHead;
        while (node != nullptr) {
            LinkNode<T>* next = node->mNext;
            delete node;
            node = next;
        }
        mHead = nullptr;
        mTail = nullptr;
        mCount = 0;
    }

    [[nodiscard]] bool Contains(const T& item) const override { return Find(item) != nullptr; }

    [[nodiscard]] uint32_t Count() const override { return mCount; }

    // Removes the node nearest the head whose value equals item.
    bool Remove(const T& item) override {
        LinkNode<T>* node = Find(item);
        if (node == nullptr) {
            return false;
        }
        RemoveNode(node);
        return true;
    }

    // Unlinks and deletes node without a search. REQUIRES: node is one of this list's.
    void RemoveNode(LinkNode<T>* node) {
        if (node->mPrev != nullptr) {
            node->mPrev->mNext = node->mNext;
        } else {
            mHead = node->mNext;
        }
        if (node->mNext != nullptr) {
            node->mNext->mPrev = node->mPrev;
        } else {
            mTail = node->mPrev;
        }
        delete node;
        --mCount;
    }

    LinkNode<T>* mHead{nullptr};  // first node; null when empty
    LinkNode<T>* mTail{nullptr};  // last node; null when empty
    uint32_t mCount{0};           // number of nodes

  private:
    // The first node, from the head, whose value equals item (item on the left).
    LinkNode<T>* Find(const T& item) const {
        for (LinkNode<T>* node = mHead; node != nullptr; node = node->mNext) {
            if (item == node->mValue) {
                return node;
            }
        }
        return nullptr;
    }
};

}  // namespace System::Collections
