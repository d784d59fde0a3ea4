#pragma once

#include "System/Object.h"

namespace System::Collections {

// One entry of a Hash: a key and its value, both held by value. A pointer value's
// target is not owned.
template <typename K, typename V>
class KeyValue : public Object {
  public:
    KeyValue() = default;
    KeyValue(const K& key, const V& value) : mKey(key), mValue(value) {}
    ~KeyValue() override = default;

    K mKey{};
    V mValue{};
};

}  // namespace System::Collections
