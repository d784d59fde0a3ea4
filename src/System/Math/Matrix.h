#pragma once

#include "System/Math/Point.h"
#include "System/Object.h"

#include <cstdint>
#include <vector>

namespace System::Math {

// A rows x columns matrix of doubles stored row-major: element (r, c) at the flat
// index r * columns + c. Beside the elements it keeps the Euler angles last given to
// Rotate and the scale last given to Scale. 4 x 4 transforms keep their translation
// in elements 12-14 and act on row vectors (MultiplyBy); angles are in degrees.
// Operations that only make sense for some shapes leave other shapes unchanged.
class Matrix : public Object {
  public:
    // Filled with the identity pattern (1 where row = column, also when not square);
    // no elements when either dimension is 0.
    Matrix(uint32_t rows, uint32_t columns);
    Matrix(const Matrix& other) = default;
    Matrix& operator=(const Matrix& other) = default;

    // Equal dimensions and equal elements; rotation and scale are not compared.
    bool operator==(const Matrix& m) const;
    using Object::operator==;

    uint32_t GetNumRows() const { return mRows; }
    uint32_t GetNumColumns() const { return mColumns; }
    uint32_t GetSize() const { return mRows * mColumns; }

    // The element at row * columns + column, 0.0 when that index is out of range (a
    // column past the last reads into the next row).
    double GetValue(uint32_t row, uint32_t column) const;
    // The element at the flat index, 0.0 when out of range.
    double GetValue(uint32_t index) const;
    // Same indexing as GetValue; an index out of range changes nothing.
    void SetValue(uint32_t row, uint32_t column, double value);
    void SetValue(uint32_t index, double value);
    // REQUIRES: index < GetSize().
    double operator[](uint32_t index) const;

    const Point& GetRotation() const { return mRotation; }
    const Point& GetScale() const { return mScale; }
    // (m12, m13, m14, 0) for 4 x 4, (m6, m7, 0, 0) for 3 x 3, else (0, 0, 0, 0).
    Point GetTranslation() const;
    // (m8, m9, m10, 0) for 4 x 4, (m3, m4, 0, 0) for 3 x 3, else (0, 0, 0, 0).
    Point GetDirection() const;
    // Refills the elements with the identity pattern.
    void SetIdentity();

    // Element-wise, only when the dimensions match and the matrix is not empty.
    Matrix& operator+=(const Matrix& m);
    Matrix& operator-=(const Matrix& m);
    // This becomes this x m, only for square matrices of equal size; x, y and z of
    // the scale are multiplied by those of m's scale.
    Matrix& operator*=(const Matrix& m);
    // Matrix division is not defined: the matrix stays as it is.
    Matrix& operator/=(const Matrix& m);
    Matrix operator+(const Matrix& m) const;
    Matrix operator-(const Matrix& m) const;
    Matrix operator*(const Matrix& m) const;
    Matrix operator/(const Matrix& m) const;

    // p scaled by the scale, then multiplied as a column vector (M x p); 3 x 3 and
    // 2 x 2 use the leading components and give 0 for the rest; other shapes give p.
    Point operator*(const Point& p) const;
    // p scaled by the scale, then multiplied as a row vector (p x M); same shapes.
    Point MultiplyBy(const Point& p) const;
    Point Transform(const Point& p) const { return MultiplyBy(p); }
    // p moved by the translation (w of the result 0); other shapes give p.
    Point ApplyTranslation(const Point& p) const;
    // p times the rotation block, row-vector form (w of the result 0); other shapes give p.
    Point ApplyRotation(const Point& p) const;
    // p times the scale, component-wise.
    Point ApplyScale(const Point& p) const;

    // Sets the translation of a 4 x 4 (x, y, z) or 3 x 3 (x, y) transform.
    void Translate(double x, double y, double z);
    void Translate(const Point& p);
    // 4 x 4 only: remembers the Euler angles and writes the rotation block of
    // Quaternion::Rotate(x, y, z); the other elements stay.
    void Rotate(double x, double y, double z);
    void Rotate(const Point& p);
    // Sets the scale to (x, y, z, 1); the elements are not changed.
    void Scale(double x, double y, double z);
    void Scale(const Point& p);
    // 4 x 4 only: the look-at transform of an eye at eye looking at target.
    void PointAt(const Point& eye, const Point& target, const Point& up);
    void PointAt(const Point& eye, const Point& target);
    // The 4 x 4 diagonal matrix of the scale times this matrix (just the diagonal
    // matrix when this is not 4 x 4).
    Matrix GetScaledMatrix() const;

    // The columns x rows matrix whose element (i, j) is this one's (j, i).
    Matrix Transpose() const;
    // 0 when not square.
    double GetDeterminant() const;
    // The determinant of the leading n x n of m by cofactor expansion along the first
    // row; elements outside m count as 0.
    static double GetDeterminant(const Matrix& m, uint32_t n);
    // The inverse of a 4 x 4 rotation plus translation (rotation transposed); a matrix
    // that is not 4 x 4 gives a copy of itself.
    Matrix Inverse() const;
    // The general inverse of a 4 x 4 matrix by Gauss-Jordan elimination with partial
    // pivoting; the identity for a singular matrix, a copy for other shapes.
    Matrix SlowInverse() const;
    // The Euler angles in degrees of a rotation block at 4 x 4 positions, each in
    // [0, 360); (0, 0, 0, 0) unless the matrix is square with at least 3 rows.
    Point GetEulerAngle() const;

  private:
    bool IsSquare(uint32_t n) const { return mRows == n && mColumns == n; }

    // Dimensions.
    uint32_t mRows;
    uint32_t mColumns;
    // The Euler angles last given to Rotate, degrees; (0, 0, 0, 0) at first.
    Point mRotation{0, 0, 0, 0};
    // The scale last given to Scale; (1, 1, 1, 1) at first.
    Point mScale{1, 1, 1, 1};
    // mRows * mColumns elements, row-major; empty when a dimension is 0.
    std::vector<double> mData;
};

}  // namespace System::Math
