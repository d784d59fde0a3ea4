#pragma once

#include <cstdint>
#include <deque>
#include <memory>

#include "System/Collections/ICompare.h"
#include "System/Collections/IList.h"

namespace System::Collections {

template <typename T>
class BVector;

// Pointers to items kept in ascending order of the items (T's operator< and
// operator>; items for which neither holds are equal), found by bisection. The
// vector stores the addresses of the items it is given and never copies, owns or
// deletes them. Adding or removing at either end costs the same whatever the count.
//
// REQUIRES: external synchronization when shared between threads.
template <typename T>
class BVector<T*> : public IList<T> {
  public:
    BVector() = default;
    // With replaceEqual, adding an item equal to a stored one overwrites that pointer.
    explicit BVector(bool replaceEqual) : mReplaceEqual(replaceEqual) {}

    void Add(const T& item) override { AddSorted(item); }

    // Stores item's address at its sorted place and returns that place: after the
    // last item when item is greater than it, otherwise in front of the equal item
    // the bisection meets, or over it with replaceEqual.
    uint32_t AddSorted(const T& item) {
        T* const address = const_cast<T*>(std::addressof(item));
        const int32_t n = static_cast<int32_t>(Count());
        if (n == 0 || item > *mItems[n - 1]) {
            mItems.push_back(address);
            return n;
        }
        // hi starts at the count, not at n - 1: that decides where an item lands
        // among equal ones.
        int32_t lo = 0;
        int32_t hi = n;
        int32_t position = n;
        while (lo <= hi) {
            const int32_t mid = (lo + hi) / 2;
            // Only an ordering where item > last and last < item disagree reaches
            // the count; reading there would be past the last pointer.
            if (mid == n) {
                break;
            }
            const T& stored = *mItems[mid];
            if (stored < item) {
                lo = mid + 1;
                position = mid + 1;
            } else if (stored > item) {
                hi = mid - 1;
                position = mid;
            } else {
                if (mReplaceEqual) {
                    mItems[mid] = address;
                    return mid;
                }
                position = mid;
                break;
            }
        }
        mItems.insert(mItems.begin() + position, address);
        return position;
    }

    // Forgets every pointer and frees the storage.
    void Clear() override { std::deque<T*>().swap(mItems); }

    [[nodiscard]] bool Contains(const T& item) const override { return IndexOf(item) != -1; }

    [[nodiscard]] uint32_t Count() const override { return static_cast<uint32_t>(mItems.size()); }

    bool Remove(const T& item) override {
        const int32_t index = IndexOf(item);
        if (index == -1) {
            return false;
        }
        RemoveAt(static_cast<uint32_t>(index));
        return true;
    }

    // The item at index. REQUIRES: index < Count().
    T& operator[](uint32_t index) override { return *mItems[index]; }
    const T& operator[](uint32_t index) const override { return *mItems[index]; }

    // The position of a stored item equal to item, or -1.
    [[nodiscard]] int32_t IndexOf(const T& item) const override {
        return Bisect([&item](const T* stored) {
            return *stored < item ? -1 : *stored > item ? 1 : 0;
        });
    }

    // Does nothing: only Add places items, so the order cannot be broken.
    void Insert(uint32_t, const T&) override {}

    // Removes the pointer at index; an index at or beyond Count() is ignored.
    void RemoveAt(uint32_t index) override {
        if (index < Count()) {
            mItems.erase(mItems.begin() + index);
        }
    }

    // The stored item at which comparer returns 0, or null.
    [[nodiscard]] T* Find(const ICompare<T*>& comparer) const {
        const int32_t index = Bisect([&comparer](T* stored) { return comparer.Compare(stored); });
        return index == -1 ? nullptr : mItems[index];
    }

  private:
    // Bisects with compare(stored) < 0 meaning the one sought lies further on.
    template <typename Compare>
    int32_t Bisect(Compare compare) const {
        const int32_t n = static_cast<int32_t>(Count());
        int32_t lo = 0;
        int32_t hi = n;
        while (lo <= hi && lo < n) {
            const int32_t mid = (lo + hi) / 2;
            const int result = compare(mItems[mid]);
            if (result < 0) {
                lo = mid + 1;
            } else if (result > 0) {
                hi = mid - 1;
            } else {
                return mid;
            }
        }
        return -1;
    }

    // Ascending order of the pointed-to items. A double-ended queue, so that adding or
    // removing moves the items on the shorter side only: the first or the last goes at
    // once, whatever the count (the relay's clients leave mostly oldest or newest first).
    std::deque<T*> mItems;
    bool mReplaceEqual = false;  // Add overwrites an equal item instead of inserting
};

}  // namespace System::Collections
