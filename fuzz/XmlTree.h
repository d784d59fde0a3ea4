#pragma once

#include "System/String.h"
#include "System/Xml/XmlNode.h"

// Comparison of XML trees for the targets that write a tree and read it back.
namespace Fuzz {

// Whether text is made of bytes the XML writer keeps: well-formed UTF-8 without the
// characters XML 1.0 cannot hold (C0 controls other than tab, line feed and carriage
// return, U+FFFE, U+FFFF). A text with other bytes loses them when written.
inline bool IsWritable(const System::String& text) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.CStr());
    for (uint32_t i = 0; i < text.Length();) {
        const unsigned char lead = bytes[i];
        if (lead < 0x80) {
            if (lead < 0x20 && lead != '\t' && lead != '\n' && lead != '\r') {
                return false;
            }
            ++i;
            continue;
        }
        // Continuation count and the range of the second byte, which rules out overlong
        // forms, surrogates and code points above U+10FFFF.
        const uint32_t more = lead >= 0xC2 && lead <= 0xDF   ? 1
                              : lead >= 0xE0 && lead <= 0xEF ? 2
                              : lead >= 0xF0 && lead <= 0xF4 ? 3
                                                             : 0;
        const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
        const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
        if (more == 0 || i + more >= text.Length() || bytes[i + 1] < low || bytes[i + 1] > high) {
            return false;
        }
        for (uint32_t k = 2; k <= more; ++k) {
            if (bytes[i + k] < 0x80 || bytes[i + k] > 0xBF) {
                return false;
            }
        }
        // U+FFFE and U+FFFF are not XML characters either.
        if (lead == 0xEF && bytes[i + 1] == 0xBF && bytes[i + 2] >= 0xBE) {
            return false;
        }
        i += more + 1;
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

// Whether the two trees have the same names, attributes and children in order, and the
// same values where they are written: an element with children is written without its own.
inline bool Equal(const System::Xml::XmlNode& a, const System::Xml::XmlNode& b) {
    if (a.mName != b.mName || (a.GetNumChildren() == 0 && a.mValue != b.mValue) ||
        a.GetNumAttributes() != b.GetNumAttributes() || a.GetNumChildren() != b.GetNumChildren()) {
        return false;
    }
    for (unsigned int i = 0; i < a.GetNumAttributes(); ++i) {
        if (a.GetAttribute(i)->mName != b.GetAttribute(i)->mName ||
            a.GetAttribute(i)->mValue != b.GetAttribute(i)->mValue) {
            return false;
        }
    }
    for (unsigned int i = 0; i < a.GetNumChildren(); ++i) {
        if (!Equal(*a.GetChild(i), *b.GetChild(i))) {
            return false;
        }
    }
    return true;
}

}  // namespace Fuzz
