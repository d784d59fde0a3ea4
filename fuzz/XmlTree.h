#pragma once

#include "System/String.h"
#include "System/Utility/Utf8.h"
#include "System/Xml/XmlNode.h"

// Comparison of XML trees for the targets that write a tree and read it back.
namespace Fuzz {

// Whether text is made of bytes the XML writer keeps: well-formed UTF-8 without the
// characters XML 1.0 cannot hold (C0 controls other than tab, line feed and carriage
// return, U+FFFE, U+FFFF). A text with other bytes loses them when written.
inline bool IsWritable(const System::String& text) {
    const char* bytes = text.CStr();
    for (uint32_t i = 0; i < text.Length();) {
        uint32_t code = 0;
        const size_t length = System::Utility::Utf8::Decode(bytes + i, text.Length() - i, code);
        if (length == 0 || (code < 0x20 && code != '\t' && code != '\n' && code != '\r') ||
            code == 0xFFFE || code == 0xFFFF) {
            return false;
        }
        i += static_cast<uint32_t>(length);
    }
    return true;
}

// Whether every name and value in the tree of node is writable.
inline bool IsWritable(const System::Xml::XmlNode& node) {
    if (!IsWritable(node.mName) || (node.GetNumChildren() == 0 && !IsWritable(node.mValue))) {
        return false;
    }
    for (unsigned int i = 0; i < node.GetNumAttributes(); ++i) {
        const auto* attribute = node.GetAttribute(i);
        if (!IsWritable(attribute->mName) || !IsWritable(attribute->mValue)) {
            return false;
        }
    }
    for (unsigned int i = 0; i < node.GetNumChildren(); ++i) {
        if (!IsWritable(*node.GetChild(i))) {
            return false;
        }
    }
    return true;
}

// Whether the two trees are the same where they are written (an element with children is
// written without its own value); the compact writing escapes every value, so
// two trees write the same text exactly when they are the same.
inline bool Equal(const System::Xml::XmlNode& a, const System::Xml::XmlNode& b) {
    return a.ToString(false) == b.ToString(false);
}

}  // namespace Fuzz
