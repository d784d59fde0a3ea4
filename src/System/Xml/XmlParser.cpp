#include "System/Xml/XmlParser.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace System::Xml {

namespace {

bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// p + offset, kept within length so that position arithmetic near the end never wraps.
unsigned int Advance(unsigned int p, unsigned int offset, unsigned int length) {
    return static_cast<unsigned int>(
        std::min<std::uint64_t>(static_cast<std::uint64_t>(p) + offset, length));
}

// Trims white space from both ends of [start, end); a range of white space only stays as it is.
void TrimRange(const char* text, unsigned int length, unsigned int& start, unsigned int& end) {
    start = XmlParser::Truncate(text, length, start, end);
    end = XmlParser::Truncate(text, length, end, start);
}

void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The code point of a character reference body such as "#38" or "#x26"; 0 when it is not one
// or names no character (NUL, a surrogate, or beyond Unicode).
std::uint32_t CharacterReference(const char* body, unsigned int length) {
    if (length < 2 || body[0] != '#') {
        return 0;
    }
    const bool hex = body[1] == 'x';
    unsigned int i = hex ? 2 : 1;
    if (i == length) {
        return 0;
    }
    std::uint32_t code = 0;
    for (; i < length; ++i) {
        const char c = body[i];
        std::uint32_t digit;
        if (c >= '0' && c <= '9') {
            digit = static_cast<std::uint32_t>(c - '0');
        } else if (hex && c >= 'a' && c <= 'f') {
            digit = static_cast<std::uint32_t>(c - 'a' + 10);
        } else if (hex && c >= 'A' && c <= 'F') {
            digit = static_cast<std::uint32_t>(c - 'A' + 10);
        } else {
            return 0;
        }
        code = code * (hex ? 16 : 10) + digit;
        if (code > 0x10FFFF) {
            return 0;
        }
    }
    if (code >= 0xD800 && code <= 0xDFFF) {
        return 0;
    }
    return code;
}

// Appends the text an entity or character reference body stands for; false when it is none.
bool AppendReference(std::string& out, const char* body, unsigned int length) {
    static const struct {
        const char* name;
        char byte;
    } kEntities[] = {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    for (const auto& entity : kEntities) {
        if (std::strlen(entity.name) == length && std::memcmp(body, entity.name, length) == 0) {
            out += entity.byte;
            return true;
        }
    }
    const std::uint32_t code = CharacterReference(body, length);
    if (code == 0) {
        return false;
    }
    AppendUtf8(out, code);
    return true;
}

// The position of the ">" that ends the start tag whose inner range begins at from, or
// NotFound. A ">" inside a quoted attribute value is part of the value. A value whose
// closing quote does not come before the next "<" (which no value may hold) is not
// closed: the tag then ends at the first ">" after its opening quote, and the value is
// reported without its quotes.
unsigned int TagEnd(const char* text, unsigned int length, unsigned int from) {
    for (unsigned int i = from; i < length; ++i) {
        if (text[i] == '>') {
            return i;
        }
        if (text[i] != '=') {
            continue;
        }
        const unsigned int open = XmlParser::SkipWhiteSpace(text, i + 1, length);
        if (open >= length || (text[open] != '"' && text[open] != '\'')) {
            continue;
        }
        i = open + 1;
        while (i < length && text[i] != text[open] && text[i] != '<') {
            ++i;
        }
        if (i == length || text[i] == '<') {
            return XmlParser::IndexOf(text, length, ">", 1, open + 1);
        }
    }
    return XmlParser::NotFound;
}

}  // namespace

bool XmlParser::Parse(void* user, const char* text, unsigned int length) const {
    unsigned int p = 0;
    while (p < length) {
        if (text[p] != '<') {
            if (mText == nullptr || IsWhiteSpace(text[p])) {
                ++p;
                continue;
            }
            const unsigned int next = IndexOf(text, length, "<", 1, p);
            if (next == NotFound) {
                return Fail(user, "text is not followed by a tag");
            }
            const std::string value = Decode(text, p, Truncate(text, length, next, p));
            mText(user, value.c_str(), static_cast<int>(value.size()));
            p = next;
            continue;
        }
        const char kind = p + 1 < length ? text[p + 1] : '\0';
        // Taking the first ">" as the end of a start tag would cut a value that holds one,
        // and a well-formed document would be refused.
        const bool startTag = kind != '?' && kind != '!' && kind != '/';
        const unsigned int gt =
            startTag ? TagEnd(text, length, p + 1) : IndexOf(text, length, ">", 1, p + 1);
        if (gt == NotFound) {
            return Fail(user, "tag without \">\"");
        }
        // After "<!" the next byte exists: it is at most gt.
        if (kind == '?') {
            if (mDeclaration != nullptr) {
                unsigned int start = p + 2;
                unsigned int end = gt;
                TrimRange(text, length, start, end);
                ReportTag(mDeclaration, user, text, start, end);
            }
            p = gt + 1;
        } else if (kind == '!' && text[p + 2] == '-') {
            // The body starts after "<!--", and so does the search for its end: searching from
            // inside the opening would let "<!--->" close on itself with a negative length.
            const unsigned int bodyStart = Advance(p, 4, length);
            const unsigned int close = IndexOf(text, length, "-->", 3, bodyStart);
            if (close == NotFound) {
                return Fail(user, "comment without \"-->\"");
            }
            if (mComment != nullptr) {
                unsigned int start = bodyStart;
                unsigned int end = close;
                TrimRange(text, length, start, end);
                const std::string body(text + start, end - start);
                mComment(user, body.c_str());
            }
            p = close + 3;
        } else if (kind == '!' && text[p + 2] == '[') {
            // Content starts after the nine bytes of "<![CDATA[".
            const unsigned int contentStart = Advance(p, 9, length);
            const unsigned int close = IndexOf(text, length, "]]>", 3, contentStart);
            if (close == NotFound) {
                return Fail(user, "CDATA section without \"]]>\"");
            }
            if (mText != nullptr) {
                unsigned int start = contentStart;
                unsigned int end = close;
                TrimRange(text, length, start, end);
                const std::string content(text + start, end - start);
                mText(user, content.c_str(), static_cast<int>(content.size()));
            }
            p = close + 3;
        } else if (kind == '!') {
            p = gt + 1;
        } else if (kind == '/') {
            if (mEndElement != nullptr) {
                unsigned int start = p + 2;
                unsigned int end = gt;
                TrimRange(text, length, start, end);
                mEndElement(user, ParseName(text, start, end).c_str());
            }
            p = gt + 1;
        } else {
            if (mStartElement != nullptr) {
                unsigned int start = p + 1;
                unsigned int end = gt;
                TrimRange(text, length, start, end);
                const bool empty = end > start && text[end - 1] == '/';
                if (empty) {
                    --end;
                }
                ReportTag(mStartElement, user, text, start, end);
                if (empty && mEndElement != nullptr) {
                    mEndElement(user, ParseName(text, start, end).c_str());
                }
            }
            p = gt + 1;
        }
    }
    return true;
}

void XmlParser::ReportTag(StartElementCallback callback, void* user, const char* text,
                          unsigned int start, unsigned int end) {
    const std::string name = ParseName(text, start, end);
    const std::vector<Attribute> attributes = ParseAttributes(text, start, end);
    std::vector<const char*> list;
    for (const Attribute& attribute : attributes) {
        list.push_back(attribute.mName.c_str());
        list.push_back(attribute.mHasValue ? attribute.mValue.c_str() : nullptr);
    }
    list.push_back(nullptr);
    callback(user, name.c_str(), attributes.empty() ? nullptr : list.data());
}

bool XmlParser::Fail(void* user, const char* message) const {
    if (mError != nullptr) {
        mError(user, message);
    }
    return false;
}

unsigned int XmlParser::IndexOf(const char* text, unsigned int length, const char* pattern,
                                unsigned int patternLength, unsigned int from) {
    if (length < patternLength || from > length - patternLength) {
        return NotFound;
    }
    if (patternLength == 0) {
        return from;
    }
    const char* last = text + (length - patternLength);
    for (const char* at = text + from; at <= last; ++at) {
        at = static_cast<const char*>(std::memchr(at, pattern[0], last - at + 1));
        if (at == nullptr) {
            return NotFound;
        }
        if (std::memcmp(at, pattern, patternLength) == 0) {
            return static_cast<unsigned int>(at - text);
        }
    }
    return NotFound;
}

unsigned int XmlParser::Truncate(const char* text, unsigned int length, unsigned int a,
                                 unsigned int b) {
    if (b > a) {
        const unsigned int end = std::min(b, length);
        for (unsigned int i = a; i < end; ++i) {
            if (!IsWhiteSpace(text[i])) {
                return i;
            }
        }
        return a;
    }
    if (a - b <= 1) {
        return a;
    }
    for (unsigned int i = a; i > b; --i) {
        if (!IsWhiteSpace(text[i - 1])) {
            return i;
        }
    }
    return a;
}

std::string XmlParser::ParseName(const char* text, unsigned int start, unsigned int end) {
    unsigned int stop = start;
    while (stop < end && !IsWhiteSpace(text[stop])) {
        ++stop;
    }
    return std::string(text + start, stop - start);
}

std::vector<XmlParser::Attribute> XmlParser::ParseAttributes(const char* text, unsigned int start,
                                                             unsigned int end) {
    std::vector<Attribute> attributes;
    if (start >= end) {
        return attributes;
    }
    const auto expected = static_cast<std::size_t>(std::count(text + start, text + end, '='));
    unsigned int p = FindWhiteSpace(text, start, end);
    while (p < end && attributes.size() < expected) {
        p = SkipWhiteSpace(text, p, end);
        const unsigned int equals = IndexOf(text, end, "=", 1, p);
        if (equals == NotFound) {
            break;
        }
        Attribute attribute;
        attribute.mName.assign(text + p, Truncate(text, end, equals, p) - p);
        // A value must open with a quote right after "=" (white space allowed). Taking the
        // next double quote anywhere after the name instead would read a single-quoted value
        // as empty and hand it the value of the attribute after it.
        const unsigned int open = SkipWhiteSpace(text, Advance(equals, 1, end), end);
        const char quote = open < end ? text[open] : '\0';
        const unsigned int close =
            (quote == '"' || quote == '\'') ? IndexOf(text, end, &quote, 1, open + 1) : NotFound;
        if (close == NotFound) {
            attributes.push_back(attribute);
            break;
        }
        attribute.mValue = Decode(text, open + 1, close);
        attribute.mHasValue = true;
        attributes.push_back(attribute);
        p = close + 1;
    }
    return attributes;
}

unsigned int XmlParser::FindWhiteSpace(const char* text, unsigned int start, unsigned int end) {
    for (unsigned int i = start; i < end; ++i) {
        if (IsWhiteSpace(text[i])) {
            return i;
        }
    }
    return start;
}

unsigned int XmlParser::SkipWhiteSpace(const char* text, unsigned int start, unsigned int end) {
    for (unsigned int i = start; i < end; ++i) {
        if (!IsWhiteSpace(text[i])) {
            return i;
        }
    }
    return start;
}

std::string XmlParser::Decode(const char* text, unsigned int start, unsigned int end) {
    std::string out;
    out.reserve(end - start);
    unsigned int p = start;
    while (p < end) {
        const auto* amp = static_cast<const char*>(std::memchr(text + p, '&', end - p));
        if (amp == nullptr) {
            out.append(text + p, end - p);
            break;
        }
        const auto at = static_cast<unsigned int>(amp - text);
        out.append(text + p, at - p);
        // The longest reference that names a character is "&#x10FFFF;" or "&#1114111;".
        const unsigned int limit = std::min(end, Advance(at, 12, end));
        const unsigned int semicolon = IndexOf(text, limit, ";", 1, at + 1);
        if (semicolon != NotFound && AppendReference(out, text + at + 1, semicolon - at - 1)) {
            p = semicolon + 1;
        } else {
            out += '&';
            p = at + 1;
        }
    }
    return out;
}

}  // namespace System::Xml
