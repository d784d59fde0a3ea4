#pragma once

#include "System/Resource/Filters/Filter.h"
#include "System/Resource/Image.h"

#include <cstdint>

namespace System::Resource::Filters {

// Resizing: whole halving (or doubling) stages until the remaining factor per axis is
// within one half and two, then Catmull-Rom bicubic interpolation to the exact size.
class FilterResize : public Filter {
  public:
    using Filter::ApplyFilter;

    // A new width x height image in the source's channel count; the source is never
    // changed. Samples of two bytes are taken at their high byte first, so the result
    // always has one byte per sample (the resize works on bytes; without this a 16-bit
    // picture would be resized as noise). Empty when the source is empty or not 1 to 4
    // channels of one or two bytes, when width or height is 0 (the staging would
    // otherwise never end), and when the size is one Image refuses.
    Image ApplyFilter(const Image& image, uint32_t width, uint32_t height) const;

    // The Catmull-Rom value at t from sample p1 towards p2:
    // 0.5 (2 p1 + (p2 - p0) t + (2 p0 - 5 p1 + 4 p2 - p3) t^2 + (3 p1 - p0 - 3 p2 + p3) t^3).
    static double CubicFilter(double t, double p0, double p1, double p2, double p3);
};

}  // namespace System::Resource::Filters
