// The tracers' small kernels: Cross4, FloorIndex, MinimumNormCorrection.

#include "solvers/Kernels.h"

#include <climits>

namespace tandor {

Vector4 Cross4(const Vector4 &A, const Vector4 &B, const Vector4 &C) {
  auto minor = [&](int i, int j) {
    return static_cast<double>(Extended(B[i]) * C[j] - Extended(B[j]) * C[i]);
  };
  const double m01 = minor(0, 1), m02 = minor(0, 2), m03 = minor(0, 3), m12 = minor(1, 2),
               m13 = minor(1, 3), m23 = minor(2, 3);
  const Extended a0 = A[0], a1 = A[1], a2 = A[2], a3 = A[3];
  return {static_cast<double>(a1 * m23 - a2 * m13 + a3 * m12),
          static_cast<double>(-a0 * m23 + a2 * m03 - a3 * m02),
          static_cast<double>(a0 * m13 - a1 * m03 + a3 * m01),
          static_cast<double>(-a0 * m12 + a1 * m02 - a2 * m01)};
}

int FloorIndex(double x) {
  if (std::isnan(x))
    return INT_MIN;
  if (x >= 2147483647.0)
    return INT_MAX;
  if (x <= -2147483647.0)
    return INT_MIN;
  const int t = static_cast<int>(x); // truncates toward zero
  return x >= 0 ? t : t - 1;
}

bool MinimumNormCorrection(PointPair &x, double &length, const Vector3 &G, const Vector4 &J0,
                           const Vector4 &J1, const Vector4 &J2) {
  const std::array<const Vector4 *, 3> J{&J0, &J1, &J2};
  Matrix<3> N{};
  for (int a = 0; a < 3; ++a)
    for (int b = a; b < 3; ++b)
      N[a][b] = N[b][a] = Dot4(*J[a], *J[b]);
  if (!InvertMatrix(N))
    return false;
  Vector3 w{};
  for (int a = 0; a < 3; ++a)
    w[a] = static_cast<double>(
        -(Extended(G[0]) * N[a][0] + Extended(G[1]) * N[a][1] + Extended(G[2]) * N[a][2]));
  Vector4 delta{};
  for (int i = 0; i < 4; ++i) {
    delta[i] = static_cast<double>(Extended(w[0]) * J0[i] + Extended(w[1]) * J1[i] +
                                   Extended(w[2]) * J2[i]);
    x[i] = static_cast<double>(Extended(x[i]) + delta[i]);
  }
  length = Norm4(delta);
  return true;
}

} // namespace tandor
