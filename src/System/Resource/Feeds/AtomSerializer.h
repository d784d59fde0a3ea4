#pragma once

#include "System/Object.h"
#include "System/Resource/Feeds/AtomFeed.h"
#include "System/String.h"
#include "System/Xml/XmlNode.h"

namespace System::Resource::Feeds {

// Turns an AtomFeed into an XmlNode tree and back. Writing puts each field only when it is set,
// except categories, links and persons, which are always written; reading compares element
// names without regard to ASCII case, attribute and person child names exactly, and lets the
// last element of a single-valued field win. Holds no state.
class AtomSerializer : public Object {
  public:
    // The namespace of RFC 4287, the only attribute of a written "feed" element.
    static constexpr const char* Namespace = "http://www.w3.org/2005/Atom";

    // A "feed" element holding the feed.
    Xml::XmlNode Serialize(const AtomFeed& feed) const;
    // The feed read from node, whatever its name and namespace.
    AtomFeed Deserialize(const Xml::XmlNode& node) const;

    // Makes node the "feed" element and fills it.
    void WriteFeed(const AtomFeed& feed, Xml::XmlNode& node) const;
    // Appends one "entry" element to parent.
    void WriteEntry(const AtomEntry& entry, Xml::XmlNode& parent) const;
    // Appends the elements a feed and an entry share, extensions excepted.
    void WriteCommon(const AtomCommon& common, Xml::XmlNode& node) const;
    // Appends one person element called name to parent.
    void WritePersonConstruct(const AtomPersonConstruct& person, const String& name,
                              Xml::XmlNode& parent) const;

    void ReadFeed(AtomFeed& feed, const Xml::XmlNode& node) const;
    void ReadEntry(AtomEntry& entry, const Xml::XmlNode& node) const;
    // Reads the shared elements, and keeps every other foreign child in the extensions.
    void ReadCommon(AtomCommon& common, const Xml::XmlNode& node) const;

  private:
    // ReadCommon that leaves out of the extensions the children the caller reads itself
    // (ownNames, lower case, null-terminated).
    void ReadCommon(AtomCommon& common, const Xml::XmlNode& node,
                    const char* const* ownNames) const;
};

}  // namespace System::Resource::Feeds
