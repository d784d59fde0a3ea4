#include "System/Utility/Utf8.h"

namespace System::Utility {

size_t Utf8::Decode(const char* bytes, size_t length, uint32_t& code) {
    if (length == 0) {
        return 0;
    }
    const auto lead = static_cast<unsigned char>(bytes[0]);
    if (lead < 0x80) {
        code = lead;
        return 1;
    }
    // The second byte's range excludes overlong forms (after E0 and F0), surrogates
    // (after ED) and values beyond U+10FFFF (after F4).
    size_t size = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        size = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        size = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        size = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (length < size) {
        return 0;
    }
    uint32_t value = lead & (0x7Fu >> size);
    for (size_t i = 1; i < size; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte < (i == 1 ? low : 0x80) || byte > (i == 1 ? high : 0xBF)) {
            return 0;
        }
        value = (value << 6) | (byte & 0x3Fu);
    }
    code = value;
    return size;
}

}  // namespace System::Utility
