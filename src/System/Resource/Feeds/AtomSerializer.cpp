#include "System/Resource/Feeds/AtomSerializer.h"

#include "System/Resource/Feeds/FeedXml.h"

namespace System::Resource::Feeds {

using FeedXml::AddAttributeIfSet;
using FeedXml::AddChildIfSet;
using FeedXml::Element;
using FeedXml::ReadTextConstruct;
using FeedXml::WriteTextConstruct;
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
    if (feed.mGenerator.mText.Length() > 0) {
        XmlNode generator = Element("generator", feed.mGenerator.mText);
        AddAttributeIfSet(generator, "uri", feed.mGenerator.mUri);
        AddAttributeIfSet(generator, "version", feed.mGenerator.mVersion);
        node.AddChild(generator);
    }
    AddChildIfSet(node, "icon", feed.mIcon);
    AddChildIfSet(node, "logo", feed.mLogo);
    WriteTextConstruct(feed.mSubtitle, "subtitle", node);
    for (uint32_t i = 0; i < feed.mEntries.Count(); ++i) {
        WriteEntry(feed.mEntries[i], node);
    }
    AppendAll(feed.mExtensions, node);
}

void AtomSerializer::WriteEntry(const AtomEntry& entry, XmlNode& parent) const {
    XmlNode element = Element("entry");
    WriteCommon(entry, element);
    if (entry.mContent.mText.Length() > 0) {
        XmlNode content = Element("content", entry.mContent.mText);
        AddAttributeIfSet(content, "src", entry.mContent.mSrc);
        AddAttributeIfSet(content, "type", entry.mContent.mType);
        element.AddChild(content);
    }
    AddChildIfSet(element, "published", entry.mPublished);
    AddChildIfSet(element, "source", entry.mSource);
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
        XmlNode element = Element("category");
        AddAttributeIfSet(element, "label", category.mLabel);
        AddAttributeIfSet(element, "scheme", category.mScheme);
        AddAttributeIfSet(element, "term", category.mTerm);
        node.AddChild(element);
    }
    for (uint32_t i = 0; i < common.mContributors.Count(); ++i) {
        WritePersonConstruct(common.mContributors[i], "contributor", node);
    }
    AddChildIfSet(node, "id", common.mId);
    for (uint32_t i = 0; i < common.mLinks.Count(); ++i) {
        const AtomLink& link = common.mLinks[i];
        XmlNode element = Element("link");
        AddAttributeIfSet(element, "href", link.mHref);
        AddAttributeIfSet(element, "hreflang", link.mHreflang);
        AddAttributeIfSet(element, "length", link.mLength);
        AddAttributeIfSet(element, "rel", link.mRel);
        AddAttributeIfSet(element, "title", link.mTitle);
        AddAttributeIfSet(element, "type", link.mType);
        node.AddChild(element);
    }
    WriteTextConstruct(common.mRights, "rights", node);
    WriteTextConstruct(common.mTitle, "title", node);
    AddChildIfSet(node, "updated", common.mUpdated);
}

void AtomSerializer::WritePersonConstruct(const AtomPersonConstruct& person, const String& name,
                                          XmlNode& parent) const {
    XmlNode element;
    element.mName = name;
    AddChildIfSet(element, "email", person.mEmail);
    AddChildIfSet(element, "name", person.mName);
    AddChildIfSet(element, "uri", person.mUri);
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
            feed.mGenerator.mUri = child.GetAttributeValue("uri");
            feed.mGenerator.mVersion = child.GetAttributeValue("version");
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
            entry.mContent.mSrc = child.GetAttributeValue("src");
            entry.mContent.mType = child.GetAttributeValue("type");
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
            category.mLabel = child.GetAttributeValue("label");
            category.mScheme = child.GetAttributeValue("scheme");
            category.mTerm = child.GetAttributeValue("term");
            common.mCategories.Add(category);
        } else if (name == "contributor") {
            common.mContributors.Add(ReadPerson(child));
        } else if (name == "id") {
            common.mId = child.mValue;
        } else if (name == "link") {
            AtomLink link;
            link.mHref = child.GetAttributeValue("href");
            link.mHreflang = child.GetAttributeValue("hreflang");
            link.mLength = child.GetAttributeValue("length");
            link.mRel = child.GetAttributeValue("rel");
            link.mTitle = child.GetAttributeValue("title");
            link.mType = child.GetAttributeValue("type");
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
            common.mExtensions[common.mExtensions.Count() - 1].SetParent(nullptr);
        }
    }
}

}  // namespace System::Resource::Feeds
