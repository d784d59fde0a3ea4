#include "System/Resource/Feeds/FeedXml.h"

namespace System::Resource::Feeds::FeedXml {

String Number(int32_t value) {
    return value > 0 ? String::Parse("%d", value) : String();
}

Xml::XmlNode Element(const char* name, const String& text,
                     std::initializer_list<Attribute> attributes) {
    Xml::XmlNode node;
    node.mName = name;
    node.mValue = text;
    for (const Attribute& attribute : attributes) {
        if (attribute.mValue.Length() > 0) {
            node.AddAttribute(Xml::XmlItem(attribute.mName, attribute.mValue));
        }
    }
    return node;
}

void AddElement(Xml::XmlNode& parent, const char* name, const String& text,
                std::initializer_list<Attribute> attributes) {
    parent.AddChild(Element(name, text, attributes));
}

void AddElementIfSet(Xml::XmlNode& parent, const char* name, const String& text,
                     std::initializer_list<Attribute> attributes) {
    if (text.Length() > 0) {
        AddElement(parent, name, text, attributes);
    }
}

void ReadAttributes(const Xml::XmlNode& node, std::initializer_list<Field> fields) {
    for (const Field& field : fields) {
        *field.mValue = node.GetAttributeValue(field.mName);
    }
}

void ReadValues(const Xml::XmlNode& node, const char* name, Collections::Vector<String>& values) {
    for (uint32_t i = 0; i < node.GetNumChildren(); ++i) {
        const Xml::XmlNode& child = *node.GetChild(i);
        if (child.mName.ToLower() == name) {
            values.Add(child.mValue);
        }
    }
}

}  // namespace System::Resource::Feeds::FeedXml
