#pragma once

#include "System/Property.h"
#include "System/String.h"
#include "System/Threading/Monitor.h"
#include "System/Threading/MonitorLock.h"

// A property that several threads assign and read: each assignment stores the value and
// raises Changed while holding the lock beside the value, and Get copies the value under
// it. Without the lock a reader could copy a string while another thread frees its buffer,
// and two threads raising Changed at once would corrupt the event's walk of its handlers.
//
// REQUIRES: a Changed handler reads the value through its argument, and neither assigns
// this property nor calls its Get (the lock is not recursive).
template <class T>
class SharedProperty : public System::Property<T> {
  public:
    explicit SharedProperty(const System::String& name = System::String())
        : System::Property<T>(name) {}
    SharedProperty(const SharedProperty&) = delete;
    SharedProperty& operator=(const SharedProperty&) = delete;

    // Stores value, then raises Changed with this property, as one step.
    SharedProperty& operator=(const T& value) {
        System::Threading::MonitorLock lock(mLock);
        this->mValue = value;
        this->Changed.Raise(*this);
        return *this;
    }

    // A copy of the current value.
    [[nodiscard]] T Get() const {
        System::Threading::MonitorLock lock(mLock);
        T value = this->mValue;
        return value;
    }

  private:
    // Guards mValue and the raising of Changed. In the lock order it comes after the
    // configuration dictionary's raise lock (a configuration notice may read a property)
    // and before its entry lock and the timers' lock (a property's notice may read the
    // configuration and start a timer); no notice assigns a configuration key.
    mutable System::Threading::Monitor mLock;
};
