#include "System/Utility/Convert.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace System::Utility {

int Convert::HexToDec(const String& text) {
    // Unsigned arithmetic wraps where a signed sum or a weight of 16^8 converted to
    // int would be undefined.
    uint32_t result = 0;
    uint32_t weight = 1;
    for (uint32_t i = text.Length(); i > 0; --i) {
        const char c = text[i - 1];
        int digit = static_cast<signed char>(c) - '0';
        if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        }
        result += static_cast<uint32_t>(digit) * weight;
        weight <<= 4;
    }
    return static_cast<int32_t>(result);
}

int Convert::HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

String Convert::DecToHex(int n) {
    return n < 0 ? String() : String::Parse("%X", static_cast<unsigned>(n));
}

void Convert::SwapEndian(unsigned char* bytes, uint32_t count) {
    std::reverse(bytes, bytes + count);
}

String Convert::ToString(bool value) {
    return value ? "true" : "false";
}

bool Convert::ToBool(const String& text) {
    return text.ToLower() == "true";
}

int Convert::ToInt(const String& text) {
    // strtol accepts what "%d" accepts (white space, a sign, decimal digits) but,
    // unlike sscanf, has a defined result for numbers past the range.
    const long value = std::strtol(text.CStr(), nullptr, 10);
    return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

double Convert::ToDouble(const String& text) {
    double value = 0.0;
    text.Scan("%lf", &value);
    return value;
}

}  // namespace System::Utility
