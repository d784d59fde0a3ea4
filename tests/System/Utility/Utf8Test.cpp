#include "System/Utility/Utf8.h"

#include "support/Process.h"
#include "support/Text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace System::Utility {
namespace {

// Short strings of the bytes where the rules of UTF-8 change, each line "<hex of the
// bytes> <code points python's decoder keeps, skipping what is not UTF-8>".
const char* const kOracle = R"(
import random
rnd = random.Random(7)
edges = [0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC1, 0xC2, 0xDF, 0xE0,
         0xE1, 0xEC, 0xED, 0xEE, 0xEF, 0xF0, 0xF1, 0xF3, 0xF4, 0xF5, 0xFF]
for _ in range(3000):
    data = bytes(rnd.choice(edges) for _ in range(rnd.randint(1, 6)))
    kept = data.decode('utf-8', 'ignore')
    print(data.hex(), ','.join('%x' % ord(c) for c in kept) or '-')
)";

TEST(Utf8, DecodesExactlyWhatPythonDecodes) {
    const std::vector<std::string> lines = TestSupport::PythonLines(kOracle);
    ASSERT_EQ(lines.size(), 3000u);
    for (const std::string& line : lines) {
        const std::string bytes = TestSupport::FromHex(line.substr(0, line.find(' ')));
        std::string ours;
        for (size_t i = 0; i < bytes.size();) {
            uint32_t code = 0;
            const size_t size = Utf8::Decode(bytes.data() + i, bytes.size() - i, code);
            if (size == 0) {
                ++i;
                continue;
            }
            char hex[16];
            std::snprintf(hex, sizeof hex, "%s%x", ours.empty() ? "" : ",", code);
            ours += hex;
            i += size;
        }
        EXPECT_EQ(ours.empty() ? "-" : ours, line.substr(line.find(' ') + 1)) << line;
    }
}

}  // namespace
}  // namespace System::Utility
