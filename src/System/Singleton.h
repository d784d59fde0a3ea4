#pragma once

#include "System/Object.h"

namespace System {

// Holds the one instance of T, created with T's default constructor on first use.
// T does not derive from Singleton; each singleton class offers a static
// T::Instance() that returns Singleton<T>::Instance().
//
// REQUIRES: the first Instance() call for each T happens before any other thread
// that uses it starts; there is no lock.
template <typename T>
class Singleton : public Object {
  public:
    // The instance, created on the first call.
    static T* Instance() {
        if (mObject == nullptr) {
            mObject = new T();
        }
        return mObject;
    }

    // Deletes the instance, if there is one. A later Instance() builds a new one
    // instead of handing out the deleted object.
    static void Destroy() {
        delete mObject;
        mObject = nullptr;
    }

  private:
    // The instance; null until the first Instance() and after Destroy().
    static inline T* mObject{nullptr};
};

}  // namespace System
