#pragma once

#include <cstdint>

namespace System::Math {

// The constants and numeric functions of System::Math. The constants derive from
// pi taken as 3.141592654; conversions in this namespace use them, not the exact pi.
class Math {
  public:
    Math() = delete;

    static constexpr double Exp = 2.718281828;
    static constexpr double PI = 3.141592654;
    static constexpr double HalfPI = 1.570796327;
    static constexpr double TwoPI = 6.283185308;
    static constexpr double InvPI = 0.31830988614222805;   // 1 / PI
    static constexpr double RAD = 57.29577950560105;       // degrees per radian, 180 / PI
    static constexpr double PI180 = 0.017453292522222223;  // radians per degree, PI / 180
    static constexpr double PI360 = 0.008726646261111111;  // PI / 360

    // a when b > a, else b (ties and NaN give b).
    static double Min(double a, double b);
    // a when a > b, else b (ties and NaN give b).
    static double Max(double a, double b);
    // -x when x < 0, else x (-0.0 stays -0.0).
    static double Abs(double x);
    // The largest whole number not above x.
    static double Floor(double x);
    // The smallest whole number not below x.
    static double Ceil(double x);
    // x rounded to the nearest whole number, halves upward: Round(-2.5) is -2.
    static double Round(double x);
    // x minus x truncated toward zero: Fract(-2.75) is -0.75.
    static double Fract(double x);
    static double Sqrt(double x);
    static double Power(double a, double b);
    // The natural logarithm.
    static double Log(double x);
    // Exp raised to x.
    static double Exponent(double x);
    // The n-th root of x, as Exponent(log(x) / n).
    static double Root(double x, double n);
    // (b - a) * t + a.
    static double Lerp(double a, double b, double t);
    // n! in unsigned 32-bit arithmetic: 1 for n <= 1, wrapping from 13! on.
    static uint32_t Factorial(uint32_t n);
    // n! / (n - k)!, 0 when k > n. Exact while it fits in 64 bits, else UINT64_MAX.
    static uint64_t Permutation(uint32_t n, uint32_t k);
    // n! / ((n - k)! k!), 0 when k > n. Exact while it fits in 64 bits, else UINT64_MAX.
    static uint64_t Combination(uint32_t n, uint32_t k);
};

}  // namespace System::Math
