#include "System/Collections/Vector.h"

#include "System/String.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace System::Collections {
namespace {

// Compares by identity, as classes without an operator== of their own do.
struct Record : Object {
    int mId{0};
};

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

TEST(VectorTest, CapacityDoublesFromTwoHalvesAtTwiceTheCountAndGoesWithTheLastElement) {
    Vector<int> vector;
    const uint32_t growing[] = {2, 2, 4, 4, 8, 8, 8, 8, 16};
    for (int i = 0; i < 9; ++i) {
        vector.Add(i);
        EXPECT_EQ(vector.Capacity(), growing[i]) << "after add " << i + 1;
    }
    const uint32_t shrinking[] = {8, 8, 8, 8, 4, 4, 2, 2, 0};
    for (uint32_t expected : shrinking) {
        vector.RemoveAt(0);
        EXPECT_EQ(vector.Capacity(), expected) << "count " << vector.Count();
    }
    vector.Add(4);
    EXPECT_EQ(vector.Capacity(), 2u);

    Vector<int> resized = Filled(5);
    resized.Resize(3);
    EXPECT_EQ(Contents(resized), (std::vector<int>{0, 1, 2}));
    resized.Resize(1);
    EXPECT_EQ(resized.Capacity(), 2u);
    EXPECT_EQ(Contents(resized), (std::vector<int>{0, 1}));
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

    // Strings compare by their bytes, zero bytes included.
    Vector<String> strings;
    strings.Add(String("a"));
    strings.Add(String("b\0c", 3));
    EXPECT_EQ(strings.IndexOf(String("b\0c", 3)), 1);
    EXPECT_EQ(strings.IndexOf(String("b")), -1);
}

TEST(VectorTest, AssignmentCopiesDeeplyEvenFromItself) {
    Vector<std::string> source;
    for (const char* text : {"a", "b", "c"}) {
        source.Add(text);
    }
    Vector<std::string> copy;
    copy.Add("old");
    copy = source;
    copy[0] = "changed";
    EXPECT_EQ(source[0], "a");

    const Vector<std::string>& alias = copy;
    copy = alias;
    EXPECT_EQ(Contents(copy), (std::vector<std::string>{"changed", "b", "c"}));
}

TEST(VectorTest, AssignmentCopiesDeeplyAndKeepsTheSourceCapacity) {
    Vector<std::string> source;
    source.Add("a");
    source.Resize(8);
    Vector<std::string> copy;
    copy.Add("old");
    copy = source;
    EXPECT_EQ(copy.Capacity(), 8u);
    EXPECT_EQ(Contents(copy), (std::vector<std::string>{"a"}));

    copy = Vector<std::string>();
    EXPECT_EQ(copy.Capacity(), 0u);
    // An empty vector that has an array copies as one without.
    Vector<int> reserved;
    reserved.Resize(0);
    EXPECT_EQ(reserved.Capacity(), 2u);
    EXPECT_EQ(Vector<int>(reserved).Capacity(), 0u);
}

TEST(VectorTest, AddingOrInsertingItsOwnElementStoresACorrectCopy) {
    const std::string first = "first element, long enough to live on the heap";
    const std::string second = "second element, long enough to live on the heap";
    Vector<std::string> vector;
    vector.Add(first);
    vector.Add(second);
    ASSERT_EQ(vector.Count(), vector.Capacity());
    vector.Add(vector[0]);
    vector.Insert(0, vector[1]);
    EXPECT_EQ(Contents(vector), (std::vector<std::string>{second, first, second, first}));
}

TEST(VectorTest, PointerElementsAreNeverDeleted) {
    // Owned here: a vector that deleted them would make AddressSanitizer report a double free.
    std::vector<std::unique_ptr<int>> owned;
    {
        Vector<int*> vector;
        for (int i = 0; i < 5; ++i) {
            owned.push_back(std::make_unique<int>(i));
            vector.Add(owned.back().get());
        }
        vector.RemoveAt(0);
        vector.Clear();
        vector.Add(owned[0].get());
    }
    EXPECT_EQ(*owned[4], 4);
}

TEST(VectorTest, VectorsOfVectorsAreEqualOnlyWhenEmptyOrTheSameArray) {
    Vector<Vector<int>> buckets;
    buckets.Add(Vector<int>());
    buckets.Add(Filled(2));
    EXPECT_EQ(buckets.IndexOf(Vector<int>()), 0);
    EXPECT_EQ(buckets.IndexOf(Filled(2)), -1);
    EXPECT_EQ(buckets.IndexOf(buckets[1]), 1);
    EXPECT_FALSE(buckets[1] == Vector<int>(buckets[1]));
}

// Random edits through the list interface against std::vector: indexes past the end
// append (Insert) or are ignored (RemoveAt), Remove takes the first equal element. The
// capacity must follow the count within a factor of two and be 0 exactly when empty.
TEST(VectorTest, RandomEditsMatchStdVector) {
    std::mt19937 random(1234);
    Vector<int> vector;
    IList<int>& list = vector;
    std::vector<int> model;
    for (int step = 0; step < 5000; ++step) {
        const int value = static_cast<int>(random() % 50);
        const uint32_t index = random() % (model.size() + 3);
        switch (random() % 4) {
            case 0:
                list.Add(value);
                model.push_back(value);
                break;
            case 1:
                list.Insert(index, value);
                model.insert(model.begin() + std::min<size_t>(index, model.size()), value);
                break;
            case 2:
                list.RemoveAt(index);
                if (index < model.size()) {
                    model.erase(model.begin() + index);
                }
                break;
            default: {
                auto found = std::find(model.begin(), model.end(), value);
                EXPECT_EQ(list.Remove(value), found != model.end());
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

}  // namespace
}  // namespace System::Collections
