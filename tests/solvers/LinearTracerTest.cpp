#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <vector>

#include "LinearTestProblems.h"
#include "solvers/FSpImplicitCurveLine3D.h"
#include "solvers/Kernels.h"
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

// Every stored pair is honest, nothing is drawn away from the known curve, and the curve is
// covered.
void CheckTrace(const Glob &g, const LinearProblem &problem, double p) {
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

TEST_P(LinearTracerOnKnownCurves, StoresOnlyHonestPairsNearTheCurveAndCoversIt) {
  World w;
  Trace(w, *GetParam().Problem, GetParam().P);
  CheckTrace(w.glob, *GetParam().Problem, GetParam().P);
}

INSTANTIATE_TEST_SUITE_P(Linear, LinearTracerOnKnownCurves,
                         ::testing::Values(TraceCase{&CrossCap, 1}, TraceCase{&Cusp, 1},
                                           TraceCase{&Ellipse, 1}, TraceCase{&Turned, 1},
                                           TraceCase{&Default, 1}, TraceCase{&Default, 0.5}),
                         CaseName);

double Length(const std::vector<TracePoint> &trace, int half) {
  double length = 0;
  for (std::size_t i = 1; i < trace.size(); ++i)
    if (trace[i].PieceStart == 0)
      length += std::hypot(trace[i].Pair[2 * half] - trace[i - 1].Pair[2 * half],
                           trace[i].Pair[2 * half + 1] - trace[i - 1].Pair[2 * half + 1]);
  return length;
}

TEST(LinearTracer, ClosedCurveIsTracedOnce) {
  World w;
  Trace(w, Ellipse, 1);
  const auto &trace = w.glob.LinearTrace;
  // The curve u^2 + (v - 0.3 u)^2 = 1/4.
  double perimeter = 0;
  for (int i = 1; i <= 10000; ++i) {
    const PointPair a = EllipseCurve(0, (i - 1) / 10000.0, 1), b = EllipseCurve(0, i / 10000.0, 1);
    perimeter += std::hypot(b[0] - a[0], b[1] - a[1]);
  }
  // The first catch is followed in both directions: the first goes round, comes back over its
  // own boxes and stops; the second stops at once.
  std::vector<std::vector<TracePoint>> pieces;
  for (const TracePoint &r : trace) {
    if (r.PieceStart == 1)
      pieces.emplace_back();
    pieces.back().push_back(r);
  }
  ASSERT_GE(pieces.size(), 2u);
  for (int half = 0; half < 2; ++half) {
    EXPECT_GT(Length(pieces[0], half), perimeter);
    EXPECT_LT(Length(pieces[0], half), 1.1 * perimeter);
  }
  EXPECT_LE(pieces[1].size(), 3u);
  // Later catches lie inside stored boxes, except where t or mv turns (a step's box spans only
  // its ends): there a few steps are traced again, never the curve.
  for (std::size_t k = 2; k < pieces.size(); ++k)
    EXPECT_LE(pieces[k].size(), 3u);
  EXPECT_LT(Length(trace, 0), 1.2 * perimeter);
}

TEST(LinearTracer, NoDoublePointsLeavesTheTraceEmpty) {
  // (u, v, u v) is injective.
  const LinearProblem injective{
      "Injective",  {1, 0},   U,      [](void *, const double *x) { return x[1]; },
      UV,           {-1, -1}, {1, 1}, 1,
      CrossCapCurve};
  World w;
  w.glob.LinearTrace.assign(5, TracePoint{}); // a previous run's result
  Trace(w, injective, 1);
  EXPECT_EQ(LinearTraceHigh(w.glob), -1);
}

// The catch may skip the second component of a sample whose first one rules it out; that must
// not change a single stored bit. A second run must also give the same result as the first.
TEST(LinearTracer, ComponentShortcutAndRepeatedRunsChangeNothing) {
  for (const LinearProblem *problem : {&CrossCap, &Cusp, &Ellipse, &Turned, &Default}) {
    for (double p : {1.0, 0.5}) {
      World w;
      testing::SetLinearProblem(w.glob, *problem, p);
      LinearCase lc = testing::MakeLinearCase(w.glob, *problem);
      TraceLinearLocus(w.tracer, lc, w.glob);
      const std::vector<TracePoint> shortcut = w.glob.LinearTrace;
      const uint64_t residualCalls = lc.ResidualCalls;
      TraceLinearLocus(w.tracer, lc, w.glob);
      const std::vector<TracePoint> again = w.glob.LinearTrace;
      w.glob.LinearTrace.clear();
      w.tracer.TraceLocus(lc.Residual(), lc.Inside(), lc.Record(), 1e-5, w.glob.BoxLow,
                          w.glob.BoxHigh, 23, 200, static_cast<double>(w.glob.PixelLength), 0.0);
      ASSERT_EQ(shortcut.size(), w.glob.LinearTrace.size()) << problem->Name << " p " << p;
      ASSERT_EQ(again.size(), shortcut.size());
      for (std::size_t i = 0; i < shortcut.size(); ++i) {
        EXPECT_EQ(shortcut[i].PieceStart, w.glob.LinearTrace[i].PieceStart);
        EXPECT_EQ(shortcut[i].Pair, w.glob.LinearTrace[i].Pair) << problem->Name << " " << i;
        EXPECT_EQ(again[i].Pair, shortcut[i].Pair);
      }
      // Without the shortcut every catch sample asks for the whole residual.
      EXPECT_GT(lc.ResidualCalls - 2 * residualCalls, 23u * 23 * 23 * 27);
    }
  }
}

TEST(LinearTracer, RunConstantsGiveThirtyFiveStepsPerCellWhateverTheDomain) {
  struct Domain {
    Vector2 low, high;
  };
  for (const Domain &d : {Domain{{-1, -1}, {1, 1}}, Domain{{0, 0}, {2 * std::numbers::pi, 1}},
                          Domain{{-1e-3, 5}, {1e-3, 5.5}}, Domain{{-300, -2}, {300, 2}}}) {
    LinearProblem problem = CrossCap;
    problem.Low = d.low;
    problem.High = d.high;
    World w;
    Trace(w, problem, 1);
    const TImplicitCurveLine3D &t = w.tracer;
    EXPECT_EQ(t.MaxStay, 35);
    EXPECT_EQ(t.CoarseCount, 23);
    EXPECT_EQ(t.FineCount, 200);
    EXPECT_DOUBLE_EQ(t.ColumnScale, 400 / (d.high[0] - d.low[0]));
    EXPECT_DOUBLE_EQ(t.CoarseGrid[2][23], w.glob.HalfDiagonal);
    EXPECT_DOUBLE_EQ(t.JacobianDivisor[1], 12 * t.JacobianStep[1]);
    EXPECT_DOUBLE_EQ(t.MinStep * 100, t.MaxStep);
    EXPECT_LE(t.ResidualTolerance, 1e-6);
    EXPECT_DOUBLE_EQ(t.ResidualTolerance, std::min(t.CatchThreshold * 10 * 1e-5, 1e-6));
  }
}

// A tracer prepared on the unit box with hand-made routines.
struct Rig {
  TImplicitCurveLine3D tracer;
  std::vector<std::pair<Vector3, bool>> stored;
  std::function<void(Vector2 &, const Vector3 &)> residual;
  bool (*inside)(const Vector3 &) = [](const Vector3 &) { return true; };

  void Prepare(double pixelLength = 0.01, int coarse = 23) {
    auto r = [this](Vector2 &G, const Vector3 &S) { residual(G, S); };
    auto in = [this](const Vector3 &S) { return inside(S); };
    auto rec = [this](const Vector3 &, const Vector3 &S, bool start) {
      stored.push_back({S, start});
    };
    residualRef = r;
    insideRef = in;
    recordRef = rec;
    tracer.PrepareTrace(residualRef, insideRef, recordRef, 1e-5, {-1, -1, -1}, {1, 1, 1}, coarse,
                        200, pixelLength, 0.0);
  }
  std::function<void(Vector2 &, const Vector3 &)> residualRef;
  std::function<bool(const Vector3 &)> insideRef;
  std::function<void(const Vector3 &, const Vector3 &, bool)> recordRef;
};

// The corrector must never take a non-finite residual for a converged one: NaN fails every
// comparison, so it would leave the loop as if below the tolerance.
TEST(LinearTracer, NonFiniteResidualIsNeverConverged) {
  struct Case {
    const char *name;
    void (*residual)(Vector2 &, const Vector3 &);
  };
  const Case cases[] = {
      {"NaN everywhere",
       [](Vector2 &G, const Vector3 &) {
         G = {NaN, NaN};
       }},
      {"infinite everywhere",
       [](Vector2 &G, const Vector3 &) {
         G = {std::numeric_limits<double>::infinity(), 0};
       }},
      // Linear, so one correction lands on the zero, where the residual is NaN.
      {"NaN at the zero",
       [](Vector2 &G, const Vector3 &S) {
         G = {S[0], S[1]};
         if (std::fabs(S[0]) < 1e-3 && std::fabs(S[1]) < 1e-3)
           G[1] = NaN;
       }},
  };
  for (const Case &c : cases) {
    Rig b;
    b.residual = [&](Vector2 &G, const Vector3 &S) { c.residual(G, S); };
    b.Prepare();
    Vector3 S{};
    EXPECT_FALSE(b.tracer.DescendToLocus({0.3, 0.2, 0.5}, S)) << c.name;
    Vector3 T{0, 0, 1}, next{7, 7, 7};
    EXPECT_FALSE(b.tracer.PredictStep({0.3, 0.2, 0.5}, T, next)) << c.name;
    EXPECT_EQ(next, (Vector3{7, 7, 7})) << c.name; // a failed step leaves no point behind
  }
}

TEST(LinearTracer, NaNRegionOfTheMapStoresNothingThere) {
  // The cross-cap with y undefined above v = 0.5.
  const LinearProblem holed{"Holed",
                            {1, 0},
                            U,
                            [](void *, const double *x) { return x[1] > 0.5 ? NaN : x[1] * x[1]; },
                            UV,
                            {-1, -1},
                            {1, 1},
                            1,
                            CrossCapCurve};
  World w;
  Trace(w, holed, 1);
  ASSERT_GT(LinearTraceHigh(w.glob), 10);
  for (const TracePoint &r : w.glob.LinearTrace) {
    EXPECT_NEAR(r.Pair[0], 0, 1e-9);
    EXPECT_LE(std::max(r.Pair[1], r.Pair[3]), 0.5);
  }
}

TEST(LinearTracer, CorrectorConvergesOnALinearResidualAndSetsTheStep) {
  Rig b;
  b.residual = [](Vector2 &G, const Vector3 &S) { G = {S[0] - 0.1, S[1] + 2 * S[2]}; };
  b.Prepare(); // pixel length 0.01: MaxStep 0.1, StepLength 0.05
  Vector3 S{};
  ASSERT_TRUE(b.tracer.DescendToLocus({0.11, 0.2, -0.095}, S));
  // One least-norm correction: (-0.01, 0, 0) and -0.01 (1, 2) / 5 across the line.
  EXPECT_NEAR(S[0], 0.1, 1e-15);
  EXPECT_NEAR(S[1], 0.198, 1e-15);
  EXPECT_NEAR(S[2], -0.099, 1e-15);
  EXPECT_NEAR(b.tracer.StepLength, 0.1 * 0.05 * 0.05 / std::sqrt(1.2e-4), 1e-12);
  // A start already on the zero is accepted as it is and leaves the step alone.
  b.tracer.StepLength = 0.123;
  ASSERT_TRUE(b.tracer.DescendToLocus({0.1, 0.2, -0.1}, S));
  EXPECT_EQ(S, (Vector3{0.1, 0.2, -0.1}));
  EXPECT_EQ(b.tracer.StepLength, 0.123);
  // A correction longer than 0.9 of a fifth of a cell's diagonal is refused: the start is too
  // far from the curve.
  EXPECT_FALSE(b.tracer.DescendToLocus({0.3, 0.2, 0.5}, S));
  // Outside the admissible set the corrected point is refused.
  b.inside = [](const Vector3 &S) { return S[0] > 0.105; };
  EXPECT_FALSE(b.tracer.DescendToLocus({0.11, 0.2, -0.095}, S));
}

TEST(LinearTracer, TangentFollowsTheIncomingSideAndFailsOnRankLoss) {
  Rig b;
  b.residual = [](Vector2 &G, const Vector3 &S) { G = {S[0], S[1]}; };
  b.Prepare();
  Vector3 T{0, 0, -0.5};
  ASSERT_TRUE(b.tracer.TangentOfLocus({0, 0, 0.3}, T));
  EXPECT_NEAR(T[0], 0, 1e-12);
  EXPECT_NEAR(T[1], 0, 1e-12);
  EXPECT_NEAR(T[2], -1, 1e-12);
  // Two equal rows: no tangent, and a caught point there is stored alone.
  b.residual = [](Vector2 &G, const Vector3 &S) { G = {S[0], S[0]}; };
  EXPECT_FALSE(b.tracer.TangentOfLocus({0, 0, 0.3}, T));
  b.tracer.FollowPiece({0, 0.25, 0.3}, {11, 14, 14});
  ASSERT_EQ(b.stored.size(), 2u);
  EXPECT_TRUE(b.stored[0].second);
  EXPECT_FALSE(b.stored[1].second);
  EXPECT_EQ(b.stored[0].first, b.stored[1].first);
}

TEST(LinearTracer, StraightLocusShrinksItsStepsUntilTheCellLimit) {
  // Every predicted point of a straight locus already meets the tolerance, so each step is 0.96
  // of the one before and a direction ends after MaxStay steps in one coarse cell.
  Rig b;
  b.residual = [](Vector2 &G, const Vector3 &S) { G = {S[0], S[1]}; };
  b.Prepare();
  b.tracer.StepLength = 0.04;
  b.tracer.FollowPiece({0, 0, 0.5}, {11, 11, 17});
  const auto cellOf = [&](const Vector3 &S) { return FloorIndex((S[2] + 1) / (2.0 / 23)); };
  std::size_t start = 0;
  double step = 0.04;
  for (double direction : {1.0, -1.0}) {
    ASSERT_LT(start, b.stored.size());
    ASSERT_TRUE(b.stored[start].second);
    std::size_t end = start + 1;
    while (end < b.stored.size() && !b.stored[end].second)
      ++end;
    for (std::size_t i = start + 1; i < end; ++i) {
      step *= 0.96;
      EXPECT_NEAR((b.stored[i].first[2] - b.stored[i - 1].first[2]) * direction, step, 1e-12);
    }
    const std::size_t n = end - start;
    ASSERT_GT(n, static_cast<std::size_t>(b.tracer.MaxStay) + 1);
    for (std::size_t i = end - b.tracer.MaxStay; i < end; ++i)
      EXPECT_EQ(cellOf(b.stored[i].first), cellOf(b.stored[end - b.tracer.MaxStay - 1].first));
    EXPECT_NE(cellOf(b.stored[end - b.tracer.MaxStay - 2].first), cellOf(b.stored[end - 1].first));
    start = end;
  }
  EXPECT_EQ(start, b.stored.size());
}

TEST(LinearTracer, SegmentSeenNeedsStrictOverlapInBothCoordinates) {
  Rig b;
  b.residual = [](Vector2 &G, const Vector3 &) { G = {1, 1}; };
  b.Prepare();
  TImplicitCurveLine3D &t = b.tracer;
  // Columns of mu: 200 per unit. The step spans columns 200..203, mv in [0, 0.1], t in [0.2, 0.3].
  ASSERT_FALSE(t.SegmentSeen({0.0, 0.1, 0.2}, {0.019, 0.0, 0.3}, true));
  for (int c = 199; c <= 204; ++c)
    EXPECT_EQ(t.ColumnBoxes[c].size(), (c >= 200 && c <= 203) ? 1u : 0u) << c;
  struct Query {
    Vector3 A, B;
    bool seen;
  };
  const Query queries[] = {
      {{0.01, 0.05, 0.25}, {0.01, 0.05, 0.25}, true},  // a point strictly inside
      {{0.01, 0.1, 0.25}, {0.01, 0.1, 0.25}, false},   // on the mv edge
      {{0.01, 0.05, 0.3}, {0.01, 0.05, 0.3}, false},   // on the t edge
      {{0.03, 0.05, 0.25}, {0.03, 0.05, 0.25}, false}, // another column
      {{-0.5, 0.05, 0.25}, {0.5, 0.05, 0.25}, true},   // a step across all the columns
      {{0.01, 0.1, 0.25}, {0.01, 0.2, 0.35}, false},   // touching at a corner
      {{0.01, 0.09, 0.29}, {0.01, 0.2, 0.35}, true},   // overlapping a corner
      {{0.01, -0.1, 0.25}, {0.01, 0.2, 0.25}, true},   // crossing through
      {{0.01, 0.0, 0.2}, {0.01, 0.0, 0.2}, false},     // on the corner itself
  };
  for (const Query &q : queries)
    EXPECT_EQ(t.SegmentSeen(q.A, q.B, false), q.seen) << q.A[0] << " " << q.A[1] << " " << q.A[2];
  // Only a step that is not seen is stored, and only with record set.
  EXPECT_TRUE(t.SegmentSeen({0.01, 0.05, 0.25}, {0.01, 0.06, 0.26}, true));
  EXPECT_EQ(t.ColumnBoxes[202].size(), 1u);
  EXPECT_FALSE(t.SegmentSeen({0.9, 0.5, 0.5}, {1.0, 0.6, 0.6}, true));
  EXPECT_EQ(t.ColumnBoxes[400].size(), 1u); // mu = uMax reaches the last list
  EXPECT_EQ(t.ColumnBoxes[380].size(), 1u);
}

TEST(LinearCaseRoutines, ResidualIsTheDividedDifferenceAwayFromTrivialPairs) {
  Glob glob;
  testing::SetLinearProblem(glob, CrossCap);
  LinearCase lc = testing::MakeLinearCase(glob, CrossCap);
  // Cross-cap: P1 = (mu, mv - t), P2 = (mu, mv + t), so G = (-4 mv, -2 mu).
  struct Case {
    Vector3 S;
    Vector2 G;
  };
  const Case cases[] = {
      {{0.5, 0.25, 0.5}, {-1.0, -1.0}}, {{-0.5, 0.125, -0.25}, {-0.5, 1.0}},
      {{0.3, 0.2, 2e-6}, {-0.8, -0.6}}, {{0.3, 0.2, 1e-6}, {1, 1}},
      {{0.3, 0.2, -1e-6}, {1, 1}},      {{0.3, 0.2, 0.0}, {1, 1}},
  };
  for (const Case &c : cases) {
    Vector2 G{};
    lc.LinearResidual(G, c.S);
    EXPECT_NEAR(G[0], c.G[0], 1e-9) << c.S[2];
    EXPECT_NEAR(G[1], c.G[1], 1e-9) << c.S[2];
    EXPECT_EQ(lc.ResidualComponent(0, c.S), G[0]);
    EXPECT_EQ(lc.ResidualComponent(1, c.S), G[1]);
  }
  // The pair follows the direction of x: x = 3u + 4v gives (a, b) = (0.6, 0.8).
  glob.LinearDirection = {0.6, 0.8};
  const PointPair P = PairOf(glob.LinearDirection, {0.5, 0.25, 0.5});
  const PointPair expected{0.9, -0.05, 0.1, 0.55};
  for (int k = 0; k < 4; ++k)
    EXPECT_NEAR(P[k], expected[k], 1e-15);
}

TEST(LinearCaseRoutines, InsideWantsTheMidpointAndBothPointsInTheOpenRectangle) {
  Glob glob;
  LinearProblem problem = CrossCap;
  problem.Low = {0, -1};
  problem.High = {2, 1};
  problem.Coefficients = {3, 4}; // (a, b) = (0.6, 0.8): P1 = (mu + 0.8t, mv - 0.6t)
  testing::SetLinearProblem(glob, problem);
  LinearCase lc = testing::MakeLinearCase(glob, problem);
  struct Case {
    Vector3 S;
    bool inside;
  };
  const Case cases[] = {
      {{1, 0, 0.5}, true},          {{2, 0, 0}, false},          {{0, 0, 0}, false},
      {{1, 1, 0}, false},           {{1, -1, 0}, false},         {{1.5, 0, 0.625}, false}, // u1 = 2
      {{0.5, 0, 0.625}, false},                                                            // u2 = 0
      {{1, 0.5, -5.0 / 6}, false},                                                         // v1 = 1
      {{1, -0.25, -5.0 / 6}, true}, {{1, -0.5, 5.0 / 6}, false}, // v1 = -1
      {{1, 0, NaN}, false},         {{NaN, 0, 0}, false},
  };
  for (const Case &c : cases)
    EXPECT_EQ(lc.LinearInside(c.S), c.inside) << c.S[0] << " " << c.S[1] << " " << c.S[2];
}

TEST(LinearCaseRoutines, RecordStoresThePairAndThePieceFlag) {
  Glob glob;
  testing::SetLinearProblem(glob, Turned); // (a, b) = (1, 1) / sqrt 2
  LinearCase lc = testing::MakeLinearCase(glob, Turned);
  const double h = glob.LinearDirection[0];
  ASSERT_EQ(glob.LinearDirection[1], h);
  lc.LinearRecord({9, 9, 9}, {0.5, 0.25, 0.1}, true);
  lc.LinearRecord({0.5, 0.25, 0.1}, {0.25, 0.5, -0.2}, false);
  ASSERT_EQ(LinearTraceHigh(glob), 1);
  EXPECT_EQ(glob.LinearTrace[0].PieceStart, 1);
  EXPECT_EQ(glob.LinearTrace[1].PieceStart, 0);
  EXPECT_EQ(glob.LinearTrace[0].Pair,
            (PointPair{0.5 + h * 0.1, 0.25 - h * 0.1, 0.5 - h * 0.1, 0.25 + h * 0.1}));
  EXPECT_EQ(glob.LinearTrace[1].Pair,
            (PointPair{0.25 - h * 0.2, 0.5 + h * 0.2, 0.25 + h * 0.2, 0.5 - h * 0.2}));
}

} // namespace
} // namespace tandor
