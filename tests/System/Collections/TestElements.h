#pragma once

#include "System/Object.h"

namespace TestElements {

// An element that compares by identity, as classes without an operator== of their own
// do (the relay's queued messages, the data formats' records).
struct Record : System::Object {
    int mId{0};
};

// Counts its destructions, to show that containers of pointers delete nothing.
struct Counted {
    explicit Counted(int* destroyed) : mDestroyed(destroyed) {}
    ~Counted() { ++*mDestroyed; }
    int* mDestroyed;
};

}  // namespace TestElements
