#include "System/Collections/Hash.h"

#include "System/Collections/HashFunctions.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace System::Collections {
namespace {

using HashFunctions::IntHash;

// Random sets and removes over few keys, so that buckets are shared, against std::map.
// A bucket count of 0 would divide by zero on the first use; the table gets one bucket.
TEST(HashTest, RandomSetsAndRemovesMatchStdMap) {
    std::mt19937 random(9);
    for (uint32_t buckets : {0u, 7u, 255u}) {
        Hash<uint32_t, uint32_t> table(buckets, IntHash);
        std::map<uint32_t, uint32_t> model;
        for (uint32_t i = 0; i < 3000; ++i) {
            const uint32_t key = random() % 24 * 85;
            if (random() % 3 == 0) {
                table.Remove(key);
                model.erase(key);
            } else {
                table.Set(key, i);
                model[key] = i;
            }
            for (uint32_t k = 0; k < 24 * 85; k += 85) {
                const auto* entry = table.Find(k);
                ASSERT_EQ(entry != nullptr, model.count(k) == 1) << buckets << " " << i << " " << k;
                if (entry != nullptr) {
                    ASSERT_EQ(entry->mValue, model[k]);
                }
            }
        }
    }
}

}  // namespace
}  // namespace System::Collections
