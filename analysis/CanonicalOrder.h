#pragma once
// The order in which singular points are listed: by u, then by v. Two u that differ only by
// rounding (the points of a triple point over one line u = const, found by Newton's method)
// count as equal, so that the order does not depend on which seed found a point first.

#include <cmath>

#include "solvers/Trace.h"

namespace tandor {

// For points in the square (s, t), whose change to D keeps the order of u and of v; 1e-9
// there lies far below a pixel (0.005).
inline bool CanonicalOrder(const Vector2 &a, const Vector2 &b) {
  constexpr double SameU = 1e-9;
  if (std::fabs(a[0] - b[0]) > SameU)
    return a[0] < b[0];
  return a[1] < b[1];
}

} // namespace tandor
