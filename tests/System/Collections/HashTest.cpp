#include "System/Collections/Hash.h"

#include "System/Collections/HashFunctions.h"
#include "System/String.h"
#include "support/Process.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <vector>

namespace System::Collections {
namespace {

using HashFunctions::IntHash;
using HashFunctions::StringHash;

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
