#include "System/Math/Quaternion.h"

#include "System/Math/Math.h"

#include <cmath>

namespace System::Math {

Quaternion::Quaternion() : Point(0, 0, 0, 1) {}

Quaternion::Quaternion(double x, double y, double z, double w) : Point(x, y, z, w) {}

Quaternion::Quaternion(const Point& axisAngle) : Point(0, 0, 0, 1) {
    double s = std::sin(axisAngle.w / 2);
    SetPoint(axisAngle.x * s, axisAngle.y * s, axisAngle.z * s, std::cos(axisAngle.w / 2));
}

Quaternion::Quaternion(const double* matrix) : Quaternion(ToQuaternion(matrix)) {}

Quaternion& Quaternion::operator*=(const Quaternion& q) {
    SetPoint(w * q.x + x * q.w + y * q.z - z * q.y, w * q.y - x * q.z + y * q.w + z * q.x,
             w * q.z + x * q.y - y * q.x + z * q.w, w * q.w - x * q.x - y * q.y - z * q.z);
    return *this;
}

Quaternion Quaternion::operator*(const Quaternion& q) const {
    return Quaternion(*this) *= q;
}

Quaternion& Quaternion::Conjugate() {
    x = -x;
    y = -y;
    z = -z;
    return *this;
}

Quaternion& Quaternion::Rotate(double ax, double ay, double az, double angle) {
    double half = angle * Math::PI180 * 0.5;
    double s = std::sin(half);
    SetPoint(ax * s, ay * s, az * s, std::cos(half));
    Normalize();
    return *this;
}

Quaternion& Quaternion::Rotate(double ex, double ey, double ez) {
    double c1 = std::cos(ex * Math::PI180 * 0.5);
    double s1 = std::sin(ex * Math::PI180 * 0.5);
    double c2 = std::cos(ey * Math::PI180 * 0.5);
    double s2 = std::sin(ey * Math::PI180 * 0.5);
    double c3 = std::cos(ez * Math::PI180 * 0.5);
    double s3 = std::sin(ez * Math::PI180 * 0.5);
    SetPoint(s1 * c2 * c3 - c1 * s2 * s3, c1 * s2 * c3 + s1 * c2 * s3, c1 * c2 * s3 - s1 * s2 * c3,
             c1 * c2 * c3 + s1 * s2 * s3);
    return *this;
}

void Quaternion::Transform(Point& p) const {
    double m[16];
    ToMatrix(m);
    p.SetPoint(m[0] * p.x + m[1] * p.y + m[2] * p.z, m[4] * p.x + m[5] * p.y + m[6] * p.z,
               m[8] * p.x + m[9] * p.y + m[10] * p.z);
}

void Quaternion::ToMatrix(double* m) const {
    // Scaling each component by sqrt(2) turns every 2ab of the rotation into a'b'.
    double qx = x * Sqrt2;
    double qy = y * Sqrt2;
    double qz = z * Sqrt2;
    double qw = w * Sqrt2;
    m[0] = 1 - (qy * qy + qz * qz);
    m[1] = qx * qy + qz * qw;
    m[2] = qx * qz - qy * qw;
    m[4] = qx * qy - qz * qw;
    m[5] = 1 - (qx * qx + qz * qz);
    m[6] = qy * qz + qx * qw;
    m[8] = qx * qz + qy * qw;
    m[9] = qy * qz - qx * qw;
    m[10] = 1 - (qx * qx + qy * qy);
}

Quaternion Quaternion::ToQuaternion(const double* m) {
    double trace = m[0] + m[5] + m[10];
    if (trace > 0) {
        double s = 0.5 / std::sqrt(trace + 1);
        return Quaternion((m[9] - m[6]) * s, (m[2] - m[8]) * s, (m[4] - m[1]) * s, 0.25 / s);
    }
    if (m[0] > m[5] && m[0] > m[10]) {
        double s = 2 * std::sqrt(1 + m[0] - m[5] - m[10]);
        return Quaternion(0.25 * s, (m[1] + m[4]) / s, (m[2] + m[8]) / s, (m[9] - m[6]) / s);
    }
    if (m[5] > m[10]) {
        double s = 2 * std::sqrt(1 + m[5] - m[0] - m[10]);
        return Quaternion((m[1] + m[4]) / s, 0.25 * s, (m[6] + m[9]) / s, (m[2] - m[8]) / s);
    }
    double s = 2 * std::sqrt(1 + m[10] - m[0] - m[5]);
    return Quaternion((m[2] + m[8]) / s, (m[6] + m[9]) / s, 0.25 * s, (m[4] - m[1]) / s);
}

Point Quaternion::ToAxisAngle() const {
    double n = Magnitude();
    if (n == 0) {
        return Point(0, 0, 0, 0);
    }
    return Point(x / n, y / n, z / n, 2 * std::acos(w));
}

// The pole test on x*y + z*w with +2z^2 in both denominators decomposed in another
// axis order than Rotate(x, y, z) composes and got every rotation about z wrong; the
// angles could not be turned back into the rotation. This decomposes the matrix of
// Rotate's order, Rz * Ry * Rx, and takes the z angle from elements that stay exact
// when the y angle nears +-90 degrees (gimbal lock), where the x angle is arbitrary.
Point Quaternion::ToEuler() const {
    double norm2 = x * x + y * y + z * z + w * w;
    if (norm2 == 0) {
        return Point(0, 0, 0, 0);
    }
    double s = 2 / norm2;
    // The rotation matrix, column-vector form, of the normalised quaternion.
    double r00 = 1 - s * (y * y + z * z);
    double r01 = s * (x * y - z * w);
    double r02 = s * (x * z + y * w);
    double r10 = s * (x * y + z * w);
    double r11 = 1 - s * (x * x + z * z);
    double r12 = s * (y * z - x * w);
    double r20 = s * (x * z - y * w);
    double r21 = s * (y * z + x * w);
    double r22 = 1 - s * (x * x + y * y);

    double aboutX = std::atan2(r21, r22);
    double aboutY = std::atan2(-r20, std::hypot(r00, r10));
    double sx = std::sin(aboutX);
    double cx = std::cos(aboutX);
    double aboutZ = std::atan2(sx * r02 - cx * r01, cx * r11 - sx * r12);
    return Point(aboutX * Math::RAD, aboutY * Math::RAD, aboutZ * Math::RAD, 0);
}

Quaternion Quaternion::Slerp(const Quaternion& q, double t) const {
    double theta = std::acos(x * q.x + y * q.y + z * q.z + w * q.w);
    double a = 1 - t;
    double b = t;
    if (theta > 0) {
        a = std::sin((1 - t) * theta) / std::sin(theta);
        b = std::sin(t * theta) / std::sin(theta);
    }
    Point r = *this * a + q * b;
    r.Normalize();
    return Quaternion(r.x, r.y, r.z, r.w);
}

}  // namespace System::Math
