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

TEST(Quaternion, ConstructionAndAxisRotations) {
    ExpectNear(Quaternion(), 0, 0, 0, 1);
    ExpectNear(Quaternion().Rotate(0, 0, 0), 0, 0, 0, 1);
    ExpectNear(Quaternion().Rotate(0, 0, 1, 180), 0, 0, 1, 0);
    ExpectNear(Quaternion().Rotate(0, 0, 1, 90), 0, 0, std::sqrt(0.5), std::sqrt(0.5));

    double a = 1.2;
    ExpectNear(Quaternion(Point(0, 0, 1, a)), 0, 0, std::sin(a / 2), std::cos(a / 2));
    ExpectNear(Quaternion(Point(0, 0, 1, a)).ToAxisAngle(), 0, 0, std::sin(a / 2), a);
    ExpectNear(Quaternion(0, 0, 0, 0).ToAxisAngle(), 0, 0, 0, 0);
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

TEST(Quaternion, ToMatrixWritesTheTransposedRotationAndLeavesTheRest) {
    double m[16];
    for (double& v : m) {
        v = 7;
    }
    Quaternion().ToMatrix(m);
    const double identity[16] = {1, 0, 0, 7, 0, 1, 0, 7, 0, 0, 1, 7, 7, 7, 7, 7};
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(m[i], identity[i], 1e-15) << i;
    }

    // 90 degrees about z: the column-vector matrix has -1 at (0, 1); ToMatrix writes
    // its transpose, and Transform rotates by that, i.e. by -90 degrees.
    Quaternion q = Quaternion().Rotate(0, 0, 1, 90);
    q.ToMatrix(m);
    EXPECT_NEAR(m[1], 1, 1e-9);
    EXPECT_NEAR(m[4], -1, 1e-9);
    Point p(1, 0, 0, 5);
    q.Transform(p);
    ExpectNear(p, 0, -1, 0, 5);

    Quaternion back = Quaternion::ToQuaternion(m);
    ExpectSameRotation(back, Quaternion(q).Conjugate(), 1e-9);
    ExpectSameRotation(Quaternion(m), Quaternion(q).Conjugate(), 1e-9);
}

TEST(Quaternion, ToQuaternionTakesEachBranchOfTheTrace) {
    std::mt19937_64 random(9);
    // Half-turns about each axis have trace -1 and pick the three non-trace branches.
    Quaternion cases[] = {Quaternion().Rotate(1, 0, 0, 180), Quaternion().Rotate(0, 1, 0, 180),
                          Quaternion().Rotate(0, 0, 1, 180), RandomUnit(random),
                          RandomUnit(random)};
    for (const Quaternion& q : cases) {
        double m[16] = {};
        q.ToMatrix(m);
        ExpectSameRotation(Quaternion::ToQuaternion(m), Quaternion(q).Conjugate(), 1e-8);
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

TEST(Quaternion, SlerpEndpointsAreTheNormalisedEnds) {
    Quaternion a(1, 2, 3, 4);
    Quaternion b(-2, 1, 0.5, 3);
    Quaternion na = Quaternion(a);
    na.Normalize();
    Quaternion nb = Quaternion(b);
    nb.Normalize();
    ExpectNear(na.Slerp(nb, 0), na.x, na.y, na.z, na.w, 1e-12);
    ExpectNear(na.Slerp(nb, 1), nb.x, nb.y, nb.z, nb.w, 1e-12);
    ExpectNear(na.Slerp(na, 0.3), na.x, na.y, na.z, na.w, 1e-12);
    // Dot products a little off 1 make acos NaN; the linear weights take over.
    ExpectNear(a.Slerp(a, 0.3), na.x, na.y, na.z, na.w, 1e-12);
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
