#pragma once

#include <cstdint>

#include "System/String.h"

namespace System::Utility {

// Text conversions of numbers and flags. Bad input gives a defined fallback result.
class Convert {
  public:
    // The hexadecimal digits of text read from the last one: 'A'-'F' and 'a'-'f' are
    // 10 to 15, any other character counts as its code minus 48, unchecked. Eight
    // digits F give -1; only the last eight digits of a longer text count.
    [[nodiscard]] static int HexToDec(const String& text);
    // The value of one hexadecimal digit ('0'-'9', 'A'-'F', 'a'-'f'), or -1 for any
    // other character.
    [[nodiscard]] static int HexDigit(char c);
    // Upper-case hexadecimal digits without prefix; "0" for 0, "" for a negative n.
    [[nodiscard]] static String DecToHex(int n);
    // Reverses the order of count bytes in place.
    static void SwapEndian(unsigned char* bytes, uint32_t count);
    // "true" or "false".
    [[nodiscard]] static String ToString(bool value);
    // True exactly when the lower-cased text equals "true".
    [[nodiscard]] static bool ToBool(const String& text);
    // The decimal integer at the start of text, as "%d" reads it (leading white space
    // and a sign allowed); 0 when there is none. Values past the int range are
    // clamped to it.
    [[nodiscard]] static int ToInt(const String& text);
    // The number at the start of text as "%lf" reads it; 0.0 when there is none.
    [[nodiscard]] static double ToDouble(const String& text);
};

}  // namespace System::Utility
