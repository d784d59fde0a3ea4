#include "System/Resource/Feeds/AtomSerializer.h"

#include "System/Xml/XmlDoc.h"
#include "support/Text.h"

#include <gtest/gtest.h>

#include <string>

namespace System::Resource::Feeds {
namespace {

using TestSupport::Text;
using Xml::XmlDoc;
using Xml::XmlItem;
using Xml::XmlNode;

// Sets every field the serializer writes for an entry, as a stored catalogue may hold them.
AtomFeed FullFeed() {
    AtomEntry entry;
    AtomPersonConstruct person;
    person.mName = "name";
    person.mUri = "uri";
    person.mEmail = "email";
    entry.mAuthors.Add(person);
    AtomCategory category;
    category.mTerm = "term";
    category.mScheme = "scheme";
    category.mLabel = "label";
    entry.mCategories.Add(category);
    entry.mContributors.Add(person);
    entry.mId = "id";
    AtomLink link;
    link.mHref = "href";
    link.mRel = "rel";
    link.mType = "type";
    link.mHreflang = "lang";
    link.mTitle = "title";
    link.mLength = "12";
    entry.mLinks.Add(link);
    entry.mRights.mType = "text";
    entry.mRights.mText = "rights & more";
    entry.mTitle.mType = "html";
    entry.mTitle.mText = "title <b>";
    entry.mUpdated = "2024-01-02T03:04:05Z";
    entry.mContent.mSrc = "src";
    entry.mContent.mType = "image/jpeg";
    entry.mContent.mText = "content\nline";
    entry.mPublished = "2023-12-31T00:00:00Z";
    entry.mSource = "source";
    entry.mSummary.mType = "text";
    entry.mSummary.mText = "summary";
    XmlNode group;
    group.mName = "group";
    group.AddAttribute(XmlItem("xmlns", "http://search.yahoo.com/mrss/"));
    entry.mExtensions.Add(group);
    AtomFeed feed;
    feed.mEntries.Add(entry);
    feed.mEntries.Add(AtomEntry());
    XmlNode foreign;
    foreign.mName = "ext:thing";
    foreign.mValue = "x";
    foreign.AddAttribute(XmlItem("xmlns:ext", "urn:ext"));
    feed.mExtensions.Add(foreign);
    return feed;
}

const char* const kFullFeed =
    "<feed xmlns=\"http://www.w3.org/2005/Atom\">"
    "<entry>"
    "<author><email>email</email><name>name</name><uri>uri</uri></author>"
    "<category label=\"label\" scheme=\"scheme\" term=\"term\" />"
    "<contributor><email>email</email><name>name</name><uri>uri</uri></contributor>"
    "<id>id</id>"
    "<link href=\"href\" hreflang=\"lang\" length=\"12\" rel=\"rel\" title=\"title\" "
    "type=\"type\" />"
    "<rights type=\"text\">rights &#38; more</rights>"
    "<title type=\"html\">title &#60;b&#62;</title>"
    "<updated>2024-01-02T03:04:05Z</updated>"
    "<content src=\"src\" type=\"image/jpeg\">content&#10;line</content>"
    "<published>2023-12-31T00:00:00Z</published>"
    "<source>source</source>"
    "<summary type=\"text\">summary</summary>"
    "<group xmlns=\"http://search.yahoo.com/mrss/\" />"
    "</entry>"
    "<entry />"
    "<ext:thing xmlns:ext=\"urn:ext\">x</ext:thing>"
    "</feed>";

XmlNode Parse(const char* text) {
    XmlDoc doc;
    XmlNode* root = doc.Load(text);
    EXPECT_NE(root, nullptr) << text;
    return root == nullptr ? XmlNode() : *root;
}

TEST(AtomSerializer, WritesEveryFieldInItsPlaceAndOrderAndReadsItBack) {
    AtomSerializer serializer;
    EXPECT_EQ(Text(serializer.Serialize(AtomFeed()).ToString(false)),
              "<feed xmlns=\"http://www.w3.org/2005/Atom\" />");
    EXPECT_EQ(Text(serializer.Serialize(FullFeed()).ToString(false)), kFullFeed);
    XmlDoc doc;
    XmlNode* root = doc.Load(serializer.Serialize(FullFeed()).ToString(true));
    ASSERT_NE(root, nullptr);
    const AtomFeed feed = serializer.Deserialize(*root);
    // The writer's places are pinned above, so writing the read feed again shows that every
    // field was read back into the field it came from.
    EXPECT_EQ(Text(serializer.Serialize(feed).ToString(false)), kFullFeed);
    ASSERT_EQ(feed.mEntries.Count(), 2u);
    const AtomEntry& entry = feed.mEntries[0];
    EXPECT_EQ(Text(entry.mContent.mType), "image/jpeg");
    EXPECT_EQ(Text(entry.mContent.AtomTextConstruct::mType), "");
    ASSERT_EQ(entry.mExtensions.Count(), 1u);
    EXPECT_EQ(entry.mExtensions[0].GetParent(), nullptr);
}

TEST(AtomSerializer, KeepsForeignElementsOnceAsExtensions) {
    const XmlNode node = Parse(
        "<feed><entry xmlns=\"http://www.w3.org/2005/Atom\"><id>1</id>"
        "<group xmlns=\"urn:m\"><a/></group><group><b/></group><m:x>1</m:x></entry>"
        "<title xmlns=\"urn:t\">t</title><f:y/></feed>");
    AtomSerializer serializer;
    const AtomFeed feed = serializer.Deserialize(node);
    ASSERT_EQ(feed.mEntries.Count(), 1u);
    EXPECT_EQ(Text(feed.mEntries[0].mId), "1");
    // An entry (or title) with its own namespace declaration is read as one, not also kept.
    ASSERT_EQ(feed.mExtensions.Count(), 1u);
    EXPECT_EQ(Text(feed.mExtensions[0].mName), "f:y");
    EXPECT_EQ(Text(feed.mTitle.mText), "t");
    const AtomEntry& entry = feed.mEntries[0];
    ASSERT_EQ(entry.mExtensions.Count(), 2u);
    EXPECT_EQ(Text(entry.mExtensions[0].ToString(false)), "<group xmlns=\"urn:m\"><a /></group>");
    EXPECT_EQ(Text(entry.mExtensions[1].mName), "m:x");
    EXPECT_EQ(Text(serializer.Serialize(feed).ToString(false)),
              "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>t</title><entry><id>1</id>"
              "<group xmlns=\"urn:m\"><a /></group><m:x>1</m:x></entry><f:y /></feed>");
}

}  // namespace
}  // namespace System::Resource::Feeds
