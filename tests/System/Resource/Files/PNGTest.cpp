#include "System/Resource/Files/PNG.h"

#include "System/IO/MemoryStream.h"
#include "support/Pixels.h"
#include "support/Process.h"
#include "support/Text.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace System::Resource::Files {
namespace {

using TestSupport::FromHex;

// Whether GetHeader finds a header, and what Load decodes, top row first ("" when it
// fails).
std::pair<bool, std::string> Decode(std::string bytes, PNG::PngHeader& header) {
    IO::MemoryStream stream(reinterpret_cast<unsigned char*>(bytes.data()),
                            static_cast<int32_t>(bytes.size()));
    const bool found = PNG::GetHeader(stream, header);
    stream.Position(0);
    const std::unique_ptr<unsigned char[]> pixels(PNG::Load(stream));
    const size_t rowBytes =
        header.mWidth * PNG::ChannelCount(header.mColourType) * header.mBitDepth / 8;
    return {found, pixels ? TestSupport::FlipRows(pixels.get(), rowBytes, header.mHeight) : ""};
}

std::string Encode(uint32_t width, uint32_t height, uint32_t channels, uint32_t depth,
                   const std::string& topDown) {
    const std::string bottomUp = TestSupport::FlipRows(topDown, height);
    IO::MemoryStream stream;
    EXPECT_TRUE(PNG::Write(stream, width, height, channels, depth * channels,
                           reinterpret_cast<const unsigned char*>(bottomUp.data())));
    return std::string(reinterpret_cast<const char*>(stream.GetBuffer()), stream.Length());
}

// PNG files by hand: chunks, headers, and rows filtered with the filter type given per
// row, as an encoder does.
const std::string PythonPng = R"(
import io, struct, subprocess, sys, zlib
from PIL import Image
def chunk(kind, data, crc=None):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) if crc is None else crc)
def ihdr(w, h, depth, ctype, interlace=0, compression=0):
    return chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, depth, ctype, compression, 0, interlace))
def png(head, *chunks):
    return b'\x89PNG\r\n\x1a\n' + head + b''.join(chunks) + chunk(b'IEND', b'')
def paeth(a, b, c):
    p = a + b - c
    return min((abs(p - a), 0, a), (abs(p - b), 1, b), (abs(p - c), 2, c))[2]
