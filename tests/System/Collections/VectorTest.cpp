#include "System/Collections/Vector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace System::Collections {
namespace {

template <typename T>
std::vector<T> Contents(const Vector<T>& vector) {
    std::vector<T> out;
    for (uint32_t i = 0; i < vector.Count(); ++i) {
        out.push_back(vector[i]);
    }
    return out;
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
