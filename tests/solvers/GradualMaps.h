#pragma once
// Maps with analytic derivatives for the gradual-descent tracer's tests, bound to both
// evaluator seams, with counters and switches that make chosen evaluations misbehave.

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "solvers/CoordinateEvaluator.h"
#include "solvers/Trace.h"

namespace tandor::testing {

struct AnalyticMap {
  const char *Name;
  Vector3 (*F)(double u, double v);
  // Row c: (dF_c/du, dF_c/dv).
  std::array<Vector2, 3> (*Jacobian)(double u, double v);
};

// Cross-cap with a non-linear first function: (u + v^4, v^2, u v); its double points are u = 0,
// (0, v) paired with (0, -v).
inline const AnalyticMap CrossCap{
    "CrossCap",
    [](double u, double v) {
      return Vector3{u + v * v * v * v, v * v, u * v};
    },
    [](double u, double v) {
      return std::array<Vector2, 3>{Vector2{1, 4 * v * v * v}, Vector2{0, 2 * v}, Vector2{v, u}};
    }};

// Fold (u^2, v, u^3 - u v): double points v = u^2, (u, u^2) paired with (-u, u^2).
inline const AnalyticMap Fold{
    "Fold",
    [](double u, double v) {
      return Vector3{u * u, v, u * u * u - u * v};
    },
    [](double u, double v) {
      return std::array<Vector2, 3>{Vector2{2 * u, 0}, Vector2{0, 1}, Vector2{3 * u * u - v, -u}};
    }};

// (u^2, v, u h) with h = (u^2 - 1)^2 + v^2 - 1/4: the double points are the two closed curves
// h = 0 around (1, 0) and (-1, 0), each the mirror image of the other; in D x D one closed
// curve whose halves never meet.
inline const AnalyticMap Rings{"Rings",
                               [](double u, double v) {
                                 const double w = u * u - 1, h = w * w + v * v - 0.25;
                                 return Vector3{u * u, v, u * h};
                               },
                               [](double u, double v) {
                                 const double w = u * u - 1, h = w * w + v * v - 0.25;
                                 return std::array<Vector2, 3>{
                                     Vector2{2 * u, 0}, Vector2{0, 1},
                                     Vector2{h + 4 * u * u * w, 2 * u * v}};
                               }};

// (u^2, v, u (|u| - 1/2)): on the pairs (-a, v, a, v) the first two residual components vanish
// exactly and the third is a - 1/2, so the corrector meets a one-dimensional linear equation.
inline const AnalyticMap SymmetricLinear{"SymmetricLinear",
                                         [](double u, double v) {
                                           return Vector3{u * u, v, u * (std::fabs(u) - 0.5)};
                                         },
                                         [](double u, double) {
                                           return std::array<Vector2, 3>{
                                               Vector2{2 * u, 0}, Vector2{0, 1},
                                               Vector2{2 * std::fabs(u) - 0.5, 0}};
                                         }};

// (sin 7u + v^2, cos 7v + u^3, sin 5uv + cos(3u + 2v)) on [-3, 3]^2: a tangle of double curves,
// among them small closed curves in D x D that the walks go round with steps shorter than a cell
// of the projection grid.
inline const AnalyticMap Tangle{
    "Tangle",
    [](double u, double v) {
      return Vector3{std::sin(7 * u) + v * v, std::cos(7 * v) + u * u * u,
                     std::sin(5 * u * v) + std::cos(3 * u + 2 * v)};
    },
    [](double u, double v) {
      const double c = std::cos(5 * u * v), s = std::sin(3 * u + 2 * v);
      return std::array<Vector2, 3>{Vector2{7 * std::cos(7 * u), 2 * v},
                                    Vector2{3 * u * u, -7 * std::sin(7 * v)},
                                    Vector2{5 * v * c - 3 * s, 5 * u * c - 2 * s}};
    }};

// Binds an AnalyticMap to F as a whole (MapEvaluator) and to one coordinate function at a time
// (CoordinateEvaluator).
class MapUnderTest {
public:
  explicit MapUnderTest(const AnalyticMap &map) : Map(map) {}

  void operator()(double &x, double &y, double &z, double u, double v) {
    ++MapCalls;
    const Vector3 f = Map.F(u, v);
    x = f[0];
    y = f[1];
    z = f[2];
  }

  double Value(int c, double u, double v) {
    ++ValueCalls;
    if (ValueCalls >= NotANumberFromValueCall)
      return Broken;
    return Map.F(u, v)[c];
  }

  ValueAndDerivative WithDerivative(int c, double u, double v, double du, double dv) {
    ++DerivativeCalls;
    if (DerivativeCalls >= NotANumberFromDerivativeCall)
      return {Broken, Broken};
    const Vector2 g = Map.Jacobian(u, v)[c];
    const double scale = c == 2 ? ThirdDerivativeScale : 1.0;
    return {Map.F(u, v)[c], scale * (du * g[0] + dv * g[1])};
  }

  const AnalyticMap &Map;
  uint64_t MapCalls = 0, ValueCalls = 0, DerivativeCalls = 0;
  // From these (1-based) calls on, the evaluations answer Broken.
  uint64_t NotANumberFromValueCall = std::numeric_limits<uint64_t>::max();
  uint64_t NotANumberFromDerivativeCall = std::numeric_limits<uint64_t>::max();
  double Broken = std::numeric_limits<double>::quiet_NaN();
  // A wrong derivative of the third function, to slow the corrector down or to overshoot.
  double ThirdDerivativeScale = 1.0;
};

} // namespace tandor::testing
