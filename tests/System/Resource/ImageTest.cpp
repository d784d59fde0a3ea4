#include "System/Resource/Image.h"

#include <gtest/gtest.h>

#include <string>

namespace System::Resource {
namespace {

std::string Bytes(const Image& image) {
    return std::string(reinterpret_cast<const char*>(image.GetImage()), image.GetSize());
}

TEST(Image, SizesAreCheckedInSixtyFourBitsBeforeAnythingIsAllocated) {
    EXPECT_TRUE(Image::IsAllowedSize(10000, 5000, 3));
    // 65536 x 65536 is 0 in 32 bits.
    for (const auto& [w, h, bytes] : {std::tuple{10000u, 5001u, 3u},
                                      {65536u, 65536u, 1u},
                                      {0u, 5u, 3u},
                                      {5u, 0u, 3u},
                                      {5u, 5u, 0u},
                                      {5u, 5u, 17u}}) {
        EXPECT_FALSE(Image::IsAllowedSize(w, h, bytes)) << w << " " << h << " " << bytes;
    }
    Image image;
    image.Create(4, 2, 3, 24);
    EXPECT_EQ(Bytes(image), std::string(24, '\0'));
    image.Create(65536, 65536, 3, 24);
    EXPECT_EQ(image.GetImage(), nullptr);
    EXPECT_EQ(image.GetWidth() + image.GetHeight() + image.GetNumChannel() +
                  image.GetBitsPerPixel() + image.GetBytesPerPixel(),
              0u);
    // An adopted array of a refused size is freed at once (ASan would report a leak).
    image.Copy(new unsigned char[4], 0, 4, 1, 8);
    EXPECT_EQ(image.GetImage(), nullptr);
}

TEST(Image, FractionalPositionsTruncateTowardZero) {
    Image image;
    image.Create(3, 1, 1, 8);
    EXPECT_EQ(image.GetPixel(3u, 0u), nullptr);
    EXPECT_EQ(image.GetPixel(0.999, 0.0), image.GetPixel(2u, 0u));
    EXPECT_EQ(image.GetPixel(-0.1, 0.0), image.GetPixel(0u, 0u));
    EXPECT_EQ(image.GetPixel(-0.5, 0.0), nullptr);
    EXPECT_EQ(image.GetPixel(0.5, 1.0), nullptr);
}

TEST(Image, BlockCopyPlacesTheBlockTopAtRowYFromTheTopAndCutsItAtTheEdges) {
    Image source;
    source.Create(3, 3, 1, 8);
    for (uint32_t i = 0; i < 9; ++i) {
        source.GetImage()[i] = static_cast<unsigned char>(10 * (i / 3) + i % 3);
    }
    Image target;
    target.Create(4, 4, 1, 8);
    // Source storage rows 1 and 2 from column 1 (cut at the source's edge) land on the
    // top two picture rows, storage rows 2 and 3, from column 1.
    target.Copy(source, 1, 0, 1, 1, 5, 2);
    std::string expected = std::string(8, '\0') + std::string("\0\x0b\x0c\0\0\x15\x16\0", 8);
    EXPECT_EQ(Bytes(target), expected);
    // Cut at the target's right edge, leaving the next row alone.
    target.Copy(source, 3, 2, 1, 2, 3, 1);
    expected[7] = 21;
    EXPECT_EQ(Bytes(target), expected);
    // A block reaching above the top, or of another format, copies nothing.
    target.Copy(source, 0, 2, 0, 0);
    Image colour;
    colour.Create(3, 3, 3, 24);
    target.Copy(colour);
    EXPECT_EQ(Bytes(target), expected);
}

TEST(Image, ConvertsChannelsAndSampleSizes) {
    Image image;
    const unsigned char rgb[3] = {10, 20, 40};
    image.Create(2, 1, 3, 24);
    image.Clear(rgb);
    image.ConvertChannels(1);
    image.ConvertChannels(4);
    EXPECT_EQ(Bytes(image), std::string("\x17\x17\x17\xff\x17\x17\x17\xff", 8));
    image.Create(rgb, 3, 1, 1, 8);
    image.ConvertBitsPerPixel(16);
    EXPECT_EQ(Bytes(image), std::string("\x0a\x0a\x14\x14\x28\x28", 6));
    image.GetImage()[1] = 0x09;
    image.ConvertBitsPerPixel(8);
    EXPECT_EQ(Bytes(image), std::string("\x09\x14\x28", 3));
}

}  // namespace
}  // namespace System::Resource
