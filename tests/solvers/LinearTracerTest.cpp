#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "LinearTestProblems.h"
#include "solvers/FSpImplicitCurveLine3D.h"
#include "solvers/LinearCase.h"

namespace tandor {
namespace {

using testing::LinearProblem;

const double NaN = std::numeric_limits<double>::quiet_NaN();

// values = (u, v, p, q)
double U(void *, const double *x) {
  return x[0];
}
double USquaredPlusV(void *, const double *x) {
  return x[0] + x[1];
}
double VSquared(void *, const double *x) {
  return x[1] * x[1];
}
double UV(void *, const double *x) {
  return x[0] * x[1];
}
double CuspZ(void *, const double *x) {
  return x[1] * x[1] * x[1] - x[0] * x[1];
}

// (u, w^2, w (u^2 + w^2 - 1/4)) with w = v - 0.3 u: L is the closed curve u^2 + w^2 = 1/4.
double EllipseW(const double *x) {
  return x[1] - 0.3 * x[0];
}
double EllipseY(void *, const double *x) {
  return EllipseW(x) * EllipseW(x);
}
double EllipseZ(void *, const double *x) {
  const double w = EllipseW(x);
  return w * (x[0] * x[0] + w * w - 0.25);
}

// (u + v, (u - v)^2, (u + v)(u - v)): a cross-cap turned by 45 degrees, L is u + v = 0.
double TurnedY(void *, const double *x) {
  return (x[0] - x[1]) * (x[0] - x[1]);
}
double TurnedZ(void *, const double *x) {
  return (x[0] + x[1]) * (x[0] - x[1]);
}

// The window's default problem: (u, v (v^2 - p), v (u + v^4 - p v^2)).
double DefaultY(void *, const double *x) {
  return x[1] * (x[1] * x[1] - x[2]);
}
double DefaultZ(void *, const double *x) {
  const double v2 = x[1] * x[1];
  return x[1] * (x[0] + v2 * v2 - x[2] * v2);
}

PointPair CrossCapCurve(int, double s, double) {
  return {0.0, -1 + 2 * s, 0.0, 1 - 2 * s};
}
PointPair CuspCurve(int, double s, double) {
  const double v = -1 + 2 * s;
  return {v * v, v, v * v, -v};
}
PointPair EllipseCurve(int, double s, double) {
  const double a = 2 * std::numbers::pi * s;
  const double u = 0.5 * std::cos(a), w = 0.5 * std::sin(a);
  return {u, w + 0.3 * u, u, -w + 0.3 * u};
}
PointPair TurnedCurve(int, double s, double) {
  return {-1 + 2 * s, 1 - 2 * s, 1 - 2 * s, -1 + 2 * s};
}
// With sigma = v1 + v2 of a pair: v1^2 + v1 v2 + v2^2 = p and u = sigma^4 - p sigma^2.
PointPair DefaultCurve(int branch, double s, double p) {
  const double top = std::sqrt(4 * p / 3);
  const double sigma = -top + 2 * top * s;
  const double r = std::sqrt(std::max(0.0, 4 * p - 3 * sigma * sigma)) * (branch == 0 ? 1 : -1);
  const double s2 = sigma * sigma, u = s2 * s2 - p * s2;
  return {u, (sigma + r) / 2, u, (sigma - r) / 2};
}

const LinearProblem CrossCap{"CrossCap", {1, 0}, U, VSquared,     UV,
                             {-1, -1},   {1, 1}, 1, CrossCapCurve};
const LinearProblem Cusp{"Cusp", {1, 0}, U, VSquared, CuspZ, {-1, -1}, {1, 1}, 1, CuspCurve};
const LinearProblem Ellipse{"Ellipse", {1, 0}, U, EllipseY,    EllipseZ,
                            {-1, -1},  {1, 1}, 1, EllipseCurve};
const LinearProblem Turned{"TurnedCrossCap", {1, 1}, USquaredPlusV, TurnedY, TurnedZ, {-1, -1},
                           {1, 1},           1,      TurnedCurve};
const LinearProblem Default{"Default", {1, 0}, U, DefaultY,    DefaultZ,
                            {-1, -1},  {1, 1}, 2, DefaultCurve};

struct TraceCase {
  const LinearProblem *Problem;
  double P;
};

std::string CaseName(const ::testing::TestParamInfo<TraceCase> &info) {
  return info.param.Problem->Name + "_p" + std::to_string(static_cast<int>(info.param.P * 10));
}

struct World {
  Glob glob;
  TImplicitCurveLine3D tracer;
};

void Trace(World &w, const LinearProblem &problem, double p) {
  testing::SetLinearProblem(w.glob, problem, p);
  LinearCase lc = testing::MakeLinearCase(w.glob, problem);
  TraceLinearLocus(w.tracer, lc, w.glob);
}

// Pixel coordinates of the 400 x 400 picture.
struct Pixel {
  double x, y;
};
Pixel ToPixel(const Glob &g, double u, double v) {
  return {(u - g.DomainLow[0]) * 400 / (g.DomainHigh[0] - g.DomainLow[0]),
          (g.DomainHigh[1] - v) * 400 / (g.DomainHigh[1] - g.DomainLow[1])};
}

double SegmentDistance(Pixel p, Pixel a, Pixel b) {
  const double dx = b.x - a.x, dy = b.y - a.y, l2 = dx * dx + dy * dy;
  double s = l2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / l2 : 0;
  s = std::clamp(s, 0.0, 1.0);
  return std::hypot(p.x - a.x - s * dx, p.y - a.y - s * dy);
}

// The drawn segments of both tracks, as the drawing makes them (a lone point is a segment of
// length zero).
std::vector<std::pair<Pixel, Pixel>> DrawnSegments(const Glob &g) {
  std::vector<std::pair<Pixel, Pixel>> segments;
  const auto &trace = g.LinearTrace;
  for (std::size_t i = 1; i < trace.size(); ++i) {
    if (trace[i].PieceStart == 1)
      continue;
    const PointPair &a = trace[i - 1].Pair;
    const PointPair &b = trace[i].Pair;
    segments.push_back({ToPixel(g, a[0], a[1]), ToPixel(g, b[0], b[1])});
    segments.push_back({ToPixel(g, a[2], a[3]), ToPixel(g, b[2], b[3])});
  }
  return segments;
}

class LinearTracerOnKnownCurves : public ::testing::TestWithParam<TraceCase> {};

TEST_P(LinearTracerOnKnownCurves, StoresOnlyHonestPairsNearTheCurveAndCoversIt) {
  const LinearProblem &problem = *GetParam().Problem;
  const double p = GetParam().P;
  World w;
  Trace(w, problem, p);
  const Glob &g = w.glob;
  ASSERT_GT(LinearTraceHigh(g), 10);
  EXPECT_EQ(g.LinearTrace.front().PieceStart, 1);

  // Every stored pair is a double point with its sibling.
  for (const TracePoint &record : g.LinearTrace) {
    const PointPair &P = record.Pair;
    const Vector3 F1 = testing::Image(problem, P[0], P[1], g);
    const Vector3 F2 = testing::Image(problem, P[2], P[3], g);
    for (int k = 0; k < 3; ++k)
      ASSERT_NEAR(F1[k], F2[k], 1e-6) << "coordinate " << k << " at " << P[0] << ", " << P[1];
    ASSERT_GT(std::hypot(P[0] - P[2], P[1] - P[3]), 2e-6);
    for (int k = 0; k < 4; ++k)
      ASSERT_TRUE(std::isfinite(P[k]));
  }

  // Dense samples of the known curve and of the siblings of its points, in pixels.
  std::vector<std::vector<Pixel>> branches, siblings;
  constexpr int Samples = 4000;
  for (int b = 0; b < problem.Branches; ++b) {
    branches.emplace_back();
    siblings.emplace_back();
    for (int i = 0; i <= Samples; ++i) {
      const PointPair c = problem.CurvePoint(b, static_cast<double>(i) / Samples, p);
      branches.back().push_back(ToPixel(g, c[0], c[1]));
      siblings.back().push_back(ToPixel(g, c[2], c[3]));
    }
  }

  // Nothing is drawn away from the curve: every stored point is within a pixel of it.
  auto distanceToCurve = [&](Pixel q) {
    double best = 1e300;
    for (const auto &branch : branches)
      for (std::size_t i = 1; i < branch.size(); ++i)
        best = std::min(best, SegmentDistance(q, branch[i - 1], branch[i]));
    return best;
  };
  for (const TracePoint &record : g.LinearTrace) {
    const PointPair &P = record.Pair;
    ASSERT_LT(distanceToCurve(ToPixel(g, P[0], P[1])), 1.0) << P[0] << ", " << P[1];
    ASSERT_LT(distanceToCurve(ToPixel(g, P[2], P[3])), 1.0) << P[2] << ", " << P[3];
  }

  // Coverage: of the curve's length lying more than 2 pixels inside D, with the siblings of its
  // points (a point whose sibling is outside D is no double point), at least 90% is within 2
  // pixels of a drawn segment.
  auto wellInside = [](Pixel q) { return std::min({q.x, q.y, 400 - q.x, 400 - q.y}) > 2; };
  const auto segments = DrawnSegments(g);
  auto drawnNear = [&](Pixel q) {
    for (const auto &[a, b] : segments)
      if (SegmentDistance(q, a, b) <= 2.0)
        return true;
    return false;
  };
  double inside = 0, covered = 0;
  for (std::size_t k = 0; k < branches.size(); ++k)
    for (std::size_t i = 1; i < branches[k].size(); ++i) {
      const Pixel a = branches[k][i - 1], b = branches[k][i];
      const Pixel mid{(a.x + b.x) / 2, (a.y + b.y) / 2};
      if (!wellInside(a) || !wellInside(b) || !wellInside(siblings[k][i - 1]) ||
          !wellInside(siblings[k][i]))
        continue;
      const double length = std::hypot(b.x - a.x, b.y - a.y);
      inside += length;
      if (drawnNear(mid))
        covered += length;
    }
  ASSERT_GT(inside, 100);
  EXPECT_GE(covered, 0.9 * inside) << covered << " of " << inside << " pixels";
}

INSTANTIATE_TEST_SUITE_P(Linear, LinearTracerOnKnownCurves,
                         ::testing::Values(TraceCase{&CrossCap, 1}, TraceCase{&Cusp, 1},
                                           TraceCase{&Ellipse, 1}, TraceCase{&Turned, 1},
                                           TraceCase{&Default, 1}, TraceCase{&Default, 0.5}),
                         CaseName);

} // namespace
} // namespace tandor
