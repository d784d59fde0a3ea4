#pragma once

#include <cstdint>

#include "System/Collections/ICollection.h"
#include "System/Collections/RedBlackTreeNode.h"

namespace System::Collections {

// Ordered set of copies of values in a red-black tree. T needs a default constructor,
// copy assignment, and const operator== and operator> forming a strict total order;
// both are applied with the node's value on the left. Smaller values lie under child 0,
// greater ones under child 1, and no two values are equal.
//
// The structure is public and there is no iterator: users search from mRoot and walk
// to in-order neighbours through mChildren and mParent. Add and Remove may rotate any
// node, and removing a value with two children moves its in-order predecessor's value
// into its node and deletes the predecessor's node instead. Never copied.
// REQUIRES: external synchronization when shared between threads.
template <typename T>
class RedBlackTree : public ICollection<T> {
  public:
    using Node = RedBlackTreeNode<T>;

    RedBlackTree() = default;
    RedBlackTree(const RedBlackTree&) = delete;
    RedBlackTree& operator=(const RedBlackTree&) = delete;
    ~RedBlackTree() override { Clear(); }

    // Inserts a copy of value; does nothing when an equal value is already stored.
    void Add(const T& value) override {
        Node* node = nullptr;
        if (mRoot == nullptr) {
            node = CreateNode(nullptr);
            mRoot = node;
        } else {
            Node* at = mRoot;
            for (;;) {
                if (at->mValue == value) {
                    return;
                }
                const uint32_t side = at->mValue > value ? 0 : 1;
                if (at->mChildren[side] == nullptr) {
                    node = CreateNode(at);
                    at->mChildren[side] = node;
                    break;
                }
                at = AsNode(at->mChildren[side]);
            }
        }
        node->mValue = value;
        InsertBalance(node);
        FindRoot();
        ++mCount;
    }

    // Deletes every node.
    void Clear() override {
        delete mRoot;
        mRoot = nullptr;
        mCount = 0;
    }

    [[nodiscard]] bool Contains(const T& value) const override { return Find(value) != nullptr; }

    [[nodiscard]] uint32_t Count() const override { return mCount; }

    // Removes the value equal to value; false when there is none.
    bool Remove(const T& value) override {
        Node* found = Find(value);
        if (found == nullptr) {
            return false;
        }
        // The node taken out of the tree has at most one child: the found node itself,
        // or else its in-order predecessor, whose value then moves into the found node.
        Node* removed = found;
        if (found->mChildren[0] != nullptr && found->mChildren[1] != nullptr) {
            TreeNode<T>* predecessor = found->mChildren[0];
            while (predecessor->mChildren[1] != nullptr) {
                predecessor = predecessor->mChildren[1];
            }
            removed = AsNode(predecessor);
        }
        TreeNode<T>* child =
            removed->mChildren[0] != nullptr ? removed->mChildren[0] : removed->mChildren[1];
        if (child == nullptr) {
            // A leaf is balanced while still linked in; it stands for the missing child.
            RemoveBalance(removed);
        }
        TreeNode<T>* parent = removed->mParent;
        if (parent == nullptr) {
            mRoot = AsNode(child);
        } else {
            parent->mChildren[SideOf(removed)] = child;
        }
        if (child != nullptr) {
            child->mParent = parent;
        }
        if (removed != found) {
            found->mValue = removed->mValue;
        }
        if (child != nullptr && removed->mColor == Node::Black) {
            if (IsRed(child)) {
                AsNode(child)->mColor = Node::Black;
            } else {
                RemoveBalance(AsNode(child));
            }
        }
        // Its children are still in the tree: empty the links before deleting the node.
        removed->mChildren.Clear();
        delete removed;
        FindRoot();
        --mCount;
        return true;
    }

    // A new unlinked node under parent: red with a parent, black without, with two
    // null child entries.
    Node* CreateNode(Node* parent) {
        auto* node = new Node();
        node->mColor = parent != nullptr ? Node::Red : Node::Black;
        node->mParent = parent;
        node->mChildren.Add(nullptr);
        node->mChildren.Add(nullptr);
        return node;
    }

