#include "System/IO/DescriptorLimit.h"

#include <dirent.h>
#include <sys/resource.h>

#include <cstdlib>
#include <limits>
#include <memory>

namespace System::IO {

namespace {

constexpr uint64_t kNoLimit = std::numeric_limits<uint64_t>::max();

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

}  // namespace

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

uint64_t DescriptorLimit::Soft() {
    // Read at every call rather than kept: the limit is the one in effect now, whoever
    // set it.
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return 0;
    }
    return limit.rlim_cur == RLIM_INFINITY ? kNoLimit : limit.rlim_cur;
}

bool DescriptorLimit::IsReserved(int descriptor) {
    const uint64_t limit = Soft();
    if (descriptor < 0 || limit == 0 || limit == kNoLimit) {
        return false;
    }
    return static_cast<uint64_t>(descriptor) + kReserve >= limit;
}

uint64_t DescriptorLimit::Spare() {
    const uint64_t limit = Soft();
    if (limit == kNoLimit) {
        return kNoLimit;
    }
    std::unique_ptr<DIR, DirCloser> listing(opendir("/proc/self/fd"));
    if (limit <= kReserve || listing == nullptr) {
        return 0;
    }
    // Only numbers below the reserve count: one above the limit (inherited, or left from
    // a higher limit) takes none of them. The listing's own descriptor is not counted.
    const uint64_t below = limit - kReserve;
    const int own = dirfd(listing.get());
    uint64_t open = 0;
    while (const dirent* entry = readdir(listing.get())) {
        char* end = nullptr;
        const unsigned long long number = std::strtoull(entry->d_name, &end, 10);
        if (end != entry->d_name && *end == '\0' && number < below &&
            number != static_cast<unsigned long long>(own)) {
            ++open;
        }
    }
    return below - open;
}

}  // namespace System::IO
