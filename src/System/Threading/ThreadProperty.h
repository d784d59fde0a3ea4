#pragma once

#include "System/Property.h"
#include "System/Threading/Monitor.h"

namespace System::Threading {

// A property whose value is shared between threads under the monitor beside it.
// The property itself takes no lock: every thread that reads or changes the value,
// or calls an operation of the value object, holds mMonitor around the access, for
// the whole of a compound step (find then remove, walk then send). Reaching the
// value in place raises nothing; assigning through the property raises Changed.
template <typename T>
class ThreadProperty : public Property<T> {
  public:
    // An empty name and a default-constructed value.
    ThreadProperty() = default;
    ~ThreadProperty() override = default;

    ThreadProperty(const ThreadProperty&) = delete;
    ThreadProperty& operator=(const ThreadProperty&) = delete;

    using Property<T>::operator=;

    // Guards mValue. Its place in the lock order is set by the owner of the property.
    Monitor mMonitor;
};

}  // namespace System::Threading
