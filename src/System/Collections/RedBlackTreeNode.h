#pragma once

#include <cstdint>

#include "System/Collections/TreeNode.h"

namespace System::Collections {

// A node of RedBlackTree: a tree node with a colour whose mChildren always holds
// exactly two entries, the left child (0) and the right child (1), each null when
// absent.
template <typename T>
class RedBlackTreeNode : public TreeNode<T> {
  public:
    static constexpr int32_t Black = 0;
    static constexpr int32_t Red = 1;

    ~RedBlackTreeNode() override = default;

    int32_t mColor{Black};  // Red or Black
};

}  // namespace System::Collections
