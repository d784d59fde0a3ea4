#include "System/Math/Matrix.h"

#include "System/Math/ExpectNear.h"
#include "support/Process.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace System::Math {
namespace {

using MathTest::ExpectNear;

void ExpectIdentity(const Matrix& m, double tolerance) {
    for (uint32_t r = 0; r < m.GetNumRows(); ++r) {
        for (uint32_t c = 0; c < m.GetNumColumns(); ++c) {
            EXPECT_NEAR(m.GetValue(r, c), r == c ? 1 : 0, tolerance) << r << "," << c;
        }
    }
}

Matrix FromValues(uint32_t rows, uint32_t columns, std::initializer_list<double> values) {
    Matrix m(rows, columns);
    uint32_t i = 0;
    for (double v : values) {
        m.SetValue(i++, v);
    }
    return m;
}

// Diagonally dominant, so well conditioned and never singular.
Matrix RandomWellConditioned(std::mt19937_64& random, uint32_t n) {
    std::uniform_real_distribution<double> any(-1, 1);
    Matrix m(n, n);
    for (uint32_t r = 0; r < n; ++r) {
        for (uint32_t c = 0; c < n; ++c) {
            m.SetValue(r, c, any(random) + (r == c ? (any(random) < 0 ? -n : n) : 0));
        }
    }
    return m;
}

TEST(Matrix, ConstructionFillsTheIdentityPatternAndIndexingIsFlat) {
    Matrix m(2, 3);
    const double expected[6] = {1, 0, 0, 0, 1, 0};
    for (uint32_t i = 0; i < 6; ++i) {
        EXPECT_EQ(m.GetValue(i), expected[i]);
    }
    Matrix empty(0, 5);
    EXPECT_EQ(empty.GetSize(), 0u);
    EXPECT_EQ(empty.GetValue(0, 0), 0.0);

    Matrix square = FromValues(3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9});
    EXPECT_EQ(square.GetValue(0, 3), 4);
    EXPECT_EQ(square.GetValue(3, 0), 0.0);
    EXPECT_EQ(square.GetValue(4000000000u, 4000000000u), 0.0);
    Matrix before = square;
    square.SetValue(9, 1.0);
    square.SetValue(3, 0, 1.0);
    EXPECT_TRUE(square == before);
    square = square;
    EXPECT_TRUE(square == before);
    EXPECT_EQ(square[8], 9);
}

TEST(Matrix, ArithmeticNeedsMatchingShapes) {
    Matrix four(4, 4);
    four += Matrix(3, 3);
    EXPECT_TRUE(four == Matrix(4, 4));
    four -= Matrix(4, 3);
    EXPECT_TRUE(four == Matrix(4, 4));

    Matrix a = FromValues(2, 2, {1, 2, 3, 4});
    Matrix b = FromValues(2, 2, {5, 6, 7, 8});
    EXPECT_TRUE(a + b == FromValues(2, 2, {6, 8, 10, 12}));
    EXPECT_TRUE(b - a == FromValues(2, 2, {4, 4, 4, 4}));
    EXPECT_TRUE(a * b == FromValues(2, 2, {19, 22, 43, 50}));
    EXPECT_TRUE(a / b == a);

    // Equal but not square: the product is not formed.
    Matrix wide = FromValues(2, 3, {1, 2, 3, 4, 5, 6});
    EXPECT_TRUE(wide * wide == wide);
}

