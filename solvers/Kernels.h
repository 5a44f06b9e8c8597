#pragma once
// Small fixed-size vector and matrix kernels shared by the tracers. Sums and products are
// accumulated in extended precision; every result is rounded to a double.

#include <array>
#include <cmath>
#include <cstddef>

#include "solvers/Trace.h"

namespace tandor {

using Extended = long double;

inline double Norm2(const Vector2 &a) {
  return static_cast<double>(std::sqrt(Extended(a[0]) * a[0] + Extended(a[1]) * a[1]));
}

inline double Norm3(const Vector3 &a) {
  return static_cast<double>(
      std::sqrt(Extended(a[0]) * a[0] + Extended(a[1]) * a[1] + Extended(a[2]) * a[2]));
}

inline double Norm4(const Vector4 &a) {
  return static_cast<double>(std::sqrt(Extended(a[0]) * a[0] + Extended(a[1]) * a[1] +
                                       Extended(a[2]) * a[2] + Extended(a[3]) * a[3]));
}

inline double Dot3(const Vector3 &a, const Vector3 &b) {
  return static_cast<double>(Extended(a[0]) * b[0] + Extended(a[1]) * b[1] + Extended(a[2]) * b[2]);
}

inline double Dot4(const Vector4 &a, const Vector4 &b) {
  return static_cast<double>(Extended(a[0]) * b[0] + Extended(a[1]) * b[1] + Extended(a[2]) * b[2] +
                             Extended(a[3]) * b[3]);
}

inline Vector3 Cross3(const Vector3 &a, const Vector3 &b) {
  return {static_cast<double>(Extended(a[1]) * b[2] - Extended(a[2]) * b[1]),
          static_cast<double>(Extended(a[2]) * b[0] - Extended(a[0]) * b[2]),
          static_cast<double>(Extended(a[0]) * b[1] - Extended(a[1]) * b[0])};
}

inline double Distance2(const Vector2 &a, const Vector2 &b) {
  const Extended d0 = Extended(a[0]) - b[0], d1 = Extended(a[1]) - b[1];
  return static_cast<double>(std::sqrt(d0 * d0 + d1 * d1));
}

inline double Distance3(const Vector3 &a, const Vector3 &b) {
  const Extended d0 = Extended(a[0]) - b[0], d1 = Extended(a[1]) - b[1], d2 = Extended(a[2]) - b[2];
  return static_cast<double>(std::sqrt(d0 * d0 + d1 * d1 + d2 * d2));
}

inline double Distance4(const Vector4 &a, const Vector4 &b) {
  Extended s = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    const Extended d = Extended(a[i]) - b[i];
    s += d * d;
  }
  return static_cast<double>(std::sqrt(s));
}

// The vector orthogonal to A, B and C: with three Jacobian rows it spans the kernel, the tangent
// of the solution curve. The operand order fixes its sign.
Vector4 Cross4(const Vector4 &A, const Vector4 &B, const Vector4 &C);

// Trunc(x) for x >= 0, Trunc(x) - 1 below; only used to notice a change of cell. Values that
// are not finite or do not fit an int give the extreme ints, never undefined behaviour.
int FloorIndex(double x);

template <std::size_t N> using Matrix = std::array<std::array<double, N>, N>;

// Gauss-Jordan inversion in place with partial pivoting by rows. False (M then unusable) when a
// column's largest remaining pivot candidate is below 1e-12 in magnitude.
template <std::size_t N> bool InvertMatrix(Matrix<N> &M) {
  std::array<std::size_t, N> p{};
  for (std::size_t i = 0; i < N; ++i)
    p[i] = i;
  for (std::size_t j = 0; j < N; ++j) {
    double max = std::fabs(M[j][j]);
    std::size_t r = j;
    for (std::size_t i = j + 1; i < N; ++i)
      if (std::fabs(M[i][j]) > max) {
        max = std::fabs(M[i][j]);
        r = i;
      }
    if (!(max >= 1e-12)) // a NaN pivot is as unusable as a tiny one
      return false;
    if (r > j) {
      std::swap(M[j], M[r]);
      std::swap(p[j], p[r]);
    }
    const double hr = static_cast<double>(1.0L / M[j][j]);
    for (std::size_t i = 0; i < N; ++i)
      M[i][j] = static_cast<double>(Extended(hr) * M[i][j]);
    M[j][j] = hr;
    for (std::size_t k = 0; k < N; ++k) {
      if (k == j)
        continue;
      for (std::size_t i = 0; i < N; ++i)
        if (i != j)
          M[i][k] = static_cast<double>(Extended(M[i][k]) - Extended(M[i][j]) * M[j][k]);
      M[j][k] = static_cast<double>(-Extended(hr) * M[j][k]);
    }
  }
  std::array<double, N> hv{};
  for (std::size_t i = 0; i < N; ++i) {
    for (std::size_t k = 0; k < N; ++k)
      hv[p[k]] = M[i][k];
    M[i] = hv;
  }
  return true;
}

// Gauss-Newton step of least norm for three equations in four unknowns:
// x += -J^T (J J^T)^-1 G. False, with x and length untouched, when J J^T is singular.
bool MinimumNormCorrection(PointPair &x, double &length, const Vector3 &G, const Vector4 &J0,
                           const Vector4 &J1, const Vector4 &J2);

} // namespace tandor
