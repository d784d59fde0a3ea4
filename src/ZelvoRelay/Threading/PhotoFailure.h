#pragma once

namespace ZelvoRelay::Threading {

// Why an accepted upload ended without becoming an item. DescribePhotoFailure follows
// the order of the values.
enum class PhotoFailure {
    None,
    Discarded,          // the stop was asked again before the photo was made
    NotAPhoto,          // its media type is not a photo's
    Undecodable,        // no PNG or JPEG the server decodes
    TooLarge,           // more pixels than an image may have
    NoMemory,           // memory ran out while it was made
    PreviewSize,        // the configured preview size allows no preview
    PhotoNotWritten,    // the photo's file could not be written whole
    PreviewNotWritten,  // its preview could not be written whole
};

// The reason as the log gives it.
const char* DescribePhotoFailure(PhotoFailure failure);

}  // namespace ZelvoRelay::Threading
