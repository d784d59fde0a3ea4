#include "ZelvoRelay/Threading/PhotoFailure.h"

namespace ZelvoRelay::Threading {

const char* DescribePhotoFailure(PhotoFailure failure) {
    switch (failure) {
        case PhotoFailure::None:
            break;
        case PhotoFailure::Discarded:
            return "discarded, as the stop was asked again";
        case PhotoFailure::NotAPhoto:
            return "not a photo";
        case PhotoFailure::Undecodable:
            return "not a PNG or JPEG that can be decoded";
        case PhotoFailure::TooLarge:
            return "too large, over 50 million pixels";
        case PhotoFailure::NoMemory:
            return "out of memory";
        case PhotoFailure::PreviewSize:
            return "no preview can be made at the configured preview size";
        case PhotoFailure::PhotoNotWritten:
            return "its file could not be written";
        case PhotoFailure::PreviewNotWritten:
            return "its preview could not be written";
    }
    return "";
}

}  // namespace ZelvoRelay::Threading
