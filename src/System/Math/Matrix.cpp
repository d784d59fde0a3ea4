#include "System/Math/Matrix.h"

#include "System/Math/Math.h"
#include "System/Math/Quaternion.h"

#include <cassert>
#include <cmath>
#include <utility>

namespace System::Math {

Matrix::Matrix(uint32_t rows, uint32_t columns)
    : mRows(rows), mColumns(columns), mData(size_t{rows} * columns) {
    SetIdentity();
}

bool Matrix::operator==(const Matrix& m) const {
    return mRows == m.mRows && mColumns == m.mColumns && mData == m.mData;
}

double Matrix::GetValue(uint32_t row, uint32_t column) const {
    uint64_t index = uint64_t{row} * mColumns + column;
    return index < mData.size() ? mData[index] : 0.0;
}

double Matrix::GetValue(uint32_t index) const {
    return index < mData.size() ? mData[index] : 0.0;
}

void Matrix::SetValue(uint32_t row, uint32_t column, double value) {
    uint64_t index = uint64_t{row} * mColumns + column;
    if (index < mData.size()) {
        mData[index] = value;
    }
}

void Matrix::SetValue(uint32_t index, double value) {
    if (index < mData.size()) {
        mData[index] = value;
    }
}

double Matrix::operator[](uint32_t index) const {
    assert(index < mData.size());
    return mData[index];
}

Point Matrix::GetTranslation() const {
    if (IsSquare(4)) {
        return Point(mData[12], mData[13], mData[14], 0);
    }
    if (IsSquare(3)) {
        return Point(mData[6], mData[7], 0, 0);
    }
    return Point(0, 0, 0, 0);
}

Point Matrix::GetDirection() const {
    if (IsSquare(4)) {
        return Point(mData[8], mData[9], mData[10], 0);
    }
    if (IsSquare(3)) {
        return Point(mData[3], mData[4], 0, 0);
    }
    return Point(0, 0, 0, 0);
}

void Matrix::SetIdentity() {
    for (uint32_t r = 0; r < mRows; ++r) {
        for (uint32_t c = 0; c < mColumns; ++c) {
            mData[size_t{r} * mColumns + c] = r == c ? 1.0 : 0.0;
        }
    }
}

Matrix& Matrix::operator+=(const Matrix& m) {
    if (mRows == m.mRows && mColumns == m.mColumns) {
        for (size_t i = 0; i < mData.size(); ++i) {
            mData[i] += m.mData[i];
        }
    }
    return *this;
}

Matrix& Matrix::operator-=(const Matrix& m) {
    if (mRows == m.mRows && mColumns == m.mColumns) {
        for (size_t i = 0; i < mData.size(); ++i) {
            mData[i] -= m.mData[i];
        }
    }
    return *this;
}

// Only square matrices: for equal non-square shapes the sum over k < columns would
// read rows of m that do not exist.
Matrix& Matrix::operator*=(const Matrix& m) {
    if (!(mRows == m.mRows && mColumns == m.mColumns && mRows == mColumns)) {
        return *this;
    }
    const std::vector<double> left = mData;
    size_t n = mColumns;
    for (size_t i = 0; i < n; ++i) {
        for (size_t j = 0; j < n; ++j) {
            double sum = 0;
            for (size_t k = 0; k < n; ++k) {
                sum += left[i * n + k] * m.mData[k * n + j];
            }
            mData[i * n + j] = sum;
        }
    }
    mScale.SetPoint(mScale.x * m.mScale.x, mScale.y * m.mScale.y, mScale.z * m.mScale.z);
    return *this;
}

Matrix& Matrix::operator/=(const Matrix&) {
    return *this;
}

Matrix Matrix::operator+(const Matrix& m) const {
    return Matrix(*this) += m;
}
Matrix Matrix::operator-(const Matrix& m) const {
    return Matrix(*this) -= m;
}
Matrix Matrix::operator*(const Matrix& m) const {
    return Matrix(*this) *= m;
}
Matrix Matrix::operator/(const Matrix& m) const {
    return Matrix(*this) /= m;
}

Point Matrix::operator*(const Point& p) const {
    Point q = p * mScale;
    const double* m = mData.data();
    if (IsSquare(4)) {
        return Point(m[0] * q.x + m[1] * q.y + m[2] * q.z + m[3] * q.w,
                     m[4] * q.x + m[5] * q.y + m[6] * q.z + m[7] * q.w,
                     m[8] * q.x + m[9] * q.y + m[10] * q.z + m[11] * q.w,
                     m[12] * q.x + m[13] * q.y + m[14] * q.z + m[15] * q.w);
    }
    if (IsSquare(3)) {
        return Point(m[0] * q.x + m[1] * q.y + m[2] * q.z, m[3] * q.x + m[4] * q.y + m[5] * q.z,
                     m[6] * q.x + m[7] * q.y + m[8] * q.z, 0);
    }
    if (IsSquare(2)) {
        return Point(m[0] * q.x + m[1] * q.y, m[2] * q.x + m[3] * q.y, 0, 0);
    }
    return p;
}

// The row-vector product is the column-vector product of the transpose.
Point Matrix::MultiplyBy(const Point& p) const {
    return Transpose() * p;
}

Point Matrix::ApplyTranslation(const Point& p) const {
    if (IsSquare(4) || IsSquare(3)) {
        Point t = GetTranslation();
        return Point(p.x + t.x, p.y + t.y, IsSquare(4) ? p.z + t.z : 0, 0);
    }
    return p;
}

Point Matrix::ApplyRotation(const Point& p) const {
    const double* m = mData.data();
    if (IsSquare(4)) {
        return Point(p.x * m[0] + p.y * m[4] + p.z * m[8], p.x * m[1] + p.y * m[5] + p.z * m[9],
                     p.x * m[2] + p.y * m[6] + p.z * m[10], 0);
    }
    if (IsSquare(3)) {
        return Point(p.x * m[0] + p.y * m[3], p.x * m[1] + p.y * m[4], 0, 0);
    }
    return p;
}

Point Matrix::ApplyScale(const Point& p) const {
    return p * mScale;
}

void Matrix::Translate(double x, double y, double z) {
    if (IsSquare(4)) {
        mData[12] = x;
        mData[13] = y;
        mData[14] = z;
    } else if (IsSquare(3)) {
        mData[6] = x;
        mData[7] = y;
    }
}

void Matrix::Translate(const Point& p) {
    Translate(p.x, p.y, p.z);
}

// The element positions are those of a 4 x 4 transform; on a smaller matrix they
// would write past its elements.
void Matrix::Rotate(double x, double y, double z) {
    if (!IsSquare(4)) {
        return;
    }
    mRotation.SetPoint(x, y, z);
    Quaternion().Rotate(x, y, z).ToMatrix(mData.data());
}

void Matrix::Rotate(const Point& p) {
    Rotate(p.x, p.y, p.z);
}

void Matrix::Scale(double x, double y, double z) {
    mScale = Point(x, y, z, 1);
}

void Matrix::Scale(const Point& p) {
    Scale(p.x, p.y, p.z);
}

// 4 x 4 only, as for Rotate.
void Matrix::PointAt(const Point& eye, const Point& target, const Point& up) {
    if (!IsSquare(4)) {
        return;
    }
    Point f = target - eye;
    f.w = 0;
    f.Normalize();
    Point s = f.Cross(up);
    s.Normalize();
    Point u = s.Cross(f);
    u.Normalize();
    const double rows[16] = {s.x,   s.y,   s.z,   0,  //
                             u.x,   u.y,   u.z,   0,  //
                             -f.x,  -f.y,  -f.z,  0,  //
                             eye.x, eye.y, eye.z, 1};
    for (size_t i = 0; i < 16; ++i) {
        mData[i] = rows[i];
    }
}

void Matrix::PointAt(const Point& eye, const Point& target) {
    PointAt(eye, target, Point(0, 1, 0, 0));
}

Matrix Matrix::GetScaledMatrix() const {
    Matrix scaled(4, 4);
    scaled.mData[0] = mScale.x;
    scaled.mData[5] = mScale.y;
    scaled.mData[10] = mScale.z;
    return scaled *= *this;
}

// A non-square matrix gets the transposed shape; copying its dimensions would read
// and write outside the elements.
Matrix Matrix::Transpose() const {
    Matrix result(*this);
    result.mRows = mColumns;
    result.mColumns = mRows;
    for (size_t r = 0; r < mRows; ++r) {
        for (size_t c = 0; c < mColumns; ++c) {
            result.mData[c * mRows + r] = mData[r * mColumns + c];
        }
    }
    return result;
}

double Matrix::GetDeterminant() const {
    return mRows == mColumns ? GetDeterminant(*this, mRows) : 0.0;
}

double Matrix::GetDeterminant(const Matrix& m, uint32_t n) {
    auto e = [&m](uint32_t index) { return m.GetValue(index); };
    switch (n) {
        case 0:
            return 0;
        case 1:
            return e(0);
        case 2:
            return e(0) * e(3) - e(1) * e(2);
        case 3:
            return e(0) * e(4) * e(8) - e(0) * e(5) * e(7) - e(1) * e(3) * e(8) +
                   e(1) * e(5) * e(6) + e(2) * e(3) * e(7) - e(2) * e(4) * e(6);
        default:
            break;
    }
    double determinant = 0;
    Matrix minor(n - 1, n - 1);
    for (uint32_t j = 0; j < n; ++j) {
        for (uint32_t r = 1; r < n; ++r) {
            for (uint32_t c = 0, column = 0; c < n; ++c) {
                if (c != j) {
                    minor.SetValue(r - 1, column++, m.GetValue(r, c));
                }
            }
        }
        double sign = j % 2 == 0 ? 1.0 : -1.0;
        determinant += sign * m.GetValue(0, j) * GetDeterminant(minor, n - 1);
    }
    return determinant;
}

// Other shapes give a copy, as for SlowInverse: the element positions below are
// those of a 4 x 4 transform.
Matrix Matrix::Inverse() const {
    if (!IsSquare(4)) {
        return *this;
    }
    Matrix result(4, 4);
    double* r = result.mData.data();
    const double* m = mData.data();
    const int from[9] = {0, 4, 8, 1, 5, 9, 2, 6, 10};
    const int to[9] = {0, 1, 2, 4, 5, 6, 8, 9, 10};
    for (int i = 0; i < 9; ++i) {
        r[to[i]] = m[from[i]];
    }
    r[12] = -(m[12] * r[0] + m[13] * r[4] + m[14] * r[8]);
    r[13] = -(m[12] * r[1] + m[13] * r[5] + m[14] * r[9]);
    r[14] = -(m[12] * r[2] + m[13] * r[6] + m[14] * r[10]);
    result.mRotation = Point(-mRotation.x, -mRotation.y, -mRotation.z, 0);
    result.mScale = Point(1 / mScale.x, 1 / mScale.y, 1 / mScale.z, 1);
    return result;
}

Matrix Matrix::SlowInverse() const {
    if (!IsSquare(4)) {
        return *this;
    }
    // Row i of the work array holds column i of this matrix beside row i of the
    // identity, so the solution read back the same way is the inverse.
    double work[4][8];
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            work[i][j] = mData[j * 4 + i];
            work[i][4 + j] = i == j ? 1.0 : 0.0;
        }
    }
    for (int col = 0; col < 4; ++col) {
        // One pass from the bottom up brings the largest entry of the column to the pivot.
        for (int row = 3; row > col; --row) {
            if (std::fabs(work[row][col]) > std::fabs(work[row - 1][col])) {
                std::swap(work[row], work[row - 1]);
            }
        }
        const double* pivot = work[col];
        if (pivot[col] == 0) {
            return Matrix(4, 4);
        }
        for (int row = col + 1; row < 4; ++row) {
            double factor = work[row][col] / pivot[col];
            for (int j = col + 1; j < 8; ++j) {
                if (j < 4 || pivot[j] != 0) {
                    work[row][j] -= factor * pivot[j];
                }
            }
        }
    }
    for (int row = 3; row >= 0; --row) {
        for (int j = 4; j < 8; ++j) {
            double value = work[row][j];
            for (int k = row + 1; k < 4; ++k) {
                value -= work[row][k] * work[k][j];
            }
            work[row][j] = value / work[row][row];
        }
    }
    Matrix result(4, 4);
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            result.mData[j * 4 + i] = work[i][4 + j];
        }
    }
    return result;
}

// Reads through GetValue so that a 3 x 3 matrix, whose elements end before the 4 x 4
// positions used here, reads 0 instead of past its elements.
Point Matrix::GetEulerAngle() const {
    Point angle(0, 0, 0, 0);
    if (mRows != mColumns || mRows < 3) {
        return angle;
    }
    auto e = [this](uint32_t index) { return GetValue(index); };
    double a = std::asin(e(2));
    double c = std::cos(a);
    angle.y = a * Math::RAD;
    if (std::fabs(c) <= 0.005) {
        angle.z = std::atan2(e(4), e(5)) * Math::RAD;
    } else {
        angle.x = std::atan2(-e(6) / c, e(10) / c) * Math::RAD;
        angle.z = std::atan2(-e(1) / c, e(0) / c) * Math::RAD;
    }
    for (unsigned int i = 0; i < 3; ++i) {
        if (angle[i] < -0.00001) {
            angle[i] += 360;
        }
    }
    return angle;
}

}  // namespace System::Math
