#include "System/Xml/XmlNode.h"

#include "support/Text.h"

#include <gtest/gtest.h>

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
