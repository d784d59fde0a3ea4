#pragma once

#include "System/Math/Point.h"

#include <gtest/gtest.h>

namespace MathTest {

// Each component of p within tolerance of the expected one.
inline void ExpectNear(const System::Math::Point& p, double x, double y, double z, double w,
                       double tolerance = 1e-9) {
    EXPECT_NEAR(p.x, x, tolerance);
    EXPECT_NEAR(p.y, y, tolerance);
    EXPECT_NEAR(p.z, z, tolerance);
    EXPECT_NEAR(p.w, w, tolerance);
}

}  // namespace MathTest
