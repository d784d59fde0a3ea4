#pragma once

#include "System/Object.h"

#include <string>
#include <vector>

namespace System::Xml {

// A one-pass scanner for the XML this system writes and the short XML replies it receives. It
// reports what it meets (declaration, start tag with attributes, end tag, text, comment) through
// plain function pointers that carry a caller's user pointer. It is not a validating processor:
// it does not check that tags nest or match.
//
// White space means the four bytes space, TAB, CR and LF. Text and attribute values are handed
// on with the five predefined entities and the decimal and hexadecimal character references
// decoded (a reference above 127 becomes its UTF-8 bytes); CDATA content is handed on as it
// stands. Every string passed to a callback is a NUL-terminated copy released when the callback
// returns.
class XmlParser : public Object {
  public:
    // The attributes list is name, value, name, value, ..., then a null entry; a value entry is
    // null when its quotes are missing. The list itself is null when the tag has no attribute.
    using DeclarationCallback = void (*)(void* user, const char* name, const char** attributes);
    using StartElementCallback = void (*)(void* user, const char* name, const char** attributes);
    using EndElementCallback = void (*)(void* user, const char* name);
    using TextCallback = void (*)(void* user, const char* text, int length);
    using CommentCallback = void (*)(void* user, const char* text);
    using ErrorCallback = void (*)(void* user, const char* message);

    // What IndexOf returns when the pattern is not there.
    static constexpr unsigned int NotFound = 0xFFFFFFFFu;

    // One attribute of a tag, its value decoded; mHasValue is false when its quotes are missing.
    struct Attribute {
        std::string mName;
        std::string mValue;
        bool mHasValue{false};
    };

    XmlParser() = default;

    // A null callback switches that report off; its constructs are then skipped unread.
    void SetXmlDeclaration(DeclarationCallback fn) { mDeclaration = fn; }
    void SetXmlStartElement(StartElementCallback fn) { mStartElement = fn; }
    void SetXmlEndElement(EndElementCallback fn) { mEndElement = fn; }
    void SetXmlTextElement(TextCallback fn) { mText = fn; }
    void SetXmlComment(CommentCallback fn) { mComment = fn; }
    // Told, with a short message, why Parse is about to return false.
    void SetXmlError(ErrorCallback fn) { mError = fn; }

    // Scans length bytes of text, calling the callbacks with user. False when the text is cut
    // off: a "<" without a later ">", a comment without "-->", a CDATA section without "]]>", or
    // (with a text callback) text with no "<" after it.
    [[nodiscard]] bool Parse(void* user, const char* text, unsigned int length) const;

    // The first position p >= from at which pattern stands in text[0, length); NotFound when
    // there is none, when text is shorter than pattern or from lies past length - patternLength.
    static unsigned int IndexOf(const char* text, unsigned int length, const char* pattern,
                                unsigned int patternLength, unsigned int from);
    // With b > a: the first position in [a, b) (below length) that is not white space, or a.
    // With b <= a: the end of [b, a) without its trailing white space; a when the range holds
    // at most one byte or only white space.
    static unsigned int Truncate(const char* text, unsigned int length, unsigned int a,
                                 unsigned int b);
    // The bytes from start up to the first white space before end, or up to end.
    static std::string ParseName(const char* text, unsigned int start, unsigned int end);
    // The attributes of a tag's inner range [start, end) (name first), in order. Values are in
    // double or single quotes; reading stops at the first value whose quotes are missing, which
    // is returned without a value.
    static std::vector<Attribute> ParseAttributes(const char* text, unsigned int start,
                                                  unsigned int end);
    // The first white-space position in [start, end); start when there is none.
    static unsigned int FindWhiteSpace(const char* text, unsigned int start, unsigned int end);
    // The first position in [start, end) that is not white space; start when there is none.
    static unsigned int SkipWhiteSpace(const char* text, unsigned int start, unsigned int end);
    // text[start, end) with entities and character references decoded; a malformed or unknown
    // reference stays as it stands.
    static std::string Decode(const char* text, unsigned int start, unsigned int end);

  private:
    // Calls callback (a declaration or start-element callback) with the name and attributes of
    // the inner range [start, end).
    static void ReportTag(StartElementCallback callback, void* user, const char* text,
                          unsigned int start, unsigned int end);
    // Reports message to the error callback; returns false for Parse to return.
    bool Fail(void* user, const char* message) const;

    DeclarationCallback mDeclaration{nullptr};
    StartElementCallback mStartElement{nullptr};
    EndElementCallback mEndElement{nullptr};
    TextCallback mText{nullptr};
    CommentCallback mComment{nullptr};
    ErrorCallback mError{nullptr};
};

}  // namespace System::Xml
