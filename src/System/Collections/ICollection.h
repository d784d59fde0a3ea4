#pragma once

#include <cstdint>

#include "System/Object.h"

namespace System::Collections {

// What every container of the library offers: adding, removing and finding one
// element, emptying, counting. Equality is the element type's operator==.
template <typename T>
class ICollection : public Object {
  public:
    ~ICollection() override = default;

    // Stores a copy of item.
    virtual void Add(const T& item) = 0;
    // Removes every element.
    virtual void Clear() = 0;
    // True when an element equal to item is held.
    [[nodiscard]] virtual bool Contains(const T& item) const = 0;
    // The number of elements held.
    [[nodiscard]] virtual uint32_t Count() const = 0;
    // Removes the first element equal to item; false when there is none.
    virtual bool Remove(const T& item) = 0;
};

}  // namespace System::Collections
