#pragma once

#include "System/Math/Matrix.h"
#include "System/Object.h"
#include "System/Resource/Image.h"

#include <cstdint>

namespace System::Resource::Filters {

// The base of the image filters, with a general convolution by a kernel matrix. The
// filters work on images of 1 to 4 channels of one byte each.
class Filter : public Object {
  public:
    Filter() = default;
    ~Filter() override = default;

    // 0 below 0 (and for NaN), 255 above 255, otherwise value truncated toward zero.
    static uint8_t Clip(double value);
    // Sets sums[c], for each channel c, to the sum over the kernel's elements (r, c')
    // of the element times the sample at column x - (columns - 1) / 2 + c' and row
    // y - (rows - 1) / 2 + r, each clamped to the image: the kernel is applied
    // unflipped, and pixels past an edge repeat the edge. REQUIRES: image has 1 to 4
    // channels of one byte and (x, y) lies in it; sums has one element per channel.
    static void FilterPixel(int x, int y, const Image& image, const Math::Matrix& kernel,
                            double* sums);
    // A new image of image's size and format whose samples are Clip of FilterPixel's
    // sums; empty when image is empty or not 1 to 4 channels of one byte.
    virtual Image ApplyFilter(const Image& image, const Math::Matrix& kernel) const;

  protected:
    // True for a non-empty image of 1 to 4 channels of one byte each.
    static bool IsSupported(const Image& image);
};

}  // namespace System::Resource::Filters
