#include "System/Xml/XmlNode.h"

#include "support/Text.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace System::Xml {
namespace {

using TestSupport::Text;

XmlNode Element(const char* name, const char* value = "") {
    XmlNode node;
    node.mName = name;
    node.mValue = value;
    return node;
}

std::string Compact(const XmlNode& node) {
    return Text(node.ToString(false));
}

// Checks that every node below node names the node holding it as its parent.
void ExpectParentsPointAtHolders(const XmlNode& node) {
    for (unsigned int i = 0; i < node.GetNumChildren(); ++i) {
        const XmlNode* child = node.GetChild(i);
        ASSERT_EQ(child->GetParent(), &node);
        ExpectParentsPointAtHolders(*child);
    }
}

TEST(XmlItem, TypedValuesReadAndWriteAsTheSystemExpects) {
    XmlItem item;
    for (const char* yes : {"true", "True", "TRUE", "1", "7", " 2"}) {
        item.mValue = yes;
        EXPECT_TRUE(item.ValueBool()) << yes;
    }
    for (const char* no : {"", "false", "0", "-3", "yes", "x1"}) {
        item.mValue = no;
        EXPECT_FALSE(item.ValueBool()) << no;
    }
    const struct {
        const char* text;
        int integer;
        double real;
    } numbers[] = {{"  -42abc", -42, -42},
                   {"99999999999", 2147483647, 99999999999.0},
                   {"-99999999999", -2147483647 - 1, -99999999999.0},
                   {"1.5e3x", 1, 1500},
                   {"", 0, 0}};
    for (const auto& number : numbers) {
        item.mValue = number.text;
        EXPECT_EQ(item.ValueInt(), number.integer) << number.text;
        EXPECT_DOUBLE_EQ(item.ValueDouble(), number.real) << number.text;
    }
    item.ValueInt(-17);
    EXPECT_EQ(Text(item.mValue), "-17");
    item.ValueBool(false);
    EXPECT_EQ(Text(item.mValue), "false");
    item.ValueDouble(0.5);
    EXPECT_EQ(Text(item.mValue), "0.5000000000000000");
    item.ValueDouble(1e-20);
    EXPECT_EQ(Text(item.mValue), "0.0000000000000000");
}

TEST(XmlNode, LookupsCountOccurrencesFromOneAndMatchCase) {
    XmlNode node = Element("root");
    node.AddChild(Element("x", "first"));
    node.AddChild(Element("X", "capital"));
    node.AddChild(Element("x", "second"));
    EXPECT_EQ(Text(node.GetChild("x", 0)->mValue), "first");
    EXPECT_EQ(Text(node.GetChild("x", 1)->mValue), "first");
    EXPECT_EQ(Text(node.GetChild("x", 2)->mValue), "second");
    EXPECT_EQ(node.GetChild("x", 3), nullptr);
    EXPECT_EQ(Text(node.GetChildValue("X")), "capital");
    EXPECT_EQ(node.GetChild(3u), nullptr);
    EXPECT_EQ(Text(node.GetChildValue("missing")), "");
    EXPECT_FALSE(node.GetChildValueBool("missing"));
    EXPECT_EQ(node.GetChildValueInt("missing"), 0);
    EXPECT_EQ(node.GetChildValueDouble("missing"), 0.0);

    node.AddAttribute(XmlItem("a", "1"));
    node.AddAttribute(XmlItem("a", "2"));
    EXPECT_EQ(node.GetAttributeValueInt("a", 2), 2);
    EXPECT_EQ(node.GetAttribute("A"), nullptr);
    EXPECT_EQ(node.GetAttribute(2u), nullptr);
    EXPECT_EQ(Text(node.GetAttributeValue("a", 3)), "");
}

TEST(XmlNode, EditsChangeTheNamedOccurrenceAppendOrDoNothing) {
    XmlNode node = Element("n");
    for (const char* value : {"1", "2", "3"}) {
        node.AddAttribute(XmlItem(value[0] == '2' ? "b" : "a", value));
    }
    node.SetAttributeValue("a", "new");
    node.SetAttributeValueInt("c", 5);
    node.RemoveAttribute("a", 2);
    node.RemoveAttribute("zzz");
    node.RemoveAttribute(7u);
    node.SetChildValue("x", "v", 5);
    node.SetChildValueBool("y", true);
    node.SetChildValue("x", "w", 5);
    node.SetChildValue("x", "changed", 2);
    EXPECT_EQ(Compact(node), "<n a=\"new\" b=\"2\" c=\"5\"><x>v</x><y>true</y><x>changed</x></n>");

    node.RemoveChild("x", 2);
    node.RemoveChild(0u);
    node.RemoveChild(9u);
    node.InsertChild(100, Element("c"));
    node.InsertChild(0, Element("z"));
    XmlNode source = Element("s");
    source.AddChild(Element("p"));
    source.AddChild(Element("q"));
    node.InsertChildren(source, 1);
    node.AddChildren(source);
    EXPECT_EQ(Compact(node),
              "<n a=\"new\" b=\"2\" c=\"5\"><z /><p /><q /><y>true</y><c /><p /><q /></n>");
    ExpectParentsPointAtHolders(node);
    node.RemoveAttributes();
    node.RemoveChildren();
    EXPECT_EQ(Compact(node), "<n />");
}

// Adding a node to itself, or to its own child, must copy it before the tree changes.
TEST(XmlNode, AddingANodeToItselfOrItsOwnChildCopiesItFirst) {
    XmlNode node = Element("n");
    node.AddChild(Element("a"));
    node.AddChild(*node.GetChild(0u));
    node.AddChildren(node);
    node.GetChild(0u)->AddChild(node);
    EXPECT_EQ(Compact(node), "<n><a><n><a /><a /><a /><a /></n></a><a /><a /><a /></n>");
    ExpectParentsPointAtHolders(node);
}

TEST(XmlNode, CopiesAreDeepAndParentsPointIntoTheCopy) {
    XmlNode holder;
    holder.AddChild(Element("root"));
    XmlNode& tree = *holder.GetChild(0u);
    for (int i = 0; i < 40; ++i) {
        XmlNode child = Element("child");
        child.AddChild(Element("leaf", "v"));
        tree.AddChild(child);
    }
    ExpectParentsPointAtHolders(holder);
    XmlNode copy(tree);
    EXPECT_EQ(copy.GetParent(), nullptr);
    ExpectParentsPointAtHolders(copy);
    copy.GetChild(0u)->GetChild(0u)->mValue = "changed";
    EXPECT_EQ(Text(tree.GetChild(0u)->GetChild(0u)->mValue), "v");

    XmlNode assigned = Element("old");
    assigned.AddChild(Element("gone"));
    assigned.SetParent(&holder);
    assigned = copy;
    EXPECT_EQ(assigned.GetParent(), &holder);
    EXPECT_EQ(assigned.GetNumChildren(), 40u);
    ExpectParentsPointAtHolders(assigned);

    // Assigning a node its own descendant must not read the subtree it is clearing.
    assigned = *assigned.GetChild(1u);
    EXPECT_EQ(assigned.GetParent(), &holder);
    EXPECT_EQ(Compact(assigned), "<child><leaf>v</leaf></child>");
    ExpectParentsPointAtHolders(assigned);
}

TEST(XmlNode, CopiesOutliveTheTreeTheyCameFrom) {
    std::unique_ptr<XmlNode> copy;
    XmlNode assigned;
    {
        XmlNode tree = Element("tree");
        XmlNode branch = Element("branch");
        branch.AddChild(Element("leaf"));
        tree.AddChild(branch);
        copy = std::make_unique<XmlNode>(*tree.GetChild(0u)->GetChild(0u));
        assigned = *tree.GetChild(0u);
    }
    // Nothing here may follow a pointer into the destroyed tree.
    EXPECT_EQ(copy->GetParent(), nullptr);
    EXPECT_EQ(assigned.GetParent(), nullptr);
    XmlNode other = Element("other");
    other.AddChild(*copy);
    copy->AddChild(other);
    assigned.AddChild(*copy);
    *copy = assigned;
    EXPECT_EQ(Text(copy->ToString(false)),
              "<branch><leaf /><leaf><other><leaf /></other></leaf></branch>");
}

TEST(XmlNode, ChildWithAttributeCountsOnlyMatchingChildren) {
    XmlNode node = Element("n");
    const char* values[] = {"1", "2", "1", "1"};
    for (const char* value : values) {
        XmlNode child = Element("user");
        child.AddAttribute(XmlItem("id", value));
        child.AddAttribute(XmlItem("id", "1"));
        node.AddChild(child);
    }
    node.AddChild(Element("user"));
    EXPECT_EQ(node.GetChildWithAttribute("user", "id", "1", 2), node.GetChild(2u));
    EXPECT_EQ(node.GetChildWithAttribute("user", "id", "1", 0), node.GetChild(0u));
    EXPECT_EQ(node.GetChildWithAttribute("user", "id", "2", 2), nullptr);
    EXPECT_EQ(node.GetChildWithAttribute("User", "id", "2", 1), nullptr);
}

TEST(XmlNode, FindNodeCountsOnlyMatchesAtEachLevel) {
    XmlNode root = Element("root");
    root.AddChild(Element("x", "top1"));
    XmlNode branch = Element("branch");
    branch.AddChild(Element("x", "deep1"));
    branch.AddChild(Element("x", "deep2"));
    root.AddChild(branch);
    root.AddChild(Element("x", "top2"));
    EXPECT_EQ(Text(root.FindNode("x", 1)->mValue), "top1");
    EXPECT_EQ(Text(root.FindNode("x", 2)->mValue), "deep1");
    EXPECT_EQ(Text(root.FindNode("x", 3)->mValue), "deep2");
    // The branch's two matches do not lower n at the top, so top2 is only the second there.
    EXPECT_EQ(root.FindNode("x", 4), nullptr);
    EXPECT_EQ(root.FindNode("nothing"), nullptr);
}

TEST(XmlNode, GetChildrenCollectsCopiesUnderThisName) {
    XmlNode node = Element("list", "text");
    node.AddAttribute(XmlItem("a", "1"));
    node.AddChild(Element("i", "1"));
    node.AddChild(Element("j"));
    node.AddChild(Element("i", "2"));
    XmlNode items = node.GetChildren("i");
    EXPECT_EQ(Compact(items), "<list><i>1</i><i>2</i></list>");
    ExpectParentsPointAtHolders(items);
}

TEST(XmlNode, ClearKeepsOnlyTheParent) {
    XmlNode root = Element("root");
    root.AddChild(Element("c", "v"));
    XmlNode* child = root.GetChild(0u);
    child->AddAttribute(XmlItem("a", "1"));
    child->AddChild(Element("d"));
    child->Clear();
    EXPECT_EQ(child->GetParent(), &root);
    EXPECT_EQ(child->ToString(false), String("< />"));
}

TEST(XmlNodeWriter, IndentedAndCompactLayout) {
    XmlNode config = Element("config");
    config.AddAttribute(XmlItem("a", "1"));
    config.AddChild(Element("privileges"));
    EXPECT_EQ(Text(config.ToString()), "<config a=\"1\">\n\t<privileges />\n</config>");
    EXPECT_EQ(Text(config.ToString(false)), "<config a=\"1\"><privileges /></config>");

    XmlNode item = Element("item");
    EXPECT_EQ(Text(item.ToString()), "<item />\n");
    EXPECT_EQ(Text(item.ToString(false)), "<item />");

    XmlNode nested = Element("a", "dropped because a has children");
    XmlNode b = Element("b");
    b.AddChild(Element("c", "x"));
    nested.AddChild(b);
    EXPECT_EQ(Text(nested.ToString()), "<a>\n\t<b>\n\t\t<c>x</c>\n\t</b>\n</a>");
    EXPECT_EQ(Text(XmlNode::toString(b, true, 2)), "\t\t<b>\n\t\t\t<c>x</c>\n\t\t</b>\n");
}

TEST(XmlNodeWriter, EscapesMarkupAndLineFeedsAndDropsControlBytes) {
    XmlNode node = Element("n", "a&b\"c<d>e\n");
    node.AddAttribute(XmlItem("v", "a&b\"c<d>e\n"));
    EXPECT_EQ(Text(node.ToString(false)),
              "<n v=\"a&#38;b&#34;c&#60;d&#62;e&#10;\">a&#38;b&#34;c&#60;d&#62;e&#10;</n>");

    std::string controls;
    for (int byte = 0; byte < 0x20; ++byte) {
        controls += static_cast<char>(byte);
    }
    controls += "'x";
    XmlNode raw = Element("r");
    raw.mValue = String(controls.data(), static_cast<unsigned int>(controls.size()));
    EXPECT_EQ(Text(raw.ToString(false)), "<r>&#9;&#10;&#13;'x</r>");
}

// A line feed is written as a reference: raw, it would be read back as a space in an
// attribute and trimmed away at the end of a text.
TEST(XmlNodeWriter, EscapesMarkupAndLineFeeds) {
    XmlNode node = Element("n", "a&b\"c<d>e\n");
    node.AddAttribute(XmlItem("v", "a&b\"c<d>e\n"));
    EXPECT_EQ(Compact(node),
              "<n v=\"a&#38;b&#34;c&#60;d&#62;e&#10;\">a&#38;b&#34;c&#60;d&#62;e&#10;</n>");
}

}  // namespace
}  // namespace System::Xml
