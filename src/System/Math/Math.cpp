#include "System/Math/Math.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace System::Math {

double Math::Min(double a, double b) {
    return b > a ? a : b;
}

double Math::Max(double a, double b) {
    return a > b ? a : b;
}

double Math::Abs(double x) {
    return x < 0 ? -x : x;
}

// The standard functions, not a cast through a 32-bit integer: that cast gave
// Floor(0.0) = -1 and Floor(-2.0) = -3, and is undefined beyond +-2^31.
double Math::Floor(double x) {
    return std::floor(x);
}

double Math::Ceil(double x) {
    return std::ceil(x);
}

// Truncating x + 0.5 toward zero rounded every negative value up (Round(-2.7) was -2).
// x - floor(x) is exact, so no rounding of x + 0.5 can push a value over the half.
double Math::Round(double x) {
    double whole = std::floor(x);
    return x - whole >= 0.5 ? whole + 1 : whole;
}

double Math::Fract(double x) {
    return x - std::trunc(x);
}

double Math::Sqrt(double x) {
    return std::sqrt(x);
}

double Math::Power(double a, double b) {
    return std::pow(a, b);
}

double Math::Log(double x) {
    return std::log(x);
}

double Math::Exponent(double x) {
    return std::pow(Exp, x);
}

double Math::Root(double x, double n) {
    return Exponent(std::log(x) / n);
}

double Math::Lerp(double a, double b, double t) {
    return (b - a) * t + a;
}

uint32_t Math::Factorial(uint32_t n) {
    uint32_t result = 1;
    for (uint32_t i = 2; i <= n; ++i) {
        result *= i;
    }
    return result;
}

// Dividing wrapped 32-bit factorials divided by zero from 34! on (it holds 32 factors
// of two) and gave wrong values from 13! on; the products are formed directly instead.
uint64_t Math::Permutation(uint32_t n, uint32_t k) {
    if (k > n) {
        return 0;
    }
    uint64_t result = 1;
    for (uint32_t j = 0; j < k; ++j) {
        if (__builtin_mul_overflow(result, n - j, &result)) {
            return std::numeric_limits<uint64_t>::max();
        }
    }
    return result;
}

// After step i the running value is C(n - k + i, i), a whole number that only grows,
// so the first overflow means the result does not fit either.
uint64_t Math::Combination(uint32_t n, uint32_t k) {
    if (k > n) {
        return 0;
    }
    uint32_t smaller = std::min(k, n - k);
    uint64_t result = 1;
    for (uint32_t i = 1; i <= smaller; ++i) {
        // result * (n - smaller + i) / i, with the division taken before the product:
        // i / g divides n - smaller + i because it shares no factor with result / g.
        uint64_t g = std::gcd(result, uint64_t{i});
        uint64_t factor = (uint64_t{n} - smaller + i) / (i / g);
        if (__builtin_mul_overflow(result / g, factor, &result)) {
            return std::numeric_limits<uint64_t>::max();
        }
    }
    return result;
}

}  // namespace System::Math
