#pragma once

#include <cstdint>

#include "System/Object.h"
#include "System/String.h"

namespace System {

// An address text split into scheme, user information, host, port, path, query and
// fragment by one left-to-right scan. Nothing fails and nothing is decoded: any text
// gives some split. Only the scheme is lower-cased; the query keeps its "?" and the
// fragment its "#"; a path always begins with "/".
class Uri : public Object {
  public:
    // The scheme names, each built on its first use.
    static const String& SchemeFile();
    static const String& SchemeFtp();
    static const String& SchemeHttp();
    static const String& SchemeHttps();
    static const String& SchemeMailto();

    // Every part empty, port 0.
    Uri() = default;
    explicit Uri(const String& text);
    // The text of base followed by relative, parsed (plain concatenation).
    Uri(const Uri& base, const String& relative);
    // The texts of a and b one after the other, parsed.
    Uri(const Uri& a, const Uri& b);

    // Forgets every part, keeps text as the original string and splits it.
    void Create(const String& text);

    // Compare the original texts only.
    bool operator==(const Uri& other) const { return mText == other.mText; }
    bool operator!=(const Uri& other) const { return mText != other.mText; }

    [[nodiscard]] const String& OriginalString() const { return mText; }
    [[nodiscard]] const String& Scheme() const { return mScheme; }
    [[nodiscard]] const String& UserInfo() const { return mUserInfo; }
    [[nodiscard]] const String& Host() const { return mHost; }
    // 0 when the text names none (or names no number).
    [[nodiscard]] int32_t Port() const { return mPort; }
    [[nodiscard]] const String& AbsolutePath() const { return mPath; }
    [[nodiscard]] const String& Query() const { return mQuery; }
    [[nodiscard]] const String& Fragment() const { return mFragment; }
    [[nodiscard]] String DnsSafeHost() const { return mHost; }
    // The original text up to its first "#".
    [[nodiscard]] String AbsoluteUri() const;
    // True exactly when the original text holds no "#".
    [[nodiscard]] bool IsAbsoluteUri() const;

    // Percent-encodes every byte except the unreserved characters of RFC 3986 (letters,
    // digits, "-", ".", "_", "~"), with upper-case hex digits, so that a value cannot
    // end or split the form field it is put in.
    [[nodiscard]] static String EscapeDataString(const String& text);
    // Decodes every "%" followed by two hex digits; other bytes are kept as they are.
    [[nodiscard]] static String UnescapeDataString(const String& text);

  private:
    // Reads the authority that starts at s; the end of it is where the path starts.
    uint32_t ParseAuthority(uint32_t s);

    String mText;      // exactly as given to Create
    String mScheme;    // lower-cased
    String mUserInfo;  // before "@" in the authority
    String mHost;
    int32_t mPort{0};
    String mPath;
    String mQuery;     // with its leading "?"
    String mFragment;  // with its leading "#"
};

}  // namespace System
