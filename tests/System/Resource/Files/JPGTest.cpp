#include "System/Resource/Files/JPG.h"

#include "System/IO/MemoryStream.h"
#include "support/Pixels.h"
#include "support/Process.h"
#include "support/Text.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

namespace System::Resource::Files {
namespace {

using TestSupport::FromHex;
using TestSupport::MaxDifference;

// Whether GetHeader finds a header, and what Load decodes, top row first ("" when it
// fails).
std::pair<bool, std::string> Decode(std::string bytes, JPG::JpgHeader& header) {
    IO::MemoryStream stream(reinterpret_cast<unsigned char*>(bytes.data()),
                            static_cast<int32_t>(bytes.size()));
    const bool found = JPG::GetHeader(stream, header);
    stream.Position(0);
    const std::unique_ptr<unsigned char[]> pixels(JPG::Load(stream));
    const size_t rowBytes = header.mWidth * header.mBitsPerPixel / 8;
    return {found, pixels ? TestSupport::FlipRows(pixels.get(), rowBytes, header.mHeight) : ""};
}

// A 40 x 30 picture, top row red and bottom row blue, written as a JPEG; topDown gets
// its pixels.
std::string Encode(uint32_t channels, std::string& topDown) {
    topDown.clear();
    for (int i = 0; i < 1200; ++i) {
        const char rgb[3] = {static_cast<char>(255 - i / 40 * 8), static_cast<char>(i % 40 * 3),
                             static_cast<char>(i / 40 * 8)};
        topDown.append(channels == 3 ? rgb : rgb + 1, channels);
    }
    const std::string bottomUp = TestSupport::FlipRows(topDown, 30);
    IO::MemoryStream stream;
    EXPECT_TRUE(JPG::Write(stream, 40, 30, channels, 8 * channels,
                           reinterpret_cast<const unsigned char*>(bottomUp.data()), 95));
    return std::string(reinterpret_cast<const char*>(stream.GetBuffer()), stream.Length());
}

// JPEGs from PIL (colour, grey, progressive, two 64 KiB comments to skip, CMYK) and
// ImageMagick: per file its channels, bytes and the pixels PIL decodes, top row first.
const char* const WriteJpegs = R"(
import io, subprocess
from PIL import Image
im = Image.new('RGB', (37, 23))
im.putdata([((x * 7 + y * 3) % 256, (x * y) % 256, 255 - x * 6) for y in range(23) for x in range(37)])
def jpeg(image, **options):
    out = io.BytesIO()
    image.save(out, 'JPEG', **options)
    return out.getvalue()
pil, ppm = jpeg(im, quality=90), io.BytesIO()
im.save(ppm, 'PPM')
magick = subprocess.run(['/usr/bin/convert', 'ppm:-', 'jpg:-'], input=ppm.getvalue(), capture_output=True, check=True).stdout
comment = b'\xff\xfe\xff\xff' + b'c' * 65533
for data in (pil, jpeg(im.convert('L')), jpeg(im, progressive=True, subsampling=0), magick,
             pil[:2] + comment * 2 + pil[2:], jpeg(Image.new('CMYK', (16, 8), (10, 200, 30, 40)))):
    decoded = Image.open(io.BytesIO(data))
    print(len(decoded.getbands()), data.hex(), decoded.tobytes().hex())
)";

TEST(JPG, DecodesGreyAndColourToThePixelsPilReportsAndRefusesCmyk) {
    const auto lines = TestSupport::PythonLines(WriteJpegs);
    ASSERT_EQ(lines.size(), 6u);
    for (const std::string& line : lines) {
        std::istringstream fields(line);
        std::string file, pixels;
        uint16_t channels = 0;
        fields >> channels >> file >> pixels;
        JPG::JpgHeader header;
        const auto [found, decoded] = Decode(FromHex(file), header);
        EXPECT_TRUE(found);
        EXPECT_EQ(header.mBitsPerPixel, 8 * channels);
        // Our float DCT against PIL's integer one: a sample may differ by a little.
        EXPECT_LE(MaxDifference(decoded, channels == 4 ? "" : FromHex(pixels)), 3) << channels;
    }
}

// A 400 x 304 picture decoded to cover preview sizes: the smallest libjpeg scale whose
// size still covers it, with the pixels PIL's draft mode decodes at that scale.
TEST(JPG, DecodesAtTheSmallestScaleThatCoversThePreview) {
    const auto lines = TestSupport::PythonLines(R"(
import io, sys
from PIL import Image
im = Image.new('RGB', (400, 304))
im.putdata([((x * 7 + y * 3) % 256, (x * y) % 256, 255 - x % 256) for y in range(304) for x in range(400)])
out = io.BytesIO()
im.save(out, 'JPEG', quality=90)
print(out.getvalue().hex())
for size in ((50, 38), (100, 76), (200, 152), (400, 304)):
    decoded = Image.open(io.BytesIO(out.getvalue()))
    decoded.draft('RGB', size)
    print(*decoded.size, decoded.tobytes().hex())
)");
    ASSERT_EQ(lines.size(), 5u);
    const std::string jpeg = FromHex(lines[0]);
    const struct {
        uint32_t coverWidth, coverHeight;
        int line;
    } cases[] = {{40, 30, 1},  {50, 38, 1},   {51, 10, 2}, {10, 39, 2},   {100, 76, 2},
                 {101, 76, 3}, {200, 152, 3}, {201, 1, 4}, {400, 304, 4}, {800, 600, 4}};
    for (const auto& c : cases) {
        std::istringstream fields(lines[c.line]);
        uint32_t width = 0, height = 0;
        std::string pixels;
        fields >> width >> height >> pixels;
        IO::MemoryStream stream(reinterpret_cast<unsigned char*>(const_cast<char*>(jpeg.data())),
                                static_cast<int32_t>(jpeg.size()));
        JPG::JpgHeader decoded;
        const std::unique_ptr<unsigned char[]> bottomUp(
            JPG::Load(stream, c.coverWidth, c.coverHeight, decoded));
        ASSERT_NE(bottomUp, nullptr);
        EXPECT_EQ(decoded.mWidth, width) << c.coverWidth;
        EXPECT_EQ(decoded.mHeight, height) << c.coverWidth;
        EXPECT_EQ(decoded.mBitsPerPixel, 24);
        EXPECT_LE(MaxDifference(TestSupport::FlipRows(bottomUp.get(), width * 3, height),
                                FromHex(pixels)),
                  3)
            << c.coverWidth;
    }
}

TEST(JPG, WrittenJpegsOpenInPilTopRowFirst) {
    std::string colour, grey;
    const auto lines = TestSupport::PythonLines(
        R"(
import io, sys
from PIL import Image
for line in sys.stdin:
    im = Image.open(io.BytesIO(bytes.fromhex(line)))
    print(im.format, im.size, len(im.getbands()), im.tobytes().hex())
)",
        {TestSupport::LowerHex(Encode(3, colour)), TestSupport::LowerHex(Encode(1, grey))});
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].substr(0, 16) + lines[1].substr(0, 16), "JPEG (40, 30) 3 JPEG (40, 30) 1 ");
    EXPECT_LE(MaxDifference(FromHex(lines[0].substr(16)), colour), 12);
    EXPECT_LE(MaxDifference(FromHex(lines[1].substr(16)), grey), 12);
}

