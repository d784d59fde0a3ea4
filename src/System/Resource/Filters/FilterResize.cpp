#include "System/Resource/Filters/FilterResize.h"

#include <cstdint>
#include <utility>

namespace System::Resource::Filters {

namespace {

// The halvings (a positive count) or doublings (negative) that take an axis of from
// pixels to within a factor of two of to pixels: 1000 -> 100 halves three times (to
// 125), 100 -> 1000 doubles three times (to 800). REQUIRES: from and to above 0.
int StageCount(uint32_t from, uint32_t to) {
    const double scale = static_cast<double>(to) / from;
    int count = 0;
    if (scale < 0.5) {
        for (uint64_t u = from; to < u;) {
            u /= 2;
            if (to < u) {
                ++count;
            }
        }
    } else if (scale > 2.0) {
        for (uint64_t u = from; u < to;) {
            u *= 2;
            if (u < to) {
                --count;
            }
        }
    }
    return count;
}

// A copy of an image of two-byte samples holding the high byte of each, which is the
// first as samples are stored big-endian.
Image HighBytes(const Image& image) {
    Image result;
    result.Create(image.GetWidth(), image.GetHeight(), image.GetNumChannel(),
                  image.GetBitsPerPixel() / 2);
    const size_t samples = result.GetSize();
    for (size_t i = 0; i < samples; ++i) {
        result.GetImage()[i] = image.GetImage()[2 * i];
    }
    return result;
}

// One halving stage along the axes asked for: each new pixel is the integer mean of
// the 2 (or 2 x 2) source pixels it covers; an odd size drops its last column or row.
Image Halve(const Image& image, bool alongX, bool alongY) {
    const uint32_t fx = alongX ? 2 : 1;
    const uint32_t fy = alongY ? 2 : 1;
    const uint32_t channels = image.GetNumChannel();
    Image result;
    result.Create(image.GetWidth() / fx, image.GetHeight() / fy, channels, image.GetBitsPerPixel());
    // Rows are walked through pointers: a stage of a large photo touches tens of millions
    // of samples.
    const size_t rowBytes = size_t{image.GetWidth()} * channels;
    for (uint32_t j = 0; j < result.GetHeight(); ++j) {
        const unsigned char* source = image.GetPixel(0, fy * j);
        unsigned char* out = result.GetPixel(0, j);
        for (uint32_t i = 0; i < result.GetWidth(); ++i) {
            for (uint32_t c = 0; c < channels; ++c) {
                uint32_t sum = 0;
                for (uint32_t dy = 0; dy < fy; ++dy) {
                    for (uint32_t dx = 0; dx < fx; ++dx) {
                        sum += source[dy * rowBytes + (fx * i + dx) * channels + c];
                    }
                }
                *out++ = static_cast<unsigned char>(sum / (fx * fy));
            }
        }
    }
    return result;
}

// One doubling stage along the axes asked for: each source pixel fills the 2 (or
// 2 x 2) pixels it covers.
Image Double(const Image& image, bool alongX, bool alongY) {
    const uint32_t fx = alongX ? 2 : 1;
    const uint32_t fy = alongY ? 2 : 1;
    Image result;
    result.Create(image.GetWidth() * fx, image.GetHeight() * fy, image.GetNumChannel(),
                  image.GetBitsPerPixel());
    for (uint32_t j = 0; j < result.GetHeight(); ++j) {
        for (uint32_t i = 0; i < result.GetWidth(); ++i) {
            result.SetPixel(i, j, image.GetPixel(i / fx, j / fy));
        }
    }
    return result;
}

// Bicubic interpolation of image to width x height, sampling at pixel centres; pixels
// outside the image count as 0.
Image Bicubic(const Image& image, uint32_t width, uint32_t height) {
    const uint32_t channels = image.GetNumChannel();
    Image result;
    result.Create(width, height, channels, image.GetBitsPerPixel());
    if (result.GetImage() == nullptr) {
        return result;
    }
    const auto sample = [&image](int64_t x, int64_t y, uint32_t channel) -> double {
        if (x < 0 || y < 0 || x >= image.GetWidth() || y >= image.GetHeight()) {
            return 0.0;
        }
        return image.GetPixel(static_cast<uint32_t>(x), static_cast<uint32_t>(y))[channel];
    };
    const double scaleX = static_cast<double>(image.GetWidth()) / width;
    const double scaleY = static_cast<double>(image.GetHeight()) / height;
    for (uint32_t j = 0; j < height; ++j) {
        const double fy = (j + 0.5) * scaleY - 0.5;
        // Truncated toward zero, so the fraction is negative just inside the first row.
        const auto iy = static_cast<int64_t>(fy);
        const double ty = fy - static_cast<double>(iy);
        for (uint32_t i = 0; i < width; ++i) {
            const double fx = (i + 0.5) * scaleX - 0.5;
            const auto ix = static_cast<int64_t>(fx);
            const double tx = fx - static_cast<double>(ix);
            unsigned char* pixel = result.GetPixel(i, j);
            for (uint32_t c = 0; c < channels; ++c) {
                double rows[4];
                for (int k = 0; k < 4; ++k) {
                    const int64_t y = iy - 1 + k;
                    rows[k] = FilterResize::CubicFilter(tx, sample(ix - 1, y, c), sample(ix, y, c),
                                                        sample(ix + 1, y, c), sample(ix + 2, y, c));
                }
                pixel[c] =
                    Filter::Clip(FilterResize::CubicFilter(ty, rows[0], rows[1], rows[2], rows[3]));
            }
        }
    }
    return result;
}

}  // namespace

double FilterResize::CubicFilter(double t, double p0, double p1, double p2, double p3) {
    return 0.5 * (2 * p1 + (p2 - p0) * t + (2 * p0 - 5 * p1 + 4 * p2 - p3) * t * t +
                  (3 * p1 - p0 - 3 * p2 + p3) * t * t * t);
}

Image FilterResize::ApplyFilter(const Image& image, uint32_t width, uint32_t height) const {
    const uint32_t channels = image.GetNumChannel();
    // A target Image refuses is refused before any stage is made towards it.
    if (image.GetImage() == nullptr || !Image::IsAllowedSize(width, height, channels)) {
        return Image();
    }
    // The latest intermediate image; current points at it, or at the caller's image
    // while there is none.
    Image work;
    const Image* current = &image;
    const auto advance = [&work, &current](Image next) {
        work = std::move(next);
        current = &work;
        return work.GetImage() != nullptr;
    };
    if (channels >= 1 && channels <= 4 && image.GetBitsPerPixel() == 16 * channels &&
        !advance(HighBytes(image))) {
        return Image();
    }
    if (!IsSupported(*current)) {
        return Image();
    }
    int countX = StageCount(current->GetWidth(), width);
    int countY = StageCount(current->GetHeight(), height);
    while (countX > 0 || countY > 0) {
        if (!advance(Halve(*current, countX > 0, countY > 0))) {
            return Image();
        }
        countX -= countX > 0 ? 1 : 0;
        countY -= countY > 0 ? 1 : 0;
    }
    while (countX < 0 || countY < 0) {
        if (!advance(Double(*current, countX < 0, countY < 0))) {
            return Image();
        }
        countX += countX < 0 ? 1 : 0;
        countY += countY < 0 ? 1 : 0;
    }
    if (current->GetWidth() == width && current->GetHeight() == height) {
        return current == &image ? Image(image) : std::move(work);
    }
    return Bicubic(*current, width, height);
}

}  // namespace System::Resource::Filters
