#include "System/Collections/TreeNode.h"

#include <gtest/gtest.h>

#include <string>

namespace System::Collections {
namespace {

// A value that counts how many of its kind have been destroyed.
struct Tally {
    static inline int sDestroyed = 0;
    ~Tally() { ++sDestroyed; }
    int mId{0};
};

// A root with children 1, 2, 3, where child 1 has one child of its own.
struct Family {
    Family() {
        for (const char* name : {"1", "2", "3"}) {
            mRoot.Add(name);
        }
        mRoot.mChildren[0]->Add("1.1");
    }
    TreeNode<std::string>* Child(uint32_t index) { return mRoot.mChildren[index]; }
    TreeNode<std::string> mRoot;
};

TEST(TreeNodeTest, CountCoversTheWholeSubtree) {
    Family family;
    EXPECT_EQ(family.mRoot.Count(), 5u);
    EXPECT_EQ(family.Child(0)->Count(), 2u);
    EXPECT_EQ(family.Child(0)->mChildren[0]->mParent, family.Child(0));
    family.mRoot.mChildren.Add(nullptr);
    EXPECT_EQ(TreeNode<std::string>::Count(&family.mRoot), 5u);
}

TEST(TreeNodeTest, ValuesAreFoundByAddressAmongDirectChildrenOnly) {
    // A leaf finds its own value but cannot remove it.
    TreeNode<std::string> leaf;
    EXPECT_TRUE(leaf.Contains(leaf.mValue));
    EXPECT_FALSE(leaf.Remove(leaf.mValue));

    Family family;
    const std::string equalCopy = family.Child(1)->mValue;
    EXPECT_FALSE(family.mRoot.Contains(equalCopy));
    EXPECT_FALSE(family.mRoot.Remove(equalCopy));
    EXPECT_TRUE(family.mRoot.Contains(family.Child(1)->mValue));
    EXPECT_FALSE(family.mRoot.Contains(family.Child(0)->mChildren[0]->mValue));
    EXPECT_FALSE(family.mRoot.Remove(family.Child(0)->mChildren[0]->mValue));
    EXPECT_EQ(family.mRoot.Count(), 5u);
}

TEST(TreeNodeTest, RemovingChildrenKeepsTheOthersInOrderAndFreesTheArray) {
    Family family;
    EXPECT_TRUE(family.mRoot.Remove(family.Child(1)->mValue));
    ASSERT_EQ(family.mRoot.mChildren.Count(), 2u);
    EXPECT_EQ(family.Child(0)->mValue, "1");
    EXPECT_EQ(family.Child(1)->mValue, "3");
    EXPECT_TRUE(family.mRoot.Remove(family.Child(0)->mValue));
    EXPECT_TRUE(family.mRoot.Remove(family.Child(0)->mValue));
    EXPECT_EQ(family.mRoot.mChildren.Capacity(), 0u);
    EXPECT_EQ(family.mRoot.Count(), 1u);
}

TEST(TreeNodeTest, ClearDeletesDescendantsButKeepsTheValue) {
    Family family;
    TreeNode<std::string>* child = family.Child(0);
    child->Clear();
    EXPECT_EQ(child->Count(), 1u);
    EXPECT_EQ(child->mValue, "1");
    EXPECT_EQ(child->mParent, nullptr);
    EXPECT_EQ(family.mRoot.mChildren[0], child);
    EXPECT_EQ(family.mRoot.Count(), 4u);
}

TEST(TreeNodeTest, DeletingARootDestroysEveryDescendantOnce) {
    auto* root = new TreeNode<Tally>();
    const Tally item;
    root->Add(item);
    root->Add(item);
    root->mChildren.Add(nullptr);
    root->mChildren[1]->Add(item);
    root->mChildren[1]->mChildren[0]->Add(item);
    Tally::sDestroyed = 0;
    delete root;
    EXPECT_EQ(Tally::sDestroyed, 5);
}

}  // namespace
}  // namespace System::Collections
