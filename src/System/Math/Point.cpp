#include "System/Math/Point.h"

#include <cmath>

namespace System::Math {

Point::Point(double x, double y, double z, double w) : x(x), y(y), z(z), w(w) {}

Point& Point::operator=(double v) {
    x = y = z = w = v;
    return *this;
}

void Point::SetPoint(const Point& p) {
    *this = p;
}

void Point::SetPoint(double px, double py) {
    x = px;
    y = py;
}

void Point::SetPoint(double px, double py, double pz) {
    SetPoint(px, py);
    z = pz;
}

void Point::SetPoint(double px, double py, double pz, double pw) {
    SetPoint(px, py, pz);
    w = pw;
}

double& Point::operator[](unsigned int i) {
    switch (i) {
        case 0:
            return x;
        case 1:
            return y;
        case 2:
            return z;
        default:
            return w;
    }
}

const double& Point::operator[](unsigned int i) const {
    return const_cast<Point&>(*this)[i];
}

bool Point::operator==(const Point& p) const {
    return x == p.x && y == p.y && z == p.z && w == p.w;
}
bool Point::operator!=(const Point& p) const {
    return x != p.x && y != p.y && z != p.z && w != p.w;
}
bool Point::operator<(const Point& p) const {
    return x < p.x && y < p.y && z < p.z && w < p.w;
}
bool Point::operator<=(const Point& p) const {
    return x <= p.x && y <= p.y && z <= p.z && w <= p.w;
}
bool Point::operator>(const Point& p) const {
    return x > p.x && y > p.y && z > p.z && w > p.w;
}
bool Point::operator>=(const Point& p) const {
    return x >= p.x && y >= p.y && z >= p.z && w >= p.w;
}

bool Point::operator==(double v) const {
    return *this == Point(v, v, v, v);
}
bool Point::operator!=(double v) const {
    return *this != Point(v, v, v, v);
}
bool Point::operator<(double v) const {
    return *this < Point(v, v, v, v);
}
bool Point::operator<=(double v) const {
    return *this <= Point(v, v, v, v);
}
bool Point::operator>(double v) const {
    return *this > Point(v, v, v, v);
}
bool Point::operator>=(double v) const {
    return *this >= Point(v, v, v, v);
}

Point Point::operator+(const Point& p) const {
    return Point(*this) += p;
}
Point Point::operator-(const Point& p) const {
    return Point(*this) -= p;
}
Point Point::operator*(const Point& p) const {
    return Point(*this) *= p;
}
Point Point::operator/(const Point& p) const {
    return Point(*this) /= p;
}
Point Point::operator+(double v) const {
    return Point(*this) += v;
}
Point Point::operator-(double v) const {
    return Point(*this) -= v;
}
Point Point::operator*(double v) const {
    return Point(*this) *= v;
}
Point Point::operator/(double v) const {
    return Point(*this) /= v;
}
Point Point::operator-() const {
    return Point(-x, -y, -z, -w);
}

Point& Point::operator+=(const Point& p) {
    x += p.x;
    y += p.y;
    z += p.z;
    w += p.w;
    return *this;
}

Point& Point::operator-=(const Point& p) {
    x -= p.x;
    y -= p.y;
    z -= p.z;
    w -= p.w;
    return *this;
}

Point& Point::operator*=(const Point& p) {
    x *= p.x;
    y *= p.y;
    z *= p.z;
    w *= p.w;
    return *this;
}

Point& Point::operator/=(const Point& p) {
    for (unsigned int i = 0; i < 4; ++i) {
        (*this)[i] = p[i] == 0 ? 0 : (*this)[i] / p[i];
    }
    return *this;
}

Point& Point::operator+=(double v) {
    return *this += Point(v, v, v, v);
}
Point& Point::operator-=(double v) {
    return *this -= Point(v, v, v, v);
}
Point& Point::operator*=(double v) {
    return *this *= Point(v, v, v, v);
}
Point& Point::operator/=(double v) {
    return *this /= Point(v, v, v, v);
}

Point Point::Absolute() const {
    Point result(*this);
    for (unsigned int i = 0; i < 4; ++i) {
        if (result[i] < 0) {
            result[i] = -result[i];
        }
    }
    return result;
}

Point Point::Clamp(double min, double max) const {
    Point result(*this);
    for (unsigned int i = 0; i < 4; ++i) {
        if (result[i] < min) {
            result[i] = min;
        } else if (result[i] > max) {
            result[i] = max;
        }
    }
    return result;
}

double Point::Dot(const Point& p) const {
    return x * p.x + y * p.y + z * p.z;
}

Point Point::Cross(const Point& p) const {
    return Point(y * p.z - z * p.y, z * p.x - x * p.z, x * p.y - y * p.x, 0);
}

double Point::Distance(const Point& p) const {
    Point d = *this - p;
    return std::sqrt(d.Dot(d));
}

double Point::Magnitude() const {
    return std::sqrt(x * x + y * y + z * z + w * w);
}

Point& Point::Normalize() {
    double magnitude = Magnitude();
    if (magnitude != 0) {
        *this /= magnitude;
    }
    return *this;
}

Point Point::Reflect(const Point& normal) const {
    double d = Dot(normal);
    return Point(x - 2 * normal.x * d, y - 2 * normal.y * d, z - 2 * normal.z * d, 0);
}

}  // namespace System::Math
