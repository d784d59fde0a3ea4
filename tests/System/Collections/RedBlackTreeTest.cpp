#include "System/Collections/RedBlackTree.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <set>
#include <vector>

namespace System::Collections {
namespace {

using IntNode = RedBlackTreeNode<int>;

constexpr int32_t Red = IntNode::Red;
constexpr int32_t Black = IntNode::Black;

// A transfer record: ordered by media, then resource, then client; the note is not
// part of the order.
struct Transfer : Object {
    Transfer() = default;
    Transfer(uint32_t media, uint32_t resource, uint32_t client, int note = 0)
        : mMedia(media), mResource(resource), mClient(client), mNote(note) {}
    bool operator==(const Transfer& other) const {
        return mMedia == other.mMedia && mResource == other.mResource && mClient == other.mClient;
    }
    bool operator>(const Transfer& other) const {
        if (mMedia != other.mMedia) {
            return mMedia > other.mMedia;
        }
        if (mResource != other.mResource) {
            return mResource > other.mResource;
        }
        return mClient > other.mClient;
    }
    uint32_t mMedia{0};
    uint32_t mResource{0};
    uint32_t mClient{0};
    int mNote{0};
};

template <typename T>
RedBlackTreeNode<T>* Child(TreeNode<T>* node, uint32_t side) {
    return static_cast<RedBlackTreeNode<T>*>(node->mChildren[side]);
}

template <typename T>
int32_t ColorOf(TreeNode<T>* node) {
    return node == nullptr ? Black : static_cast<RedBlackTreeNode<T>*>(node)->mColor;
}

// The values in ascending order, walked the way the tree's users walk it: down child 0
// to the smallest, then to each successor through child 1 or up through mParent.
template <typename T>
std::vector<T> InOrder(const RedBlackTree<T>& tree) {
    std::vector<T> values;
    TreeNode<T>* node = tree.mRoot;
    while (node != nullptr && node->mChildren[0] != nullptr) {
        node = node->mChildren[0];
    }
    while (node != nullptr) {
        values.push_back(node->mValue);
        if (node->mChildren[1] != nullptr) {
            node = node->mChildren[1];
            while (node->mChildren[0] != nullptr) {
                node = node->mChildren[0];
            }
        } else {
            TreeNode<T>* from = node;
            node = node->mParent;
            while (node != nullptr && node->mChildren[1] == from) {
                from = node;
                node = node->mParent;
            }
        }
    }
    return values;
}

// Checks the links and colours below node and returns its black height, counting the
// missing children as black; -1 after a failure.
int BlackHeight(TreeNode<int>* node, TreeNode<int>* parent, int* nodes) {
    if (node == nullptr) {
        return 1;
    }
    ++*nodes;
    EXPECT_EQ(node->mParent, parent);
    EXPECT_EQ(node->mChildren.Count(), 2u);
    const int32_t color = ColorOf(node);
    EXPECT_TRUE(color == Red || color == Black);
    if (color == Red) {
        EXPECT_EQ(ColorOf(node->mChildren[0]), Black);
        EXPECT_EQ(ColorOf(node->mChildren[1]), Black);
    }
    const int left = BlackHeight(node->mChildren[0], node, nodes);
    const int right = BlackHeight(node->mChildren[1], node, nodes);
    EXPECT_EQ(left, right);
    if (left != right || left < 0 || ::testing::Test::HasFailure()) {
        return -1;
    }
    return left + (color == Black ? 1 : 0);
}

void ExpectValid(const RedBlackTree<int>& tree, const std::set<int>& model) {
    EXPECT_EQ(ColorOf<int>(tree.mRoot), Black);
    int nodes = 0;
    EXPECT_GT(BlackHeight(tree.mRoot, nullptr, &nodes), 0);
    EXPECT_EQ(static_cast<uint32_t>(nodes), tree.Count());
    EXPECT_EQ(InOrder(tree), std::vector<int>(model.begin(), model.end()));
}

TEST(RedBlackTreeTest, AddingAnEqualValueChangesNothing) {
    RedBlackTree<Transfer> tree;
    tree.Add(Transfer(1, 1, 1, 10));
    tree.Add(Transfer(2, 1, 1, 20));
    RedBlackTreeNode<Transfer>* root = tree.mRoot;
    tree.Add(Transfer(1, 1, 1, 99));
    EXPECT_EQ(tree.Count(), 2u);
    EXPECT_EQ(tree.mRoot, root);
    EXPECT_EQ(root->mValue.mNote, 10);
    EXPECT_EQ(Child<Transfer>(root, 1)->mValue.mNote, 20);
}

TEST(RedBlackTreeTest, TransfersDifferingOnlyByClientAreBothKeptInClientOrder) {
    RedBlackTree<Transfer> tree;
    tree.Add(Transfer(4, 2, 9));
    tree.Add(Transfer(4, 2, 3));
    tree.Add(Transfer(4, 1, 7));
    tree.Add(Transfer(3, 5, 1));
    std::vector<uint32_t> clients;
    for (const Transfer& transfer : InOrder(tree)) {
        clients.push_back(transfer.mClient);
    }
    EXPECT_EQ(clients, (std::vector<uint32_t>{1, 7, 3, 9}));
    EXPECT_TRUE(tree.Remove(Transfer(4, 2, 3)));
    EXPECT_TRUE(tree.Contains(Transfer(4, 2, 9)));
    EXPECT_FALSE(tree.Contains(Transfer(4, 2, 3)));
}

TEST(RedBlackTreeTest, RemovingAValueWithTwoChildrenKeepsItsNodeWithThePredecessor) {
    RedBlackTree<int> tree;
    for (int value : {20, 10, 30, 5, 15}) {
        tree.Add(value);
    }
    IntNode* root = tree.mRoot;
    ASSERT_EQ(root->mValue, 20);
    IntNode* predecessor = Child<int>(Child<int>(root, 0), 1);
    ASSERT_EQ(predecessor->mValue, 15);
    EXPECT_TRUE(tree.Remove(20));
    EXPECT_EQ(tree.mRoot, root);
    EXPECT_EQ(root->mValue, 15);
    ExpectValid(tree, {5, 10, 15, 30});
}

// Random adds and removes against std::set, from the empty tree back to it, checking
// every invariant after each step.
TEST(RedBlackTreeTest, RandomAddsAndRemovesKeepEveryInvariant) {
    std::mt19937 random(2024);
    RedBlackTree<int> tree;
    std::set<int> model;
    for (int step = 0; step < 20000; ++step) {
        const int value = static_cast<int>(random() % 600);
        // Mostly adds for the first half, mostly removes for the second, so the tree
        // grows to a few hundred values and shrinks back to empty.
        const bool add = random() % 100 < (step < 10000 ? 65u : 30u);
        if (add) {
            tree.Add(value);
            model.insert(value);
        } else {
            ASSERT_EQ(tree.Remove(value), model.erase(value) == 1) << "step " << step;
        }
        ASSERT_EQ(tree.Contains(value), model.count(value) == 1);
        ExpectValid(tree, model);
        ASSERT_FALSE(HasFailure()) << "step " << step;
    }
    for (int value : std::vector<int>(model.begin(), model.end())) {
        ASSERT_TRUE(tree.Remove(value));
        model.erase(value);
        ExpectValid(tree, model);
        ASSERT_FALSE(HasFailure());
    }
    EXPECT_EQ(tree.mRoot, nullptr);
    tree.Add(4);
    tree.Clear();
    EXPECT_EQ(tree.mRoot, nullptr);
    EXPECT_EQ(tree.Count(), 0u);
    tree.Add(4);
    EXPECT_EQ(tree.Count(), 1u);
}

}  // namespace
}  // namespace System::Collections
