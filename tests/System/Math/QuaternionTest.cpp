#include "System/Math/Quaternion.h"

#include "System/Math/ExpectNear.h"
#include "System/Math/Math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace System::Math {
namespace {

using MathTest::ExpectNear;

// q and -q are the same rotation.
void ExpectSameRotation(const Quaternion& a, const Quaternion& b, double tolerance) {
    double dot = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
    EXPECT_NEAR(std::fabs(dot), a.Magnitude() * b.Magnitude(), tolerance);
}

Quaternion RandomUnit(std::mt19937_64& random) {
    std::normal_distribution<double> normal;
    Quaternion q(normal(random), normal(random), normal(random), normal(random));
    q.Normalize();
    return q;
}

TEST(Quaternion, HamiltonProductOfIAndJIsK) {
    ExpectNear(Quaternion(1, 0, 0, 0) * Quaternion(0, 1, 0, 0), 0, 0, 1, 0);
    ExpectNear(Quaternion(0, 1, 0, 0) * Quaternion(1, 0, 0, 0), 0, 0, -1, 0);
    Quaternion q(1, 2, 3, 4);
    q *= Quaternion(1, 2, 3, 4).Conjugate();
    ExpectNear(q, 0, 0, 0, 30);
    // Point's component-wise operations still apply.
    ExpectNear(Quaternion(1, 2, 3, 4) * 2.0, 2, 4, 6, 8);
}

TEST(Quaternion, EulerRotationIsYawTimesPitchTimesRoll) {
    std::mt19937_64 random(5);
    std::uniform_real_distribution<double> angle(-180, 180);
    for (int i = 0; i < 100; ++i) {
        double x = angle(random);
        double y = angle(random);
        double z = angle(random);
        Quaternion expected = Quaternion().Rotate(0, 0, 1, z) * Quaternion().Rotate(0, 1, 0, y) *
                              Quaternion().Rotate(1, 0, 0, x);
        Quaternion q = Quaternion().Rotate(x, y, z);
        ExpectNear(q, expected.x, expected.y, expected.z, expected.w, 1e-12);
    }
}

TEST(Quaternion, EulerAnglesTurnBackIntoTheSameRotation) {
    std::mt19937_64 random(11);
    std::vector<Quaternion> cases = {Quaternion(), Quaternion().Rotate(0, 0, 1, 37),
                                     Quaternion().Rotate(1, 0, 0, 180),
                                     Quaternion().Rotate(0, 0, 1, 180)};
    // Around the gimbal lock at +-90 degrees about y, where x and z mix.
    for (double pitch : {90.0, -90.0, 89.99999, -89.9999999, 87.0}) {
        cases.push_back(Quaternion().Rotate(30, pitch, -50));
        cases.push_back(Quaternion().Rotate(0, pitch, 0));
    }
    for (int i = 0; i < 500; ++i) {
        cases.push_back(RandomUnit(random));
    }
    for (const Quaternion& q : cases) {
        Point e = q.ToEuler();
        EXPECT_EQ(e.w, 0);
        Quaternion back = Quaternion().Rotate(e.x, e.y, e.z);
        SCOPED_TRACE(testing::Message() << q.x << " " << q.y << " " << q.z << " " << q.w);
        ExpectSameRotation(back, q, 1e-9);
    }
    ExpectNear(Quaternion().ToEuler(), 0, 0, 0, 0);
    ExpectNear(Quaternion().Rotate(10, 20, 30).ToEuler(), 10, 20, 30, 0, 1e-7);
    ExpectNear(Quaternion(0, 0, 0, 0).ToEuler(), 0, 0, 0, 0);
    // A non-unit quaternion names the rotation of its normalised form.
    Quaternion scaled = Quaternion().Rotate(10, 20, 30);
    scaled *= 3.0;
    ExpectNear(scaled.ToEuler(), 10, 20, 30, 0, 1e-7);
}

TEST(Quaternion, SlerpStaysUnitAndMovesAtConstantSpeed) {
    std::mt19937_64 random(3);
    for (int i = 0; i < 50; ++i) {
        Quaternion a = RandomUnit(random);
        Quaternion b = RandomUnit(random);
        double theta = std::acos(a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w);
        for (double t : {0.1, 0.25, 0.5, 0.9}) {
            Quaternion s = a.Slerp(b, t);
            EXPECT_NEAR(s.Magnitude(), 1, 1e-12);
            double fromA = std::acos(std::min(1.0, a.x * s.x + a.y * s.y + a.z * s.z + a.w * s.w));
            EXPECT_NEAR(fromA, t * theta, 1e-7);
        }
    }
}

}  // namespace
}  // namespace System::Math
