#include "System/Collections/LinkList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <list>
#include <memory>
#include <random>
#include <vector>

namespace System::Collections {
namespace {

// Compares by identity, as classes without an operator== of their own do.
struct Record : Object {
    int mId{0};
};

// The values head to tail, after checking that both walks agree with each other and
// with mCount and that the ends have null outer links.
template <typename T>
std::vector<T> Walk(const LinkList<T>& list) {
    std::vector<T> forward;
    for (LinkNode<T>* node = list.mHead; node != nullptr; node = node->mNext) {
        EXPECT_EQ(node->mPrev == nullptr, node == list.mHead);
        EXPECT_EQ(node->mNext == nullptr, node == list.mTail);
        forward.push_back(node->mValue);
    }
    std::vector<T> backward;
    for (LinkNode<T>* node = list.mTail; node != nullptr; node = node->mPrev) {
        backward.insert(backward.begin(), node->mValue);
    }
    EXPECT_EQ(forward, backward);
    EXPECT_EQ(forward.size(), list.Count());
    EXPECT_EQ(list.mHead == nullptr, list.mTail == nullptr);
    return forward;
}

TEST(LinkListTest, PointedToObjectsAreNeverDeleted) {
    // Owned here: a list that deleted them would make AddressSanitizer report a double free.
    std::vector<std::unique_ptr<int>> owned;
    {
        LinkList<int*> list;
        for (int i = 0; i < 4; ++i) {
            owned.push_back(std::make_unique<int>(i));
            list.Add(owned.back().get());
        }
        list.Remove(owned[1].get());
        list.Clear();
        list.Add(owned[0].get());
    }
    EXPECT_EQ(*owned[3], 3);
}

TEST(LinkListTest, ClassElementsMatchOnlyTheHeldObjectItself) {
    LinkList<Record> queue;
    Record message;
    message.mId = 1;
    queue.Add(message);
    message.mId = 2;
    queue.Add(message);
    EXPECT_FALSE(queue.Contains(message));
    EXPECT_FALSE(queue.Remove(message));
    EXPECT_TRUE(queue.Contains(queue.mTail->mValue));
    EXPECT_TRUE(queue.Remove(queue.mHead->mValue));
    EXPECT_EQ(queue.mHead->mValue.mId, 2);
    EXPECT_EQ(queue.mHead->mPrev, nullptr);
}

TEST(LinkListTest, AWalkMayRemoveTheNodeItStandsOn) {
    LinkList<int> list;
    for (int value = 0; value < 6; ++value) {
        list.Add(value);
    }
    std::vector<int> visited;
    for (LinkNode<int>* node = list.mHead; node != nullptr;) {
        LinkNode<int>* next = node->mNext;
        visited.push_back(node->mValue);
        if (node->mValue % 2 == 0) {
            list.Remove(node->mValue);
        }
        node = next;
    }
    EXPECT_EQ(visited, (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(Walk(list), (std::vector<int>{1, 3, 5}));
}

// Random adds, removes (of the node nearest the head) and clears against std::list; the
// list keeps a few nodes and often runs empty. Every link is checked after each step.
TEST(LinkListTest, RandomAddsAndRemovesMatchStdList) {
    std::mt19937 random(99);
    LinkList<int> list;
    std::list<int> model;
    for (int step = 0; step < 5000; ++step) {
        const int value = static_cast<int>(random() % 8);
        if (step % 1000 == 999) {
            list.Clear();
            model.clear();
        } else if (random() % 5 < 2) {
            list.Add(value);
            model.push_back(value);
        } else {
            auto found = std::find(model.begin(), model.end(), value);
            ASSERT_EQ(list.Remove(value), found != model.end());
            if (found != model.end()) {
                model.erase(found);
            }
        }
        ASSERT_EQ(list.Contains(value), std::count(model.begin(), model.end(), value) > 0);
        ASSERT_EQ(Walk(list), std::vector<int>(model.begin(), model.end())) << "step " << step;
    }
}

}  // namespace
}  // namespace System::Collections
