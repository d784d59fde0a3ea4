#pragma once

#include "System/Event.h"
#include "System/Object.h"
#include "System/String.h"

namespace System {

// A named value that raises Changed after every assignment, also when the value
// is equal to the old one. Holders read mValue and mName directly.
//
// REQUIRES: external synchronization; a property is not assigned from two threads
// at once.
template <class T>
class Property : public Object {
  public:
    Property() = default;
    explicit Property(const String& name) : mName(name) {}

    // A copy holds the name and value, and a Changed event of its own without
    // subscribers.
    Property(const Property& other) : Object(), mName(other.mName), mValue(other.mValue) {}

    // Stores value, then raises Changed with this property; handlers see the new value.
    Property& operator=(const T& value) {
        mValue = value;
        Changed.Raise(*this);
        return *this;
    }

    String mName;  // fixed at construction; empty for an unnamed property
    T mValue{};    // the current value
    Event<const Property&> Changed;
};

}  // namespace System
