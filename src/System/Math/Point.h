#pragma once

#include "System/Object.h"

namespace System::Math {

// Four doubles x, y, z, w with component-wise arithmetic and comparisons and a few
// 3-D vector operations. Every value, NaN and infinities included, is allowed.
class Point : public Object {
  public:
    Point(double x, double y, double z, double w);
    Point(const Point& other) = default;

    Point& operator=(const Point& other) = default;
    // Sets all four components to v.
    Point& operator=(double v);

    void SetPoint(const Point& p);
    // Sets x and y; z and w keep their values.
    void SetPoint(double x, double y);
    // Sets x, y and z; w keeps its value.
    void SetPoint(double x, double y, double z);
    void SetPoint(double x, double y, double z, double w);

    // x for 0, y for 1, z for 2 and w for every other index.
    double& operator[](unsigned int i);
    const double& operator[](unsigned int i) const;

    // Each comparison holds only when it holds for all four components; a double is
    // compared with every component. So != is not the negation of ==: it is true
    // only when every component differs.
    bool operator==(const Point& p) const;
    bool operator!=(const Point& p) const;
    bool operator<(const Point& p) const;
    bool operator<=(const Point& p) const;
    bool operator>(const Point& p) const;
    bool operator>=(const Point& p) const;
    bool operator==(double v) const;
    bool operator!=(double v) const;
    bool operator<(double v) const;
    bool operator<=(double v) const;
    bool operator>(double v) const;
    bool operator>=(double v) const;
    using Object::operator==;

    // Component-wise; * is the component product, not a dot product. Division by a
    // zero component gives 0 in that component, division by the double 0 gives 0 in all.
    Point operator+(const Point& p) const;
    Point operator-(const Point& p) const;
    Point operator*(const Point& p) const;
    Point operator/(const Point& p) const;
    Point operator+(double v) const;
    Point operator-(double v) const;
    Point operator*(double v) const;
    Point operator/(double v) const;
    Point operator-() const;
    Point& operator+=(const Point& p);
    Point& operator-=(const Point& p);
    Point& operator*=(const Point& p);
    Point& operator/=(const Point& p);
    Point& operator+=(double v);
    Point& operator-=(double v);
    Point& operator*=(double v);
    Point& operator/=(double v);

    // The absolute value of each component (-0.0 and NaN stay as they are).
    Point Absolute() const;
    // Each component below min becomes min, otherwise each above max becomes max.
    Point Clamp(double min, double max) const;
    // Over x, y and z only.
    double Dot(const Point& p) const;
    // The 3-D cross product; w of the result is 0.
    Point Cross(const Point& p) const;
    // Over x, y and z only.
    double Distance(const Point& p) const;
    // Over all four components (the norm of a quaternion).
    double Magnitude() const;
    // Divides all four components by Magnitude(); a zero point is left unchanged.
    Point& Normalize();
    // This point reflected about the plane of normal (not normalised first); w is 0.
    Point Reflect(const Point& normal) const;

    double x;
    double y;
    double z;
    double w;
};

}  // namespace System::Math
