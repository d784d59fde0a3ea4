#include "System/Resource/Feeds/AtomSerializer.h"

#include "System/Xml/XmlDoc.h"
#include "support/Process.h"
#include "support/TempDir.h"
#include "support/Text.h"

#include <gtest/gtest.h>

#include <string>

namespace System::Resource::Feeds {
namespace {

using TestSupport::Text;
using Xml::XmlDoc;
using Xml::XmlItem;
using Xml::XmlNode;

AtomPersonConstruct Person(const char* prefix) {
    AtomPersonConstruct person;
    person.mName = String(prefix) + "-name";
    person.mUri = String(prefix) + "-uri";
    person.mEmail = String(prefix) + "-email";
    return person;
}

// Sets every field the serializer writes to its own value, starting with prefix.
void Fill(Resource::Feeds::AtomCommon& common, const char* prefix) {
    const String p(prefix);
    common.mAuthors.Add(Person(prefix));
    AtomCategory category;
    category.mTerm = p + "term";
    category.mScheme = p + "scheme";
    category.mLabel = p + "label";
    common.mCategories.Add(category);
    common.mContributors.Add(Person("c"));
    common.mId = p + "id";
    AtomLink link;
    link.mHref = p + "href";
    link.mRel = p + "rel";
    link.mType = p + "type";
    link.mHreflang = p + "lang";
    link.mTitle = p + "title";
    link.mLength = "12";
    common.mLinks.Add(link);
    common.mRights.mType = "text";
    common.mRights.mText = p + "rights & more";
    common.mTitle.mType = "html";
    common.mTitle.mText = p + "title <b>";
    common.mUpdated = "2024-01-02T03:04:05Z";
}

AtomFeed FullFeed() {
    AtomFeed feed;
    Fill(feed, "f");
    feed.mGenerator.mUri = "gen-uri";
    feed.mGenerator.mVersion = "1.0";
    feed.mGenerator.mText = "gen";
    feed.mIcon = "icon.png";
    feed.mLogo = "logo.png";
    feed.mSubtitle.mType = "text";
    feed.mSubtitle.mText = "sub";
    AtomEntry entry;
    Fill(entry, "e");
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
    "<author><email>f-email</email><name>f-name</name><uri>f-uri</uri></author>"
    "<category label=\"flabel\" scheme=\"fscheme\" term=\"fterm\" />"
    "<contributor><email>c-email</email><name>c-name</name><uri>c-uri</uri></contributor>"
    "<id>fid</id>"
    "<link href=\"fhref\" hreflang=\"flang\" length=\"12\" rel=\"frel\" title=\"ftitle\" "
    "type=\"ftype\" />"
    "<rights type=\"text\">frights &#38; more</rights>"
    "<title type=\"html\">ftitle &#60;b&#62;</title>"
    "<updated>2024-01-02T03:04:05Z</updated>"
    "<generator uri=\"gen-uri\" version=\"1.0\">gen</generator>"
    "<icon>icon.png</icon><logo>logo.png</logo>"
    "<subtitle type=\"text\">sub</subtitle>"
    "<entry>"
    "<author><email>e-email</email><name>e-name</name><uri>e-uri</uri></author>"
    "<category label=\"elabel\" scheme=\"escheme\" term=\"eterm\" />"
    "<contributor><email>c-email</email><name>c-name</name><uri>c-uri</uri></contributor>"
    "<id>eid</id>"
    "<link href=\"ehref\" hreflang=\"elang\" length=\"12\" rel=\"erel\" title=\"etitle\" "
    "type=\"etype\" />"
    "<rights type=\"text\">erights &#38; more</rights>"
    "<title type=\"html\">etitle &#60;b&#62;</title>"
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

TEST(AtomSerializer, WritesRepeatedElementsEvenWhenEmpty) {
    AtomEntry entry;
    entry.mAuthors.Add(AtomPersonConstruct());
    entry.mCategories.Add(AtomCategory());
    entry.mLinks.Add(AtomLink());
    entry.mContributors.Add(AtomPersonConstruct());
    // Set attributes alone do not make these elements appear.
    entry.mContent.mSrc = "src";
    entry.mSummary.mType = "text";
    entry.mTitle.mType = "text";
    XmlNode parent;
    AtomSerializer().WriteEntry(entry, parent);
    EXPECT_EQ(Text(parent.GetChild(0u)->ToString(false)),
              "<entry><author /><category /><contributor /><link /></entry>");
}

TEST(AtomSerializer, WritesEveryFieldInItsPlaceAndOrderAndReadsItBack) {
    AtomSerializer serializer;
    EXPECT_EQ(Text(serializer.Serialize(AtomFeed()).ToString(false)),
              "<feed xmlns=\"http://www.w3.org/2005/Atom\" />");
    EXPECT_EQ(Text(serializer.Serialize(FullFeed()).ToString(false)), kFullFeed);
    TestSupport::TempDir dir;
    const std::string path = dir.File("feed.xml");
    XmlDoc doc;
    doc.Write(path.c_str(), serializer.Serialize(FullFeed()));
    XmlNode* root = doc.Import(path.c_str());
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

TEST(AtomSerializer, ReadsElementNamesInAnyCaseAndAttributesExactly) {
    const XmlNode node = Parse(
        "<FEED><TITLE Type=\"html\">Caps</TITLE><Id>1</Id><id>2</id>"
        "<Author><NAME>ignored</NAME><name>n</name><name>second</name></Author>"
        "<Link HREF=\"no\" href=\"yes\" href=\"later\"/>"
        "<Entry><Content type=\"xhtml\">intro<div><p>x</p></div><b/></Content></Entry>"
        "<unknown><id>9</id></unknown></FEED>");
    // Written again, the feed shows what was read where: the last of a repeated element
    // or attribute, the xhtml content as its indented text, nothing of the unknown element.
    AtomSerializer serializer;
    EXPECT_EQ(
        Text(serializer.Serialize(serializer.Deserialize(node)).ToString(false)),
        "<feed xmlns=\"http://www.w3.org/2005/Atom\"><author><name>n</name></author>"
        "<id>2</id><link href=\"yes\" /><title>Caps</title><entry><content type=\"xhtml\">"
        "intro&#60;div&#62;&#10;\t&#60;p&#62;x&#60;/p&#62;&#10;&#60;/div&#62;&#60;b /&#62;&#10;"
        "</content></entry></feed>");
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

TEST(AtomSerializer, PythonSeesAnAtomFeedInTheWrittenOrder) {
    const String text = AtomSerializer().Serialize(FullFeed()).ToString(true);
    const auto result = TestSupport::RunPython(
        "import sys, xml.etree.ElementTree as E\n"
        "r = E.fromstring(sys.stdin.buffer.read())\n"
        "n = lambda t: t.split('}')[1] if '}' in t else t\n"
        "print(r.tag)\n"
        "print(' '.join(n(c.tag) for c in r))\n"
        "print(' '.join(n(c.tag) for c in r.find('{http://www.w3.org/2005/Atom}entry')))\n",
        Text(text));
    EXPECT_EQ(result.output,
              "{http://www.w3.org/2005/Atom}feed\n"
              "author category contributor id link rights title updated generator icon logo "
              "subtitle entry entry thing\n"
              "author category contributor id link rights title updated content published "
              "source summary group\n");
}

}  // namespace
}  // namespace System::Resource::Feeds
