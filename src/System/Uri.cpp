#include "System/Uri.h"

#include "System/Utility/Convert.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string>

namespace System {

namespace {

bool IsUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

// The bytes [begin, end) of text.
String Slice(const String& text, uint32_t begin, uint32_t end) {
    return text.Substring(begin, end - begin);
}

// A path always begins with "/" (an empty one is "/").
String RootedPath(const String& path) {
    return path.StartsWith("/") ? path : String("/") + path;
}

}  // namespace

const String& Uri::SchemeFile() {
    static const String name("file");
    return name;
}

const String& Uri::SchemeFtp() {
    static const String name("ftp");
    return name;
}

const String& Uri::SchemeHttp() {
    static const String name("http");
    return name;
}

const String& Uri::SchemeHttps() {
    static const String name("https");
    return name;
}

const String& Uri::SchemeMailto() {
    static const String name("mailto");
    return name;
}

Uri::Uri(const String& text) {
    Create(text);
}

Uri::Uri(const Uri& base, const String& relative) {
    Create(base.mText + relative);
}

Uri::Uri(const Uri& a, const Uri& b) {
    Create(a.mText + b.mText);
}

void Uri::Create(const String& text) {
    *this = Uri();
    mText = text;
    const uint32_t n = text.Length();
    uint32_t s = 0;
    int state = 0;
    uint32_t i = 0;
    while (i < n) {
        const char c = text[i];
        if (state == 0) {
            if (c == ':') {
                mScheme = Slice(text, 0, i).ToLower();
                s = i + 1;
                state = 1;
            }
            ++i;
        } else if (state == 1) {
            if (c != '/') {
                ++i;
            } else if (i + 1 == n) {
                break;
            } else if (text[i + 1] != '/') {
                s = i;
                state = 2;
                ++i;
            } else {
                s = i + 2;
                if (s < n && text[s] != '/') {
                    s = ParseAuthority(s);
                }
                state = 2;
                i = s;
            }
        } else if (state == 2) {
            if (c == '?' || c == '#') {
                mPath = RootedPath(Slice(text, s, i));
                if (c == '#') {
                    mFragment = text.Substring(i);
                    return;
                }
                s = i;
                state = 3;
            }
            ++i;
        } else {
            if (c == '#') {
                mQuery = Slice(text, s, i);
                mFragment = text.Substring(i);
                return;
            }
            ++i;
        }
    }
    if (state == 3) {
        mQuery = text.Substring(s);
    } else {
        mPath = RootedPath(text.Substring(s));
    }
}

uint32_t Uri::ParseAuthority(uint32_t s) {
    const uint32_t n = mText.Length();
    const uint32_t start = s;
    bool portFollows = false;
    uint32_t p = s;
    // The authority also ends at "?", "#" or the end of the text, so that an address
    // without a path (x://host:82) keeps its host and port instead of losing them to
    // the path.
    for (; p < n; ++p) {
        const char c = mText[p];
        if (c == '/' || c == '?' || c == '#') {
            break;
        }
        if (c == '@') {
            // The whole text before "@" is the user info: a password after a ":"
            // would otherwise be taken for the host, and the host for the user info.
            if (p > start) {
                mUserInfo = Slice(mText, start, p);
            }
            mHost = String();
            portFollows = false;
            s = p + 1;
        } else if (c == ':') {
            if (p > s) {
                mHost = Slice(mText, s, p);
            }
            portFollows = true;
            s = p + 1;
        }
    }
    if (!portFollows) {
        mHost = Slice(mText, s, p);
    } else if (s < p) {
        const long port = std::strtol(Slice(mText, s, p).CStr(), nullptr, 10);
        mPort = static_cast<int32_t>(std::clamp<long>(port, INT32_MIN, INT32_MAX));
    }
    return p;
}

String Uri::AbsoluteUri() const {
    const int hash = mText.IndexOf("#");
    return hash < 0 ? mText : mText.Substring(0, static_cast<uint32_t>(hash));
}

bool Uri::IsAbsoluteUri() const {
    return mText.IndexOf("#") < 0;
}

String Uri::EscapeDataString(const String& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string escaped;
    for (uint32_t i = 0; i < text.Length(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (IsUnreserved(c)) {
            escaped += static_cast<char>(c);
        } else {
            escaped += '%';
            escaped += kHex[c >> 4];
            escaped += kHex[c & 15];
        }
    }
    return String(escaped.data(), static_cast<uint32_t>(escaped.size()));
}

String Uri::UnescapeDataString(const String& text) {
    std::string unescaped;
    const uint32_t n = text.Length();
    for (uint32_t i = 0; i < n; ++i) {
        const int high = Utility::Convert::HexDigit(text[i + 1]);
        const int low = Utility::Convert::HexDigit(text[i + 2]);
        if (text[i] == '%' && i + 2 < n && high >= 0 && low >= 0) {
            unescaped += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            unescaped += text[i];
        }
    }
    return String(unescaped.data(), static_cast<uint32_t>(unescaped.size()));
}

}  // namespace System
