#pragma once
// Maps written in plain C++ with their exact first derivatives, bound to both evaluator seams,
// and the checks every result of the singular-point search must pass.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <span>
#include <vector>

#include "analysis/SingularPointFinder.h"
#include "solvers/CoordinateEvaluator.h"

namespace tandor::testing {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

struct Jet {
  Vector3 F{}, Fu{}, Fv{};
};
using JetFunction = std::function<Jet(double u, double v)>;

class PlainMap {
public:
  explicit PlainMap(JetFunction f) : Of(std::move(f)) {}

  void operator()(double &x, double &y, double &z, double u, double v) {
    const Jet j = Of(u, v);
    x = j.F[0], y = j.F[1], z = j.F[2];
  }
  double Value(int c, double u, double v) { return Of(u, v).F[c]; }
  ValueAndDerivative WithDerivative(int c, double u, double v, double du, double dv) {
    const Jet j = Of(u, v);
    return {j.F[c], du * j.Fu[c] + dv * j.Fv[c]};
  }

  JetFunction Of;
};

// The point (x, y, z) moved by a diffeomorphism of space near the origin, with its Jacobian:
// the cross-caps and triple points of the composite are those of the map.
inline Jet ChangeOfTarget(const Jet &j) {
  const auto [x, y, z] = j.F;
  const Vector3 G{x + 0.3 * y * y + 0.1 * std::sin(z), y + 0.2 * x * z, z + 0.5 * x * x - 0.1 * y};
  const double D[3][3] = {{1, 0.6 * y, 0.1 * std::cos(z)}, {0.2 * z, 1, 0.2 * x}, {x, -0.1, 1}};
  Jet out;
  out.F = G;
  for (int r = 0; r < 3; ++r)
    for (int k = 0; k < 3; ++k) {
      out.Fu[r] += D[r][k] * j.Fu[k];
      out.Fv[r] += D[r][k] * j.Fv[k];
    }
  return out;
}

// The cross-cap (u, u v, v^2) with its singular point moved to (a, b).
inline JetFunction CrossCapAt(double a, double b) {
  return [a, b](double u, double v) {
    const double s = u - a, t = v - b;
    return Jet{{s, s * t, t * t}, {1, t, 0}, {0, s, 2 * t}};
  };
}

// a before b by u, then v; u that differ by less than 1e-9 of D's width count as equal.
inline bool Ordered(const Vector2 &a, const Vector2 &b, const Vector2 &low, const Vector2 &high) {
  const double same = 1e-9 * (high[0] - low[0]);
  return a[0] < b[0] - same || (std::fabs(a[0] - b[0]) <= same && a[1] < b[1]);
}

inline SingularPoints FindIn(PlainMap &map, const Vector2 &low, const Vector2 &high,
                             std::span<const PairSegment> locus = {}) {
  SingularPointFinder finder;
  NeverStop never;
  EXPECT_TRUE(finder.Find(map, map, low, high, locus, never));
  return finder.Result();
}

// Every reported point is where the map says: Fu x Fv vanishes at a cross-cap, the three points
// of a triple point share their image, everything finite, in closed D, in canonical order.
inline void ExpectVerified(const CoordinateEvaluator &map, const SingularPoints &result,
                           const Vector2 &low, const Vector2 &high) {
  const double hu = (high[0] - low[0]) / 2, hv = (high[1] - low[1]) / 2;
  auto jet = [&](const Vector2 &p) {
    Jet j;
    for (int c = 0; c < 3; ++c) {
      const ValueAndDerivative a = map.WithDerivative(c, p[0], p[1], hu, 0);
      const ValueAndDerivative b = map.WithDerivative(c, p[0], p[1], 0, hv);
      j.F[c] = a.Value, j.Fu[c] = a.Derivative, j.Fv[c] = b.Derivative; // along s and t
    }
    return j;
  };
  double scale = 0, size = 0; // the largest |Fs| |Ft| and |F| on a coarse grid
  for (int i = 0; i <= 8; ++i)
    for (int k = 0; k <= 8; ++k) {
      const Jet j = jet({low[0] + i * hu / 4, low[1] + k * hv / 4});
      const double ab =
          std::hypot(j.Fu[0], j.Fu[1], j.Fu[2]) * std::hypot(j.Fv[0], j.Fv[1], j.Fv[2]);
      if (std::isfinite(ab))
        scale = std::max(scale, ab), size = std::max(size, std::hypot(j.F[0], j.F[1], j.F[2]));
    }
  auto inD = [&](const Vector2 &p) {
    return p[0] >= low[0] && p[0] <= high[0] && p[1] >= low[1] && p[1] <= high[1];
  };
  for (std::size_t k = 0; k < result.CrossCaps.size(); ++k) {
    const CrossCap &c = result.CrossCaps[k];
    ASSERT_TRUE(inD(c.Point)) << c.Point[0] << ", " << c.Point[1];
    const Jet j = jet(c.Point);
    const Vector3 n{j.Fu[1] * j.Fv[2] - j.Fu[2] * j.Fv[1], j.Fu[2] * j.Fv[0] - j.Fu[0] * j.Fv[2],
                    j.Fu[0] * j.Fv[1] - j.Fu[1] * j.Fv[0]};
    EXPECT_LE(std::hypot(n[0], n[1], n[2]), 1e-10 * scale);
    for (int i = 0; i < 3; ++i)
      EXPECT_NEAR(c.Image[i], map.Value(i, c.Point[0], c.Point[1]), 1e-15 * size);
    if (k > 0) {
      EXPECT_TRUE(Ordered(result.CrossCaps[k - 1].Point, c.Point, low, high));
    }
  }
  for (std::size_t k = 0; k < result.Triples.size(); ++k) {
    const TriplePoint &t = result.Triples[k];
    EXPECT_TRUE(Ordered(t.Points[0], t.Points[1], low, high));
    EXPECT_TRUE(Ordered(t.Points[1], t.Points[2], low, high));
    if (k > 0) {
      EXPECT_TRUE(Ordered(result.Triples[k - 1].Points[0], t.Points[0], low, high));
    }
    for (const Vector2 &p : t.Points) {
      ASSERT_TRUE(inD(p)) << p[0] << ", " << p[1];
      for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(map.Value(i, p[0], p[1]), t.Image[i], 1e-10 * std::sqrt(scale) + 1e-14 * size);
    }
  }
}

} // namespace tandor::testing
