#pragma once

#include <cstdint>

#include "System/Collections/RedBlackTree.h"
#include "System/Threading/Monitor.h"

namespace ZelvoRelay::Collections {

// A red-black tree of media records with the Monitor that guards it and the in-order walks
// the catalogue and the transfer bookkeeping need. T is ordered by its operator> and
// operator==, smaller values under child 0.
//
// REQUIRES: the caller holds mMonitor around every call and for as long as it uses a node.
template <typename T>
class MediaTree : public System::Collections::RedBlackTree<T> {
  public:
    using Node = typename System::Collections::RedBlackTree<T>::Node;

    void Add(const T& value) override {
        ++mChanges;
        System::Collections::RedBlackTree<T>::Add(value);
    }
    bool Remove(const T& value) override {
        ++mChanges;
        return System::Collections::RedBlackTree<T>::Remove(value);
    }
    void Clear() override {
        ++mChanges;
        System::Collections::RedBlackTree<T>::Clear();
    }
    // How many times the tree may have changed: what a reader made of it is still current
    // while the count stays the same.
    [[nodiscard]] uint64_t GetChanges() const { return mChanges; }

    // The node with the smallest value; null when the tree is empty.
    [[nodiscard]] Node* First() const { return Extreme(this->mRoot, 0); }
    // The node with the greatest value; null when the tree is empty.
    [[nodiscard]] Node* Last() const { return Extreme(this->mRoot, 1); }
    // The in-order successor of node; null after the greatest.
    [[nodiscard]] static Node* Next(Node* node) { return Neighbour(node, 1); }
    // The in-order predecessor of node; null before the smallest.
    [[nodiscard]] static Node* Previous(Node* node) { return Neighbour(node, 0); }

    // The node holding a value equal to key; null when there is none.
    [[nodiscard]] Node* FindNode(const T& key) const {
        Node* at = this->mRoot;
        while (at != nullptr && !(at->mValue == key)) {
            at = Child(at, at->mValue > key ? 0 : 1);
        }
        return at;
    }

    // Guards the tree. Lock order: the uploads Monitor and the downloads Monitor before the
    // catalogue Monitor; the downloads Monitor before the message task queue's.
    System::Threading::Monitor mMonitor;

  protected:
    static Node* Child(Node* node, uint32_t side) {
        return static_cast<Node*>(node->mChildren[side]);
    }

  private:
    uint64_t mChanges{0};  // see GetChanges

    // The last node reached from node by following child side; null for a null node.
    static Node* Extreme(Node* node, uint32_t side) {
        while (node != nullptr && Child(node, side) != nullptr) {
            node = Child(node, side);
        }
        return node;
    }

    // The nearest node on the given side of node in order (1 after it, 0 before it): the
    // extreme of its subtree on that side, else the first ancestor reached from that side.
    static Node* Neighbour(Node* node, uint32_t side) {
        if (Child(node, side) != nullptr) {
            return Extreme(Child(node, side), 1 - side);
        }
        Node* child = node;
        auto* parent = static_cast<Node*>(node->mParent);
        while (parent != nullptr && Child(parent, side) == child) {
            child = parent;
            parent = static_cast<Node*>(parent->mParent);
        }
        return parent;
    }
};

}  // namespace ZelvoRelay::Collections
