#pragma once

#include <cstdint>
#include <memory>

#include "System/Collections/BVector.h"
#include "System/Collections/IObservableCollection.h"

namespace System::Collections {

template <typename T>
class BCollection;

// A BVector that raises CollectionChanged after every change: Add with the item and
// its position, RemoveAt (and Remove through it) with the item and its former
// position, Clear with Reset even when nothing was held. The items are not owned.
//
// REQUIRES: external synchronization when shared between threads; handlers then
// run with the owner's lock held.
template <typename T>
class BCollection<T*> : public IObservableCollection<T> {
  public:
    void Add(const T& item) override {
        const uint32_t position = mItems.AddSorted(item);
        this->CollectionChanged.Raise(this, CollectionChangedAction::Add,
                                      const_cast<T*>(std::addressof(item)), nullptr,
                                      static_cast<int>(position));
    }

    void Clear() override {
        mItems.Clear();
        this->CollectionChanged.Raise(this, CollectionChangedAction::Reset, nullptr, nullptr, 0);
    }

    [[nodiscard]] bool Contains(const T& item) const override { return mItems.Contains(item); }

    [[nodiscard]] uint32_t Count() const override { return mItems.Count(); }

    bool Remove(const T& item) override {
        const int32_t index = mItems.IndexOf(item);
        if (index == -1) {
            return false;
        }
        RemoveAt(static_cast<uint32_t>(index));
        return true;
    }

    // The item at index. REQUIRES: index < Count().
    T& operator[](uint32_t index) override { return mItems[index]; }
    const T& operator[](uint32_t index) const override { return mItems[index]; }

    [[nodiscard]] int32_t IndexOf(const T& item) const override { return mItems.IndexOf(item); }

    // Does nothing: the order is the collection's own.
    void Insert(uint32_t, const T&) override {}

    void RemoveAt(uint32_t index) override {
        if (index >= Count()) {
            return;
        }
        T* removed = std::addressof(mItems[index]);
        mItems.RemoveAt(index);
        this->CollectionChanged.Raise(this, CollectionChangedAction::Remove, nullptr, removed,
                                      static_cast<int>(index));
    }

    // The stored item at which comparer returns 0, or null.
    [[nodiscard]] T* Find(const ICompare<T*>& comparer) const { return mItems.Find(comparer); }

  private:
    BVector<T*> mItems;  // the items, in ascending order
};

}  // namespace System::Collections
