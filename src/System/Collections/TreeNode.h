#pragma once

#include <cstdint>
#include <memory>

#include "System/Collections/ICollection.h"
#include "System/Collections/Vector.h"

namespace System::Collections {

// A tree node: one value, a link to its parent and any number of child links. The
// structure is public and walkers follow the links themselves. A node owns its children,
// so deleting a node deletes its whole subtree, depth first. Its collection operations
// work on the node and its direct children and find values by address, never by
// comparing them: T needs only a default constructor, copy assignment and a destructor.
// Never copied.
// REQUIRES: external synchronization when shared between threads.
template <typename T>
class TreeNode : public ICollection<T> {
  public:
    TreeNode() = default;
    TreeNode(const TreeNode&) = delete;
    TreeNode& operator=(const TreeNode&) = delete;
    ~TreeNode() override {
        mParent = nullptr;
        RemoveChildren();
    }

    // Appends a new child holding a copy of item.
    void Add(const T& item) override {
        auto* child = new TreeNode();
        child->mValue = item;
        child->mParent = this;
        mChildren.Add(child);
    }

    // Detaches the node from its parent's view and deletes its descendants; the value
    // stays, and a parent that lists this node keeps its entry.
    void Clear() override {
        mParent = nullptr;
        RemoveChildren();
    }

    // True when item is this node's own value object or a direct child's.
    [[nodiscard]] bool Contains(const T& item) const override {
        return std::addressof(item) == std::addressof(mValue) || ChildHolding(item) != -1;
    }

    // The number of nodes in the subtree rooted here, this node included.
    [[nodiscard]] uint32_t Count() const override { return Count(this); }

    [[nodiscard]] static uint32_t Count(const TreeNode* node) {
        uint32_t count = 1;
        for (uint32_t i = 0; i < node->mChildren.Count(); ++i) {
            if (node->mChildren[i] != nullptr) {
                count += Count(node->mChildren[i]);
            }
        }
        return count;
    }

    // Deletes the direct child whose value object is item, with its subtree. False for
    // any other item, this node's own value included.
    bool Remove(const T& item) override {
        const int32_t index = ChildHolding(item);
        if (index == -1) {
            return false;
        }
        delete mChildren[static_cast<uint32_t>(index)];
        mChildren.RemoveAt(static_cast<uint32_t>(index));
        return true;
    }

    // Deletes every child with its subtree and frees the children array.
    void RemoveChildren() {
        for (uint32_t i = 0; i < mChildren.Count(); ++i) {
            delete mChildren[i];
        }
        mChildren.Clear();
    }

    T mValue{};                   // the node's own copy of its value
    TreeNode* mParent{nullptr};   // the node whose mChildren holds this one; null at a root
    Vector<TreeNode*> mChildren;  // owned child links, in order; an entry may be null

  private:
    // The index of the first direct child whose value object is item, or -1.
    int32_t ChildHolding(const T& item) const {
        for (uint32_t i = 0; i < mChildren.Count(); ++i) {
            const TreeNode* child = mChildren[i];
            if (child != nullptr && std::addressof(child->mValue) == std::addressof(item)) {
                return static_cast<int32_t>(i);
            }
        }
        return -1;
    }
};

}  // namespace System::Collections
