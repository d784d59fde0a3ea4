#pragma once

#include <algorithm>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace TestSupport {

// The names of the events a test saw, in order, with the thread each came on; any
// thread may record. What else an event brings, a subclass keeps in public fields
// guarded by mMutex: Set and Get them.
class EventLog {
  public:
    void Record(const std::string& name) {
        std::lock_guard<std::mutex> lock(mMutex);
        mNames.push_back(name);
        mThreads.push_back(std::this_thread::get_id());
    }
    std::vector<std::string> Names() const { return Get(mNames); }
    std::vector<std::thread::id> Threads() const { return Get(mThreads); }
    int Count(const std::string& name) const {
        const auto names = Names();
        return static_cast<int>(std::count(names.begin(), names.end(), name));
    }
    // The thread of the first event of that name.
    std::thread::id ThreadOf(const std::string& name) const {
        std::lock_guard<std::mutex> lock(mMutex);
        const auto at = std::find(mNames.begin(), mNames.end(), name);
        return at == mNames.end() ? std::thread::id() : mThreads[at - mNames.begin()];
    }

    template <typename T>
    T Get(const T& field) const {
        std::lock_guard<std::mutex> lock(mMutex);
        return field;
    }
    template <typename T>
    void Set(T& field, T value) {
        std::lock_guard<std::mutex> lock(mMutex);
        field = std::move(value);
    }

  protected:
    mutable std::mutex mMutex;

  private:
    std::vector<std::string> mNames;
    std::vector<std::thread::id> mThreads;
};

}  // namespace TestSupport
