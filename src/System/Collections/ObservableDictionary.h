#pragma once

#include <cstdint>

#include "System/Collections/Hash.h"
#include "System/Collections/HashFunctions.h"
#include "System/ComponentModel/INotifyPropertyChanged.h"
#include "System/String.h"

namespace System::Collections {

// A string-keyed dictionary that raises PropertyChanged(this, key) after every
// store, also when the value is equal to the old one. Keys compare byte by byte;
// the empty key is a key like any other. Nothing is ever removed.
//
// REQUIRES: external synchronization. An owner that guards the dictionary with a
// lock but must not hold it while handlers run stores through mHash under the lock
// and raises PropertyChanged after releasing it.
template <typename T>
class ObservableDictionary : public ComponentModel::INotifyPropertyChanged {
  public:
    ObservableDictionary() : mHash(kBuckets, HashFunctions::StringHash) {}

    // Stores value under key, then raises PropertyChanged with this dictionary and key.
    void Set(const String& key, const T& value) {
        mHash.Set(key, value);
        PropertyChanged.Raise(this, key);
    }

    // A copy of the value stored under key, or a default T (the empty string).
    [[nodiscard]] T Get(const String& key) const {
        const auto* entry = mHash.Find(key);
        return entry != nullptr ? entry->mValue : T();
    }

    static constexpr uint32_t kBuckets = 64;

    Hash<String, T> mHash;  // the entries
};

}  // namespace System::Collections
