#pragma once

#include <cstdint>

#include "System/Collections/ICollection.h"

namespace System::Collections {

// A collection whose elements have positions 0 to Count() - 1.
template <typename T>
class IList : public ICollection<T> {
  public:
    ~IList() override = default;

    // The element at index. REQUIRES: index < Count().
    virtual T& operator[](uint32_t index) = 0;
    virtual const T& operator[](uint32_t index) const = 0;
    // The position of the first element equal to item, or -1.
    [[nodiscard]] virtual int32_t IndexOf(const T& item) const = 0;
    // Puts a copy of item at index; an index beyond the end appends.
    virtual void Insert(uint32_t index, const T& item) = 0;
    // Removes the element at index; an index at or beyond the end is ignored.
    virtual void RemoveAt(uint32_t index) = 0;
};

}  // namespace System::Collections
