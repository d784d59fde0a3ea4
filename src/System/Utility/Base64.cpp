#include "System/Utility/Base64.h"

#include <algorithm>
#include <string>
#include <vector>

namespace System::Utility {

namespace {

constexpr std::array<int8_t, 123> MakeReverseTable() {
    std::array<int8_t, 123> table{};
    for (int8_t value = 0; value < 64; ++value) {
        table[static_cast<unsigned char>(Base64::mBase64Table[value])] = value;
    }
    return table;
}

// The 6-bit value of the character at index i of text; 0 past the end.
uint32_t ValueAt(const String& text, uint32_t i) {
    const auto code = static_cast<unsigned char>(text[i]);
    // Codes 123 to 255 lie past the table; indexing by a plain (signed) char or
    // without this bound would read outside it.
    return code < Base64::mReverseBase64Table.size()
               ? static_cast<uint32_t>(Base64::mReverseBase64Table[code])
               : 0;
}

}  // namespace

const std::array<int8_t, 123> Base64::mReverseBase64Table = MakeReverseTable();

String Base64::Encode(IO::Stream& input) {
    // Only the bytes actually read are encoded: a stream that ends early (or whose
    // ReadByte gives 255 past the end) must not add bytes of its own.
    std::vector<unsigned char> bytes;
    const int64_t remaining = input.Length() - input.Position();
    if (remaining > 0) {
        bytes.resize(static_cast<size_t>(remaining));
        size_t got = 0;
        while (got < bytes.size()) {
            const int n =
                input.Read(bytes.data(), static_cast<int>(got),
                           static_cast<int>(std::min<size_t>(bytes.size() - got, 1 << 20)));
            if (n <= 0) {
                break;
            }
            got += static_cast<size_t>(n);
        }
        bytes.resize(got);
    }
    const size_t n = bytes.size();
    const size_t pad = n % 3 == 1 ? 2 : n % 3 == 2 ? 1 : 0;
    std::string text;
    text.reserve(4 * (n + pad) / 3);
    for (size_t i = 0; i < n; i += 3) {
        const uint32_t w = uint32_t{bytes[i]} << 16 |
                           (i + 1 < n ? uint32_t{bytes[i + 1]} << 8 : 0) |
                           (i + 2 < n ? uint32_t{bytes[i + 2]} : 0);
        text += mBase64Table[w >> 18];
        text += mBase64Table[(w >> 12) & 63];
        text += mBase64Table[(w >> 6) & 63];
        text += mBase64Table[w & 63];
    }
    text.replace(text.size() - pad, pad, pad, '=');
    return String(text.data(), static_cast<uint32_t>(text.size()));
}

void Base64::Decode(const String& text, IO::Stream& output) {
    std::vector<unsigned char> bytes;
    bytes.reserve(text.Length() / 4 * 3 + 3);
    for (uint32_t i = 0; i < text.Length(); i += 4) {
        const uint32_t w = ValueAt(text, i) << 18 | ValueAt(text, i + 1) << 12 |
                           ValueAt(text, i + 2) << 6 | ValueAt(text, i + 3);
        bytes.push_back(static_cast<unsigned char>(w >> 16));
        if (text[i + 2] != '=') {
            bytes.push_back(static_cast<unsigned char>(w >> 8));
        }
        if (text[i + 3] != '=') {
            bytes.push_back(static_cast<unsigned char>(w));
        }
    }
    if (!bytes.empty()) {
        output.Write(bytes.data(), 0, static_cast<int>(bytes.size()));
    }
}

}  // namespace System::Utility
