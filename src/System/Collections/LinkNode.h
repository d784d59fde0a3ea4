#pragma once

#include "System/Object.h"

namespace System::Collections {

// A node of LinkList: the element, held by value, and the links to its neighbours.
// Deleting a node destroys its value only; a pointer value's target is not owned.
template <typename T>
class LinkNode : public Object {
  public:
    ~LinkNode() override = default;

    LinkNode* mPrev{nullptr};  // the node before this one; null at the head
    LinkNode* mNext{nullptr};  // the node after this one; null at the tail
    T mValue{};                // a copy of the item that was added
};

}  // namespace System::Collections
