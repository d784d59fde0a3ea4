#include "System/Resource/Feeds/AtomSerializer.h"

#include "System/Resource/Feeds/FeedXml.h"

namespace System::Resource::Feeds {

using namespace FeedXml;
using Xml::XmlNode;

namespace {

AtomPersonConstruct ReadPerson(const XmlNode& node) {
    AtomPersonConstruct person;
    person.mName = node.GetChildValue("name");
    person.mEmail = node.GetChildValue("email");
    person.mUri = node.GetChildValue("uri");
    return person;
}

void AppendAll(const Collections::Vector<XmlNode>& nodes, XmlNode& parent) {
    for (uint32_t i = 0; i < nodes.Count(); ++i) {
        parent.AddChild(nodes[i]);
    }
}

bool IsForeign(const XmlNode& node) {
    return node.mName.IndexOf(":") >= 0 || node.GetAttribute("xmlns") != nullptr;
}

bool IsOneOf(const String& name, const char* const* names) {
    for (; names != nullptr && *names != nullptr; ++names) {
        if (name == *names) {
            return true;
        }
    }
    return false;
}

}  // namespace

XmlNode AtomSerializer::Serialize(const AtomFeed& feed) const {
    XmlNode node;
    WriteFeed(feed, node);
    return node;
}

AtomFeed AtomSerializer::Deserialize(const XmlNode& node) const {
    AtomFeed feed;
    ReadFeed(feed, node);
    return feed;
}

void AtomSerializer::WriteFeed(const AtomFeed& feed, XmlNode& node) const {
    node.Clear();
    node.mName = "feed";
    node.AddAttribute(Xml::XmlItem("xmlns", Namespace));
    WriteCommon(feed, node);
    const AtomGenerator& generator = feed.mGenerator;
    AddElementIfSet(node, "generator", generator.mText,
                    {{"uri", generator.mUri}, {"version", generator.mVersion}});
    AddElementIfSet(node, "icon", feed.mIcon);
    AddElementIfSet(node, "logo", feed.mLogo);
    WriteTextConstruct(feed.mSubtitle, "subtitle", node);
    for (uint32_t i = 0; i < feed.mEntries.Count(); ++i) {
        WriteEntry(feed.mEntries[i], node);
    }
    AppendAll(feed.mExtensions, node);
}

void AtomSerializer::WriteEntry(const AtomEntry& entry, XmlNode& parent) const {
    XmlNode element = Element("entry");
    WriteCommon(entry, element);
    AddElementIfSet(element, "content", entry.mContent.mText,
                    {{"src", entry.mContent.mSrc}, {"type", entry.mContent.mType}});
    AddElementIfSet(element, "published", entry.mPublished);
    AddElementIfSet(element, "source", entry.mSource);
    WriteTextConstruct(entry.mSummary, "summary", element);
    AppendAll(entry.mExtensions, element);
    parent.AddChild(element);
}

void AtomSerializer::WriteCommon(const AtomCommon& common, XmlNode& node) const {
    for (uint32_t i = 0; i < common.mAuthors.Count(); ++i) {
        WritePersonConstruct(common.mAuthors[i], "author", node);
    }
    for (uint32_t i = 0; i < common.mCategories.Count(); ++i) {
        const AtomCategory& category = common.mCategories[i];
        AddElement(
            node, "category", String(),
            {{"label", category.mLabel}, {"scheme", category.mScheme}, {"term", category.mTerm}});
    }
    for (uint32_t i = 0; i < common.mContributors.Count(); ++i) {
        WritePersonConstruct(common.mContributors[i], "contributor", node);
    }
    AddElementIfSet(node, "id", common.mId);
    for (uint32_t i = 0; i < common.mLinks.Count(); ++i) {
        const AtomLink& link = common.mLinks[i];
        AddElement(node, "link", String(),
                   {{"href", link.mHref},
                    {"hreflang", link.mHreflang},
                    {"length", link.mLength},
                    {"rel", link.mRel},
                    {"title", link.mTitle},
                    {"type", link.mType}});
    }
    WriteTextConstruct(common.mRights, "rights", node);
    WriteTextConstruct(common.mTitle, "title", node);
    AddElementIfSet(node, "updated", common.mUpdated);
}

void AtomSerializer::WritePersonConstruct(const AtomPersonConstruct& person, const String& name,
                                          XmlNode& parent) const {
    XmlNode element;
    element.mName = name;
    AddElementIfSet(element, "email", person.mEmail);
    AddElementIfSet(element, "name", person.mName);
    AddElementIfSet(element, "uri", person.mUri);
    parent.AddChild(element);
}

void AtomSerializer::ReadFeed(AtomFeed& feed, const XmlNode& node) const {
    static const char* const kOwnNames[] = {"generator", "icon",  "logo",
                                            "subtitle",  "entry", nullptr};
    ReadCommon(feed, node, kOwnNames);
    for (uint32_t i = 0; i < node.GetNumChildren(); ++i) {
        const XmlNode& child = *node.GetChild(i);
        const String name = child.mName.ToLower();
        if (name == "generator") {
            ReadAttributes(
                child, {{"uri", &feed.mGenerator.mUri}, {"version", &feed.mGenerator.mVersion}});
            feed.mGenerator.mText = child.mValue;
        } else if (name == "icon") {
            feed.mIcon = child.mValue;
        } else if (name == "logo") {
            feed.mLogo = child.mValue;
        } else if (name == "subtitle") {
            ReadTextConstruct(feed.mSubtitle, child);
        } else if (name == "entry") {
            AtomEntry entry;
            ReadEntry(entry, child);
            feed.mEntries.Add(entry);
        }
    }
}

void AtomSerializer::ReadEntry(AtomEntry& entry, const XmlNode& node) const {
    static const char* const kOwnNames[] = {"content", "published", "source", "summary", nullptr};
    ReadCommon(entry, node, kOwnNames);
    for (uint32_t i = 0; i < node.GetNumChildren(); ++i) {
        const XmlNode& child = *node.GetChild(i);
        const String name = child.mName.ToLower();
        if (name == "content") {
            ReadAttributes(child, {{"src", &entry.mContent.mSrc}, {"type", &entry.mContent.mType}});
            // Markup inside the content becomes part of its text.
            String text = child.mValue;
            for (uint32_t k = 0; k < child.GetNumChildren(); ++k) {
                text += child.GetChild(k)->ToString(true);
            }
            entry.mContent.mText = text;
        } else if (name == "published") {
            entry.mPublished = child.mValue;
        } else if (name == "source") {
            entry.mSource = child.mValue;
        } else if (name == "summary") {
            ReadTextConstruct(entry.mSummary, child);
        }
    }
}

void AtomSerializer::ReadCommon(AtomCommon& common, const XmlNode& node) const {
    ReadCommon(common, node, nullptr);
}

void AtomSerializer::ReadCommon(AtomCommon& common, const XmlNode& node,
                                const char* const* ownNames) const {
    for (uint32_t i = 0; i < node.GetNumChildren(); ++i) {
        const XmlNode& child = *node.GetChild(i);
        const String name = child.mName.ToLower();
        if (name == "author") {
            common.mAuthors.Add(ReadPerson(child));
        } else if (name == "category") {
            AtomCategory category;
            ReadAttributes(child, {{"label", &category.mLabel},
                                   {"scheme", &category.mScheme},
                                   {"term", &category.mTerm}});
            common.mCategories.Add(category);
        } else if (name == "contributor") {
            common.mContributors.Add(ReadPerson(child));
        } else if (name == "id") {
            common.mId = child.mValue;
        } else if (name == "link") {
            AtomLink link;
            ReadAttributes(child, {{"href", &link.mHref},
                                   {"hreflang", &link.mHreflang},
                                   {"length", &link.mLength},
                                   {"rel", &link.mRel},
                                   {"title", &link.mTitle},
                                   {"type", &link.mType}});
            common.mLinks.Add(link);
        } else if (name == "rights") {
            ReadTextConstruct(common.mRights, child);
        } else if (name == "title") {
            ReadTextConstruct(common.mTitle, child);
        } else if (name == "updated") {
            common.mUpdated = child.mValue;
        } else if (IsForeign(child) && !IsOneOf(name, ownNames)) {
            // A child the feed or entry reads as one of its own fields is not also kept as an
            // extension: it would be written twice, and once more after every round trip.
            common.mExtensions.Add(child);
        }
    }
}

}  // namespace System::Resource::Feeds
