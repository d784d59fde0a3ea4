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

}  // namespace TestSupport
