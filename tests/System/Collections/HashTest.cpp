#include "System/Collections/Hash.h"

#include "System/Collections/HashFunctions.h"
#include "System/String.h"
#include "support/Process.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <type_traits>
#include <vector>

namespace System::Collections {
namespace {

using HashFunctions::IntHash;
using HashFunctions::StringHash;

// Entries of one bucket lie side by side in its array, so two keys share a bucket
// exactly when the second one added sits right after the first.
template <typename K, typename V>
bool SameBucket(Hash<K, V>& table, const std::common_type_t<K>& first,
                const std::common_type_t<K>& second) {
    return table.Find(second) == table.Find(first) + 1;
}

TEST(HashTest, StringHashMatchesAnIndependentComputation) {
    const std::vector<String> keys = {
        String(""),
        String("abc"),
        String("\xff"),
        String("LoginEvent"),
        String("\xe9t\xe9"),
        String("a\0b", 3),
        String("config.xml/Server/Port/with a tail long enough to wrap"),
        String("\x80\x7f\xfe")};
    std::string input;
    for (const String& key : keys) {
        for (uint32_t i = 0; i < key.Length(); ++i) {
            input += std::to_string(static_cast<unsigned char>(key.CStr()[i])) + " ";
        }
        input += "\n";
    }
    const auto expected = TestSupport::PythonLines(
        "import sys\n"
        "for line in sys.stdin:\n"
        "    h = 0\n"
        "    for b in map(int, line.split()):\n"
        "        h = (h * 31 + (b - 256 if b > 127 else b)) % 2**32\n"
        "    print(h)\n",
        input);
    ASSERT_EQ(expected.size(), keys.size());
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(std::to_string(StringHash(keys[i])), expected[i]) << keys[i].CStr();
    }
}

TEST(HashTest, KeysAreSpreadOverExactlyTheGivenBuckets) {
    Hash<uint32_t, String> registry(255, IntHash);
    for (uint32_t key : {0u, 255u, 300u, 45u, 256u}) {
        registry.Set(key, String::Parse("%u", key));
    }
    EXPECT_TRUE(SameBucket(registry, 0, 255));
    EXPECT_TRUE(SameBucket(registry, 300, 45));
    EXPECT_FALSE(SameBucket(registry, 255, 256));
    EXPECT_EQ(registry.Find(255)->mValue, String("255"));

    // "a" hashes to 97 and "!" to 33: one bucket out of 64, two out of 1024.
    Hash<String, String> dictionary(64, StringHash);
    Hash<String, String> commands(1024, StringHash);
    for (Hash<String, String>* table : {&dictionary, &commands}) {
        table->Set(String("a"), String("1"));
        table->Set(String("!"), String("2"));
    }
    EXPECT_TRUE(SameBucket(dictionary, String("a"), String("!")));
    EXPECT_FALSE(SameBucket(commands, String("a"), String("!")));

    // A bucket count of 0 would divide by zero on the first use; the table gets one bucket.
    Hash<uint32_t, uint32_t> single(0, IntHash);
    single.Set(7, 1);
    single.Set(8, 2);
    EXPECT_TRUE(SameBucket(single, 7, 8));
}

TEST(HashTest, SettingAKeyAgainReplacesTheValueInPlace) {
    Hash<uint32_t, String> table(255, IntHash);
    table.Set(0, String("first"));
    table.Set(255, String("other"));
    const auto* entry = table.Find(0);
    table.Set(0, String("second"));
    EXPECT_EQ(table.Find(0), entry);
    EXPECT_EQ(entry->mValue, String("second"));
    EXPECT_TRUE(SameBucket(table, 0, 255));
}

TEST(HashTest, RemoveTakesOnlyItsKeyFromTheBucket) {
    Hash<uint32_t, uint32_t> table(255, IntHash);
    EXPECT_EQ(table.Find(5), nullptr);
    table.Remove(5);
    for (uint32_t key : {5u, 260u, 515u}) {
        table.Set(key, key * 2);
    }
    table.Remove(260);
    table.Remove(260);
    table.Remove(770);
    EXPECT_EQ(table.Find(260), nullptr);
    ASSERT_NE(table.Find(5), nullptr);
    EXPECT_EQ(table.Find(5)->mValue, 10u);
    ASSERT_NE(table.Find(515), nullptr);
    EXPECT_EQ(table.Find(515)->mValue, 1030u);

    Hash<String, String> strings(64, StringHash);
    strings.Set(String(""), String("empty key"));
    EXPECT_EQ(strings.Find(String(""))->mValue, String("empty key"));
}

TEST(HashTest, PointerValuesAreNeverDeleted) {
    // Owned here: a table that deleted them would make AddressSanitizer report a double free.
    auto first = std::make_unique<int>(1);
    auto second = std::make_unique<int>(2);
    {
        Hash<String, int*> table(1024, StringHash);
        table.Set(String("a"), first.get());
        table.Set(String("a"), second.get());
        table.Set(String("b"), first.get());
        table.Remove(String("b"));
    }
    EXPECT_EQ(*first + *second, 3);
}

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
