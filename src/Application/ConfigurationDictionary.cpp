#include "Application/ConfigurationDictionary.h"

namespace Application {

void ConfigurationDictionary::Set(const System::String& key, const System::String& value) {
    std::lock_guard<std::recursive_mutex> raising(mRaiseLock);
    {
        std::lock_guard<std::mutex> lock(mLock);
        mHash.Set(key, value);
    }
    PropertyChanged.Raise(this, key);
}

System::String ConfigurationDictionary::Get(const System::String& key) const {
    // A copy made under the lock: a reference into a bucket would not survive another
    // thread's store growing that bucket.
    std::lock_guard<std::mutex> lock(mLock);
    return ObservableDictionary::Get(key);
}

}  // namespace Application
