#pragma once

#include <cstdint>
#include <memory>

#include "System/Object.h"

namespace System {

// A byte string with an explicit length that owns its buffer. Zero bytes inside the
// text count like any other byte; there is no encoding. The empty string holds no
// buffer at all. Every copy is deep and every change replaces the buffer.
//
// Out-of-range positions and counts are answered, never refused: a byte read past
// the end is 0, positions and counts are cut to the length, a search that cannot
// succeed gives -1.
//
// REQUIRES: external synchronization when one thread changes a string that another
// thread uses; distinct strings share nothing.
class String : public Object {
  public:
    // Copies text up to its first zero byte; NULL or "" gives the empty string.
    String(const char* text = nullptr);
    // Copies exactly n bytes of data, zero bytes included; n = 0 reads nothing.
    String(const char* data, uint32_t n);
    String(const String& other);
    String(String&& other) noexcept;
    ~String() override = default;

    // Deep copy; assigning a string to itself leaves it unchanged.
    String& operator=(const String& other);
    String& operator=(String&& other) noexcept;

    // The number of bytes held.
    [[nodiscard]] uint32_t Length() const { return mLength; }
    // The number of bytes of text before its first zero byte; NULL counts as 0.
    [[nodiscard]] static uint32_t Length(const char* text);

    // The buffer itself: NULL for the empty string, otherwise Length() bytes and a 0.
    // Valid until the string is next changed, assigned or destroyed.
    [[nodiscard]] char* ToByteArray() const { return mBuffer.get(); }
    // The bytes as a C text, "" for the empty string, for callers that hand them
    // to libc (a NULL "%s" argument prints "(null)", a NULL path crashes).
    [[nodiscard]] const char* CStr() const { return mBuffer ? mBuffer.get() : ""; }

    // The byte at index, or 0 at or beyond the length.
    [[nodiscard]] char operator[](uint32_t index) const { return At(index); }
    [[nodiscard]] char At(uint32_t index) const { return index < mLength ? mBuffer[index] : 0; }

    // Copies up to count bytes from index start into dest + destIndex; nothing when
    // start is at or beyond the length. No terminating 0 is written.
    // REQUIRES: dest has room for the bytes copied.
    void CopyTo(uint32_t start, char* dest, uint32_t destIndex, uint32_t count) const;

    // -1, 0 or 1: unsigned bytes compared pairwise, then the shorter string first.
    [[nodiscard]] int CompareTo(const String& other) const;
    bool operator<(const String& other) const { return CompareTo(other) < 0; }
    bool operator<=(const String& other) const { return CompareTo(other) <= 0; }
    bool operator>(const String& other) const { return CompareTo(other) > 0; }
    bool operator>=(const String& other) const { return CompareTo(other) >= 0; }
    // Same length and same bytes. Through an Object reference equality stays identity.
    [[nodiscard]] bool Equals(const String& other) const { return CompareTo(other) == 0; }
    bool operator==(const String& other) const { return Equals(other); }
    bool operator!=(const String& other) const { return !Equals(other); }

    // True for an empty s; false when s is longer than the string.
    [[nodiscard]] bool StartsWith(const String& s) const;
    [[nodiscard]] bool EndsWith(const String& s) const;

    // First occurrence of s lying wholly in [start, min(start + count, length)), or -1.
    // An empty s is never found.
    [[nodiscard]] int IndexOf(const String& s, uint32_t start, uint32_t count) const;
    [[nodiscard]] int IndexOf(const String& s, uint32_t start) const;
    [[nodiscard]] int IndexOf(const String& s) const;
    // Last occurrence of s ending at or before e = min(start, length) and ending at or
    // after e - min(count, e), searching backwards; -1 when there is none.
    [[nodiscard]] int EndIndexOf(const String& s, uint32_t start, uint32_t count) const;
    [[nodiscard]] int EndIndexOf(const String& s, uint32_t start) const;
    [[nodiscard]] int EndIndexOf(const String& s) const;

    // s inserted before min(pos, length).
    [[nodiscard]] String Insert(uint32_t pos, const String& s) const;
    // Without the bytes from min(start, length) for at most count bytes.
    [[nodiscard]] String Remove(uint32_t start, uint32_t count) const;
    // Without everything from start to the end.
    [[nodiscard]] String Remove(uint32_t start) const;
    // Every occurrence of oldText replaced, left to right; the scan resumes after the
    // inserted text. An empty oldText gives an unchanged copy.
    [[nodiscard]] String Replace(const String& oldText, const String& newText) const;
    // Up to count bytes from start; empty when start is at or beyond the length.
    [[nodiscard]] String Substring(uint32_t start, uint32_t count) const;
    [[nodiscard]] String Substring(uint32_t start) const;
    // Field n (from 0) of the string cut at each occurrence of sep; empty when there
    // are fewer than n occurrences. An empty sep is never found.
    [[nodiscard]] String Split(const char* sep, uint32_t n) const;
    [[nodiscard]] String Split(const char* sep) const { return Split(sep, 0); }
    [[nodiscard]] String Reverse() const;
    // ASCII letters only; bytes of 128 and above are unchanged.
    [[nodiscard]] String ToLower() const;
    [[nodiscard]] String ToUpper() const;
    // Remove whole repetitions of the sequence s (not a set of characters).
    [[nodiscard]] String TrimEnd(const String& s) const;
    [[nodiscard]] String TrimStart(const String& s) const;
    [[nodiscard]] String Trim(const String& s) const;
    // Leading and trailing spaces only; tabs and line breaks stay.
    [[nodiscard]] String Trim() const;

    String operator+(const String& s) const;
    // Replace(s, ""): every occurrence of s removed.
    String operator-(const String& s) const;
    // Appends s; appending a string to itself doubles it.
    String& operator+=(const String& s);
    String& operator-=(const String& s);

    // printf-style formatting into a string of exactly the formatted length (no limit).
    // A NULL format, an empty result or a formatting error gives the empty string.
    [[nodiscard]] static String Parse(const char* format, ...)
        __attribute__((format(printf, 1, 2)));

    // sscanf over the bytes up to the first zero byte; returns what sscanf returns.
    // A NULL format returns 0 without reading.
    int Scan(const char* format, ...) const __attribute__((format(scanf, 2, 3)));

  private:
    // Makes the string hold n bytes whose contents the caller fills in; the
    // terminating 0 is written here. Returns the buffer (NULL for n = 0).
    char* Allocate(uint32_t n);
    // The string of the bytes [begin, end).
    String Slice(uint32_t begin, uint32_t end) const;
    // Whether the length(s) bytes at pos equal s. REQUIRES: pos + length(s) <= length.
    bool MatchesAt(uint32_t pos, const String& s) const;

    // The bytes followed by a 0; NULL exactly when mLength is 0.
    std::unique_ptr<char[]> mBuffer;
    // The number of bytes held, zero bytes inside the text included.
    uint32_t mLength{0};
};

}  // namespace System
