#pragma once

#include "System/String.h"
#include "System/Xml/XmlNode.h"

#include <cstdint>

// Node building and reading shared by the feed serializers.
namespace System::Resource::Feeds::FeedXml {

// A new element called name with value as its text.
Xml::XmlNode Element(const char* name, const String& value = String());
// Appends the attribute name = value to node when value is not empty.
void AddAttributeIfSet(Xml::XmlNode& node, const char* name, const String& value);
// Appends the attribute name with the decimal text of value when value is above 0.
void AddNumberIfSet(Xml::XmlNode& node, const char* name, int32_t value);
// Appends a child element called name with value as its text when value is not empty.
void AddChildIfSet(Xml::XmlNode& parent, const char* name, const String& value);

// Appends an element called name holding the text and, when set, attribute "type"; nothing
// when the text is empty. Text is a feed's text construct (mType, mText).
template <typename Text>
void WriteTextConstruct(const Text& text, const char* name, Xml::XmlNode& parent) {
    if (text.mText.Length() == 0) {
        return;
    }
    Xml::XmlNode element = Element(name, text.mText);
    AddAttributeIfSet(element, "type", text.mType);
    parent.AddChild(element);
}

// Reads a text construct from node: attribute "type" and the element's value.
template <typename Text>
void ReadTextConstruct(Text& text, const Xml::XmlNode& node) {
    text.mType = node.GetAttributeValue("type");
    text.mText = node.mValue;
}

}  // namespace System::Resource::Feeds::FeedXml
