#include "System/Xml/XmlNode.h"

#include "System/Utility/Utf8.h"

#include <algorithm>
#include <string>

namespace System::Xml {

namespace {

// Whether XML 1.0 can hold the character in any form.
bool IsXmlCharacter(uint32_t code) {
    return code >= 0x20 ? code < 0xFFFE || code > 0xFFFF
                        : code == '\t' || code == '\n' || code == '\r';
}

// The reference of a space or tab that a reader would trim.
const char* SpaceReference(char c) {
    return c == ' ' ? "&#32;" : "&#9;";
}

// Appends value with the five markup bytes written as character references. A line feed is
// written as "&#10;" and a carriage return as "&#13;": written raw, a reader turns either line
// end into a line feed. In an attribute value a tab is written as "&#9;" too, since a reader
// turns a raw one into a space; element text keeps it raw. Characters that XML 1.0 cannot hold
// (control bytes other than TAB, LF and CR, U+FFFE and U+FFFF) and bytes that are not part of a
// well-formed UTF-8 sequence (text in another encoding, or cut in the middle of a character) are
// dropped: written raw, any of them makes the whole document unreadable to a conforming parser.
// White space at either end of what is kept is written as references too, since a reader trims it
// from an element's text.
void AppendEscaped(std::string& out, const String& value, bool attribute) {
    const char* bytes = value.ToByteArray();
    const size_t length = value.Length();
    bool leading = true;  // nothing but white space kept so far
    // Where the white space written raw since the last other character starts in out.
    size_t trailing = std::string::npos;
    for (size_t i = 0; i < length;) {
        const char c = bytes[i];
        uint32_t code = static_cast<unsigned char>(c);
        size_t size = 1;
        if (code >= 0x80 && (size = Utility::Utf8::Decode(bytes + i, length - i, code)) == 0) {
            ++i;
            continue;
        }
        const size_t at = i;
        i += size;
        if (!IsXmlCharacter(code)) {
            continue;
        }
        if (c == ' ' || (c == '\t' && !attribute)) {
            if (leading) {
                out += SpaceReference(c);
            } else {
                trailing = std::min(trailing, out.size());
                out += c;
            }
            continue;
        }
        leading = false;
        trailing = std::string::npos;
        switch (c) {
            case '&':
                out += "&#38;";
                break;
            case '"':
                out += "&#34;";
                break;
            case '<':
                out += "&#60;";
                break;
            case '>':
                out += "&#62;";
                break;
            case '\n':
                out += "&#10;";
                break;
            case '\r':
                out += "&#13;";
                break;
            case '\t':
                out += "&#9;";
                break;
            default:
                if (size == 1) {
                    out += c;
                } else {
                    out.append(bytes + at, size);
                }
                break;
        }
    }
    if (trailing != std::string::npos) {
        const std::string run = out.substr(trailing);
        out.resize(trailing);
        for (const char space : run) {
            out += SpaceReference(space);
        }
    }
}

void AppendBytes(std::string& out, const String& text) {
    if (text.Length() > 0) {
        out.append(text.ToByteArray(), text.Length());
    }
}

}  // namespace

// A copy belongs to no tree until it is added to one, and an assigned node stays where it lives:
// taking the source's parent instead would leave copies pointing at nodes that may since have
// moved or gone. Whoever holds children points them at itself (AdoptChildren).
XmlNode::XmlNode(const XmlNode& other) : XmlItem() {
    CopyFrom(other);
}

XmlNode& XmlNode::operator=(const XmlNode& other) {
    if (this == &other) {
        return *this;
    }
    if (IsRelatedTo(other)) {
        // Clearing this node would destroy (or move) the source first.
        const XmlNode copy(other);
        CopyFrom(copy);
        return *this;
    }
    CopyFrom(other);
    return *this;
}

void XmlNode::CopyFrom(const XmlNode& other) {
    mName = other.mName;
    mValue = other.mValue;
    mAttributes = other.mAttributes;
    mChildren = other.mChildren;
    AdoptChildren(0);
}

void XmlNode::AdoptChildren(unsigned int from) {
    for (unsigned int i = from; i < mChildren.Count(); ++i) {
        mChildren[i].mParent = this;
    }
}

bool XmlNode::IsRelatedTo(const XmlNode& node) const {
    for (const XmlNode* p = &node; p != nullptr; p = p->mParent) {
        if (p == this) {
            return true;
        }
    }
    for (const XmlNode* p = mParent; p != nullptr; p = p->mParent) {
        if (p == &node) {
            return true;
        }
    }
    return false;
}

int XmlNode::FindAttribute(const String& name, unsigned int n) const {
    unsigned int seen = 0;
    for (unsigned int i = 0; i < mAttributes.Count(); ++i) {
        if (mAttributes[i].mName == name && ++seen >= n) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int XmlNode::FindChild(const String& name, unsigned int n) const {
    unsigned int seen = 0;
    for (unsigned int i = 0; i < mChildren.Count(); ++i) {
        if (mChildren[i].mName == name && ++seen >= n) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void XmlNode::AddAttribute(const XmlItem& item) {
    mAttributes.Add(item);
}

XmlItem* XmlNode::GetAttribute(const String& name, unsigned int n) {
    const int index = FindAttribute(name, n);
    return index < 0 ? nullptr : &mAttributes[index];
}

const XmlItem* XmlNode::GetAttribute(const String& name, unsigned int n) const {
    const int index = FindAttribute(name, n);
    return index < 0 ? nullptr : &mAttributes[index];
}

XmlItem* XmlNode::GetAttribute(unsigned int index) {
    return index < mAttributes.Count() ? &mAttributes[index] : nullptr;
}

const XmlItem* XmlNode::GetAttribute(unsigned int index) const {
    return index < mAttributes.Count() ? &mAttributes[index] : nullptr;
}

String XmlNode::GetAttributeValue(const String& name, unsigned int n) const {
    const XmlItem* item = GetAttribute(name, n);
    return item == nullptr ? String() : item->mValue;
}

bool XmlNode::GetAttributeValueBool(const String& name, unsigned int n) const {
    const XmlItem* item = GetAttribute(name, n);
    return item != nullptr && item->ValueBool();
}

int XmlNode::GetAttributeValueInt(const String& name, unsigned int n) const {
    const XmlItem* item = GetAttribute(name, n);
    return item == nullptr ? 0 : item->ValueInt();
}

double XmlNode::GetAttributeValueDouble(const String& name, unsigned int n) const {
    const XmlItem* item = GetAttribute(name, n);
    return item == nullptr ? 0.0 : item->ValueDouble();
}

void XmlNode::SetAttributeValue(const String& name, const String& value) {
    XmlItem* item = GetAttribute(name, 1);
    if (item != nullptr) {
        item->mValue = value;
    } else {
        mAttributes.Add(XmlItem(name, value));
    }
}

void XmlNode::SetAttributeValueBool(const String& name, bool value) {
    XmlItem item;
    item.ValueBool(value);
    SetAttributeValue(name, item.mValue);
}

void XmlNode::SetAttributeValueInt(const String& name, int value) {
    XmlItem item;
    item.ValueInt(value);
    SetAttributeValue(name, item.mValue);
}

void XmlNode::SetAttributeValueDouble(const String& name, double value) {
    XmlItem item;
    item.ValueDouble(value);
    SetAttributeValue(name, item.mValue);
}

void XmlNode::RemoveAttribute(const String& name, unsigned int n) {
    const int index = FindAttribute(name, n);
    if (index >= 0) {
        mAttributes.RemoveAt(static_cast<unsigned int>(index));
    }
}

void XmlNode::RemoveAttribute(unsigned int index) {
    mAttributes.RemoveAt(index);
}

void XmlNode::RemoveAttributes() {
    mAttributes.Clear();
}

void XmlNode::AddChild(const XmlNode& node) {
    InsertChild(mChildren.Count(), node);
}

void XmlNode::InsertChild(unsigned int index, const XmlNode& node) {
    if (IsRelatedTo(node)) {
        // Growing the children vector could move or change node while it is copied.
        const XmlNode copy(node);
        InsertChild(index, copy);
        return;
    }
    const XmlNode* first = mChildren.Count() > 0 ? &mChildren[0] : nullptr;
    const unsigned int at = index < mChildren.Count() ? index : mChildren.Count();
    mChildren.Insert(at, node);
    // Children at and after the insertion sit in other slots now, and all of them do when the
    // vector moved to a new array.
    AdoptChildren(&mChildren[0] == first ? at : 0);
}

void XmlNode::InsertChildren(const XmlNode& source, unsigned int index) {
    if (IsRelatedTo(source)) {
        const XmlNode copy(source);
        InsertChildren(copy, index);
        return;
    }
    for (unsigned int k = 0; k < source.mChildren.Count(); ++k) {
        const unsigned int at = index == 0xFFFFFFFFu ? mChildren.Count() : index + k;
        InsertChild(at, source.mChildren[k]);
    }
}

void XmlNode::AddChildren(const XmlNode& source) {
    InsertChildren(source, 0xFFFFFFFFu);
}

XmlNode* XmlNode::GetChild(const String& name, unsigned int n) {
    const int index = FindChild(name, n);
    return index < 0 ? nullptr : &mChildren[index];
}

const XmlNode* XmlNode::GetChild(const String& name, unsigned int n) const {
    const int index = FindChild(name, n);
    return index < 0 ? nullptr : &mChildren[index];
}

XmlNode* XmlNode::GetChild(unsigned int index) {
    return index < mChildren.Count() ? &mChildren[index] : nullptr;
}

const XmlNode* XmlNode::GetChild(unsigned int index) const {
    return index < mChildren.Count() ? &mChildren[index] : nullptr;
}

XmlNode* XmlNode::GetChildWithAttribute(const String& name, const String& attributeName,
                                        const String& attributeValue, unsigned int n) {
    unsigned int seen = 0;
    for (unsigned int i = 0; i < mChildren.Count(); ++i) {
        XmlNode& child = mChildren[i];
        if (child.mName != name) {
            continue;
        }
        const XmlItem* attribute = child.GetAttribute(attributeName, 1);
        if (attribute != nullptr && attribute->mValue == attributeValue && ++seen >= n) {
            return &child;
        }
    }
    return nullptr;
}

String XmlNode::GetChildValue(const String& name, unsigned int n) const {
    const XmlNode* child = GetChild(name, n);
    return child == nullptr ? String() : child->mValue;
}

bool XmlNode::GetChildValueBool(const String& name, unsigned int n) const {
    const XmlNode* child = GetChild(name, n);
    return child != nullptr && child->ValueBool();
}

int XmlNode::GetChildValueInt(const String& name, unsigned int n) const {
    const XmlNode* child = GetChild(name, n);
    return child == nullptr ? 0 : child->ValueInt();
}

double XmlNode::GetChildValueDouble(const String& name, unsigned int n) const {
    const XmlNode* child = GetChild(name, n);
    return child == nullptr ? 0.0 : child->ValueDouble();
}

void XmlNode::SetChildValue(const String& name, const String& value, unsigned int n) {
    XmlNode* child = GetChild(name, n);
    if (child != nullptr) {
        child->mValue = value;
        return;
    }
    XmlNode node;
    node.mName = name;
    node.mValue = value;
    AddChild(node);
}

void XmlNode::SetChildValueBool(const String& name, bool value, unsigned int n) {
    XmlItem item;
    item.ValueBool(value);
    SetChildValue(name, item.mValue, n);
}

void XmlNode::SetChildValueInt(const String& name, int value, unsigned int n) {
    XmlItem item;
    item.ValueInt(value);
    SetChildValue(name, item.mValue, n);
}

void XmlNode::SetChildValueDouble(const String& name, double value, unsigned int n) {
    XmlItem item;
    item.ValueDouble(value);
    SetChildValue(name, item.mValue, n);
}

void XmlNode::RemoveChild(const String& name, unsigned int n) {
    const int index = FindChild(name, n);
    if (index >= 0) {
        RemoveChild(static_cast<unsigned int>(index));
    }
}

void XmlNode::RemoveChild(unsigned int index) {
    const XmlNode* first = mChildren.Count() > 0 ? &mChildren[0] : nullptr;
    mChildren.RemoveAt(index);
    // The vector moves to a smaller array when it shrinks.
    if (mChildren.Count() > 0 && &mChildren[0] != first) {
        AdoptChildren(0);
    }
}

void XmlNode::RemoveChildren() {
    mChildren.Clear();
}

XmlNode XmlNode::GetChildren(const String& name) const {
    XmlNode result;
    result.mName = mName;
    for (unsigned int i = 0; i < mChildren.Count(); ++i) {
        if (mChildren[i].mName == name) {
            result.AddChild(mChildren[i]);
        }
    }
    return result;
}

XmlNode* XmlNode::FindNode(const String& name, unsigned int n) {
    for (unsigned int i = 0; i < mChildren.Count(); ++i) {
        XmlNode& child = mChildren[i];
        if (child.mName == name) {
            if (n <= 1) {
                return &child;
            }
            --n;
        } else if (child.mChildren.Count() > 0) {
            XmlNode* found = child.FindNode(name, n);
            if (found != nullptr) {
                return found;
            }
        }
    }
    return nullptr;
}

void XmlNode::Clear() {
    mName = String();
    mValue = String();
    mAttributes.Clear();
    mChildren.Clear();
}

String XmlNode::ToString(bool pretty) const {
    return toString(*this, pretty, 0);
}

String XmlNode::toString(const XmlNode& node, bool pretty, unsigned int depth) {
    std::string out;
    AppendText(out, node, pretty, depth);
    return String(out.data(), static_cast<unsigned int>(out.size()));
}

void XmlNode::AppendText(std::string& out, const XmlNode& node, bool pretty, unsigned int depth) {
    const std::string indent(pretty ? depth : 0, '\t');
    const char* lineBreak = pretty ? "\n" : "";
    out += indent;
    out += '<';
    AppendBytes(out, node.mName);
    for (unsigned int i = 0; i < node.mAttributes.Count(); ++i) {
        out += ' ';
        AppendBytes(out, node.mAttributes[i].mName);
        out += "=\"";
        AppendEscaped(out, node.mAttributes[i].mValue, true);
        out += '"';
    }
    if (node.mChildren.Count() == 0) {
        if (node.mValue.Length() == 0) {
            out += " />";
        } else {
            out += '>';
            AppendEscaped(out, node.mValue, false);
            out += "</";
            AppendBytes(out, node.mName);
            out += '>';
        }
        out += lineBreak;
        return;
    }
    out += '>';
    out += lineBreak;
    for (unsigned int i = 0; i < node.mChildren.Count(); ++i) {
        AppendText(out, node.mChildren[i], pretty, depth + 1);
    }
    // The outermost closing tag ends the text: no indentation and no line break after it.
    if (depth > 0) {
        out += indent;
    }
    out += "</";
    AppendBytes(out, node.mName);
    out += '>';
    if (depth > 0) {
        out += lineBreak;
    }
}

}  // namespace System::Xml
