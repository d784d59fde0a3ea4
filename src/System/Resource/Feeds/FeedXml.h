#pragma once

#include "System/String.h"
#include "System/Xml/XmlNode.h"

#include <cstdint>
#include <initializer_list>

// Node building and reading shared by the feed serializers. A field counts as set when its
// text is not empty (numbers are turned into text that is empty when they are 0 or less).
namespace System::Resource::Feeds::FeedXml {

// An attribute to write: its name and its value, left out when empty.
struct Attribute {
    const char* mName;
    String mValue;
};

// An attribute to read: its name (matched exactly) and the field that takes its value.
struct Field {
    const char* mName;
    String* mValue;
};

// The decimal text of a number above 0; empty otherwise.
String Number(int32_t value);
// A new element called name with text as its value and the attributes that are set, in order.
Xml::XmlNode Element(const char* name, const String& text = String(),
                     std::initializer_list<Attribute> attributes = {});
// Appends Element(name, text, attributes) to parent.
void AddElement(Xml::XmlNode& parent, const char* name, const String& text,
                std::initializer_list<Attribute> attributes = {});
// Appends Element(name, text, attributes) to parent when text is set.
void AddElementIfSet(Xml::XmlNode& parent, const char* name, const String& text,
                     std::initializer_list<Attribute> attributes = {});
// Sets each field to the value of the first attribute of node with its name; empty when none.
void ReadAttributes(const Xml::XmlNode& node, std::initializer_list<Field> fields);
// Appends to values the value of each child of node whose folded name is name.
void ReadValues(const Xml::XmlNode& node, const char* name, Collections::Vector<String>& values);

// Appends an element called name holding the text and, when set, attribute "type"; nothing
// when the text is empty. Text is a feed's text construct (mType, mText).
template <typename Text>
void WriteTextConstruct(const Text& text, const char* name, Xml::XmlNode& parent) {
    AddElementIfSet(parent, name, text.mText, {{"type", text.mType}});
}

// Reads a text construct from node: attribute "type" and the element's value.
template <typename Text>
void ReadTextConstruct(Text& text, const Xml::XmlNode& node) {
    text.mType = node.GetAttributeValue("type");
    text.mText = node.mValue;
}

}  // namespace System::Resource::Feeds::FeedXml
