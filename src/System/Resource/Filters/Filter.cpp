#include "System/Resource/Filters/Filter.h"

#include <algorithm>
#include <cstdint>

namespace System::Resource::Filters {

uint8_t Filter::Clip(double value) {
    if (value > 255.0) {
        return 255;
    }
    // Also catches NaN, whose conversion to an integer would be undefined.
    if (!(value >= 0.0)) {
        return 0;
    }
    return static_cast<uint8_t>(value);
}

bool Filter::IsSupported(const Image& image) {
    const uint32_t channels = image.GetNumChannel();
    return image.GetImage() != nullptr && channels >= 1 && channels <= 4 &&
           image.GetBitsPerPixel() == 8 * channels;
}

void Filter::FilterPixel(int x, int y, const Image& image, const Math::Matrix& kernel,
                         double* sums) {
    const uint32_t channels = image.GetNumChannel();
    std::fill(sums, sums + channels, 0.0);
    const int64_t rows = kernel.GetNumRows();
    const int64_t columns = kernel.GetNumColumns();
    const int64_t lastColumn = static_cast<int64_t>(image.GetWidth()) - 1;
    const int64_t lastRow = static_cast<int64_t>(image.GetHeight()) - 1;
    for (int64_t r = 0; r < rows; ++r) {
        const int64_t row = std::clamp<int64_t>(y - (rows - 1) / 2 + r, 0, lastRow);
        for (int64_t c = 0; c < columns; ++c) {
            const int64_t column = std::clamp<int64_t>(x - (columns - 1) / 2 + c, 0, lastColumn);
            const double weight =
                kernel.GetValue(static_cast<uint32_t>(r), static_cast<uint32_t>(c));
            const unsigned char* sample =
                image.GetPixel(static_cast<uint32_t>(column), static_cast<uint32_t>(row));
            for (uint32_t channel = 0; channel < channels; ++channel) {
                sums[channel] += weight * sample[channel];
            }
        }
    }
}

Image Filter::ApplyFilter(const Image& image, const Math::Matrix& kernel) const {
    Image result;
    if (!IsSupported(image)) {
        return result;
    }
    result.Create(image.GetWidth(), image.GetHeight(), image.GetNumChannel(),
                  image.GetBitsPerPixel());
    if (result.GetImage() == nullptr) {
        return result;
    }
    double sums[4];
    for (uint32_t y = 0; y < image.GetHeight(); ++y) {
        for (uint32_t x = 0; x < image.GetWidth(); ++x) {
            FilterPixel(static_cast<int>(x), static_cast<int>(y), image, kernel, sums);
            unsigned char* pixel = result.GetPixel(x, y);
            for (uint32_t channel = 0; channel < image.GetNumChannel(); ++channel) {
                pixel[channel] = Clip(sums[channel]);
            }
        }
    }
    return result;
}

}  // namespace System::Resource::Filters