    // Restores the invariants after node was linked in as a red leaf.
    void InsertBalance(Node* node) {
        for (;;) {
            if (node->mParent == nullptr) {
                node->mColor = Node::Black;
                return;
            }
            if (!IsRed(node->mParent)) {
                return;
            }
            Node* parent = AsNode(node->mParent);
            Node* grandparent = AsNode(parent->mParent);
            TreeNode<T>* uncle = grandparent->mChildren[1 - SideOf(parent)];
            if (!IsRed(uncle)) {
                break;
            }
            AsNode(uncle)->mColor = Node::Black;
            parent->mColor = Node::Black;
            grandparent->mColor = Node::Red;
            node = grandparent;
        }
        const uint32_t parentSide = SideOf(node->mParent);
        if (SideOf(node) != parentSide) {
            Rotate(node->mParent, parentSide);
            node = AsNode(node->mChildren[parentSide]);
        }
        Node* parent = AsNode(node->mParent);
        Node* grandparent = AsNode(parent->mParent);
        parent->mColor = Node::Black;
        grandparent->mColor = Node::Red;
        Rotate(grandparent, 1 - parentSide);
    }

    // Repairs a deficit of one black node on the paths through node; a missing node
    // counts as black.
    void RemoveBalance(Node* node) {
        while (node->mParent != nullptr) {
            const uint32_t side = SideOf(node);
            Node* parent = AsNode(node->mParent);
            TreeNode<T>* sibling = parent->mChildren[1 - side];
            if (IsRed(sibling)) {
                parent->mColor = Node::Red;
                AsNode(sibling)->mColor = Node::Black;
                Rotate(parent, side);
                sibling = parent->mChildren[1 - side];
            }
            if (sibling == nullptr) {
                return;
            }
            TreeNode<T>* nearNephew = sibling->mChildren[side];
            TreeNode<T>* farNephew = sibling->mChildren[1 - side];
            if (!IsRed(sibling) && !IsRed(nearNephew) && !IsRed(farNephew)) {
                AsNode(sibling)->mColor = Node::Red;
                if (IsRed(parent)) {
                    parent->mColor = Node::Black;
                    return;
                }
                node = parent;
                continue;
            }
            if (!IsRed(sibling) && !IsRed(farNephew) && IsRed(nearNephew)) {
                AsNode(sibling)->mColor = Node::Red;
                AsNode(nearNephew)->mColor = Node::Black;
                Rotate(sibling, 1 - side);
                sibling = parent->mChildren[1 - side];
            }
            AsNode(sibling)->mColor = parent->mColor;
            parent->mColor = Node::Black;
            if (sibling->mChildren[1 - side] != nullptr) {
                AsNode(sibling->mChildren[1 - side])->mColor = Node::Black;
            }
            Rotate(parent, side);
            return;
        }
    }

    // Moves node down to the left; its child 1 takes its place.
    // REQUIRES: node has a child 1.
    void RotateLeft(TreeNode<T>* node) { Rotate(node, 0); }

    // Moves node down to the right; its child 0 takes its place.
    // REQUIRES: node has a child 0.
    void RotateRight(TreeNode<T>* node) { Rotate(node, 1); }

    Node* mRoot{nullptr};  // null when empty
    uint32_t mCount{0};    // number of values held

  private:
    static Node* AsNode(TreeNode<T>* node) { return static_cast<Node*>(node); }

    static bool IsRed(TreeNode<T>* node) {
        return node != nullptr && AsNode(node)->mColor == Node::Red;
    }

    // 0 when node is its parent's child 0, else 1. REQUIRES: node has a parent.
    static uint32_t SideOf(TreeNode<T>* node) {
        return node->mParent->mChildren[0] == node ? 0 : 1;
    }

    // Moves node down to the given side; its child on the other side takes its place.
    // mRoot is left alone: callers re-find the root afterwards.
    static void Rotate(TreeNode<T>* node, uint32_t side) {
        TreeNode<T>* riser = node->mChildren[1 - side];
        TreeNode<T>* parent = node->mParent;
        TreeNode<T>* moved = riser->mChildren[side];
        node->mChildren[1 - side] = moved;
        node->mParent = riser;
        riser->mChildren[side] = node;
        riser->mParent = parent;
        if (moved != nullptr) {
            moved->mParent = node;
        }
        if (parent != nullptr) {
            parent->mChildren[parent->mChildren[0] == node ? 0 : 1] = riser;
        }
    }

    // The node holding a value equal to value, or null.
    Node* Find(const T& value) const {
        Node* at = mRoot;
        while (at != nullptr && !(at->mValue == value)) {
            at = AsNode(at->mChildren[at->mValue > value ? 0 : 1]);
        }
        return at;
    }

    // Rotations never update mRoot, so climb from it to the node without a parent.
    void FindRoot() {
        while (mRoot != nullptr && mRoot->mParent != nullptr) {
            mRoot = AsNode(mRoot->mParent);
        }
    }
};

}  // namespace System::Collections
