#include "System/Math/Point.h"

#include "System/Math/ExpectNear.h"

#include <gtest/gtest.h>

#include <cmath>

namespace System::Math {
namespace {

using MathTest::ExpectNear;

TEST(Point, ComparisonsHoldOnlyWhenTheyHoldForEveryComponent) {
    Point a(1, 2, 3, 4);
    EXPECT_FALSE(a == Point(1, 5, 6, 7));
    EXPECT_FALSE(a != Point(1, 5, 6, 7));
    EXPECT_TRUE(a != Point(0, 5, 6, 7));
    EXPECT_TRUE(a == Point(1, 2, 3, 4));
    EXPECT_TRUE(a < Point(2, 3, 4, 5));
    EXPECT_FALSE(a < Point(2, 3, 4, 4));
    EXPECT_TRUE(a <= Point(2, 3, 4, 4));
    EXPECT_TRUE(a > 0.5);
    EXPECT_FALSE(a > 1.0);
    EXPECT_TRUE(a >= 1.0);
    EXPECT_TRUE(Point(2, 2, 2, 2) == 2.0);
    // A NaN component fails every relation but counts as different.
    const Point nan(NAN, 1, 1, 1);
    EXPECT_FALSE(nan == nan);
    EXPECT_FALSE(nan <= nan);
    EXPECT_TRUE(Point(NAN, NAN, NAN, NAN) != Point(NAN, NAN, NAN, NAN));
}

TEST(Point, ArithmeticIsComponentWiseAndDivisionByZeroGivesZero) {
    Point a(1, 2, 3, 4);
    const Point b(2, 3, 4, 5);
    ExpectNear((a + b) * b - 1.0, 5, 14, 27, 44);
    ExpectNear(a - b * 2.0 + 1.0, -2, -3, -4, -5);
    ExpectNear(-a, -1, -2, -3, -4);
    a -= 1.0;
    a *= b;
    ExpectNear(a, 0, 3, 8, 15);
    ExpectNear(Point(1, 2, 3, 4) / 0.0, 0, 0, 0, 0);
    ExpectNear(Point(4, 6, 8, 10) / Point(2, 0, 4, 5), 2, 0, 2, 2);
    Point p(4, 6, 8, 10);
    p /= Point(0, 3, 0, 2);
    ExpectNear(p, 0, 2, 0, 5);
    // Index 3 and above give w.
    EXPECT_EQ(p[7], 5);
}

TEST(Point, NormsUseThreeOrFourComponentsAsDocumented) {
    EXPECT_DOUBLE_EQ(Point(3, 4, 0, 0).Magnitude(), 5);
    EXPECT_DOUBLE_EQ(Point(0, 0, 0, 2).Magnitude(), 2);
    EXPECT_DOUBLE_EQ(Point(1, 2, 3, 9).Dot(Point(1, 1, 1, 9)), 6);
    EXPECT_DOUBLE_EQ(Point(0, 0, 0, 0).Distance(Point(3, 4, 0, 9)), 5);

    Point zero(0, 0, 0, 0);
    zero.Normalize();
    ExpectNear(zero, 0, 0, 0, 0);
    Point w(0, 0, 0, 2);
    ExpectNear(w.Normalize(), 0, 0, 0, 1);
    Point p(1, -2, 3, -4);
    EXPECT_NEAR(p.Normalize().Magnitude(), 1, 1e-15);
}

TEST(Point, VectorOperations) {
    ExpectNear(Point(1, 0, 0, 5).Cross(Point(0, 1, 0, 7)), 0, 0, 1, 0);
    ExpectNear(Point(1, -1, 0, 1).Reflect(Point(0, 1, 0, 0)), 1, 1, 0, 0);
    ExpectNear(Point(-2, 0.5, 3, 1).Clamp(0, 1), 0, 0.5, 1, 1);
    ExpectNear(Point(-2, 0.5, 3, 1).Clamp(2, 1), 2, 2, 1, 2);

    Point absolute = Point(-1, -0.0, 2, NAN).Absolute();
    EXPECT_EQ(absolute.x, 1);
    EXPECT_TRUE(std::signbit(absolute.y));
    EXPECT_TRUE(std::isnan(absolute.w));
}

}  // namespace
}  // namespace System::Math
