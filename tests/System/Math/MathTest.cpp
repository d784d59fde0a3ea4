#include "System/Math/Math.h"

#include "support/Process.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace System::Math {
namespace {

std::string Hex(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%a", v);
    return text;
}

TEST(Math, MinAndMaxReturnTheSecondArgumentOnTiesAndNaN) {
    EXPECT_TRUE(std::signbit(Math::Min(0.0, -0.0)));
    EXPECT_TRUE(std::signbit(Math::Max(0.0, -0.0)));
    EXPECT_EQ(Math::Min(NAN, 3), 3);
    EXPECT_TRUE(std::isnan(Math::Max(3, NAN)));
    EXPECT_EQ(Math::Min(1, 2), 1);
    EXPECT_EQ(Math::Max(1, 2), 2);
    EXPECT_TRUE(std::signbit(Math::Abs(-0.0)));
    EXPECT_EQ(Math::Abs(-3), 3);
    EXPECT_DOUBLE_EQ(Math::Lerp(2, 4, 0.25), 2.5);
}

// Each numeric function against python's math module (which calls the same C library)
// for a batch of values; python's Fraction gives the exact floor(x + 1/2) for Round.
// Floor(0.0) must be 0 and Round(-2.7) -3; values beyond the 32-bit range must not go
// through an int.
TEST(Math, NumericFunctionsAgreeWithPython) {
    std::vector<double> values = {0.0,  -0.0,       2.7,       -2.7,  2.5,     -2.5,
                                  -2.0, -2.75,      1e-3,      7.25,  -1e10,   -1e10 - 0.5,
                                  3e9,  3e9 + 0.25, 5e9 + 0.5, 1e300, 123.456, 0.49999999999999994};
    std::mt19937_64 random(17);
    std::uniform_real_distribution<double> any(-1000, 1000);
    for (int i = 0; i < 200; ++i) {
        values.push_back(any(random));
    }
    std::vector<std::string> input;
    for (double v : values) {
        input.push_back(Hex(v));
    }
    const auto expected = TestSupport::PythonLines(R"(
import math, sys
from fractions import Fraction
E = 2.718281828
def h(v):
    return v.hex() if math.isfinite(v) else repr(v)
def guard(f, *a):
    try:
        return f(*a)
    except OverflowError:
        return math.inf
for line in sys.stdin:
    x = float.fromhex(line)
    a = abs(x) + 0.5
    out = [math.floor(x), math.ceil(x), math.floor(Fraction(x) + Fraction(1, 2)), x - math.trunc(x),
           guard(math.sqrt, a), guard(math.pow, a, 1.7), guard(math.log, a),
           guard(math.pow, E, x / 100), guard(math.pow, E, math.log(a) / 3)]
    print(' '.join(h(float(v)) for v in out))
)",
                                                   input);
    ASSERT_EQ(expected.size(), values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        const double x = values[i];
        SCOPED_TRACE(Hex(x));
        std::vector<double> theirs;
        const char* at = expected[i].c_str();
        for (char* end = nullptr; theirs.size() < 9; at = end) {
            theirs.push_back(std::strtod(at, &end));
        }
        const double a = std::fabs(x) + 0.5;
        EXPECT_EQ(Math::Floor(x), theirs[0]);
        EXPECT_EQ(Math::Ceil(x), theirs[1]);
        EXPECT_EQ(Math::Round(x), theirs[2]);
        EXPECT_EQ(Math::Fract(x), theirs[3]);
        EXPECT_DOUBLE_EQ(Math::Sqrt(a), theirs[4]);
        EXPECT_DOUBLE_EQ(Math::Power(a, 1.7), theirs[5]);
        EXPECT_DOUBLE_EQ(Math::Log(a), theirs[6]);
        EXPECT_DOUBLE_EQ(Math::Exponent(x / 100), theirs[7]);
        EXPECT_DOUBLE_EQ(Math::Root(a, 3), theirs[8]);
    }
}

// From 34! on the wrapped factorials are 0 modulo 2^32: dividing them divided by zero.
TEST(Math, CountingFunctionsAgreeWithPythonForLargeN) {
    std::vector<std::pair<uint32_t, uint32_t>> pairs;
    for (uint32_t n = 0; n <= 70; n += 3) {
        for (uint32_t k = 0; k <= n + 1; k += 2) {
            pairs.emplace_back(n, k);
        }
    }
    for (auto [n, k] : {std::pair<uint32_t, uint32_t>{40, 34},
                        {40, 20},
                        {68, 34},
                        {67, 33},
                        {100000, 3},
                        {3000000000u, 2},
                        {4294967295u, 1}}) {
        pairs.emplace_back(n, k);
    }
    std::vector<std::string> input;
    for (auto [n, k] : pairs) {
        input.push_back(std::to_string(n) + " " + std::to_string(k));
    }
    const auto expected = TestSupport::PythonLines(R"(
import math, sys
top = 2**64 - 1
for line in sys.stdin:
    n, k = map(int, line.split())
    f = math.factorial(n) % 2**32 if n < 100 else 0
    print(f, min(math.perm(n, k), top), min(math.comb(n, k), top))
)",
                                                   input);
    ASSERT_EQ(expected.size(), pairs.size());
    for (size_t i = 0; i < pairs.size(); ++i) {
        const auto [n, k] = pairs[i];
        SCOPED_TRACE(input[i]);
        const std::string counts =
            std::to_string(Math::Permutation(n, k)) + " " + std::to_string(Math::Combination(n, k));
        EXPECT_EQ((n < 100 ? std::to_string(Math::Factorial(n)) : "0") + " " + counts, expected[i]);
    }
    // Too large for python to count in time.
    EXPECT_EQ(Math::Combination(4294967295u, 4294967295u), 1u);
    EXPECT_EQ(Math::Combination(4294967295u, 2147483647u), std::numeric_limits<uint64_t>::max());
}

}  // namespace
}  // namespace System::Math
