// Checks the reader and the writer against independent XML processors: python's
// xml.etree.ElementTree and xmllint.
#include "System/Xml/XmlDoc.h"

#include "support/Process.h"
#include "support/TempDir.h"
#include "support/Text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace System::Xml {
namespace {

using TestSupport::Bytes;
using TestSupport::Text;

std::vector<std::string> SplitAtNul(const std::string& joined) {
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    for (auto end = joined.find('\0'); end != std::string::npos; end = joined.find('\0', start)) {
        parts.push_back(joined.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// The bytes in hexadecimal, ended by a dot so that an empty text stays visible.
std::string Hex(const String& s) {
    return TestSupport::LowerHex(Text(s)) + ".";
}

// One line per element: depth, name, attributes in order, and the text of a leaf element.
void Dump(const XmlNode& node, unsigned int depth, std::string& out) {
    out += std::to_string(depth) + " " + Hex(node.mName);
    for (unsigned int i = 0; i < node.GetNumAttributes(); ++i) {
        const XmlItem* attribute = node.GetAttribute(i);
        out += " " + Hex(attribute->mName) + "=" + Hex(attribute->mValue);
    }
    out += " " + (node.GetNumChildren() == 0 ? Hex(node.mValue) : std::string("-")) + "\n";
    for (unsigned int i = 0; i < node.GetNumChildren(); ++i) {
        Dump(*node.GetChild(i), depth + 1, out);
    }
}

// The same dump made by python of each document given on standard input, NUL-separated.
const char* kPythonDump = R"(
import sys, xml.etree.ElementTree as ET
def hx(s): return s.encode('utf-8').hex() + '.'
def dump(e, depth, out):
    line = '%d %s' % (depth, hx(e.tag))
    for k, v in e.attrib.items(): line += ' %s=%s' % (hx(k), hx(v))
    line += ' ' + (hx((e.text or '').strip(' \t\r\n')) if len(e) == 0 else '-')
    out.append(line)
    for c in e: dump(c, depth + 1, out)
for doc in sys.stdin.buffer.read().split(b'\0')[:-1]:
    out = []
    dump(ET.fromstring(doc), 0, out)
    sys.stdout.write('\n'.join(out) + '\n\0')
)";

TEST(XmlOracle, DocumentsReadAsPythonReadsThem) {
    const std::vector<std::string> documents = {
        "<?xml version='1.0' encoding='UTF-8'?>\n<!DOCTYPE a>\n<a x=\"1\" y='2'><b>t</b></a>",
        "<a>\n  <!-- a comment -->\n  <b k = \"v\" >  padded text  </b>\n  <c/>\n</a>\n",
        "<a v=\"&lt;&amp;&gt;&quot;&apos;&#65;&#x42;&#233;&#x20AC;\">x&#10;y&#9;z&#13;w</a>",
        "<a><b><![CDATA[<not> &amp; markup]]></b><c>it&apos;s</c></a>",
        "<feed><entry><title type=\"text\">T</title></entry><entry><id>2</id></entry></feed>",
        "<a q='say \"hi\"' r=\"it's\"><b>\xC3\xA9t\xC3\xA9</b></a>",
        "<r><a b=\"x>y\" c='1>\"2\"'>t</a><\xC3\xA9x-1.\xC2\xB7 ok=\">\"/></r>",
    };
    std::string input;
    std::string ours;
    for (const std::string& document : documents) {
        input += document + '\0';
        XmlDoc doc;
        const XmlNode* root = doc.Load(Bytes(document));
        ASSERT_NE(root, nullptr) << document;
        std::string dump;
        Dump(*root, 0, dump);
        ours += dump + '\0';
    }
    EXPECT_EQ(ours, TestSupport::RunPython(kPythonDump, input).output);
}

// Carriage returns, tabs and line feeds come back exactly as written, at either end of a
// value or inside it, in element text and in attribute values. Written raw, a conforming
// reader turns a carriage return into a line feed and an attribute's tab into a space.
TEST(XmlOracle, LineEndsAndTabsReadBackAsWritten) {
    const std::vector<std::string> values = {
        "a\rb", "a\tb", "a\nb", "a\r\nb\n\rc", "\r\tx\t\r", "\t", "\r", " \t\r\n ", "t\t\t",
    };
    XmlNode root;
    root.mName = "root";
    std::string expected;
    for (const std::string& value : values) {
        XmlNode child;
        child.mName = "v";
        child.mValue = Bytes(value);
        child.AddAttribute(XmlItem("a", Bytes(value)));
        root.AddChild(child);
        expected += TestSupport::LowerHex(value) + " " + TestSupport::LowerHex(value) + "\n";
    }
    const char* const python = R"(
import sys, xml.etree.ElementTree as ET
for v in ET.fromstring(sys.stdin.buffer.read()):
    print(v.get('a').encode().hex(), (v.text or '').encode().hex())
)";
    // Inside element text a tab stays as it is.
    EXPECT_EQ(Text(root.GetChild(1u)->ToString(false)), "<v a=\"a&#9;b\">a\tb</v>");
    for (const bool pretty : {false, true}) {
        const String written = root.ToString(pretty);
        EXPECT_EQ(TestSupport::RunPython(python, Text(written)).output, expected) << Text(written);
        XmlDoc doc;
        const XmlNode* read = doc.Load(written);
        ASSERT_NE(read, nullptr);
        std::string ours;
        for (unsigned int i = 0; i < read->GetNumChildren(); ++i) {
            const XmlNode* v = read->GetChild(i);
            ours += TestSupport::LowerHex(Text(v->GetAttributeValue("a"))) + " " +
                    TestSupport::LowerHex(Text(v->mValue)) + "\n";
        }
        EXPECT_EQ(ours, expected);
    }
}

TEST(XmlOracle, RandomTreesFromPythonSurviveLoadAndWrite) {
    // Random documents: attribute values hold every printable byte, line feeds and a few
    // characters beyond ASCII; leaf texts also hold tabs. Half are written as UTF-8 with a
    // declaration, half as ASCII with character references.
    const char* generate = R"(
import random, sys, xml.etree.ElementTree as ET
rnd = random.Random(2024)
chars = [chr(c) for c in range(0x20, 0x7f)] + ['\n', '\u00e9', '\u20ac', '\U0001F600']
def name():
    first = 'abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_'
    return rnd.choice(first) + ''.join(rnd.choice(first + '0123456789-.') for _ in range(rnd.randint(0, 8)))
def value(extra=[]):
    return ''.join(rnd.choice(chars + extra) for _ in range(rnd.randint(0, 30)))
def build(e, depth):
    for _ in range(rnd.randint(0, 4)):
        e.set(name(), value())
    count = rnd.randint(0, 4) if depth < 6 else 0
    for _ in range(count):
        build(ET.SubElement(e, name()), depth + 1)
    if count == 0:
        e.text = value(['\t']).strip(' \t\r\n')
for i in range(150):
    root = ET.Element(name())
    build(root, 0)
    sys.stdout.buffer.write(ET.tostring(root, encoding='utf-8' if i % 2 else 'us-ascii') + b'\0')
)";
    auto generated = TestSupport::RunPython(generate);
    ASSERT_EQ(generated.exitCode, 0);
    const std::vector<std::string> documents = SplitAtNul(generated.output);
    ASSERT_EQ(documents.size(), 150u);

    std::string input;
    std::string expected;
    for (const std::string& document : documents) {
        XmlDoc doc;
        const XmlNode* root = doc.Load(Bytes(document));
        ASSERT_NE(root, nullptr) << document;
        std::string dump;
        Dump(*root, 0, dump);
        // Python reads the original, our compact and our indented text; all three must agree.
        input += document + '\0' + Text(root->ToString(false)) + '\0' + Text(root->ToString(true)) +
                 '\0';
        expected += dump + '\0' + dump + '\0' + dump + '\0';
    }
    auto result = TestSupport::RunPython(kPythonDump, input);
    ASSERT_EQ(result.exitCode, 0);
    const std::vector<std::string> theirs = SplitAtNul(result.output);
    const std::vector<std::string> ours = SplitAtNul(expected);
    ASSERT_EQ(theirs.size(), ours.size());
    for (size_t i = 0; i < ours.size(); ++i) {
        ASSERT_EQ(ours[i], theirs[i]) << "document " << i / 3 << " form " << i % 3 << "\n"
                                      << documents[i / 3];
    }
}

TEST(XmlOracle, WrittenFilesAreWellFormed) {
    TestSupport::TempDir dir;
    std::string awkward;
    for (int byte = 1; byte < 0x80; ++byte) {
        awkward += static_cast<char>(byte);
    }
    awkward += "]]>&#10;\xC3\xA9\xF0\x9F\x98\x80\xEF\xBF\xBE\xED\xA0\x80\xE2\x82";
    for (int byte = 0x80; byte < 0x100; ++byte) {
        awkward += static_cast<char>(byte);
    }
    XmlNode root;
    root.mName = "root";
    root.AddAttribute(XmlItem("a", Bytes(awkward)));
    XmlNode child;
    child.mName = "child";
    child.mValue = Bytes(awkward);
    child.AddAttribute(XmlItem("b", Bytes(awkward)));
    root.AddChild(child);
    XmlNode empty;
    empty.mName = "empty";
    root.AddChild(empty);
    root.GetChild(0u)->AddChild(child);

    std::vector<std::string> argv = {"xmllint", "--noout"};
    XmlDoc doc;
    const XmlNode* forms[] = {&root, &child, &empty};
    for (size_t i = 0; i < 3; ++i) {
        const std::string path = dir.File("pretty" + std::to_string(i) + ".xml");
        doc.Write(path.c_str(), *forms[i]);
        argv.push_back(path);
        const std::string compact = dir.File("compact" + std::to_string(i) + ".xml");
        TestSupport::WriteFile(compact, Text(forms[i]->ToString(false)));
        argv.push_back(compact);
    }
    auto result = TestSupport::RunProcess(argv);
    EXPECT_EQ(result.exitCode, 0);
}

}  // namespace
}  // namespace System::Xml
