#include "System/Math/Matrix.h"

#include "support/Process.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace System::Math {
namespace {

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

}  // namespace
}  // namespace System::Math
