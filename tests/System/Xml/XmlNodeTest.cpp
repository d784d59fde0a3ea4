#include "System/Xml/XmlNode.h"

#include "support/Text.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using System::String;
using System::Xml::XmlItem;
using System::Xml::XmlNode;

using TestSupport::Text;

namespace {

XmlNode Element(const char* name, const char* value = "") {
    XmlNode node;
    node.mName = name;
    node.mValue = value;
    return node;
}

// Checks that every node below node names the node holding it as its parent.
void ExpectParentsPointAtHolders(const XmlNode& node) {
    for (unsigned int i = 0; i < node.GetNumChildren(); ++i) {
        const XmlNode* child = node.GetChild(i);
        ASSERT_EQ(child->GetParent(), &node);
        ExpectParentsPointAtHolders(*child);
    }
}

TEST(XmlItem, TypedValuesReadAsTheSystemExpects) {
    XmlItem item;
    for (const char* yes : {"true", "True", "TRUE", "1", "7", " 2"}) {
        item.mValue = yes;
        EXPECT_TRUE(item.ValueBool()) << yes;
    }
    for (const char* no : {"", "false", "0", "-3", "yes", "x1"}) {
        item.mValue = no;
        EXPECT_FALSE(item.ValueBool()) << no;
    }
    item.mValue = "  -42abc";
    EXPECT_EQ(item.ValueInt(), -42);
    item.mValue = "99999999999";
    EXPECT_EQ(item.ValueInt(), 2147483647);
    item.mValue = "-99999999999";
    EXPECT_EQ(item.ValueInt(), -2147483647 - 1);
    item.mValue = "1.5e3x";
    EXPECT_DOUBLE_EQ(item.ValueDouble(), 1500.0);
    item.mValue = "";
    EXPECT_EQ(item.ValueInt(), 0);
    EXPECT_EQ(item.ValueDouble(), 0.0);
}

TEST(XmlItem, TypedSettersFormatTheValue) {
    XmlItem item;
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

TEST(XmlNode, SettersChangeTheFirstMatchOrAppendOne) {
    XmlNode node = Element("n");
    node.AddAttribute(XmlItem("a", "1"));
    node.AddAttribute(XmlItem("b", "2"));
    node.AddAttribute(XmlItem("a", "3"));
    node.SetAttributeValue("a", "new");
    EXPECT_EQ(Text(node.GetAttribute(0u)->mName), "a");
    EXPECT_EQ(Text(node.GetAttribute(0u)->mValue), "new");
    EXPECT_EQ(Text(node.GetAttributeValue("a", 2)), "3");
    node.SetAttributeValueInt("c", 5);
    EXPECT_EQ(node.GetNumAttributes(), 4u);
    EXPECT_EQ(Text(node.GetAttribute(3u)->mValue), "5");

    node.SetChildValue("x", "v", 5);
    node.SetChildValueBool("y", true);
    EXPECT_EQ(node.GetNumChildren(), 2u);
    EXPECT_EQ(Text(node.GetChildValue("x")), "v");
    node.SetChildValue("x", "w", 5);
    EXPECT_EQ(node.GetNumChildren(), 3u);
    node.SetChildValue("x", "changed", 2);
    EXPECT_EQ(Text(node.GetChildValue("x", 2)), "changed");
    EXPECT_TRUE(node.GetChildValueBool("y"));
}

TEST(XmlNode, RemovalsTakeTheNamedOccurrenceOrNothing) {
    XmlNode node = Element("n");
    node.AddAttribute(XmlItem("a", "1"));
    node.AddAttribute(XmlItem("a", "2"));
    node.RemoveAttribute("a", 2);
    node.RemoveAttribute("zzz");
    node.RemoveAttribute(7u);
    ASSERT_EQ(node.GetNumAttributes(), 1u);
    EXPECT_EQ(Text(node.GetAttributeValue("a")), "1");
    node.RemoveAttributes();
    EXPECT_EQ(node.GetNumAttributes(), 0u);

    for (const char* name : {"a", "b", "a", "c"}) {
        node.AddChild(Element(name));
    }
    node.RemoveChild("a", 2);
    node.RemoveChild(0u);
    node.RemoveChild(9u);
    ASSERT_EQ(node.GetNumChildren(), 2u);
    EXPECT_EQ(Text(node.GetChild(0u)->mName), "b");
    EXPECT_EQ(Text(node.GetChild(1u)->mName), "c");
    ExpectParentsPointAtHolders(node);
    node.RemoveChildren();
    EXPECT_EQ(node.GetNumChildren(), 0u);
}

TEST(XmlNode, InsertionsPlaceCopiesAndAppendPastTheEnd) {
    XmlNode node = Element("n");
    node.AddChild(Element("a"));
    node.AddChild(Element("b"));
    node.InsertChild(100, Element("c"));
    node.InsertChild(0, Element("z"));
    XmlNode source = Element("s");
    source.AddChild(Element("p"));
    source.AddChild(Element("q"));
    node.InsertChildren(source, 1);
    node.AddChildren(source);
    std::string order;
    for (unsigned int i = 0; i < node.GetNumChildren(); ++i) {
        order += Text(node.GetChild(i)->mName);
    }
    EXPECT_EQ(order, "zpqabcpq");
    ExpectParentsPointAtHolders(node);
}

TEST(XmlNode, AddingANodeToItselfOrItsOwnChildCopiesItFirst) {
    XmlNode node = Element("n");
    node.AddChild(Element("a"));
    node.AddChild(*node.GetChild(0u));
    node.AddChildren(node);
    node.GetChild(0u)->AddChild(node);
    EXPECT_EQ(node.GetNumChildren(), 4u);
    EXPECT_EQ(node.GetChild(0u)->GetNumChildren(), 1u);
    EXPECT_EQ(node.GetChild(0u)->GetChild(0u)->GetNumChildren(), 4u);
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
    EXPECT_EQ(Text(assigned.mName), "child");
    ASSERT_EQ(assigned.GetNumChildren(), 1u);
    EXPECT_EQ(Text(assigned.GetChild(0u)->mValue), "v");
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
    EXPECT_EQ(Text(items.mName), "list");
    EXPECT_EQ(Text(items.mValue), "");
    EXPECT_EQ(items.GetNumAttributes(), 0u);
    ASSERT_EQ(items.GetNumChildren(), 2u);
    EXPECT_EQ(Text(items.GetChild(1u)->mValue), "2");
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
    EXPECT_EQ(Text(raw.ToString(false)), "<r>\t&#10;\r'x</r>");
}

}  // namespace