TEST(Matrix, PointTransformsScaleThenMultiply) {
    Matrix m(4, 4);
    m.Scale(2, 3, 4);
    ExpectNear(m * Point(1, 1, 1, 1), 2, 3, 4, 1);

    Matrix t(4, 4);
    t.Translate(5, 6, 7);
    ExpectNear(t.Transform(Point(1, 2, 3, 1)), 6, 8, 10, 1);
    ExpectNear(t * Point(1, 2, 3, 1), 1, 2, 3, 39);
    ExpectNear(t.GetTranslation(), 5, 6, 7, 0);
    ExpectNear(t.ApplyTranslation(Point(1, 2, 3, 9)), 6, 8, 10, 0);
    ExpectNear(t.GetDirection(), 0, 0, 1, 0);

    Matrix planar = FromValues(3, 3, {0, 1, 0, -1, 0, 0, 0, 0, 1});
    planar.Translate(4, 5, 6);
    ExpectNear(planar.GetTranslation(), 4, 5, 0, 0);
    ExpectNear(planar.ApplyTranslation(Point(1, 1, 1, 1)), 5, 6, 0, 0);
    ExpectNear(planar.ApplyRotation(Point(1, 2, 3, 4)), -2, 1, 0, 0);
    ExpectNear(planar * Point(1, 2, 1, 9), 2, -1, 15, 0);
    ExpectNear(planar.MultiplyBy(Point(1, 2, 1, 9)), 2, 6, 1, 0);
}

TEST(Matrix, TransformsOnOtherShapesChangeNothing) {
    Matrix small(3, 3);
    small.Rotate(10, 20, 30);
    small.PointAt(Point(1, 2, 3, 0), Point(0, 0, 0, 0));
    EXPECT_TRUE(small == Matrix(3, 3));
    ExpectNear(small.GetRotation(), 0, 0, 0, 0);
    EXPECT_TRUE(small.Inverse() == small);
    Matrix wide(2, 5);
    wide.Translate(1, 2, 3);
    EXPECT_TRUE(wide == Matrix(2, 5));
}

TEST(Matrix, PointAtAlongMinusZIsTheIdentity) {
    Matrix m(4, 4);
    m.SetValue(3, 9.0);
    m.PointAt(Point(0, 0, 0, 0), Point(0, 0, -1, 0));
    ExpectIdentity(m, 1e-15);

    m.PointAt(Point(1, 2, 3, 0), Point(1, 2, 3 + 4, 0));
    ExpectNear(m.GetTranslation(), 1, 2, 3, 0);
    ExpectNear(m.GetDirection(), 0, 0, -1, 0);
}

TEST(Matrix, ScaledMatrixAndTransposeKeepTheLayout) {
    Matrix m(4, 4);
    m.Translate(1, 2, 3);
    m.Scale(2, 3, 4);
    EXPECT_TRUE(m.GetScaledMatrix() ==
                FromValues(4, 4, {2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 1, 2, 3, 1}));
    const Matrix tall = FromValues(2, 3, {1, 2, 3, 4, 5, 6}).Transpose();
    EXPECT_EQ(tall.GetNumRows(), 3u);
    EXPECT_TRUE(tall == FromValues(3, 2, {1, 4, 2, 5, 3, 6}));
}

// Determinants of random matrices of sizes 1 to 6 against exact rational elimination;
// a matrix that is not square has none.
TEST(Matrix, DeterminantAgreesWithExactArithmetic) {
    std::mt19937_64 random(21);
    std::uniform_int_distribution<int> small(-9, 9);
    std::vector<std::string> input;
    std::vector<Matrix> matrices;
    for (uint32_t n = 1; n <= 6; ++n) {
        for (int i = 0; i < 5; ++i) {
            Matrix m(n, n);
            std::string line = std::to_string(n);
            for (uint32_t k = 0; k < n * n; ++k) {
                m.SetValue(k, small(random) / 4.0);
                line += " " + std::to_string(m.GetValue(k));
            }
            input.push_back(line);
            matrices.push_back(m);
        }
    }
    const auto expected = TestSupport::PythonLines(R"(
import sys
from fractions import Fraction
for line in sys.stdin:
    w = line.split()
    n = int(w[0])
    a = [[Fraction(w[1 + r * n + c]) for c in range(n)] for r in range(n)]
    det = Fraction(1)
    for c in range(n):
        p = next((r for r in range(c, n) if a[r][c] != 0), None)
        if p is None:
            det = Fraction(0)
            break
        if p != c:
            a[c], a[p] = a[p], a[c]
            det = -det
        det *= a[c][c]
        for r in range(c + 1, n):
            f = a[r][c] / a[c][c]
            a[r] = [x - f * y for x, y in zip(a[r], a[c])]
    print(float(det))
)",
                                                   input);
    ASSERT_EQ(expected.size(), matrices.size());
    for (size_t i = 0; i < matrices.size(); ++i) {
        const double det = std::stod(expected[i]);
        EXPECT_NEAR(matrices[i].GetDeterminant(), det, 1e-9 * std::max(1.0, std::fabs(det)));
    }
    EXPECT_EQ(Matrix(2, 3).GetDeterminant(), 0);
    EXPECT_EQ(Matrix(0, 0).GetDeterminant(), 0);
}

