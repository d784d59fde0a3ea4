#pragma once

#include <cstddef>
#include <functional>
#include <iterator>
#include <list>
#include <tuple>
#include <unordered_map>
#include <utility>

namespace System::Collections {

// A map that remembers at most a given number of keys: the key seen longest ago is
// forgotten to make room for a new one. Finding, adding and forgetting cost O(1), so a
// table kept per peer address costs bounded memory and time however many addresses come.
//
// REQUIRES: external synchronization.
template <class K, class V, class Hash = std::hash<K>>
class RecentMap {
  public:
    explicit RecentMap(size_t capacity) : mCapacity(capacity) {}
    RecentMap(const RecentMap&) = delete;
    RecentMap& operator=(const RecentMap&) = delete;

    // The value of key, made the one seen last, or null when key is not remembered.
    V* Touch(const K& key) {
        const auto found = mIndex.find(key);
        if (found == mIndex.end()) {
            return nullptr;
        }
        mEntries.splice(mEntries.end(), mEntries, found->second);
        return &found->second->second;
    }

    // The value of key, made the one seen last: a new value when key is not remembered,
    // in place of the value seen longest ago when the map is full, which is passed to
    // forget before it goes.
    template <class Forget>
    V& Seen(const K& key, Forget&& forget) {
        if (V* value = Touch(key)) {
            return *value;
        }
        if (mEntries.size() >= mCapacity && !mEntries.empty()) {
            forget(mEntries.front().second);
            mIndex.erase(mEntries.front().first);
            mEntries.pop_front();
        }
        mEntries.emplace_back(std::piecewise_construct, std::forward_as_tuple(key),
                              std::forward_as_tuple());
        mIndex.emplace(key, std::prev(mEntries.end()));
        return mEntries.back().second;
    }
    V& Seen(const K& key) {
        return Seen(key, [](V&) {});
    }

    // Calls visit with each value, the one seen longest ago first.
    template <class Visit>
    void ForEach(Visit&& visit) {
        for (auto& entry : mEntries) {
            visit(entry.second);
        }
    }

  private:
    using Entries = std::list<std::pair<K, V>>;

    size_t mCapacity;
    // The remembered keys and their values, the one seen longest ago first.
    Entries mEntries;
    // Each remembered key's place in mEntries.
    std::unordered_map<K, typename Entries::iterator, Hash> mIndex;
};

}  // namespace System::Collections
