#include "support/Wait.h"

#include <thread>

namespace TestSupport {

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) {
            return condition();
        }
        std::this_thread::yield();
    }
    return true;
}

}  // namespace TestSupport
