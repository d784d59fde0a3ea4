#pragma once

#include "System/Object.h"
#include "System/Resource/Feeds/MediaGroup.h"
#include "System/Xml/XmlNode.h"

namespace System::Resource::Feeds {

// Turns a MediaGroup into an XmlNode tree and back. Writing puts a string only when it is not
// empty, a number only when it is above 0 and isDefault only when set; elements that repeat are
// always written. Reading compares element names without regard to ASCII case, and attribute
// names exactly, except the attributes of "content". Holds no state.
class MediaRssSerializer : public Object {
  public:
    // The namespace of the Media RSS module, the only attribute of a written "group" element.
    static constexpr const char* Namespace = "http://search.yahoo.com/mrss/";

    // A "group" element holding the group.
    Xml::XmlNode Serialize(const MediaGroup& group) const;
    // The group read from node, whatever its name and namespace.
    MediaGroup Deserialize(const Xml::XmlNode& node) const;

    // Makes node the "group" element and fills it.
    void WriteGroup(const MediaGroup& group, Xml::XmlNode& node) const;
    // Appends one "content" element to parent.
    void WriteContent(const MediaContent& content, Xml::XmlNode& parent) const;
    // Appends the optional elements to node.
    void WriteOptional(const MediaOptional& optional, Xml::XmlNode& node) const;

    void ReadGroup(MediaGroup& group, const Xml::XmlNode& node) const;
    void ReadContent(MediaContent& content, const Xml::XmlNode& node) const;
    // Reads the optional elements among node's children.
    void ReadOptional(MediaOptional& optional, const Xml::XmlNode& node) const;
};

}  // namespace System::Resource::Feeds
