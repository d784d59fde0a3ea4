#pragma once

#include <cerrno>

namespace System {

// What call returns once no signal cuts it short. A blocking call interrupted before it did
// anything fails with EINTR (a thread resumed after SIGSTOP, a signal some library handles);
// it is made again, with whatever it updated in place.
template <typename Call>
auto Uninterrupted(Call call) {
    for (;;) {
        const auto result = call();
        if (result != -1 || errno != EINTR) {
            return result;
        }
    }
}

}  // namespace System