TEST(JPG, DamagedFilesAndUnwritableFormatsFailWithoutEndingTheProcess) {
    std::string pixels;
    const std::string jpeg = Encode(3, pixels);
    // The JPEG with its frame header declaring another size.
    const auto sized = [&jpeg](char w0, char w1, char h0, char h1) {
        const char size[4] = {h0, h1, w0, w1};
        return std::string(jpeg).replace(jpeg.find("\xff\xc0") + 5, 4, size, 4);
    };
    JPG::JpgHeader header;
    // Refused before anything is allocated: the pixel limit.
    EXPECT_EQ(Decode(sized('\xfd', '\xe8', '\xfd', '\xe8'), header),
              std::pair(true, std::string()));
    for (const std::string& bad :
         {sized(0, 40, 0, 0), std::string(), std::string("\xff\xd8junk"), jpeg.substr(0, 100)}) {
        EXPECT_EQ(Decode(bad, header), std::pair(false, std::string()));
    }
    // A file cut short in its image data ends as if its end-of-image marker were there.
    EXPECT_EQ(Decode(jpeg.substr(0, jpeg.find("\xff\xda") + 40), header).second.size(),
              pixels.size());

    // A small progressive file repeating its first scan: every scan is a pass over the
    // whole picture, so past a bound the file is refused rather than decoded for minutes.
    const std::string manyScans = FromHex(TestSupport::PythonLines(R"(
import io
from PIL import Image
out = io.BytesIO()
Image.new('RGB', (16, 16), (10, 20, 30)).save(out, 'JPEG', progressive=True)
d = out.getvalue()
start = d.index(b'\xff\xda')
end = start + 2 + int.from_bytes(d[start + 2:start + 4], 'big')
while not (d[end] == 0xff and d[end + 1] != 0 and not 0xd0 <= d[end + 1] <= 0xd7):
    end += 1
print((d[:end] + d[start:end] * 300 + d[end:]).hex())
)")[0]);
    EXPECT_EQ(Decode(manyScans, header), std::pair(true, std::string()));

    IO::MemoryStream stream;
    const auto* data = reinterpret_cast<const unsigned char*>(pixels.data());
    EXPECT_FALSE(JPG::Write(stream, 20, 10, 4, 32, data, 80));
    EXPECT_FALSE(JPG::Write(stream, 0, 30, 3, 24, data, 80));
    EXPECT_EQ(stream.Length(), 0);
}

// Near the size limit the usual progressions (libjpeg's, as PIL writes them) decode, grey,
// 4:4:4 and 4:2:0, even at 1/8 scale, which still reads every block of every scan; the grey
// one with its last scan (end-of-band runs) repeated up to 40 scans visits more blocks than
// 32 full scans and is refused.
TEST(JPG, RefusesScansVisitingTooManyBlocksButDecodesUsualProgressions) {
    const auto lines = TestSupport::PythonLines(R"(
import io
from PIL import Image
def jpeg(mode, size, subsampling=0):
    out = io.BytesIO()
    Image.new(mode, size, 100).save(out, 'JPEG', progressive=True, subsampling=subsampling)
    return out.getvalue()
grey = jpeg('L', (7071, 7071))
last = grey[grey.rindex(b'\xff\xda'):-2]
for data in (grey[:-2] + last * 34 + grey[-2:], grey, jpeg('RGB', (8000, 6000)), jpeg('RGB', (8000, 6000), 2)):
    print(data.hex())
)");
    ASSERT_EQ(lines.size(), 4u);
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string jpeg = FromHex(lines[i]);
        IO::MemoryStream stream(reinterpret_cast<unsigned char*>(jpeg.data()),
                                static_cast<int32_t>(jpeg.size()));
        JPG::JpgHeader decoded;
        const std::unique_ptr<unsigned char[]> pixels(JPG::Load(stream, 1, 1, decoded));
        EXPECT_EQ(decoded.mWidth, i == 0 ? 0 : i == 1 ? 884 : 1000) << i;
        EXPECT_EQ(pixels == nullptr, i == 0) << i;
    }
}

// An 8 x 8 grey ramp, progressive and arithmetic-coded (SOF10), as libjpeg writes it.
TEST(JPG, RefusesArithmeticCodedFiles) {
    const std::string arithmetic = FromHex(
        "ffd8ffdb004300080606070605080707070909080a0c140d0c0b0b0c1912130f141d1a1f1e1d1a1c1c20242e"
        "2720222c231c1c2837292c30313434341f27393d38323c2e333432ffca000b080008000801011100ffcc0004"
        "0010ffda0008010100000001fdc0ffcc00041005ffda00080101000105021636ffcc00041005ffda00080101"
        "00063f02ffcc00041005ffda0008010100013f21abffda0008010100000010c0ffcc00041005ffda00080101"
        "00013f10a8b540ffd9");
    JPG::JpgHeader header;
    EXPECT_EQ(Decode(arithmetic, header), std::pair(true, std::string()));
}

}  // namespace
}  // namespace System::Resource::Files
