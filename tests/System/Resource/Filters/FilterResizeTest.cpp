#include "System/Resource/Filters/FilterResize.h"

#include "System/Math/Matrix.h"
#include "support/Pixels.h"
#include "support/Process.h"
#include "support/Text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace System::Resource::Filters {
namespace {

// An image of noise, so that the cubic step overshoots and clipping is exercised.
Image Noise(uint32_t width, uint32_t height, uint32_t channels, uint32_t seed) {
    Image image;
    image.Create(width, height, channels, 8 * channels);
    for (uint32_t i = 0; i < image.GetSize(); ++i) {
        seed = seed * 1103515245 + 12345;
        image.GetImage()[i] = static_cast<unsigned char>(seed >> 16);
    }
    return image;
}

std::string Bytes(const Image& image) {
    return std::string(reinterpret_cast<const char*>(image.GetImage()), image.GetSize());
}

// The resize as described, written independently: halvings or doublings per axis
// until within a factor of two, then Catmull-Rom at pixel centres with 0 outside.
// Each input line: width, height, channels, new width, new height, pixels in hex.
const char* const PythonResize = R"(
import sys
def cubic(t, p0, p1, p2, p3):
    return 0.5 * (2 * p1 + (p2 - p0) * t + (2 * p0 - 5 * p1 + 4 * p2 - p3) * t * t + (3 * p1 - p0 - 3 * p2 + p3) * t * t * t)
def clip(v):
    return 0 if v < 0 else 255 if v > 255 else int(v)
def stages(size, target):
    count, u = 0, size
    while target / size < 0.5 and target < u:
        u //= 2
        count += target < u
    while target / size > 2 and u < target:
        u *= 2
        count -= u < target
    return count
def at(img, x, y, c):
    w, h, ch, px = img
    return px[(y * w + x) * ch + c] if 0 <= x < w and 0 <= y < h else 0
def make(w, h, ch, f):
    return (w, h, ch, [f(x, y, c) for y in range(h) for x in range(w) for c in range(ch)])
def halve(img, fx, fy):
    w, h, ch, _ = img
    return make(w // fx, h // fy, ch, lambda x, y, c: sum(at(img, fx * x + i, fy * y + j, c) for i in range(fx) for j in range(fy)) // (fx * fy))
def double(img, fx, fy):
    w, h, ch, _ = img
    return make(w * fx, h * fy, ch, lambda x, y, c: at(img, x // fx, y // fy, c))
def bicubic(img, W, H):
    w, h, ch, _ = img
    def value(i, j, c):
        fy, fx = (j + 0.5) * (h / H) - 0.5, (i + 0.5) * (w / W) - 0.5
        iy, ix = int(fy), int(fx)
        r = [cubic(fx - ix, *(at(img, ix + k, iy + d, c) for k in (-1, 0, 1, 2))) for d in (-1, 0, 1, 2)]
        return clip(cubic(fy - iy, *r))
    return make(W, H, ch, value)
for line in sys.stdin:
    w, h, ch, W, H, data = line.split()
    w, h, ch, W, H = int(w), int(h), int(ch), int(W), int(H)
    img = (w, h, ch, list(bytes.fromhex(data)))
    cx, cy = stages(w, W), stages(h, H)
    while cx > 0 or cy > 0:
        img = halve(img, 2 if cx > 0 else 1, 2 if cy > 0 else 1)
        cx, cy = cx - (cx > 0), cy - (cy > 0)
    while cx < 0 or cy < 0:
        img = double(img, 2 if cx < 0 else 1, 2 if cy < 0 else 1)
        cx, cy = cx + (cx < 0), cy + (cy < 0)
    if (img[0], img[1]) != (W, H):
        img = bicubic(img, W, H)
    print(img[0], img[1], bytes(img[3]).hex())
)";

TEST(FilterResize, MatchesAnIndependentReferenceOfTheStagesAndTheCubicStep) {
    // Width, height, channels, new width, new height: one halving then the cubic step
    // at one half; the cubic step alone, sampling before the first pixel; below one
    // half without a stage; two doublings across and one down; halvings across and a
    // doubling down; halvings across only, an odd width dropping its last column; the
    // same size (a copy); exactly one half without a stage.
    const uint32_t resizes[][5] = {{64, 48, 3, 16, 12}, {40, 40, 1, 60, 60}, {7, 5, 4, 3, 2},
                                   {20, 10, 3, 90, 35}, {64, 8, 2, 10, 20},  {30, 20, 1, 5, 20},
                                   {33, 17, 3, 33, 17}, {40, 30, 3, 20, 15}};
    std::vector<std::string> input, results;
    for (const auto& r : resizes) {
        const Image source = Noise(r[0], r[1], r[2], r[0] * r[1]);
        const Image result = FilterResize().ApplyFilter(source, r[3], r[4]);
        input.push_back(std::to_string(r[0]) + " " + std::to_string(r[1]) + " " +
                        std::to_string(r[2]) + " " + std::to_string(r[3]) + " " +
                        std::to_string(r[4]) + " " + TestSupport::LowerHex(Bytes(source)));
        results.push_back(std::to_string(result.GetWidth()) + " " +
                          std::to_string(result.GetHeight()) + " " + Bytes(result));
    }
    const auto lines = TestSupport::PythonLines(PythonResize, input);
    ASSERT_EQ(lines.size(), std::size(resizes));
    for (size_t i = 0; i < lines.size(); ++i) {
        const size_t size = lines[i].rfind(' ') + 1;
        EXPECT_EQ(results[i].substr(0, size), lines[i].substr(0, size));
        EXPECT_LE(TestSupport::MaxDifference(results[i].substr(size),
                                             TestSupport::FromHex(lines[i].substr(size))),
                  1)
            << i;
    }
}

TEST(FilterResize, ZeroAndOversizedTargetsGiveAnEmptyImage) {
    const Image source = Noise(8, 6, 3, 5);
    const FilterResize resize;
    for (const auto& [width, height] :
         {std::pair{0u, 6u}, {8u, 0u}, {10000u, 5001u}, {65536u, 65536u}}) {
        EXPECT_EQ(resize.ApplyFilter(source, width, height).GetImage(), nullptr) << width;
    }
    EXPECT_EQ(resize.ApplyFilter(Image(), 4, 4).GetImage(), nullptr);
}

TEST(FilterResize, SixteenBitSamplesAreResizedByTheirHighByte) {
    const Image eight = Noise(6, 4, 3, 9);
    Image sixteen;
    sixteen.Create(6, 4, 3, 48);
    for (uint32_t i = 0; i < eight.GetSize(); ++i) {
        sixteen.GetImage()[2 * i] = eight.GetImage()[i];
        sixteen.GetImage()[2 * i + 1] = static_cast<unsigned char>(255 - i);
    }
    for (const auto& [width, height] : {std::pair{6u, 4u}, {2u, 3u}}) {
        const Image expected = FilterResize().ApplyFilter(eight, width, height);
        const Image result = FilterResize().ApplyFilter(sixteen, width, height);
        EXPECT_EQ(result.GetBitsPerPixel(), 24u);
        EXPECT_EQ(Bytes(result), Bytes(expected)) << width;
    }
}

TEST(Filter, ConvolutionIsAnUnflippedCorrelationClampedAtTheEdges) {
    // The kernel's only weight, 1.5, at its top left reads the pixel one up and one left
    // of the centre; past an edge the edge repeats.
    Math::Matrix kernel(3, 3);
    kernel.SetValue(1, 1, 0.0);
    kernel.SetValue(2, 2, 0.0);
    kernel.SetValue(0, 0, 1.5);
    const Image source = Noise(5, 4, 2, 3);
    const Image result = Filter().ApplyFilter(source, kernel);
    for (uint32_t i = 0; i < 40; ++i) {
        const uint32_t x = i / 2 % 5, y = i / 10;
        const int up = source.GetPixel(x == 0 ? 0 : x - 1, y == 0 ? 0 : y - 1)[i % 2];
        EXPECT_EQ(result.GetImage()[i], std::min(255, up * 3 / 2)) << i;
    }
}

}  // namespace
}  // namespace System::Resource::Filters
