#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <string>

namespace TestSupport {

// The rows of a pixel array in the other order: the codecs' bottom-up arrays as the
// top-down bytes other tools report, and back.
inline std::string FlipRows(const void* pixels, size_t rowBytes, size_t rows) {
    std::string flipped;
    for (size_t r = rows; r-- > 0;) {
        flipped.append(static_cast<const char*>(pixels) + r * rowBytes, rowBytes);
    }
    return flipped;
}

inline std::string FlipRows(const std::string& pixels, size_t rows) {
    return FlipRows(pixels.data(), pixels.size() / rows, rows);
}

// The largest difference between two byte strings of equal length; 256 when the
// lengths differ.
inline int MaxDifference(const std::string& a, const std::string& b) {
    int most = a.size() == b.size() ? 0 : 256;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        most = std::max(
            most, std::abs(static_cast<unsigned char>(a[i]) - static_cast<unsigned char>(b[i])));
    }
    return most;
}

}  // namespace TestSupport
