#include "Admin/Storage/StoredMediaId.h"

#include <cstdlib>
#include <limits>

using System::String;

std::optional<uint32_t> StoredMediaId::Of(const String& text) {
    // Read through an int, every unsigned form above 2147483647 would be clamped to that
    // one id and those items would merge.
    const char* begin = text.CStr();
    char* end = nullptr;
    const long long value = std::strtoll(begin, &end, 10);
    // A number too long for strtoll comes back clamped, and out of range here too.
    if (end == begin || value < std::numeric_limits<int32_t>::min() ||
        value > std::numeric_limits<uint32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}
