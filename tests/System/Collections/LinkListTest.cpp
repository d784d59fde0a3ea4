#include "System/Collections/LinkList.h"

#include "System/Collections/TestElements.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <list>
#include <memory>
#include <random>
#include <vector>

using System::Collections::LinkList;
using System::Collections::LinkNode;

using TestElements::Counted;
using TestElements::Record;

namespace {

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

}  // namespace

TEST(LinkListTest, AnEmptyListFindsAndRemovesNothing) {
    LinkList<int> list;
    EXPECT_FALSE(list.Contains(1));
    EXPECT_FALSE(list.Remove(1));
    list.Clear();
    EXPECT_EQ(list.mHead, nullptr);
    EXPECT_EQ(list.mTail, nullptr);
    EXPECT_EQ(list.Count(), 0u);
}

TEST(LinkListTest, ASingleNodeIsHeadAndTail) {
    LinkList<int> list;
    list.Add(7);
    EXPECT_EQ(list.mHead, list.mTail);
    EXPECT_EQ(Walk(list), std::vector<int>{7});
    EXPECT_TRUE(list.Remove(7));
    EXPECT_EQ(list.mHead, nullptr);
    EXPECT_EQ(list.mTail, nullptr);
    EXPECT_EQ(list.Count(), 0u);
    list.Add(8);
    EXPECT_EQ(Walk(list), std::vector<int>{8});
}

TEST(LinkListTest, RemovingHeadTailOrMiddleRelinksTheNeighbours) {
    LinkList<int> list;
    for (int value = 1; value <= 5; ++value) {
        list.Add(value);
    }
    EXPECT_TRUE(list.Remove(1));
    EXPECT_EQ(list.mHead->mPrev, nullptr);
    EXPECT_TRUE(list.Remove(5));
    EXPECT_EQ(list.mTail->mNext, nullptr);
    EXPECT_TRUE(list.Remove(3));
    EXPECT_EQ(list.mHead->mNext, list.mTail);
    EXPECT_EQ(Walk(list), (std::vector<int>{2, 4}));
}

TEST(LinkListTest, TheSamePointerAddedTwiceIsRemovedOneNodeAtATime) {
    int value = 0;
    LinkList<int*> list;
    list.Add(&value);
    list.Add(nullptr);
    list.Add(&value);
    EXPECT_EQ(list.Count(), 3u);
    LinkNode<int*>* second = list.mHead->mNext;
    EXPECT_TRUE(list.Remove(&value));
    EXPECT_EQ(list.mHead, second);
    EXPECT_TRUE(list.Contains(&value));
    EXPECT_TRUE(list.Remove(&value));
    EXPECT_FALSE(list.Contains(&value));
    EXPECT_EQ(Walk(list), std::vector<int*>{nullptr});
}

TEST(LinkListTest, PointedToObjectsAreNeverDeleted) {
    int destroyed = 0;
    std::vector<std::unique_ptr<Counted>> owned;
    {
        LinkList<Counted*> list;
        for (int i = 0; i < 4; ++i) {
            owned.push_back(std::make_unique<Counted>(&destroyed));
            list.Add(owned.back().get());
        }
        list.Remove(owned[1].get());
        list.Clear();
        list.Add(owned[0].get());
    }
    EXPECT_EQ(destroyed, 0);
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
    EXPECT_EQ(queue.Count(), 2u);
    EXPECT_TRUE(queue.Contains(queue.mTail->mValue));

    EXPECT_TRUE(queue.Remove(queue.mHead->mValue));
    EXPECT_EQ(queue.Count(), 1u);
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

TEST(LinkListTest, RandomAddsAndRemovesMatchStdList) {
    std::mt19937 random(99);
    LinkList<int> list;
    std::list<int> model;
    for (int step = 0; step < 5000; ++step) {
        const int value = static_cast<int>(random() % 20);
        if (random() % 2 == 0) {
            list.Add(value);
            model.push_back(value);
        } else {
            auto found = std::find(model.begin(), model.end(), value);
            ASSERT_EQ(list.Remove(value), found != model.end());
            if (found != model.end()) {
                model.erase(found);
            }
        }
        ASSERT_EQ(Walk(list), std::vector<int>(model.begin(), model.end())) << "step " << step;
    }
}
