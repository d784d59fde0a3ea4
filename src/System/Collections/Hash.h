#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>

#include "System/Collections/KeyValue.h"
#include "System/Collections/Vector.h"
#include "System/Object.h"

namespace System::Collections {

// Map from keys to values with separate chaining: a number of buckets fixed at
// construction (never rehashed) and a hash function, both given by the owner. An entry
// lives in bucket hash(key) % bucket count; keys are equal by K's operator==. The table
// owns its entries (copies) but never what a pointer value points to.
// REQUIRES: external synchronization when written while other threads use it.
template <typename K, typename V>
class Hash : public Object {
  public:
    using Entry = KeyValue<K, V>;
    using HashFunction = uint32_t (*)(const K& key);

    // A table of bucketCount empty buckets.
    Hash(uint32_t bucketCount, HashFunction hashFunction) : mHashFunction(hashFunction) {
        // The bucket index divides by the count: a table without buckets would crash
        // on its first use, so it gets one.
        bucketCount = std::max<uint32_t>(bucketCount, 1);
        mBuckets.Resize(bucketCount);
        for (uint32_t i = 0; i < bucketCount; ++i) {
            mBuckets.Add(Bucket());
        }
    }
    ~Hash() override = default;

    // Stores value under key: replaces the value of an entry with an equal key in place,
    // or appends a new entry to the key's bucket. An overwritten pointer is not deleted.
    void Set(const K& key, const V& value) {
        Entry* entry = Find(key);
        if (entry != nullptr) {
            entry->mValue = value;
            return;
        }
        mBuckets[BucketIndex(key)].Add(Entry(key, value));
    }

    // The entry whose key equals key, or null. The pointer stays valid until the next
    // Set or Remove on the same bucket.
    [[nodiscard]] Entry* Find(const K& key) {
        return const_cast<Entry*>(std::as_const(*this).Find(key));
    }

    [[nodiscard]] const Entry* Find(const K& key) const {
        const Bucket& bucket = mBuckets[BucketIndex(key)];
        const int32_t index = IndexIn(bucket, key);
        return index == -1 ? nullptr : &bucket[static_cast<uint32_t>(index)];
    }

    // Removes the entry whose key equals key, if any. A pointer value is not deleted.
    void Remove(const K& key) {
        Bucket& bucket = mBuckets[BucketIndex(key)];
        const int32_t index = IndexIn(bucket, key);
        if (index != -1) {
            bucket.RemoveAt(static_cast<uint32_t>(index));
        }
    }

  private:
    using Bucket = Vector<Entry>;

    uint32_t BucketIndex(const K& key) const { return mHashFunction(key) % mBuckets.Count(); }

    // The position in bucket of the first entry whose key equals key, or -1.
    static int32_t IndexIn(const Bucket& bucket, const K& key) {
        for (uint32_t i = 0; i < bucket.Count(); ++i) {
            if (bucket[i].mKey == key) {
                return static_cast<int32_t>(i);
            }
        }
        return -1;
    }

    Vector<Bucket> mBuckets;     // one vector of entries per bucket; never resized
    HashFunction mHashFunction;  // maps a key to its 32-bit hash
};

}  // namespace System::Collections
