#pragma once

#include "System/Math/Point.h"

namespace System::Math {

// A rotation as a quaternion: x, y, z are the vector part and w the scalar part.
// Every operation of Point applies; Magnitude() and Normalize() are the quaternion
// norm and normalisation. Angles given in degrees use Math::PI180.
class Quaternion : public Point {
  public:
    static constexpr double Sqrt2 = 1.414213562;

    // The identity rotation (0, 0, 0, 1).
    Quaternion();
    Quaternion(double x, double y, double z, double w);
    // The rotation by axisAngle.w radians about the axis (x, y, z), which is used
    // without normalising it.
    explicit Quaternion(const Point& axisAngle);
    // ToQuaternion(matrix).
    explicit Quaternion(const double* matrix);
    Quaternion(const Quaternion& other) = default;

    Quaternion& operator=(const Quaternion& other) = default;
    using Point::operator=;
    using Point::operator*;
    using Point::operator*=;

    // This becomes the Hamilton product this * q.
    Quaternion& operator*=(const Quaternion& q);
    // The Hamilton product this * q.
    Quaternion operator*(const Quaternion& q) const;

    // Negates x, y and z in place.
    Quaternion& Conjugate();
    // Becomes the rotation by angle degrees about the axis (x, y, z), normalised.
    Quaternion& Rotate(double x, double y, double z, double angle);
    // Becomes the rotation from Euler angles in degrees: x about the x axis (roll),
    // then y about y (pitch), then z about z (yaw), i.e. yaw * pitch * roll. Not
    // normalised afterwards.
    Quaternion& Rotate(double x, double y, double z);

    // Rotates p in place by the matrix that ToMatrix writes, p taken as a column
    // vector (the inverse of this rotation); p.w stays.
    void Transform(Point& p) const;
    // Writes the rotation, transposed, into elements 0-2, 4-6 and 8-10 of a 4 x 4
    // row-major array; the other elements are not touched. REQUIRES: 16 elements.
    void ToMatrix(double* m) const;
    // The rotation held in elements 0-2, 4-6 and 8-10 of a 4 x 4 row-major array read
    // in column-vector form: for ToMatrix's output this gives the conjugate.
    static Quaternion ToQuaternion(const double* m);

    // (x / n, y / n, z / n, 2 acos(w)) with n = Magnitude(); (0, 0, 0, 0) when n is 0.
    Point ToAxisAngle() const;
    // The Euler angles in degrees, (about x, about y, about z, 0), that Rotate(x, y, z)
    // turns back into this rotation; (0, 0, 0, 0) for the zero quaternion.
    Point ToEuler() const;
    // Interpolation along the great arc from this (t = 0) to q (t = 1), normalised.
    // There is no sign flip toward the shorter arc.
    Quaternion Slerp(const Quaternion& q, double t) const;
};

}  // namespace System::Math
