#pragma once

#include "System/String.h"

#include <string>

namespace TestSupport {

// The bytes of a String, zero bytes included, for comparing with expected text.
inline std::string Text(const System::String& s) {
    return std::string(s.CStr(), s.Length());
}

// A String holding exactly the bytes of s, zero bytes included.
inline System::String Bytes(const std::string& s) {
    return System::String(s.data(), static_cast<uint32_t>(s.size()));
}

// Two lower-case hexadecimal digits a byte, as python's bytes.hex() writes them.
inline std::string LowerHex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char byte : bytes) {
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
    return hex;
}

// The bytes two hexadecimal digits each stand for.
inline std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (size_t at = 0; at + 1 < hex.size(); at += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(at, 2), nullptr, 16));
    }
    return bytes;
}

}  // namespace TestSupport
