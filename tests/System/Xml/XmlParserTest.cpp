#include "System/Xml/XmlParser.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>

namespace System::Xml {
namespace {

// The scanner's user pointer is the log, which gets one line per report.
std::string& Log(void* user) {
    return *static_cast<std::string*>(user);
}

void Tag(void* user, const char* kind, const char* name, const char** attributes) {
    Log(user) += std::string(kind) + name;
    for (const char** entry = attributes; entry != nullptr && entry[0] != nullptr; entry += 2) {
        Log(user) += std::string(" ") + entry[0] + "=" + (entry[1] ? entry[1] : "<null>");
    }
    Log(user) += "\n";
}

XmlParser FullParser() {
    XmlParser parser;
    parser.SetXmlDeclaration(
        [](void* u, const char* name, const char** a) { Tag(u, "decl ", name, a); });
    parser.SetXmlStartElement(
        [](void* u, const char* name, const char** a) { Tag(u, "start ", name, a); });
    parser.SetXmlEndElement(
        [](void* u, const char* name) { Log(u) += std::string("end ") + name + "\n"; });
    parser.SetXmlTextElement([](void* u, const char* text, int n) {
        Log(u) += "text [" + std::string(text, n) + "]\n";
    });
    parser.SetXmlComment(
        [](void* u, const char* text) { Log(u) += std::string("comment [") + text + "]\n"; });
    parser.SetXmlError(
        [](void* u, const char* message) { Log(u) += std::string("error ") + message + "\n"; });
    return parser;
}

// Parses text from a heap block of exactly its size, so that AddressSanitizer sees any read
// past its end.
bool ParseExact(const XmlParser& parser, std::string& log, const std::string& text) {
    std::unique_ptr<char[]> bytes(new char[text.size() == 0 ? 1 : text.size()]);
    std::memcpy(bytes.get(), text.data(), text.size());
    return parser.Parse(&log, bytes.get(), static_cast<unsigned int>(text.size()));
}

std::string Scan(const std::string& text, bool expected = true) {
    std::string log;
    EXPECT_EQ(ParseExact(FullParser(), log, text), expected) << text;
    return log;
}

TEST(XmlParser, ReportsEachConstructInOrder) {
    EXPECT_EQ(Scan("<?xml version=\"1.0\"?>\n<!-- note -->\n<a x=\"1\"  y = '2'>\n"
                   "  hello  world \n<b/><c k=\"v\" /><![CDATA[ <raw> &amp; ]]></a >\n"),
              "decl xml version=1.0\n"
              "comment [note]\n"
              "start a x=1 y=2\n"
              "text [hello  world]\n"
              "start b\nend b\n"
              "start c k=v\nend c\n"
              "text [<raw> &amp;]\n"
              "end a\n");
    EXPECT_EQ(Scan(""), "");
    EXPECT_EQ(Scan("<!DOCTYPE a><a>x y</a>"), "start a\ntext [x y]\nend a\n");
}

TEST(XmlParser, DecodesEntitiesAndCharacterReferencesOutsideCdata) {
    EXPECT_EQ(Scan("<a v=\"&amp;&lt;&gt;&quot;&apos;&#38;&#x26;&#10;&#xe9;&#8364;\">"
                   "&amp;amp; &#60;&#x3C; &#128512;</a>"),
              "start a v=&<>\"'&&\n\xC3\xA9\xE2\x82\xAC\n"
              "text [&amp; << \xF0\x9F\x98\x80]\n"
              "end a\n");
    // Unknown, malformed and out-of-range references stay as they stand.
    EXPECT_EQ(Scan("<a>&nbsp; &#; &#x; &#0; &#xD800; &#x110000; &#12a; & x &amp</a>"),
              "start a\ntext [&nbsp; &#; &#x; &#0; &#xD800; &#x110000; &#12a; & x &amp]\nend a\n");
    EXPECT_EQ(Scan("<a><![CDATA[&amp;]]></a>"), "start a\ntext [&amp;]\nend a\n");
}

// Well-formed documents are checked against python's parser; these are what it refuses.
TEST(XmlParser, MalformedReferencesAndUnquotedValuesAreReadSafely) {
    // Unknown, malformed and out-of-range references stay as they stand.
    EXPECT_EQ(Scan("<a>&nbsp; &#; &#x; &#0; &#xD800; &#x110000; &#12a; & x &amp</a>"),
              "start a\ntext [&nbsp; &#; &#x; &#0; &#xD800; &#x110000; &#12a; & x &amp]\nend a\n");
    EXPECT_EQ(Scan("<a b=1 c=\"2\"/>"), "start a b=<null>\nend a\n");
    EXPECT_EQ(Scan("<a b=\"1\" c=\"2/>"), "start a b=1 c=<null>\nend a\n");
    EXPECT_EQ(Scan("<a b='x\" c=\"y'/>"), "start a b=x\" c=\"y\nend a\n");
    EXPECT_EQ(Scan("<a b=/>"), "start a b=<null>\nend a\n");
    // A ">" inside a quoted value is part of it; a value not closed before the next "<"
    // ends at the first ">" after its opening quote, without its quotes.
    EXPECT_EQ(Scan("<r><a b=\"x>y\" c = '>\"'/></r>"),
              "start r\nstart a b=x>y c=>\"\nend a\nend r\n");
    EXPECT_EQ(Scan("<a b=\"x><c d=\"y\"/>"), "start a b=<null>\nstart c d=y\nend c\n");
}

TEST(XmlParser, EmptyCommentsCloseAfterTheirOpening) {
    EXPECT_EQ(Scan("<!----><a/>"), "comment []\nstart a\nend a\n");
    EXPECT_EQ(Scan("<!-- --><a/>"), "comment [ ]\nstart a\nend a\n");
    // "<!--->" holds no complete comment: its "-->" overlaps the opening "<!--".
    EXPECT_EQ(Scan("<!--->", false), "error comment without \"-->\"\n");
    EXPECT_EQ(Scan("<!--->x-->"), "comment [->x]\n");
}

TEST(XmlParser, CutOffTextFails) {
    for (const char* text :
         {"<a", "<a>text", "<!-- x", "<![CDATA[x", "<![CDATA[x]]", "<!->", "<!-", "<", "x"}) {
        Scan(text, false);
    }
    // Without a text callback, text is skipped rather than required to end in a tag.
    std::string log;
    EXPECT_TRUE(ParseExact(XmlParser(), log, "<a>text"));
    EXPECT_TRUE(Scan("<a/>\n\t \r\n").find("end a") != std::string::npos);
}

TEST(XmlParser, IndexOfAndTruncateBounds) {
    const char* text = "ab ab ";
    EXPECT_EQ(XmlParser::IndexOf(text, 6, "ab", 2, 0), 0u);
    EXPECT_EQ(XmlParser::IndexOf(text, 6, "ab", 2, 1), 3u);
    EXPECT_EQ(XmlParser::IndexOf(text, 6, "ab", 2, 4), XmlParser::NotFound);
    EXPECT_EQ(XmlParser::IndexOf(text, 6, "ab ", 3, 3), 3u);
    EXPECT_EQ(XmlParser::IndexOf(text, 6, "ab ", 3, 4), XmlParser::NotFound);
    EXPECT_EQ(XmlParser::IndexOf(text, 1, "ab", 2, 0), XmlParser::NotFound);

    const char* padded = "  x y  ";
    EXPECT_EQ(XmlParser::Truncate(padded, 7, 0, 7), 2u);
    EXPECT_EQ(XmlParser::Truncate(padded, 7, 7, 0), 5u);
    EXPECT_EQ(XmlParser::Truncate(padded, 7, 7, 5), 7u);  // white space only: unchanged
    EXPECT_EQ(XmlParser::Truncate(padded, 7, 1, 0), 1u);  // one byte: unchanged
    EXPECT_EQ(XmlParser::Truncate(padded, 7, 0, 2), 0u);

    EXPECT_EQ(XmlParser::FindWhiteSpace(padded, 2, 7), 3u);
    EXPECT_EQ(XmlParser::FindWhiteSpace(padded, 2, 3), 2u);
    EXPECT_EQ(XmlParser::SkipWhiteSpace(padded, 0, 7), 2u);
    EXPECT_EQ(XmlParser::SkipWhiteSpace(padded, 5, 7), 5u);
    EXPECT_EQ(XmlParser::ParseName("name\tattr", 0, 9), "name");
    EXPECT_EQ(XmlParser::ParseName("name", 0, 2), "na");
}

TEST(XmlParser, DegenerateMarkupStaysInsideTheText) {
    // Every byte string over the scanner's special bytes, up to four bytes long; each is
    // parsed from a block of its exact size.
    const std::string alphabet = "<>!-?/[]\"'= a&#;";
    std::string text;
    std::function<void(size_t)> all = [&](size_t depth) {
        std::string log;
        (void)ParseExact(FullParser(), log, text);
        if (depth == 0) {
            return;
        }
        for (char c : alphabet) {
            text.push_back(c);
            all(depth - 1);
            text.pop_back();
        }
    };
    all(4);

    std::mt19937 random(7);
    for (int round = 0; round < 20000; ++round) {
        std::string noise(random() % 40, ' ');
        for (char& c : noise) {
            c = alphabet[random() % alphabet.size()];
        }
        std::string log;
        (void)ParseExact(FullParser(), log, noise);
    }
}

}  // namespace
}  // namespace System::Xml
