#pragma once
// Matrix4 and the small vector and matrix arithmetic of the 3D view, in plain doubles (the
// tracers' kernels accumulate in extended precision, which a view does not need). Matrices are
// column-major, as OpenGL reads them: element (row r, column c) is m[4 * c + r].

#include <array>
#include <cmath>

#include "base/Vectors.h"

namespace tandor {

using Matrix4 = std::array<double, 16>;

inline Vector3 operator+(const Vector3 &a, const Vector3 &b) {
  return {a[0] + b[0], a[1] + b[1], a[2] + b[2]};
}
inline Vector3 operator-(const Vector3 &a, const Vector3 &b) {
  return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
inline Vector3 operator*(double s, const Vector3 &a) {
  return {s * a[0], s * a[1], s * a[2]};
}
inline double Dot(const Vector3 &a, const Vector3 &b) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
inline Vector3 Cross(const Vector3 &a, const Vector3 &b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
inline double Length(const Vector3 &a) {
  return std::sqrt(Dot(a, a));
}
// The zero vector stays zero: a degenerate normal is told apart by its length.
inline Vector3 Normalised(const Vector3 &a) {
  const double n = Length(a);
  return n > 0.0 && std::isfinite(n) ? (1.0 / n) * a : Vector3{0.0, 0.0, 0.0};
}
inline bool IsFinite(const Vector3 &a) {
  return std::isfinite(a[0]) && std::isfinite(a[1]) && std::isfinite(a[2]);
}

Matrix4 IdentityMatrix();
Matrix4 operator*(const Matrix4 &a, const Matrix4 &b);
Matrix4 TranslationMatrix(const Vector3 &t);
Matrix4 ScaleMatrix(double s);
// Rotation by angle (radians) about the unit axis, right-handed.
Matrix4 RotationMatrix(const Vector3 &axis, double angle);
// A right-handed perspective projection onto OpenGL's clip space (depth -1 at near, 1 at far).
Matrix4 PerspectiveMatrix(double verticalFieldOfView, double aspect, double nearPlane,
                          double farPlane);

// m · (p, w): the homogeneous image of a point (w = 1) or a direction (w = 0).
Vector4 Transform(const Matrix4 &m, const Vector3 &p, double w = 1.0);

} // namespace tandor
