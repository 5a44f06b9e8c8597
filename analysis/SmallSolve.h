#pragma once
// The two small dense solves of the singular-point refinements: the least-squares step of three
// equations in two unknowns, and a square system by elimination. Both work in extended precision
// and refuse what is numerically singular rather than return a huge step.

#include <array>
#include <cmath>
#include <cstddef>

#include "solvers/Trace.h"

namespace tandor {

// The 3 x 2 Jacobian of a map from the plane to space, by columns.
struct Jacobian32 {
  Vector3 Du{}, Dv{};
};

// The eigenvalues (largest first) of the Gram matrix J^T J and the unit eigenvector of the
// smaller one: its square roots are J's singular values, the vector J's weakest direction.
struct GramSpectrum {
  double Large = 0, Small = 0;
  Vector2 Weak{};
};
GramSpectrum SpectrumOf(const Jacobian32 &J);

// The Gauss-Newton step d minimising |r + J d|, taken in the directions whose singular value is
// not negligible (a pseudo-inverse): a rank-one J gives the step across the zero curve only.
// False when J is zero or anything is not finite.
bool LeastSquaresStep(const Jacobian32 &J, const Vector3 &r, Vector2 &d);

// Solves A x = b by Gaussian elimination with partial pivoting. False when a pivot falls below
// relativeFloor times the largest entry of A (or A holds something not finite).
template <std::size_t N>
bool SolveSquare(std::array<std::array<long double, N>, N> A, std::array<long double, N> b,
                 std::array<double, N> &x, long double relativeFloor) {
  long double largest = 0;
  for (const auto &row : A)
    for (long double a : row)
      largest = std::fmax(largest, std::fabs(a));
  if (!(largest > 0) || !std::isfinite(largest))
    return false;
  const long double floor = relativeFloor * largest;
  for (std::size_t j = 0; j < N; ++j) {
    std::size_t pivot = j;
    for (std::size_t i = j + 1; i < N; ++i)
      if (std::fabs(A[i][j]) > std::fabs(A[pivot][j]))
        pivot = i;
    if (!(std::fabs(A[pivot][j]) > floor))
      return false;
    std::swap(A[j], A[pivot]);
    std::swap(b[j], b[pivot]);
    for (std::size_t i = j + 1; i < N; ++i) {
      const long double m = A[i][j] / A[j][j];
      for (std::size_t k = j; k < N; ++k)
        A[i][k] -= m * A[j][k];
      b[i] -= m * b[j];
    }
  }
  std::array<long double, N> y{};
  for (std::size_t j = N; j-- > 0;) {
    long double s = b[j];
    for (std::size_t k = j + 1; k < N; ++k)
      s -= A[j][k] * y[k];
    y[j] = s / A[j][j];
    x[j] = static_cast<double>(y[j]);
    if (!std::isfinite(x[j]))
      return false;
  }
  return true;
}

} // namespace tandor
