#pragma once

#include <atomic>
#include <cstdint>
#include <utility>

#include "System/Object.h"

namespace System {

// Reference-counted owning pointer: every copy shares the object and one counter,
// and the last copy to go deletes the object through T's virtual destructor. The
// counter is atomic, so copies of one object may be made and dropped on different
// threads; the deletion runs on the thread whose release brings the count to 0.
//
// REQUIRES: one SmartPointer object (as opposed to the object it shares) is not
// changed by one thread while another thread uses it.
template <typename T>
class SmartPointer : public Object {
  public:
    // Empty: no object, no counter.
    SmartPointer() = default;

    // Takes ownership of object with a count of 1.
    explicit SmartPointer(T* object)
        : mPointer(object), mReferenceCount(new std::atomic<int32_t>(1)) {}

    // Shares other's object; nothing to count when other is empty.
    SmartPointer(const SmartPointer& other)
        : mPointer(other.mPointer), mReferenceCount(other.mReferenceCount) {
        Retain();
    }

    SmartPointer(SmartPointer&& other) noexcept
        : mPointer(std::exchange(other.mPointer, nullptr)),
          mReferenceCount(std::exchange(other.mReferenceCount, nullptr)) {}

    ~SmartPointer() override { Release(); }

    // Shares other's object after releasing this pointer's share. The source is
    // copied before the release: releasing first would delete the object when a
    // sole owner is assigned to itself (or to a copy that the object itself holds)
    // and then share freed memory.
    SmartPointer& operator=(const SmartPointer& other) { return *this = SmartPointer(other); }

    SmartPointer& operator=(SmartPointer&& other) noexcept {
        T* pointer = std::exchange(other.mPointer, nullptr);
        std::atomic<int32_t>* count = std::exchange(other.mReferenceCount, nullptr);
        Release();
        mPointer = pointer;
        mReferenceCount = count;
        return *this;
    }

    // The object, or null when empty.
    T* operator->() const { return mPointer; }
    // REQUIRES: not empty.
    T& operator*() const { return *mPointer; }
    [[nodiscard]] T* Get() const { return mPointer; }

    // Counts count more shares of the object at once, each to be taken by one copy made
    // with TakeReserved. Copies made one at a time each take the counter's cache line, which
    // the threads dropping earlier copies then take back in turn. Nothing when empty.
    void ReserveShares(int32_t count) const {
        if (mReferenceCount != nullptr && count > 0) {
            mReferenceCount->fetch_add(count, std::memory_order_relaxed);
        }
    }
    // A copy that holds one of the shares ReserveShares counted, counting none itself.
    // REQUIRES: a share reserved and not yet taken.
    [[nodiscard]] SmartPointer TakeReserved() const {
        SmartPointer copy;
        copy.mPointer = mPointer;
        copy.mReferenceCount = mReferenceCount;
        return copy;
    }

    // The number of smart pointers sharing the object; 0 when empty.
    [[nodiscard]] int32_t ReferenceCount() const {
        return mReferenceCount == nullptr ? 0 : mReferenceCount->load(std::memory_order_relaxed);
    }

  private:
    void Retain() {
        if (mReferenceCount != nullptr) {
            mReferenceCount->fetch_add(1, std::memory_order_relaxed);
        }
    }

    // Drops this pointer's share and leaves it empty; the last share deletes the
    // object. The decrement is acquire-release so that the deleting thread sees
    // every write the other owners made before they let go.
    void Release() {
        if (mReferenceCount != nullptr &&
            mReferenceCount->fetch_sub(1, std::memory_order_acq_rel) == 1) {
            delete mReferenceCount;
            delete mPointer;
        }
        mReferenceCount = nullptr;
        mPointer = nullptr;
    }

    // The shared object, or null.
    T* mPointer{nullptr};
    // The count shared by every copy; null exactly when this pointer is empty.
    std::atomic<int32_t>* mReferenceCount{nullptr};
};

}  // namespace System
