#pragma once

#include "System/DelegateBase.h"
#include "System/EventParam.h"

namespace System {

// Something that can be called back with the parameters A1..A5 (the leading ones
// that are not EventParam::null) and that takes part in subscriptions. Every
// object is an Event or a CDelegate; the Execute forms of other arities than the
// object's own do nothing.
template <class A1 = EventParam::null, class A2 = EventParam::null, class A3 = EventParam::null,
          class A4 = EventParam::null, class A5 = EventParam::null>
class IDelegate : public DelegateBase {
  public:
    // How many parameters a call passes.
    static constexpr int kArity = EventParam::Arity<A1, A2, A3, A4, A5>::value;

    virtual void Execute() {}
    virtual void Execute(A1) {}
    virtual void Execute(A1, A2) {}
    virtual void Execute(A1, A2, A3) {}
    virtual void Execute(A1, A2, A3, A4) {}
    virtual void Execute(A1, A2, A3, A4, A5) {}

  protected:
    IDelegate() = default;
};

}  // namespace System
