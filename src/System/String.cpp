#include "System/String.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <utility>

namespace System {

String::String(const char* text) : String(text, Length(text)) {}

String::String(const char* data, uint32_t n) {
    if (n > 0) {
        std::memcpy(Allocate(n), data, n);
    }
}

String::String(const String& other) : String(other.mBuffer.get(), other.mLength) {}

String::String(String&& other) noexcept
    : mBuffer(std::move(other.mBuffer)), mLength(std::exchange(other.mLength, 0)) {}

String& String::operator=(const String& other) {
    if (this != &other) {
        String copy(other);
        *this = std::move(copy);
    }
    return *this;
}

String& String::operator=(String&& other) noexcept {
    if (this != &other) {
        mBuffer = std::move(other.mBuffer);
        mLength = std::exchange(other.mLength, 0);
    }
    return *this;
}

uint32_t String::Length(const char* text) {
    return text == nullptr ? 0 : static_cast<uint32_t>(std::strlen(text));
}

char* String::Allocate(uint32_t n) {
    mLength = n;
    if (n == 0) {
        mBuffer.reset();
        return nullptr;
    }
    mBuffer.reset(new char[size_t{n} + 1]);
    mBuffer[n] = 0;
    return mBuffer.get();
}

String String::Slice(uint32_t begin, uint32_t end) const {
    return String(mBuffer.get() + begin, end - begin);
}

bool String::MatchesAt(uint32_t pos, const String& s) const {
    return s.mLength == 0 || std::memcmp(mBuffer.get() + pos, s.mBuffer.get(), s.mLength) == 0;
}

void String::CopyTo(uint32_t start, char* dest, uint32_t destIndex, uint32_t count) const {
    if (start >= mLength || count == 0) {
        return;
    }
    std::memcpy(dest + destIndex, mBuffer.get() + start, std::min(count, mLength - start));
}

int String::CompareTo(const String& other) const {
    const uint32_t common = std::min(mLength, other.mLength);
    // memcmp compares as unsigned char, which is the order wanted.
    const int c = common == 0 ? 0 : std::memcmp(mBuffer.get(), other.mBuffer.get(), common);
    if (c != 0) {
        return c > 0 ? 1 : -1;
    }
    if (mLength == other.mLength) {
        return 0;
    }
    return mLength > other.mLength ? 1 : -1;
}

bool String::StartsWith(const String& s) const {
    return s.mLength <= mLength && MatchesAt(0, s);
}

bool String::EndsWith(const String& s) const {
    return s.mLength <= mLength && MatchesAt(mLength - s.mLength, s);
}

int String::IndexOf(const String& s, uint32_t start, uint32_t count) const {
    if (s.mLength == 0) {
        return -1;
    }
    // start + count may pass 2^32; the window is cut to the length either way.
    const uint32_t end = count > mLength - std::min(start, mLength) ? mLength : start + count;
    if (start >= end || end - start < s.mLength) {
        return -1;
    }
    for (uint32_t p = start; p <= end - s.mLength; ++p) {
        if (MatchesAt(p, s)) {
            return static_cast<int>(p);
        }
    }
    return -1;
}

int String::IndexOf(const String& s, uint32_t start) const {
    return IndexOf(s, start, mLength);
}

int String::IndexOf(const String& s) const {
    return IndexOf(s, 0, mLength);
}

int String::EndIndexOf(const String& s, uint32_t start, uint32_t count) const {
    const uint32_t e = std::min(start, mLength);
    const uint32_t lo = e - std::min(count, e);
    if (s.mLength == 0 || s.mLength > e) {
        return -1;
    }
    // A candidate may begin before lo as long as it ends at or after it.
    for (uint32_t p = e - s.mLength; p + s.mLength >= lo; --p) {
        if (MatchesAt(p, s)) {
            return static_cast<int>(p);
        }
        if (p == 0) {
            break;
        }
    }
    return -1;
}

int String::EndIndexOf(const String& s, uint32_t start) const {
    return EndIndexOf(s, start, mLength);
}

int String::EndIndexOf(const String& s) const {
    return EndIndexOf(s, mLength, mLength);
}

String String::Insert(uint32_t pos, const String& s) const {
    const uint32_t p = std::min(pos, mLength);
    String result;
    char* out = result.Allocate(mLength + s.mLength);
    if (out != nullptr) {
        CopyTo(0, out, 0, p);
        s.CopyTo(0, out, p, s.mLength);
        CopyTo(p, out, p + s.mLength, mLength - p);
    }
    return result;
}

String String::Remove(uint32_t start, uint32_t count) const {
    const uint32_t p = std::min(start, mLength);
    const uint32_t n = std::min(count, mLength - p);
    String result;
    char* out = result.Allocate(mLength - n);
    if (out != nullptr) {
        CopyTo(0, out, 0, p);
        CopyTo(p + n, out, p, mLength - p - n);
    }
    return result;
}

String String::Remove(uint32_t start) const {
    return Slice(0, std::min(start, mLength));
}

String String::Replace(const String& oldText, const String& newText) const {
    if (oldText.mLength == 0) {
        return *this;
    }
    // Each match is taken from the original text after the previous one, which is
    // what rescanning the result after each inserted text amounts to.
    uint32_t matches = 0;
    for (int q = IndexOf(oldText); q >= 0;
         q = IndexOf(oldText, static_cast<uint32_t>(q) + oldText.mLength)) {
        ++matches;
    }
    if (matches == 0) {
        return *this;
    }
    String result;
    char* out = result.Allocate(mLength - matches * oldText.mLength + matches * newText.mLength);
    uint32_t from = 0;
    uint32_t written = 0;
    for (int q = IndexOf(oldText); q >= 0;
         q = IndexOf(oldText, static_cast<uint32_t>(q) + oldText.mLength)) {
        const uint32_t at = static_cast<uint32_t>(q);
        CopyTo(from, out, written, at - from);
        written += at - from;
        newText.CopyTo(0, out, written, newText.mLength);
        written += newText.mLength;
        from = at + oldText.mLength;
    }
    CopyTo(from, out, written, mLength - from);
    return result;
}

String String::Substring(uint32_t start, uint32_t count) const {
    if (start >= mLength) {
        return String();
    }
    return Slice(start, start + std::min(count, mLength - start));
}

String String::Substring(uint32_t start) const {
    return start >= mLength ? String() : Slice(start, mLength);
}

String String::Split(const char* sep, uint32_t n) const {
    const String separator(sep);
    int q = IndexOf(separator);
    if (n == 0) {
        return q < 0 ? *this : Slice(0, static_cast<uint32_t>(q));
    }
    // Fields begin after the whole separator, and the search resumes there: resuming
    // one byte after the start of an occurrence would begin a field inside a
    // separator longer than one byte and let occurrences overlap.
    for (uint32_t i = 1; i < n && q >= 0; ++i) {
        q = IndexOf(separator, static_cast<uint32_t>(q) + separator.mLength);
    }
    if (q < 0) {
        return String();
    }
    const uint32_t begin = static_cast<uint32_t>(q) + separator.mLength;
    const int next = IndexOf(separator, begin);
    return Slice(begin, next < 0 ? mLength : static_cast<uint32_t>(next));
}

String String::Reverse() const {
    String result(*this);
    std::reverse(result.mBuffer.get(), result.mBuffer.get() + result.mLength);
    return result;
}

String String::ToLower() const {
    String result(*this);
    for (uint32_t i = 0; i < result.mLength; ++i) {
        if (result.mBuffer[i] >= 'A' && result.mBuffer[i] <= 'Z') {
            result.mBuffer[i] += 'a' - 'A';
        }
    }
    return result;
}

String String::ToUpper() const {
    String result(*this);
    for (uint32_t i = 0; i < result.mLength; ++i) {
        if (result.mBuffer[i] >= 'a' && result.mBuffer[i] <= 'z') {
            result.mBuffer[i] -= 'a' - 'A';
        }
    }
    return result;
}

String String::TrimEnd(const String& s) const {
    if (s.mLength == 0) {
        return *this;
    }
    uint32_t e = mLength;
    while (e >= s.mLength && MatchesAt(e - s.mLength, s)) {
        e -= s.mLength;
    }
    return Slice(0, e);
}

String String::TrimStart(const String& s) const {
    if (s.mLength == 0) {
        return *this;
    }
    uint32_t b = 0;
    while (s.mLength <= mLength - b && MatchesAt(b, s)) {
        b += s.mLength;
    }
    return Slice(b, mLength);
}

String String::Trim(const String& s) const {
    return TrimEnd(s).TrimStart(s);
}

String String::Trim() const {
    return Trim(" ");
}

String String::operator+(const String& s) const {
    return Insert(mLength, s);
}

String String::operator-(const String& s) const {
    return Replace(s, String());
}

String& String::operator+=(const String& s) {
    *this = Insert(mLength, s);
    return *this;
}

String& String::operator-=(const String& s) {
    *this = Replace(s, String());
    return *this;
}

String String::Parse(const char* format, ...) {
    String result;
    if (format == nullptr) {
        return result;
    }
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, format, args);
    if (n > 0) {
        std::vsnprintf(result.Allocate(static_cast<uint32_t>(n)), size_t(n) + 1, format, again);
    }
    va_end(again);
    va_end(args);
    return result;
}

int String::Scan(const char* format, ...) const {
    if (format == nullptr) {
        return 0;
    }
    va_list args;
    va_start(args, format);
    const int assigned = std::vsscanf(CStr(), format, args);
    va_end(args);
    return assigned;
}

}  // namespace System
