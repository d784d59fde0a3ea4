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

}  // namespace
}  // namespace System::Math
