#include "System/Math/Math.h"
#include "support/Process.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using System::Math::Math;

TEST(Math, FloorAndRoundGiveTheMathematicalResult) {
    EXPECT_EQ(Math::Floor(0.0), 0);
    EXPECT_EQ(Math::Floor(-2.0), -2);
    EXPECT_EQ(Math::Floor(-2.5), -3);
    EXPECT_EQ(Math::Floor(2.7), 2);
    EXPECT_EQ(Math::Round(-2.7), -3);
    EXPECT_EQ(Math::Round(-2.5), -2);
    EXPECT_EQ(Math::Round(2.5), 3);
    EXPECT_EQ(Math::Round(0.49999999999999994), 0);
    EXPECT_EQ(Math::Ceil(-2.5), -2);
    EXPECT_EQ(Math::Fract(2.75), 0.75);
    EXPECT_EQ(Math::Fract(-2.75), -0.75);
    // Beyond the 32-bit range, where a cast through int is undefined.
    EXPECT_EQ(Math::Floor(-1e10 - 0.5), -1e10 - 1);
    EXPECT_EQ(Math::Round(5e9 + 0.5), 5e9 + 1);
    EXPECT_EQ(Math::Fract(3e9 + 0.25), 0.25);
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
}

TEST(Math, FactorialWrapsButCombinationsStayExactForLargeN) {
    EXPECT_EQ(Math::Factorial(0), 1u);
    EXPECT_EQ(Math::Factorial(1), 1u);
    EXPECT_EQ(Math::Factorial(12), 479001600u);
    EXPECT_EQ(Math::Factorial(13), static_cast<uint32_t>(6227020800ull));
    EXPECT_EQ(Math::Permutation(5, 2), 20u);
    EXPECT_EQ(Math::Combination(5, 2), 10u);
    EXPECT_EQ(Math::Combination(2, 5), 0u);
    EXPECT_EQ(Math::Permutation(2, 5), 0u);
    // 34! and beyond are 0 modulo 2^32: dividing wrapped factorials divided by zero.
    EXPECT_EQ(Math::Combination(40, 34), 3838380u);
    EXPECT_EQ(Math::Combination(40, 20), 137846528820u);
    EXPECT_EQ(Math::Permutation(40, 2), 1560u);
    EXPECT_EQ(Math::Combination(4294967295u, 1), 4294967295u);
    EXPECT_EQ(Math::Combination(4294967295u, 4294967295u), 1u);
    EXPECT_EQ(Math::Permutation(4294967295u, 0), 1u);
    EXPECT_EQ(Math::Combination(4294967295u, 2147483647u), std::numeric_limits<uint64_t>::max());
}

std::string Hex(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%a", v);
    return text;
}

// Each numeric function against python's math module (which calls the same C library)
// for a batch of values; python's Fraction gives the exact floor(x + 1/2) for Round.
TEST(Math, NumericFunctionsAgreeWithPython) {
    std::vector<double> values = {0.0,  -0.0, 2.7,   -2.7, 2.5,   -2.5,   -2.0, 0.49999999999999994,
                                  1e-3, 7.25, -1e10, 3e9,  1e300, 123.456};
    std::mt19937_64 random(17);
    std::uniform_real_distribution<double> any(-1000, 1000);
    for (int i = 0; i < 200; ++i) {
        values.push_back(any(random));
    }
    std::ostringstream input;
    for (double v : values) {
        input << Hex(v) << "\n";
    }
    auto result = TestSupport::RunPython(R"(
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
                                         input.str());
    ASSERT_EQ(result.exitCode, 0);
    std::istringstream lines(result.output);
    for (double x : values) {
        std::string w[9];
        for (std::string& word : w) {
            lines >> word;
        }
        ASSERT_TRUE(lines) << "python gave too few lines";
        double expected[9];
        for (int i = 0; i < 9; ++i) {
            expected[i] = std::strtod(w[i].c_str(), nullptr);
        }
        double a = std::fabs(x) + 0.5;
        SCOPED_TRACE(Hex(x));
        EXPECT_EQ(Math::Floor(x), expected[0]);
        EXPECT_EQ(Math::Ceil(x), expected[1]);
        EXPECT_EQ(Math::Round(x), expected[2]);
        EXPECT_EQ(Math::Fract(x), expected[3]);
        EXPECT_DOUBLE_EQ(Math::Sqrt(a), expected[4]);
        EXPECT_DOUBLE_EQ(Math::Power(a, 1.7), expected[5]);
        EXPECT_DOUBLE_EQ(Math::Log(a), expected[6]);
        EXPECT_DOUBLE_EQ(Math::Exponent(x / 100), expected[7]);
        EXPECT_DOUBLE_EQ(Math::Root(a, 3), expected[8]);
    }
}

TEST(Math, CountingFunctionsAgreeWithPython) {
    std::ostringstream input;
    std::vector<std::pair<uint32_t, uint32_t>> pairs;
    for (uint32_t n = 0; n <= 70; n += 3) {
        for (uint32_t k = 0; k <= n + 1; k += 2) {
            pairs.emplace_back(n, k);
        }
    }
    pairs.emplace_back(100000, 3);
    pairs.emplace_back(3000000000u, 2);
    pairs.emplace_back(68, 34);
    pairs.emplace_back(67, 33);
    for (auto [n, k] : pairs) {
        input << n << " " << k << "\n";
    }
    auto result = TestSupport::RunPython(R"(
import math, sys
top = 2**64 - 1
for line in sys.stdin:
    n, k = map(int, line.split())
    f = math.factorial(n) % 2**32 if n < 100 else 0
    print(f, min(math.perm(n, k), top), min(math.comb(n, k), top))
)",
                                         input.str());
    ASSERT_EQ(result.exitCode, 0);
    std::istringstream lines(result.output);
    for (auto [n, k] : pairs) {
        uint64_t factorial = 0;
        uint64_t permutation = 0;
        uint64_t combination = 0;
        lines >> factorial >> permutation >> combination;
        ASSERT_TRUE(lines) << "python gave too few lines";
        SCOPED_TRACE(std::to_string(n) + " " + std::to_string(k));
        if (n < 100) {
            EXPECT_EQ(Math::Factorial(n), factorial);
        }
        EXPECT_EQ(Math::Permutation(n, k), permutation);
        EXPECT_EQ(Math::Combination(n, k), combination);
    }
}

TEST(Math, LerpAndConstants) {
    EXPECT_DOUBLE_EQ(Math::Lerp(2, 4, 0.25), 2.5);
    EXPECT_DOUBLE_EQ(Math::RAD * Math::PI180, 1.0);
    EXPECT_DOUBLE_EQ(Math::InvPI * Math::PI, 1.0);
    EXPECT_DOUBLE_EQ(Math::PI360 * 2, Math::PI180);
}

}  // namespace
