#pragma once

#include <tuple>

#include "System/IDelegate.h"

namespace System {

// A delegate that calls one member function on one object of class T. Arguments
// are passed on exactly as received: references stay references. A virtual member
// function runs the override of the target's dynamic class. The target is not owned.
template <class T, class A1 = EventParam::null, class A2 = EventParam::null,
          class A3 = EventParam::null, class A4 = EventParam::null, class A5 = EventParam::null>
class CDelegate : public IDelegate<A1, A2, A3, A4, A5> {
    static constexpr int kArity = IDelegate<A1, A2, A3, A4, A5>::kArity;

  public:
    // The member function type for the delegate's arity.
    using Method = std::tuple_element_t<
        kArity,
        std::tuple<void (T::*)(), void (T::*)(A1), void (T::*)(A1, A2), void (T::*)(A1, A2, A3),
                   void (T::*)(A1, A2, A3, A4), void (T::*)(A1, A2, A3, A4, A5)>>;

    // REQUIRES: target is not null and outlives the delegate's subscriptions.
    CDelegate(T* target, Method method) : mTarget(target), mMethod(method) {}

    void Execute() override {
        if constexpr (kArity == 0) {
            (mTarget->*mMethod)();
        }
    }
    void Execute([[maybe_unused]] A1 a1) override {
        if constexpr (kArity == 1) {
            (mTarget->*mMethod)(a1);
        }
    }
    void Execute([[maybe_unused]] A1 a1, [[maybe_unused]] A2 a2) override {
        if constexpr (kArity == 2) {
            (mTarget->*mMethod)(a1, a2);
        }
    }
    void Execute([[maybe_unused]] A1 a1, [[maybe_unused]] A2 a2, [[maybe_unused]] A3 a3) override {
        if constexpr (kArity == 3) {
            (mTarget->*mMethod)(a1, a2, a3);
        }
    }
    void Execute([[maybe_unused]] A1 a1, [[maybe_unused]] A2 a2, [[maybe_unused]] A3 a3,
                 [[maybe_unused]] A4 a4) override {
        if constexpr (kArity == 4) {
            (mTarget->*mMethod)(a1, a2, a3, a4);
        }
    }
    void Execute([[maybe_unused]] A1 a1, [[maybe_unused]] A2 a2, [[maybe_unused]] A3 a3,
                 [[maybe_unused]] A4 a4, [[maybe_unused]] A5 a5) override {
        if constexpr (kArity == 5) {
            (mTarget->*mMethod)(a1, a2, a3, a4, a5);
        }
    }

  private:
    T* mTarget;      // the bound object
    Method mMethod;  // the bound member function
};

}  // namespace System
