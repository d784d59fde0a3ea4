#include "System/Xml/XmlDoc.h"

#include "support/TempDir.h"
#include "support/Text.h"

#include <gtest/gtest.h>

#include <string>

namespace System::Xml {
namespace {

using TestSupport::Bytes;
using TestSupport::ReadFile;
using TestSupport::Text;
using TestSupport::WriteFile;

TEST(XmlDoc, ValuesAreTrimmedDecodedAndTheLastRunWins) {
    XmlDoc doc;
    const struct {
        const char* text;
        const char* value;
    } cases[] = {
        {"<a><![CDATA[x<y]]></a>", "x<y"},
        {"<a>&amp;</a>", "&"},
        {"<a>  x  </a>", "x"},
        {"<a>x y</a>", "x y"},
        {"<a>x<b/>y</a>", "y"},
        {"<a>&#38;#38;</a>", "&#38;"},
        {"<a>line&#10;feed&#13;</a>", "line\nfeed\r"},
    };
    for (const auto& c : cases) {
        XmlNode* root = doc.Load(c.text);
        ASSERT_NE(root, nullptr) << c.text;
        EXPECT_EQ(Text(root->mValue), c.value) << c.text;
    }
}

TEST(XmlDoc, BuildsTheFirstElementsTreeWithParents) {
    XmlDoc doc;
    XmlNode* root = doc.Load(
        "<media count=\"2\">\n\t<item id=\"1\"><title>One</title></item>\n"
        "\t<item id=\"2\" id=\"3\"><title>Two</title><tag/></item>\n</media>\n");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(Text(root->ToString(false)),
              "<media count=\"2\"><item id=\"1\"><title>One</title></item>"
              "<item id=\"2\" id=\"3\"><title>Two</title><tag /></item></media>");
    EXPECT_EQ(root->GetChild(1u)->GetParent(), root);
    EXPECT_EQ(root->GetChild(1u)->GetChild(0u)->GetParent(), root->GetChild(1u));
    // A second top-level element and a mismatched end tag are ignored.
    for (const char* text : {"<a/><b><c/></b>", "<a></b>"}) {
        root = doc.Load(text);
        ASSERT_NE(root, nullptr) << text;
        EXPECT_EQ(Text(root->ToString(false)), "<a />");
    }
}

// Decoding and trimming are checked against python's parser; these are our own rules.
TEST(XmlDoc, TheLastRunOfTextWinsAndReferencesDecodeOnce) {
    XmlDoc doc;
    EXPECT_EQ(Text(doc.Load("<a>x<b/>y</a>")->mValue), "y");
    EXPECT_EQ(Text(doc.Load("<a>&#38;#38;</a>")->mValue), "&#38;");
    // A second top-level element and a mismatched end tag are ignored.
    EXPECT_EQ(Text(doc.Load("<a/><b><c/></b>")->ToString(false)), "<a />");
    EXPECT_EQ(Text(doc.Load("<a></b>")->ToString(false)), "<a />");
}

TEST(XmlDoc, RefusesWhatIsNoCompleteDocument) {
    XmlDoc doc;
    for (const char* text :
         {"", " \t\r\n", "<!-- only -->", "<?xml version=\"1.0\"?>", "<a>text", "<a", "<a><b></b>",
          "<a><b/>", "<a b=1/>", "<a b=\"1\" c=\"2/>", "<a><b x=\"y><c/></a>", "<>", "<a><></></a>",
          "<!---><a/>", "<a><!-- x </a>", "<a><![CDATA[x</a>",
          // A quote left out in the middle shifts every later value to another name.
          "<config a=\"x b=\"y\" c=\"z\"/>", "<a><b\"c/></a>", "F<= />", "< //>",
          // Names that would not be written back as read: "<!x>" would be a declaration.
          "<a>< !x>t</!x><b>1</b></a>", "<a>< ?x/></a>", "<a><1b/></a>", "<a -b=\"1\"/>",
          "<a b\x01=\"1\"/>", "<a\xE9/>"}) {
        EXPECT_EQ(doc.Load(text), nullptr) << '"' << text << '"';
    }
    // A failed load does not keep the document from loading the next text.
    EXPECT_NE(doc.Load("<ok/>"), nullptr);
    EXPECT_NE(doc.Load("<a b='1'/>"), nullptr);
    EXPECT_EQ(Text(doc.Load("<a b='1'/>")->GetAttributeValue("b")), "1");
}

TEST(XmlDoc, RefusesNestingDeeperThanTheLimit) {
    XmlDoc doc;
    auto nested = [](unsigned int depth) {
        std::string text;
        for (unsigned int i = 0; i < depth; ++i) {
            text += "<n>";
        }
        for (unsigned int i = 0; i < depth; ++i) {
            text += "</n>";
        }
        return text;
    };
    XmlNode* root = doc.Load(Bytes(nested(XmlDoc::MaxDepth)));
    ASSERT_NE(root, nullptr);
    unsigned int depth = 1;
    for (const XmlNode* node = root; node->GetNumChildren() > 0; node = node->GetChild(0u)) {
        ++depth;
    }
    EXPECT_EQ(depth, XmlDoc::MaxDepth);
    EXPECT_EQ(doc.Load(Bytes(nested(XmlDoc::MaxDepth + 1))), nullptr);
    EXPECT_EQ(doc.Load(Bytes(nested(100000))), nullptr);
}

TEST(XmlDoc, ValuesSurviveWriteAndRead) {
    std::string every;
    for (int byte = 0x20; byte < 0x7F; ++byte) {
        every += static_cast<char>(byte);
    }
    every += "\t\n\r&<>\"'&amp;&#10;]]>";
    XmlNode root;
    root.mName = "root";
    root.AddAttribute(XmlItem("every", Bytes(every)));
    root.AddAttribute(XmlItem("padded", Bytes("\t " + every + " \n")));
    // Element text is trimmed on reading: white space at its ends survives only as written.
    const std::string text = std::string(" \x01\t") + every + "\r\x02 ";
    XmlNode child;
    child.mName = "child";
    child.mValue = Bytes(text);
    root.AddChild(child);
    child.mValue = Bytes("control\x01\x02\x1F bytes\x7F\xC3\xA9");
    root.AddChild(child);
    // Bytes that are no UTF-8 (Latin-1, cut or overlong sequences, surrogates, beyond
    // U+10FFFF) and U+FFFE are dropped; every character of UTF-8 that XML holds stays.
    const std::string mixed =
        "A\xE9"
        "B\xC3"
        "C\xED\xA0\x80"
        "D\xC0\xAF"
        "E\xF0\x9F\x98"
        "F\xEF\xBF\xBE"
        "G\xEF\xBF\xBDH\xF0\x9F\x98\x80I\xC2\x85J\xF4\x90\x80\x80K";
    child.mValue = Bytes(mixed + " \xE9");
    child.SetAttributeValue("mixed", Bytes(mixed));
    root.AddChild(child);

    for (bool pretty : {true, false}) {
        XmlDoc doc;
        XmlNode* read = doc.Load(root.ToString(pretty));
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(Text(read->GetAttributeValue("every")), every);
        EXPECT_EQ(Text(read->GetAttributeValue("padded")), "\t " + every + " \n");
        EXPECT_EQ(Text(read->GetChild(0u)->mValue), " \t" + every + "\r ");
        EXPECT_EQ(Text(read->GetChild(1u)->mValue), "control bytes\x7F\xC3\xA9");
        const std::string kept = "ABCDEFG\xEF\xBF\xBDH\xF0\x9F\x98\x80I\xC2\x85JK";
        EXPECT_EQ(Text(read->GetChild(2u)->mValue), kept + " ");
        EXPECT_EQ(Text(read->GetChild(2u)->GetAttributeValue("mixed")), kept);
        // A second round changes nothing: no escaping piles up across saves.
        EXPECT_EQ(Text(read->ToString(pretty)),
                  Text(XmlDoc().Load(read->ToString(pretty))->ToString(pretty)));
    }
}

TEST(XmlDoc, WritesAndImportsFiles) {
    TestSupport::TempDir dir;
    XmlNode config;
    config.mName = "config";
    config.SetAttributeValue("RoomName", "A & B");
    config.SetChildValue("privileges", "");
    XmlDoc doc;
    const std::string path = dir.File("config.xml");
    WriteFile(path, "old content that is longer than the new one, to be truncated......");
    doc.Write(path.c_str(), config);
    EXPECT_EQ(ReadFile(path), "<config RoomName=\"A &#38; B\">\n\t<privileges />\n</config>");

    XmlNode* root = doc.Import(path.c_str());
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(Text(root->GetAttributeValue("RoomName")), "A & B");
    EXPECT_NE(root->GetChild("privileges"), nullptr);

    EXPECT_EQ(doc.Import(dir.File("missing.xml").c_str()), nullptr);
    // A directory opens for reading and reports a length of 2^63 - 1.
    EXPECT_EQ(doc.Import(dir.Path().c_str()), nullptr);
    doc.Write(dir.File("no/such/dir.xml").c_str(), config);

    // The text ends at the first NUL byte of the file.
    WriteFile(dir.File("nul.xml"), std::string("<a/>\0<b", 7));
    root = doc.Import(dir.File("nul.xml").c_str());
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(Text(root->mName), "a");
    WriteFile(dir.File("empty.xml"), "");
    EXPECT_EQ(doc.Import(dir.File("empty.xml").c_str()), nullptr);
}

}  // namespace
}  // namespace System::Xml
