#include "System/Xml/XmlDoc.h"

#include "System/IO/FileStream.h"
#include "System/Utility/Utf8.h"
#include "System/Xml/XmlParser.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

namespace System::Xml {

namespace {

// A range of code points [first, last].
struct Range {
    uint32_t first;
    uint32_t last;
};

// The characters that may start an XML name, and those that may only follow.
constexpr Range kNameStart[] = {
    {':', ':'},       {'A', 'Z'},       {'_', '_'},       {'a', 'z'},
    {0xC0, 0xD6},     {0xD8, 0xF6},     {0xF8, 0x2FF},    {0x370, 0x37D},
    {0x37F, 0x1FFF},  {0x200C, 0x200D}, {0x2070, 0x218F}, {0x2C00, 0x2FEF},
    {0x3001, 0xD7FF}, {0xF900, 0xFDCF}, {0xFDF0, 0xFFFD}, {0x10000, 0xEFFFF}};
constexpr Range kNameRest[] = {
    {'-', '.'}, {'0', '9'}, {0xB7, 0xB7}, {0x300, 0x36F}, {0x203F, 0x2040}};

template <size_t N>
bool IsIn(const Range (&ranges)[N], uint32_t code) {
    for (const Range& range : ranges) {
        if (code >= range.first && code <= range.last) {
            return true;
        }
    }
    return false;
}

// Whether name is an XML name, so that it is written back as it was read. A quote or "="
// in an attribute's name means a quote was left out before it, and every value after it
// would go to the wrong name; a name starting with "!" or "?" would be written as a
// declaration, which reads back as nothing.
bool IsName(const char* name) {
    const size_t length = std::strlen(name);
    for (size_t i = 0; i < length;) {
        uint32_t code = 0;
        const size_t size = Utility::Utf8::Decode(name + i, length - i, code);
        if (size == 0 || !(IsIn(kNameStart, code) || (i > 0 && IsIn(kNameRest, code)))) {
            return false;
        }
        i += size;
    }
    return length > 0;
}

}  // namespace

XmlNode* XmlDoc::Load(const String& text) {
    mRoot.Clear();
    mCurrent = &mRoot;
    mDepth = 0;
    mFailed = false;

    XmlParser parser;
    parser.SetXmlStartElement(&XmlDoc::XmlStartElement);
    parser.SetXmlEndElement(&XmlDoc::XmlEndElement);
    parser.SetXmlTextElement(&XmlDoc::XmlTextElement);
    const bool parsed = parser.Parse(this, text.ToByteArray(), text.Length());

    // A text without any element, or whose top-level element is still open at its end (a
    // truncated file or reply), is no document: taking it would pass a partial tree as whole.
    const bool complete = mDepth == 0 && mRoot.mName.Length() > 0;
    mCurrent = nullptr;
    return parsed && complete && !mFailed ? &mRoot : nullptr;
}

XmlNode* XmlDoc::Import(const String& path) {
    IO::FileStream stream(path, 3);
    if (!stream.CanRead()) {
        return nullptr;
    }
    const int64_t length = stream.Length();
    // A directory opens for reading too and reports a length of 2^63 - 1: allocating for it
    // would throw. Read counts are ints, so nothing longer can be read whole anyway.
    if (length >= INT_MAX) {
        return nullptr;
    }
    std::vector<unsigned char> buffer(static_cast<std::size_t>(length > 0 ? length : 0) + 1, 0);
    const int read = length > 0 ? stream.Read(buffer.data(), 0, static_cast<int>(length)) : 0;
    stream.Close();
    buffer[read > 0 ? static_cast<std::size_t>(read) : 0] = 0;
    return Load(String(reinterpret_cast<const char*>(buffer.data())));
}

void XmlDoc::Write(const String& path, const XmlNode& node) {
    IO::FileStream stream(path, 2);
    if (!stream.CanWrite()) {
        return;
    }
    const String text = node.ToString();
    stream.Write(reinterpret_cast<const unsigned char*>(text.ToByteArray()), 0,
                 static_cast<int>(text.Length()));
    stream.Close();
}

void XmlDoc::XmlStartElement(void* user, const char* name, const char** attributes) {
    auto* document = static_cast<XmlDoc*>(user);
    if (document->mFailed || document->mCurrent == nullptr) {
        return;
    }
    if (!IsName(name) || document->mDepth == MaxDepth) {
        document->mFailed = true;
        return;
    }
    XmlNode* node = document->mCurrent;
    if (node != &document->mRoot || node->mName.Length() > 0) {
        node->AddChild(XmlNode());
        node = node->GetChild(node->GetNumChildren() - 1);
    }
    node->mName = name;
    for (const char** entry = attributes; entry != nullptr && entry[0] != nullptr; entry += 2) {
        // A value without its quotes (the rest of the tag was not read) or a name that a
        // left-out quote made: the element would silently lose or mix up attributes.
        if (entry[1] == nullptr || !IsName(entry[0])) {
            document->mFailed = true;
            return;
        }
        node->AddAttribute(XmlItem(entry[0], entry[1]));
    }
    document->mCurrent = node;
    ++document->mDepth;
}

void XmlDoc::XmlEndElement(void* user, const char*) {
    auto* document = static_cast<XmlDoc*>(user);
    if (document->mFailed || document->mCurrent == nullptr) {
        return;
    }
    // End tags are not matched against the open element; closing the top-level element (or
    // an end tag before any start) leaves no current node, so the rest is ignored.
    document->mCurrent = document->mCurrent->GetParent();
    if (document->mDepth > 0) {
        --document->mDepth;
    }
}

void XmlDoc::XmlTextElement(void* user, const char* text, int length) {
    auto* document = static_cast<XmlDoc*>(user);
    if (length >= 1 && document->mCurrent != nullptr && !document->mFailed) {
        document->mCurrent->mValue = String(text, static_cast<unsigned int>(length));
    }
}

}  // namespace System::Xml
