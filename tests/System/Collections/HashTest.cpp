#include "System/Collections/Hash.h"

#include "System/Collections/HashFunctions.h"
#include "System/String.h"
#include "support/Process.h"

#include <gtest/gtest.h>

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

// Keys that share a bucket are told apart; setting a key again replaces its value in place.
TEST(HashTest, KeysSharingABucketKeepTheirOwnValues) {
    Hash<uint32_t, String> table(255, IntHash);
    table.Set(0, String("first"));
    table.Set(255, String("other"));
    ASSERT_TRUE(SameBucket(table, 0, 255));
    const auto* entry = table.Find(0);
    table.Set(0, String("second"));
    EXPECT_EQ(table.Find(0), entry);
    EXPECT_EQ(entry->mValue, String("second"));
    EXPECT_EQ(table.Find(255)->mValue, String("other"));

    // A bucket count of 0 would divide by zero on the first use; the table gets one bucket.
    Hash<uint32_t, uint32_t> single(0, IntHash);
    single.Set(7, 1);
    single.Set(8, 2);
    EXPECT_TRUE(SameBucket(single, 7, 8));
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

}  // namespace
}  // namespace System::Collections
