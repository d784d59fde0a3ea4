#include "System/Collections/Hash.h"

#include "System/Collections/HashFunctions.h"
#include "System/Collections/TestElements.h"
#include "System/String.h"
#include "support/Process.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <type_traits>
#include <vector>

using System::String;
using System::Collections::Hash;
using System::Collections::HashFunctions::IntHash;
using System::Collections::HashFunctions::StringHash;

using TestElements::Counted;

namespace {

// Entries of one bucket lie side by side in its array, so two keys share a bucket
// exactly when the second one added sits right after the first.
template <typename K, typename V>
bool SameBucket(Hash<K, V>& table, const std::common_type_t<K>& first,
                const std::common_type_t<K>& second) {
    return table.Find(second) == table.Find(first) + 1;
}

}  // namespace

TEST(HashTest, StringHashMatchesAnIndependentComputation) {
    EXPECT_EQ(StringHash(String("")), 0u);
    EXPECT_EQ(StringHash(String("abc")), 96354u);
    EXPECT_EQ(StringHash(String("\xff")), 4294967295u);

    const std::vector<String> keys = {
        String("LoginEvent"),
        String("AppInitEvent"),
        String("\xe9t\xe9"),
        String("a\0b", 3),
        String("config.xml/Server/Port/with a tail long enough to wrap"),
        String("\x80\x7f\xfe")};
    std::ostringstream input;
    for (const String& key : keys) {
        for (uint32_t i = 0; i < key.Length(); ++i) {
            input << static_cast<int>(static_cast<unsigned char>(key.ToByteArray()[i])) << ' ';
        }
        input << '\n';
    }
    const auto result = TestSupport::RunPython(
        "import sys\n"
        "for line in sys.stdin:\n"
        "    h = 0\n"
        "    for b in map(int, line.split()):\n"
        "        h = (h * 31 + (b - 256 if b > 127 else b)) % 2**32\n"
        "    print(h)\n",
        input.str());
    ASSERT_EQ(result.exitCode, 0);
    std::istringstream expected(result.output);
    for (const String& key : keys) {
        uint32_t hash = 0;
        ASSERT_TRUE(expected >> hash);
        EXPECT_EQ(StringHash(key), hash) << key.ToByteArray();
    }
}

TEST(HashTest, KeysAreSpreadOverExactlyTheGivenBuckets) {
    Hash<uint32_t, String> registry(255, IntHash);
    registry.Set(0, String("zero"));
    registry.Set(255, String("two hundred fifty-five"));
    registry.Set(300, String("three hundred"));
    registry.Set(45, String("forty-five"));
    registry.Set(256, String("two hundred fifty-six"));
    EXPECT_TRUE(SameBucket(registry, 0, 255));
    EXPECT_TRUE(SameBucket(registry, 300, 45));
    EXPECT_FALSE(SameBucket(registry, 255, 256));
    EXPECT_EQ(registry.Find(0)->mValue, String("zero"));
    EXPECT_EQ(registry.Find(255)->mValue, String("two hundred fifty-five"));

    // "a" hashes to 97 and "!" to 33: one bucket out of 64, two out of 1024.
    Hash<String, String> dictionary(64, StringHash);
    Hash<String, String> commands(1024, StringHash);
    for (Hash<String, String>* table : {&dictionary, &commands}) {
        table->Set(String("a"), String("1"));
        table->Set(String("!"), String("2"));
    }
    EXPECT_TRUE(SameBucket(dictionary, String("a"), String("!")));
    EXPECT_FALSE(SameBucket(commands, String("a"), String("!")));
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

TEST(HashTest, FindAndRemoveOfAbsentKeysChangeNothing) {
    Hash<String, String> table(64, StringHash);
    for (const char* key : {"", "a", "LoginEvent"}) {
        EXPECT_EQ(table.Find(String(key)), nullptr);
    }
    table.Set(String("a"), String("1"));
    table.Remove(String("b"));
    table.Remove(String("a"));
    table.Remove(String("a"));
    EXPECT_EQ(table.Find(String("a")), nullptr);
    table.Set(String(""), String("empty key"));
    EXPECT_EQ(table.Find(String(""))->mValue, String("empty key"));
}

TEST(HashTest, RemovingOneEntryOfABucketKeepsTheOthers) {
    Hash<uint32_t, uint32_t> table(255, IntHash);
    for (uint32_t key : {5u, 260u, 515u}) {
        table.Set(key, key * 2);
    }
    table.Remove(260);
    EXPECT_EQ(table.Find(260), nullptr);
    ASSERT_NE(table.Find(5), nullptr);
    EXPECT_EQ(table.Find(5)->mValue, 10u);
    ASSERT_NE(table.Find(515), nullptr);
    EXPECT_EQ(table.Find(515)->mValue, 1030u);
}

TEST(HashTest, PointerValuesAreNeverDeleted) {
    int destroyed = 0;
    std::vector<std::unique_ptr<Counted>> owned;
    for (int i = 0; i < 3; ++i) {
        owned.push_back(std::make_unique<Counted>(&destroyed));
    }
    {
        Hash<String, Counted*> table(1024, StringHash);
        table.Set(String("a"), owned[0].get());
        table.Set(String("a"), owned[1].get());
        table.Set(String("b"), owned[2].get());
        table.Remove(String("b"));
        table.Set(String("c"), owned[2].get());
    }
    EXPECT_EQ(destroyed, 0);
}

// A bucket count of 0 would divide by zero on the first use; the table gets one bucket.
TEST(HashTest, ATableAskedForNoBucketsStillWorks) {
    Hash<uint32_t, uint32_t> table(0, IntHash);
    table.Set(7, 1);
    table.Set(8, 2);
    EXPECT_TRUE(SameBucket(table, 7, 8));
    EXPECT_EQ(table.Find(8)->mValue, 2u);
}
