#pragma once

#include <typeinfo>

namespace System {

// Root of every class. Equality is identity unless a class says otherwise.
class Object {
public:
    Object() = default;
    virtual ~Object() = default;

    // True only when both references denote the same object.
    virtual bool operator==(const Object& other) const { return this == &other; }

    // The run-time type of the most-derived class.
    const std::type_info& GetType() const { return typeid(*this); }
};

}  // namespace System
