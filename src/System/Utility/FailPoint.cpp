#include "System/Utility/FailPoint.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

namespace System::Utility {

namespace {

// The step the environment names, and its passes still to come before the one that fails.
struct Named {
    std::string mName;
    std::atomic<int64_t> mPassesLeft{1};

    Named() {
        const char* text = std::getenv(FailPoint::kVariable);
        if (text == nullptr || *text == '\0') {
            return;
        }
        const char* colon = std::strchr(text, ':');
        mName.assign(text,
                     colon != nullptr ? static_cast<size_t>(colon - text) : std::strlen(text));
        if (colon != nullptr) {
            mPassesLeft = std::strtoll(colon + 1, nullptr, 10);
        }
    }
};

Named& TheNamed() {
    static Named named;
    return named;
}

}  // namespace

bool FailPoint::Armed() {
    static const bool armed = !TheNamed().mName.empty();
    return armed;
}

void FailPoint::CheckNamed(const char* name) {
    Named& named = TheNamed();
    if (named.mName == name && --named.mPassesLeft == 0) {
        throw std::bad_alloc();
    }
}

}  // namespace System::Utility
