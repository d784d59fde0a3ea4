#pragma once

#include <array>
#include <cstdint>

#include "System/IO/Stream.h"
#include "System/String.h"

namespace System::Utility {

// Base64 text (RFC 4648 standard alphabet, '=' padding, no line breaks) of stream
// bytes, and back.
class Base64 {
  public:
    // The Base64 text of the bytes from the input's position to its end; the input
    // is left at its end.
    [[nodiscard]] static String Encode(IO::Stream& input);

    // Decodes text four characters at a time and writes the bytes to output: the
    // first of each group always, the second unless the group's third character is
    // '=', the third unless its fourth is '='. Nothing is validated or skipped: a
    // character outside the alphabet counts as 0, and the missing characters of a
    // short last group count as 0 (so that group yields three bytes).
    static void Decode(const String& text, IO::Stream& output);

    // The alphabet, indexed by a 6-bit value.
    static constexpr char mBase64Table[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    // The value of each character code 0 to 122; 0 for codes outside the alphabet.
    static const std::array<int8_t, 123> mReverseBase64Table;
};

}  // namespace System::Utility
