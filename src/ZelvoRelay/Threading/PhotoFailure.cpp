#include "ZelvoRelay/Threading/PhotoFailure.h"

#include <cstddef>

namespace ZelvoRelay::Threading {

const char* DescribePhotoFailure(PhotoFailure failure) {
    // In the order of the enumeration.
    static const char* const kTexts[] = {
        "",
        "discarded, as the stop was asked again",
        "not a photo",
        "not a PNG or JPEG that can be decoded",
        "too large, over 50 million pixels",
        "out of memory",
        "no preview can be made at the configured preview size",
        "its file could not be written",
        "its preview could not be written",
    };
    return kTexts[static_cast<size_t>(failure)];
}

}  // namespace ZelvoRelay::Threading
