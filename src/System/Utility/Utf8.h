#pragma once

#include <cstddef>
#include <cstdint>

namespace System::Utility {

// Reading of UTF-8 as RFC 3629 defines it, for the text that must leave the process well
// formed (XML files) or harmless (the console).
class Utf8 {
  public:
    Utf8() = delete;

    // The length (1 to 4) of the well-formed sequence at the start of bytes[0, length),
    // with its code point in code; 0 when none starts there: a continuation byte, a lead
    // byte without its continuations (also when length cuts them off), an overlong form,
    // a surrogate or a value beyond U+10FFFF.
    [[nodiscard]] static size_t Decode(const char* bytes, size_t length, uint32_t& code);
};

}  // namespace System::Utility