def filtered(rows, step, types):
    out, prev = b'', bytes(len(rows[0]))
    for row, t in zip(rows, types):
        out += bytes([t])
        for i, x in enumerate(row):
            a, c = (row[i - step], prev[i - step]) if i >= step else (0, 0)
            out += bytes([(x - [0, a, prev[i], (a + prev[i]) // 2, paeth(a, prev[i], c), 0][t]) % 256])
        prev = row
    return out
def rows(w, h, step):
    return [bytes((x * 37 + y * 91 + i * 53 + x * y) % 256 for x in range(w) for i in range(step)) for y in range(h)]
def saved(image):
    out = io.BytesIO()
    image.save(out, 'PNG')
    return out.getvalue()
def magick(ppm, *args):
    return subprocess.run(['/usr/bin/convert', 'ppm:-'] + list(args), input=ppm, check=True, capture_output=True).stdout
)";

// Per file: channels, bit depth, the file and its pixels top row first. From PIL, from
// ImageMagick (8 and 16 bits), and by hand with every filter type, the image data split
// over three IDAT chunks (one named in lower case) around a text chunk, a wrong CRC, and
// each filter type on the top row.
const std::string ToolFiles = PythonPng + R"(
def show(channels, depth, data, pixels):
    print(channels, depth, data.hex(), pixels.hex())
for mode, channels in (('L', 1), ('LA', 2), ('RGB', 3), ('RGBA', 4)):
    data = saved(Image.frombytes(mode, (13, 7), b''.join(rows(13, 7, channels))))
    show(channels, 8, data, Image.open(io.BytesIO(data)).tobytes())
grey16, rgb8, rgb16 = (b''.join(rows(13 * size, 7, step)) for size, step in ((2, 1), (1, 3), (2, 3)))
show(1, 16, saved(Image.frombytes('I;16', (13, 7), bytes(grey16[i ^ 1] for i in range(len(grey16))))), grey16)
show(3, 8, magick(b'P6 13 7 255\n' + rgb8, 'PNG24:-'), rgb8)
show(3, 16, magick(b'P6 13 7 65535\n' + rgb16, '-depth', '16', 'PNG48:-'), rgb16)
r = rows(11, 10, 3)
z = zlib.compress(filtered(r, 3, [y % 5 for y in range(10)]))
show(3, 8, png(ihdr(11, 10, 8, 2)[:-4] + bytes(4), chunk(b'IDAT', z[:5]), chunk(b'tEXt', b'a\0b'),
               chunk(b'idat', z[5:20]), chunk(b'IDAT', z[20:])), b''.join(r))
r = rows(6, 5, 4)
show(2, 16, png(ihdr(6, 5, 16, 4), chunk(b'IDAT', zlib.compress(filtered(r, 4, [4, 3, 2, 1, 0])))), b''.join(r))
for types in ([2, 3, 4, 1, 2], [3, 4, 3, 2, 1]):
    show(3, 8, png(ihdr(6, 5, 8, 2), chunk(b'IDAT', zlib.compress(filtered(rows(6, 5, 3), 3, types)))),
         b''.join(rows(6, 5, 3)))
)";

TEST(PNG, DecodesFilesOfPilImageMagickAndEveryFilterTypeExactly) {
    const auto lines = TestSupport::PythonLines(ToolFiles);
    ASSERT_EQ(lines.size(), 11u);
    for (const std::string& line : lines) {
        std::istringstream fields(line);
        uint32_t channels = 0, depth = 0;
        std::string file, pixels;
        fields >> channels >> depth >> file >> pixels;
        PNG::PngHeader header;
        EXPECT_EQ(Decode(FromHex(file), header), std::pair(true, FromHex(pixels))) << line;
        EXPECT_EQ(PNG::ChannelCount(header.mColourType) * 100 + header.mBitDepth,
                  channels * 100 + depth);

        // Read for a preview, 16-bit samples keep their high byte, the first of two.
        std::string highBytes;
        for (size_t i = 0; i < pixels.size() / 2; i += depth / 8) {
            highBytes += FromHex(pixels.substr(2 * i, 2));
        }
        std::string bytes = FromHex(file);
        IO::MemoryStream stream(reinterpret_cast<unsigned char*>(bytes.data()),
                                static_cast<int32_t>(bytes.size()));
        const std::unique_ptr<unsigned char[]> eight(PNG::LoadEightBit(stream));
        ASSERT_NE(eight, nullptr);
        EXPECT_EQ(TestSupport::FlipRows(eight.get(), header.mWidth * channels, header.mHeight),
                  highBytes)
            << line;
    }
}

// Checks each file read as hex from standard input: chunks IHDR, IDAT and IEND with
// right CRCs, the first row filtered with Sub and the others with Paeth; then prints
// what PIL reads: mode, size, bit depth and pixels (16-bit colour as its high bytes).
const std::string ReadWritten = PythonPng + R"(
for line in sys.stdin:
    data, at, chunks = bytes.fromhex(line), 8, []
    while at < len(data):
        n, = struct.unpack('>I', data[at:at + 4])
        chunks.append((data[at + 4:at + 8], data[at + 8:at + 8 + n]))
        assert data[at + 8 + n:at + 12 + n] == struct.pack('>I', zlib.crc32(b''.join(chunks[-1])))
        at += 12 + n
    assert [kind for kind, _ in chunks] == [b'IHDR', b'IDAT', b'IEND']
    raw, h = zlib.decompress(chunks[1][1]), struct.unpack('>I', data[20:24])[0]
    assert len(raw) % h == 0 and raw[0] == 1 and set(raw[len(raw) // h::len(raw) // h]) <= {4}
    im = Image.open(io.BytesIO(data))
    print(im.mode, im.size[0], im.size[1], data[24], im.tobytes().hex())
)";

TEST(PNG, WrittenFilesAreValidAndOpenInPilWithTheSamePixels) {
    // Width, height, channels, depth; a single pixel and noise deflate to more than
    // they hold.
    const uint32_t written[][4] = {{9, 6, 1, 8},  {9, 6, 2, 8}, {9, 6, 3, 8},  {9, 6, 4, 8},
                                   {5, 4, 3, 16}, {1, 1, 3, 8}, {64, 64, 4, 8}};
    const char* const modes[] = {"L", "LA", "RGB", "RGBA"};
    std::vector<std::string> files, expected;
    uint32_t state = 7;
    for (const auto& w : written) {
        std::string pixels, highBytes;
        while (pixels.size() < w[0] * w[1] * w[2] * w[3] / 8) {
            state = state * 1103515245 + 12345;
            pixels.push_back(static_cast<char>(state >> 16));
            highBytes +=
                w[3] == 8 || pixels.size() % 2 == 1 ? pixels.substr(pixels.size() - 1) : "";
        }
        files.push_back(Encode(w[0], w[1], w[2], w[3], pixels));
        PNG::PngHeader header;
        EXPECT_EQ(Decode(files.back(), header).second, pixels);
        files.back() = TestSupport::LowerHex(files.back());
        expected.push_back(std::string(modes[w[2] - 1]) + " " + std::to_string(w[0]) + " " +
                           std::to_string(w[1]) + " " + std::to_string(w[3]) + " " +
                           TestSupport::LowerHex(highBytes));
    }
    EXPECT_EQ(TestSupport::PythonLines(ReadWritten, files), expected);
}

// Files the reader refuses, each after whether GetHeader still finds a header.
const std::string Refused = PythonPng + R"(
idat = chunk(b'IDAT', zlib.compress(filtered(rows(4, 3, 3), 3, [0, 1, 2])))
interlaced = magick(b'P6 16 16 255\n' + b''.join(rows(16, 16, 3)), '-interlace', 'PNG', 'PNG24:-')
assert interlaced[28] == 1
for found, data in (
        (1, saved(Image.new('P', (4, 3)))), (1, saved(Image.new('1', (4, 3)))), (1, interlaced),
        (1, png(ihdr(4, 3, 8, 2, interlace=1), idat)),
        (1, png(ihdr(4, 3, 4, 0), chunk(b'IDAT', zlib.compress(bytes(9))))),
        (1, png(ihdr(4, 3, 8, 2), chunk(b'IDAT', zlib.compress(filtered(rows(4, 3, 3), 3, [0, 5, 0]))))),
        (1, png(ihdr(4, 3, 8, 2), chunk(b'IDAT', zlib.compress(filtered(rows(4, 2, 3), 3, [0, 0]))))),
        (1, png(ihdr(4, 3, 8, 2))), (1, png(ihdr(0, 3, 8, 2), idat)),
        (1, png(ihdr(60000, 60000, 8, 2), idat)), (1, png(ihdr(65536, 65536, 8, 0), idat)),
        (1, png(ihdr(4, 3, 8, 2, compression=1), idat)),
        (1, png(ihdr(4, 3, 8, 2) + ihdr(40, 30, 8, 2), idat)),
        (1, png(ihdr(4, 3, 8, 2), struct.pack('>I', 1000) + idat[4:])),
        (0, png(chunk(b'IHDR', struct.pack('>IIBBBB', 4, 3, 8, 2, 0, 0)), idat)),
        (0, png(struct.pack('>I', 0x80000000) + b'tEXt', ihdr(4, 3, 8, 2), idat)),
        (0, b'\x89PNG\r\n\x1a\x0b' + ihdr(4, 3, 8, 2) + idat), (0, b'')):
    print(found, data.hex())
)";

TEST(PNG, RefusesWhatItCannotDecodeWithoutReadingPastTheData) {
    const auto lines = TestSupport::PythonLines(Refused);
    ASSERT_EQ(lines.size(), 18u);
    for (const std::string& line : lines) {
        PNG::PngHeader header;
        EXPECT_EQ(Decode(FromHex(line.substr(2)), header), std::pair(line[0] == '1', std::string()))
            << line;
    }
    // Every prefix of a good file, each a copy of exactly that many bytes, so that ASan
    // sees any read past it: nothing, or the whole image once its data is all there.
    const std::string pixels(5 * 4 * 3, 'p');
    const std::string file = Encode(5, 4, 3, 8, pixels);
    for (size_t cut = 0; cut < file.size(); ++cut) {
        PNG::PngHeader header;
        const std::string result = Decode(file.substr(0, cut), header).second;
        EXPECT_TRUE(result.empty() || result == pixels) << cut;
    }
}

}  // namespace
}  // namespace System::Resource::Files
