// The matrices of the 3D view: rotation, translation, scale, perspective, product.

#include "scene/SceneMaths.h"

#include <cmath>

namespace tandor {

Matrix4 IdentityMatrix() {
  Matrix4 m{};
  m[0] = m[5] = m[10] = m[15] = 1.0;
  return m;
}

Matrix4 operator*(const Matrix4 &a, const Matrix4 &b) {
  Matrix4 m{};
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) {
      double s = 0.0;
      for (int k = 0; k < 4; ++k)
        s += a[4 * k + r] * b[4 * c + k];
      m[4 * c + r] = s;
    }
  return m;
}

Matrix4 TranslationMatrix(const Vector3 &t) {
  Matrix4 m = IdentityMatrix();
  m[12] = t[0];
  m[13] = t[1];
  m[14] = t[2];
  return m;
}

Matrix4 ScaleMatrix(double s) {
  Matrix4 m = IdentityMatrix();
  m[0] = m[5] = m[10] = s;
  return m;
}

Matrix4 RotationMatrix(const Vector3 &axis, double angle) {
  const double c = std::cos(angle), s = std::sin(angle), t = 1.0 - c;
  const double x = axis[0], y = axis[1], z = axis[2];
  Matrix4 m = IdentityMatrix();
  m[0] = t * x * x + c;
  m[1] = t * x * y + s * z;
  m[2] = t * x * z - s * y;
  m[4] = t * x * y - s * z;
  m[5] = t * y * y + c;
  m[6] = t * y * z + s * x;
  m[8] = t * x * z + s * y;
  m[9] = t * y * z - s * x;
  m[10] = t * z * z + c;
  return m;
}

Matrix4 PerspectiveMatrix(double verticalFieldOfView, double aspect, double nearPlane,
                          double farPlane) {
  const double f = 1.0 / std::tan(verticalFieldOfView / 2.0);
  Matrix4 m{};
  m[0] = f / aspect;
  m[5] = f;
  m[10] = (farPlane + nearPlane) / (nearPlane - farPlane);
  m[11] = -1.0;
  m[14] = 2.0 * farPlane * nearPlane / (nearPlane - farPlane);
  return m;
}

Vector4 Transform(const Matrix4 &m, const Vector3 &p, double w) {
  Vector4 out{};
  for (int r = 0; r < 4; ++r)
    out[r] = m[r] * p[0] + m[4 + r] * p[1] + m[8 + r] * p[2] + m[12 + r] * w;
  return out;
}

} // namespace tandor
