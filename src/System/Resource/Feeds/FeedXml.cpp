#include "System/Resource/Feeds/FeedXml.h"

namespace System::Resource::Feeds::FeedXml {

Xml::XmlNode Element(const char* name, const String& value) {
    Xml::XmlNode node;
    node.mName = name;
    node.mValue = value;
    return node;
}

void AddAttributeIfSet(Xml::XmlNode& node, const char* name, const String& value) {
    if (value.Length() > 0) {
        node.AddAttribute(Xml::XmlItem(name, value));
    }
}

void AddNumberIfSet(Xml::XmlNode& node, const char* name, int32_t value) {
    if (value > 0) {
        Xml::XmlItem item(name, String());
        item.ValueInt(value);
        node.AddAttribute(item);
    }
}

void AddChildIfSet(Xml::XmlNode& parent, const char* name, const String& value) {
    if (value.Length() > 0) {
        parent.AddChild(Element(name, value));
    }
}

}  // namespace System::Resource::Feeds::FeedXml