TEST(Matrix, SlowInverseTimesMatrixIsTheIdentity) {
    std::mt19937_64 random(1);
    for (int i = 0; i < 50; ++i) {
        Matrix m = RandomWellConditioned(random, 4);
        Matrix inverse = m.SlowInverse();
        ExpectIdentity(inverse * m, 1e-12);
        ExpectIdentity(m * inverse, 1e-12);
        EXPECT_NEAR(m.GetDeterminant() * inverse.GetDeterminant(), 1, 1e-12);
    }
    // A pivot search is needed: the leading element is 0.
    Matrix swap = FromValues(4, 4, {0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 1, 0});
    ExpectIdentity(swap.SlowInverse() * swap, 0);
}

TEST(Matrix, SlowInverseOfSingularOrOtherShapes) {
    Matrix singular = FromValues(4, 4, {1, 2, 3, 4, 2, 4, 6, 8, 0, 0, 1, 0, 0, 0, 0, 1});
    EXPECT_TRUE(singular.SlowInverse() == Matrix(4, 4));
    Matrix three = FromValues(3, 3, {2, 0, 0, 0, 2, 0, 0, 0, 2});
    EXPECT_TRUE(three.SlowInverse() == three);
}

TEST(Matrix, InverseUndoesARigidTransform) {
    Matrix t(4, 4);
    t.Translate(1, 2, 3);
    Matrix expected(4, 4);
    expected.Translate(-1, -2, -3);
    EXPECT_TRUE(t.Inverse() == expected);

    std::mt19937_64 random(4);
    std::uniform_real_distribution<double> any(-180, 180);
    for (int i = 0; i < 50; ++i) {
        Matrix m(4, 4);
        m.Rotate(any(random), any(random), any(random));
        m.Translate(any(random), any(random), any(random));
        m.Scale(2, 4, 8);
        Matrix inverse = m.Inverse();
        ExpectIdentity(m * inverse, 1e-7);
        ExpectNear(inverse.GetRotation(), -m.GetRotation().x, -m.GetRotation().y,
                   -m.GetRotation().z, 0);
        ExpectNear(inverse.GetScale(), 0.5, 0.25, 0.125, 1);
        // The rotation block is orthonormal to the precision of the constant sqrt(2).
        EXPECT_NEAR(m.GetDeterminant(), 1, 1e-8);
    }
}

TEST(Matrix, EulerAnglesComeOutBetweenZeroAndThreeSixty) {
    EXPECT_TRUE(Matrix(4, 4).GetEulerAngle() == 0.0);
    Matrix m(4, 4);
    m.Rotate(0, 0, 90);
    ExpectNear(m.GetEulerAngle(), 0, 0, 270, 0, 1e-6);
    m.Rotate(0, 0, -90);
    ExpectNear(m.GetEulerAngle(), 0, 0, 90, 0, 1e-6);
    m.Rotate(-30, 0, 0);
    ExpectNear(m.GetEulerAngle(), 30, 0, 0, 0, 1e-6);
    // Gimbal lock: the x angle is folded into z.
    Matrix locked = FromValues(4, 4, {0, 0, 1, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 0, 1});
    ExpectNear(locked.GetEulerAngle(), 0, 90, 0, 0, 1e-6);
    EXPECT_TRUE(Matrix(2, 2).GetEulerAngle() == 0.0);
    // A 3 x 3 matrix reads the 4 x 4 positions it lacks as 0 instead of past its end.
    ExpectNear(Matrix(3, 3).GetEulerAngle(), 0, 0, 0, 0);
}

}  // namespace
}  // namespace System::Math
