#pragma once

#include "System/Object.h"

namespace System::Collections {

// A comparer built for one search: it holds the value sought and places one item
// against it. It must order items as the searched collection does.
template <typename E>
class ICompare : public Object {
  public:
    // Negative when item lies before the value sought, 0 when it is the one sought,
    // positive when it lies after.
    virtual int Compare(E item) const = 0;
};

}  // namespace System::Collections
