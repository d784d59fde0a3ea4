#include "System/IO/DescriptorLimit.h"

#include <sys/resource.h>

namespace System::IO {

uint64_t DescriptorLimit::Raise() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return 0;
    }
    if (limit.rlim_cur < limit.rlim_max) {
        const rlimit raised{limit.rlim_max, limit.rlim_max};
        if (setrlimit(RLIMIT_NOFILE, &raised) == 0) {
            limit = raised;
        }
    }
    return limit.rlim_cur;
}

bool DescriptorLimit::IsReserved(int descriptor) {
    // Read at every call rather than kept: the limit is the one in effect now, whoever
    // set it.
    rlimit limit{};
    if (descriptor < 0 || getrlimit(RLIMIT_NOFILE, &limit) != 0 ||
        limit.rlim_cur == RLIM_INFINITY) {
        return false;
    }
    return static_cast<uint64_t>(descriptor) + kReserve >= limit.rlim_cur;
}

}  // namespace System::IO
