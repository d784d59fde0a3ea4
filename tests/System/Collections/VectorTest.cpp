#include "System/Collections/Vector.h"

#include "System/Collections/TestElements.h"
#include "System/String.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

using System::Collections::ICollection;
using System::Collections::IList;
using System::Collections::Vector;

using TestElements::Counted;
using TestElements::Record;

namespace {

template <typename T>
std::vector<T> Contents(const Vector<T>& vector) {
    std::vector<T> out;
    for (uint32_t i = 0; i < vector.Count(); ++i) {
        out.push_back(vector[i]);
    }
    return out;
}

Vector<int> Filled(int count) {
    Vector<int> vector;
    for (int i = 0; i < count; ++i) {
        vector.Add(i);
    }
    return vector;
}

}  // namespace

TEST(VectorTest, CapacityDoublesFromTwoAsElementsAreAdded) {
    Vector<int> vector;
    EXPECT_EQ(vector.Capacity(), 0u);
    const uint32_t expected[] = {2, 2, 4, 4, 8, 8, 8, 8, 16};
    for (int i = 0; i < 9; ++i) {
        vector.Add(i);
        EXPECT_EQ(vector.Capacity(), expected[i]) << "after add " << i + 1;
    }
    EXPECT_EQ(Contents(vector), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(VectorTest, InsertShiftsLaterElementsAndAppendsBeyondTheEnd) {
    Vector<int> vector = Filled(3);
    vector.Insert(100, 9);
    EXPECT_EQ(Contents(vector), (std::vector<int>{0, 1, 2, 9}));
    vector.Insert(0, 7);
    vector.Insert(2, 8);
    EXPECT_EQ(Contents(vector), (std::vector<int>{7, 0, 8, 1, 2, 9}));
    Vector<int> empty;
    empty.Insert(5, 1);
    EXPECT_EQ(Contents(empty), (std::vector<int>{1}));
    EXPECT_EQ(empty.Capacity(), 2u);
}

TEST(VectorTest, RemoveAtIgnoresIndexesAtOrBeyondTheCount) {
    Vector<int> vector = Filled(3);
    vector.RemoveAt(3);
    vector.RemoveAt(1000);
    EXPECT_EQ(Contents(vector), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(vector.Capacity(), 4u);
}

TEST(VectorTest, RemovingTheLastElementFreesTheArray) {
    Vector<int> vector = Filled(1);
    vector.RemoveAt(0);
    EXPECT_EQ(vector.Count(), 0u);
    EXPECT_EQ(vector.Capacity(), 0u);
    vector.Add(4);
    EXPECT_EQ(vector.Capacity(), 2u);
}

TEST(VectorTest, RemovalHalvesCapacityOnceItIsTwiceTheCount) {
    Vector<int> vector = Filled(5);
    ASSERT_EQ(vector.Capacity(), 8u);
    vector.RemoveAt(0);
    EXPECT_EQ(vector.Count(), 4u);
    EXPECT_EQ(vector.Capacity(), 4u);
    vector.RemoveAt(0);
    EXPECT_EQ(vector.Count(), 3u);
    EXPECT_EQ(vector.Capacity(), 4u);
    EXPECT_EQ(Contents(vector), (std::vector<int>{2, 3, 4}));

    Vector<int> small = Filled(2);
    small.Resize(4);
    small.RemoveAt(0);
    EXPECT_EQ(small.Capacity(), 2u);
    EXPECT_EQ(Contents(small), (std::vector<int>{1}));
}

TEST(VectorTest, RemoveTakesOnlyTheFirstEqualElement) {
    Vector<int> vector;
    for (int value : {5, 1, 5, 2}) {
        vector.Add(value);
    }
    EXPECT_TRUE(vector.Remove(5));
    EXPECT_EQ(Contents(vector), (std::vector<int>{1, 5, 2}));
    EXPECT_TRUE(vector.Remove(5));
    EXPECT_FALSE(vector.Remove(5));
    EXPECT_EQ(Contents(vector), (std::vector<int>{1, 2}));
}

TEST(VectorTest, ClassElementsWithoutOwnEqualityAreFoundOnlyByIdentity) {
    Vector<Record> vector;
    Record item;
    item.mId = 3;
    vector.Add(item);
    vector.Add(item);
    EXPECT_FALSE(vector.Contains(item));
    EXPECT_FALSE(vector.Remove(item));
    EXPECT_EQ(vector.IndexOf(vector[1]), 1);
    EXPECT_TRUE(vector.Remove(vector[0]));
    EXPECT_EQ(vector.Count(), 1u);
    EXPECT_EQ(vector[0].mId, 3);
}

TEST(VectorTest, StringElementsAreFoundByTheirBytes) {
    Vector<System::String> vector;
    vector.Add(System::String("a"));
    vector.Add(System::String("b\0c", 3));
    EXPECT_EQ(vector.IndexOf(System::String("b\0c", 3)), 1);
    EXPECT_EQ(vector.IndexOf(System::String("b")), -1);
    EXPECT_TRUE(vector.Remove(System::String("a")));
    EXPECT_EQ(vector.Count(), 1u);
}

TEST(VectorTest, AssignmentCopiesDeeplyAndKeepsTheSourceCapacity) {
    Vector<std::string> source;
    for (const char* text : {"a", "b", "c"}) {
        source.Add(text);
    }
    source.Resize(8);
    Vector<std::string> copy;
    copy.Add("old");
    copy = source;
    EXPECT_EQ(copy.Count(), 3u);
    EXPECT_EQ(copy.Capacity(), 8u);
    copy[0] = "changed";
    EXPECT_EQ(source[0], "a");

    const Vector<std::string>& alias = copy;
    copy = alias;
    EXPECT_EQ(Contents(copy), (std::vector<std::string>{"changed", "b", "c"}));
    EXPECT_EQ(copy.Capacity(), 8u);

    copy = Vector<std::string>();
    EXPECT_EQ(copy.Count(), 0u);
    EXPECT_EQ(copy.Capacity(), 0u);
    copy.Add("x");
    EXPECT_EQ(copy.Capacity(), 2u);
}

TEST(VectorTest, AnEmptyVectorWithAnArrayCopiesAsEmpty) {
    Vector<int> reserved;
    reserved.Resize(0);
    EXPECT_EQ(reserved.Capacity(), 2u);
    Vector<int> copy(reserved);
    EXPECT_EQ(copy.Capacity(), 0u);
}

TEST(VectorTest, ResizeBelowTheCountDropsTheLastElements) {
    Vector<int> vector = Filled(5);
    vector.Resize(3);
    EXPECT_EQ(Contents(vector), (std::vector<int>{0, 1, 2}));
    vector.Resize(1);
    EXPECT_EQ(vector.Capacity(), 2u);
    EXPECT_EQ(Contents(vector), (std::vector<int>{0, 1}));
}

TEST(VectorTest, AddingOrInsertingItsOwnElementStoresACorrectCopy) {
    Vector<std::string> vector;
    vector.Add("first element, long enough to live on the heap");
    vector.Add("second element, long enough to live on the heap");
    ASSERT_EQ(vector.Count(), vector.Capacity());
    vector.Add(vector[0]);
    EXPECT_EQ(vector[2], vector[0]);

    vector.Insert(0, vector[1]);
    EXPECT_EQ(Contents(vector),
              (std::vector<std::string>{"second element, long enough to live on the heap",
                                        "first element, long enough to live on the heap",
                                        "second element, long enough to live on the heap",
                                        "first element, long enough to live on the heap"}));
}

TEST(VectorTest, PointerElementsAreNeverDeleted) {
    int destroyed = 0;
    std::vector<std::unique_ptr<Counted>> owned;
    {
        Vector<Counted*> vector;
        for (int i = 0; i < 5; ++i) {
            owned.push_back(std::make_unique<Counted>(&destroyed));
            vector.Add(owned.back().get());
        }
        EXPECT_EQ(vector.IndexOf(owned[3].get()), 3);
        vector.RemoveAt(0);
        vector.Clear();
        vector.Add(owned[0].get());
    }
    EXPECT_EQ(destroyed, 0);
}

TEST(VectorTest, VectorsOfVectorsAreEqualOnlyWhenEmptyOrTheSameArray) {
    Vector<Vector<int>> buckets;
    buckets.Add(Vector<int>());
    buckets.Add(Filled(2));
    EXPECT_EQ(buckets.IndexOf(Vector<int>()), 0);
    EXPECT_EQ(buckets.IndexOf(Filled(2)), -1);
    EXPECT_EQ(buckets.IndexOf(buckets[1]), 1);
    EXPECT_TRUE(buckets[1] == buckets[1]);
    EXPECT_FALSE(buckets[1] == Vector<int>(buckets[1]));
}

TEST(VectorTest, WorksThroughItsInterfaces) {
    Vector<int> vector;
    IList<int>& list = vector;
    ICollection<int>& collection = vector;
    collection.Add(1);
    list.Insert(0, 2);
    EXPECT_TRUE(collection.Contains(1));
    EXPECT_EQ(list.IndexOf(1), 1);
    EXPECT_TRUE(collection.Remove(2));
    list.RemoveAt(0);
    EXPECT_EQ(collection.Count(), 0u);
}

// Random edits against std::vector; the capacity must follow the count within a
// factor of two and be 0 exactly when the vector is empty.
TEST(VectorTest, RandomEditsMatchStdVector) {
    std::mt19937 random(1234);
    Vector<int> vector;
    std::vector<int> model;
    for (int step = 0; step < 20000; ++step) {
        const int value = static_cast<int>(random() % 50);
        const uint32_t index = random() % (model.size() + 3);
        switch (random() % 4) {
            case 0:
                vector.Add(value);
                model.push_back(value);
                break;
            case 1:
                vector.Insert(index, value);
                model.insert(model.begin() + std::min<size_t>(index, model.size()), value);
                break;
            case 2:
                vector.RemoveAt(index);
                if (index < model.size()) {
                    model.erase(model.begin() + index);
                }
                break;
            default: {
                auto found = std::find(model.begin(), model.end(), value);
                EXPECT_EQ(vector.Remove(value), found != model.end());
                if (found != model.end()) {
                    model.erase(found);
                }
            }
        }
        ASSERT_EQ(Contents(vector), model) << "step " << step;
        const uint32_t count = vector.Count();
        if (count == 0) {
            ASSERT_EQ(vector.Capacity(), 0u);
        } else {
            ASSERT_LE(count, vector.Capacity());
            ASSERT_LE(vector.Capacity(), std::max(2u, 2 * count - 1)) << "step " << step;
        }
    }
}
