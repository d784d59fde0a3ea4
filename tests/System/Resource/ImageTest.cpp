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

}  // namespace
}  // namespace System::Resource
