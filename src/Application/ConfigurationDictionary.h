#pragma once

#include "System/Collections/ObservableDictionary.h"
#include "System/String.h"

#include <mutex>

namespace Application {

// The configuration dictionary: every configuration key and its text. Any thread may
// read and store; PropertyChanged(this dictionary, key) is raised after every store,
// also of an unchanged value, on the storing thread, with no lock of the dictionary's
// entries held, so handlers may read and store themselves.
class ConfigurationDictionary : private System::Collections::ObservableDictionary<System::String> {
  public:
    using ObservableDictionary::PropertyChanged;

    ConfigurationDictionary() = default;

    // Stores value under key (replacing the value of an existing entry), then raises
    // PropertyChanged.
    void Set(const System::String& key, const System::String& value);
    // A copy of the value stored under key, or the empty string.
    [[nodiscard]] System::String Get(const System::String& key) const;

  private:
    // Guards the entries. Last in the lock order: held for one lookup or store only.
    mutable std::mutex mLock;
    // Held while PropertyChanged is raised, so that raises from different threads
    // take turns (an event cannot be raised on two threads at once). Recursive, so
    // that a handler may store in turn. Taken before any lock the handlers take.
    std::recursive_mutex mRaiseLock;
};

}  // namespace Application
