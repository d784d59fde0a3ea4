#include "System/Math/Quaternion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace System::Math {
namespace {

// ToEuler's angles, turned back by Rotate, give the same rotation (q and -q are one
// rotation), including around the gimbal lock at +-90 degrees about y.
TEST(Quaternion, EulerAnglesTurnBackIntoTheSameRotation) {
    std::mt19937_64 random(11);
    std::normal_distribution<double> normal;
    std::vector<Quaternion> cases = {Quaternion(), Quaternion().Rotate(0, 0, 1, 37),
                                     Quaternion().Rotate(1, 0, 0, 180),
                                     Quaternion().Rotate(0, 0, 1, 180)};
    for (double pitch : {90.0, -90.0, 89.99999, -89.9999999, 87.0}) {
        cases.push_back(Quaternion().Rotate(30, pitch, -50));
        cases.push_back(Quaternion().Rotate(0, pitch, 0));
    }
    for (int i = 0; i < 500; ++i) {
        Quaternion q(normal(random), normal(random), normal(random), normal(random));
        q.Normalize();
        cases.push_back(q);
    }
    for (const Quaternion& q : cases) {
        const Point e = q.ToEuler();
        EXPECT_EQ(e.w, 0);
        const Quaternion back = Quaternion().Rotate(e.x, e.y, e.z);
        SCOPED_TRACE(testing::Message() << q.x << " " << q.y << " " << q.z << " " << q.w);
        const double dot = back.x * q.x + back.y * q.y + back.z * q.z + back.w * q.w;
        EXPECT_NEAR(std::fabs(dot), back.Magnitude() * q.Magnitude(), 1e-9);
    }
    // A non-unit quaternion names the rotation of its normalised form.
    Quaternion scaled = Quaternion().Rotate(10, 20, 30);
    scaled *= 3.0;
    const Point e = scaled.ToEuler();
    EXPECT_NEAR(e.x, 10, 1e-7);
    EXPECT_NEAR(e.y, 20, 1e-7);
    EXPECT_NEAR(e.z, 30, 1e-7);
}

}  // namespace
}  // namespace System::Math
