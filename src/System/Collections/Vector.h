#pragma once

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <functional>
#include <memory>

#include "System/Collections/IList.h"

namespace System::Collections {

// Growable array holding its elements by value (or raw pointers, which it never
// deletes). Capacity doubles when full, starting at 2, and halves when a removal
// leaves it at least twice the count; the array is freed when the last element goes.
// Every slot of the array holds a constructed element: the slots past the count hold
// default-constructed elements or left-over copies. Elements are copy-assigned, so T
// needs a default constructor, copy assignment and operator== (identity for classes
// that inherit it from Object).
//
// References to elements stay valid until the next operation that reallocates.
// REQUIRES: external synchronization when shared between threads.
template <typename T>
class Vector : public IList<T> {
  public:
    Vector() = default;
    Vector(const Vector& other) : Vector() { *this = other; }
    ~Vector() override = default;

    // Deep copy keeping the source's capacity; an empty source leaves no array.
    Vector& operator=(const Vector& other) {
        if (this == &other) {
            return *this;
        }
        Clear();
        if (other.mCount == 0) {
            return *this;
        }
        mArray = std::make_unique<T[]>(other.mCapacity);
        mCapacity = other.mCapacity;
        mCount = other.mCount;
        for (uint32_t i = 0; i < mCount; ++i) {
            mArray[i] = other.mArray[i];
        }
        return *this;
    }

    // Two vectors are equal when their counts are equal and, unless both are empty,
    // they hold the very same array: distinct non-empty vectors never compare equal.
    bool operator==(const Vector& other) const {
        return mCount == other.mCount && (mCount == 0 || mArray == other.mArray);
    }
    using Object::operator==;

    void Add(const T& item) override { Insert(mCount, item); }

    // Sets count and capacity to 0 and frees the array.
    void Clear() override {
        mArray.reset();
        mCount = 0;
        mCapacity = 0;
    }

    [[nodiscard]] bool Contains(const T& item) const override { return IndexOf(item) != -1; }

    [[nodiscard]] uint32_t Count() const override { return mCount; }

    // The number of elements the array has room for; 0 exactly when there is no array.
    [[nodiscard]] uint32_t Capacity() const { return mCapacity; }

    bool Remove(const T& item) override {
        const int32_t index = IndexOf(item);
        if (index == -1) {
            return false;
        }
        RemoveAt(static_cast<uint32_t>(index));
        return true;
    }

    T& operator[](uint32_t index) override {
        assert(index < mCount);
        return mArray[index];
    }

    const T& operator[](uint32_t index) const override {
        assert(index < mCount);
        return mArray[index];
    }

    // Compares with the item on the left: item == element.
    [[nodiscard]] int32_t IndexOf(const T& item) const override {
        for (uint32_t i = 0; i < mCount; ++i) {
            if (item == mArray[i]) {
                return static_cast<int32_t>(i);
            }
        }
        return -1;
    }

    void Insert(uint32_t index, const T& item) override {
        if (Holds(item)) {
            // Growing frees the array and shifting overwrites slots, so an element of
            // this very vector is copied out first.
            T copy{};
            copy = item;
            Insert(index, copy);
            return;
        }
        if (mCount + 1 > mCapacity) {
            Resize(mCapacity * 2);
        }
        const uint32_t position = std::min(index, mCount);
        for (uint32_t i = mCount; i > position; --i) {
            mArray[i] = mArray[i - 1];
        }
        mArray[position] = item;
        ++mCount;
    }

    void RemoveAt(uint32_t index) override {
        if (index >= mCount) {
            return;
        }
        --mCount;
        if (mCount == 0) {
            Clear();
            return;
        }
        for (uint32_t i = index + 1; i <= mCount; ++i) {
            mArray[i - 1] = mArray[i];
        }
        if (mCapacity / mCount > 1) {
            Resize(mCapacity / 2);
        }
    }

    // Reallocates to capacity max(capacity, 2), keeping the first elements that fit.
    void Resize(uint32_t capacity) {
        capacity = std::max<uint32_t>(capacity, 2);
        mCount = std::min(mCount, capacity);
        auto array = std::make_unique<T[]>(capacity);
        for (uint32_t i = 0; i < mCount; ++i) {
            array[i] = mArray[i];
        }
        mArray = std::move(array);
        mCapacity = capacity;
    }

  private:
    // True when item is one of the slots of this vector's array.
    bool Holds(const T& item) const {
        const T* address = std::addressof(item);
        const std::less<const T*> before;
        return mArray && !before(address, mArray.get()) &&
               before(address, mArray.get() + mCapacity);
    }

    std::unique_ptr<T[]> mArray;  // mCapacity constructed elements; null when mCapacity is 0
    uint32_t mCount{0};           // elements in use, at the front of mArray
    uint32_t mCapacity{0};        // 0, or at least 2
};

}  // namespace System::Collections
