#include "analysis/SmallSolve.h"

namespace tandor {

namespace {

using Extended = long double;

Extended Dot(const Vector3 &a, const Vector3 &b) {
  return Extended(a[0]) * b[0] + Extended(a[1]) * b[1] + Extended(a[2]) * b[2];
}

// Only directions whose singular value is within this factor of the largest take part in a
// step: beyond it the Gram matrix's small eigenvalue is rounding noise.
constexpr Extended NegligibleRatio = 1e-16L; // of the eigenvalues, so 1e-8 of singular values

} // namespace

GramSpectrum SpectrumOf(const Jacobian32 &J) {
  const Extended a = Dot(J.Du, J.Du), b = Dot(J.Du, J.Dv), c = Dot(J.Dv, J.Dv);
  const Extended half = (a - c) / 2;
  const Extended large = (a + c) / 2 + std::sqrt(half * half + b * b);
  // The determinant of J^T J is |Du x Dv|^2, free of the cancellation in a c - b^2.
  const Extended n0 = Extended(J.Du[1]) * J.Dv[2] - Extended(J.Du[2]) * J.Dv[1];
  const Extended n1 = Extended(J.Du[2]) * J.Dv[0] - Extended(J.Du[0]) * J.Dv[2];
  const Extended n2 = Extended(J.Du[0]) * J.Dv[1] - Extended(J.Du[1]) * J.Dv[0];
  GramSpectrum s;
  s.Large = static_cast<double>(large);
  s.Small = large > 0 ? static_cast<double>((n0 * n0 + n1 * n1 + n2 * n2) / large) : 0.0;
  // The strong direction from whichever eigenvector formula is better conditioned; the weak
  // one is perpendicular to it.
  Extended x = b, y = large - a;
  if (std::fabs(large - c) + std::fabs(b) > std::fabs(x) + std::fabs(y))
    x = large - c, y = b;
  const Extended n = std::sqrt(x * x + y * y);
  s.Weak =
      n > 0 ? Vector2{static_cast<double>(-y / n), static_cast<double>(x / n)} : Vector2{0.0, 1.0};
  return s;
}

bool LeastSquaresStep(const Jacobian32 &J, const Vector3 &r, Vector2 &d) {
  const GramSpectrum s = SpectrumOf(J);
  if (!(s.Large > 0) || !std::isfinite(s.Large))
    return false;
  const Extended g0 = Dot(J.Du, r), g1 = Dot(J.Dv, r); // J^T r
  const Extended w0 = s.Weak[0], w1 = s.Weak[1];       // weak direction
  const Extended t0 = w1, t1 = -w0;                    // strong direction
  const Extended strong = (t0 * g0 + t1 * g1) / s.Large;
  Extended d0 = -strong * t0, d1 = -strong * t1;
  if (s.Small > NegligibleRatio * s.Large) {
    const Extended weak = (w0 * g0 + w1 * g1) / s.Small;
    d0 -= weak * w0;
    d1 -= weak * w1;
  }
  d = {static_cast<double>(d0), static_cast<double>(d1)};
  return std::isfinite(d[0]) && std::isfinite(d[1]);
}

} // namespace tandor
