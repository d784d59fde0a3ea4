#pragma once

#include <type_traits>

namespace System::EventParam {

// Fills the parameter positions of a delegate or event beyond its arity, so that
// Event<Client*> is Event<Client*, null, null, null, null>.
class null {};

// The number of parameters in use: the leading ones that are not null.
template <class A1, class A2, class A3, class A4, class A5>
struct Arity {
    static constexpr bool kUsed[5] = {!std::is_same_v<A1, null>, !std::is_same_v<A2, null>,
                                      !std::is_same_v<A3, null>, !std::is_same_v<A4, null>,
                                      !std::is_same_v<A5, null>};
    static_assert((kUsed[0] || !kUsed[1]) && (kUsed[1] || !kUsed[2]) && (kUsed[2] || !kUsed[3]) &&
                      (kUsed[3] || !kUsed[4]),
                  "EventParam::null may only fill the trailing parameter positions");
    static constexpr int value = kUsed[0] + kUsed[1] + kUsed[2] + kUsed[3] + kUsed[4];
};

}  // namespace System::EventParam
