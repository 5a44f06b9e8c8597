#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <vector>

#include "problem/Glob.h"
#include "solvers/LinearCase.h"
#include "solvers/LinearCaseTracer.h"

namespace tandor {
namespace {

const double NaN = std::numeric_limits<double>::quiet_NaN();

// Coordinate functions of the values (u, v, p, q).
using Plain = double (*)(void *, const double *);
// Branch b of L at s in [0, 1] for the parameter p, with the sibling: (u, v, sibling u, v).
using Curve = PointPair (*)(int b, double s, double p);

struct LinearProblem {
  const char *Name;
  Vector2 Coefficients; // x(u, v) = a u + b v
  Plain X, Y, Z;
  int Branches;
  Curve CurvePoint;
};

double W(const double *x) {
  return x[1] - 0.3 * x[0];
}

// Cross-cap (u, v^2, u v): L is u = 0.
const LinearProblem CrossCap{"CrossCap",
                             {1, 0},
                             [](void *, const double *x) { return x[0]; },
                             [](void *, const double *x) { return x[1] * x[1]; },
                             [](void *, const double *x) { return x[0] * x[1]; },
                             1,
                             [](int, double s, double) {
                               return PointPair{0.0, 2 * s - 1, 0.0, 1 - 2 * s};
                             }};
// (u, v^2, v^3 - u v): L is u = v^2.
const LinearProblem Cusp{"Cusp",
                         {1, 0},
                         CrossCap.X,
                         CrossCap.Y,
                         [](void *, const double *x) { return x[1] * x[1] * x[1] - x[0] * x[1]; },
                         1,
                         [](int, double s, double) {
                           const double v = 2 * s - 1;
                           return PointPair{v * v, v, v * v, -v};
                         }};
// (u, w^2, w (u^2 + w^2 - 1/4)) with w = v - 0.3 u: L is the closed curve u^2 + w^2 = 1/4.
const LinearProblem Ellipse{
    "Ellipse",
    {1, 0},
    CrossCap.X,
    [](void *, const double *x) { return W(x) * W(x); },
    [](void *, const double *x) { return W(x) * (x[0] * x[0] + W(x) * W(x) - 0.25); },
    1,
    [](int, double s, double) {
      const double u = 0.5 * std::cos(2 * std::numbers::pi * s);
      const double w = 0.5 * std::sin(2 * std::numbers::pi * s);
      return PointPair{u, w + 0.3 * u, u, -w + 0.3 * u};
    }};
// (u, v^2, v (u^2 + v^2 - 1/4)): L is the circle u^2 + v^2 = 1/4, and its pairs lie exactly in
// the plane mv = 0 when a catch sample does.
const LinearProblem Circle{
    "Circle",
    {1, 0},
    CrossCap.X,
    CrossCap.Y,
    [](void *, const double *x) { return x[1] * (x[0] * x[0] + x[1] * x[1] - 0.25); },
    1,
    [](int, double s, double) {
      const double u = 0.5 * std::cos(2 * std::numbers::pi * s);
      const double v = 0.5 * std::sin(2 * std::numbers::pi * s);
      return PointPair{u, v, u, -v};
    }};
// (u + v, (u - v)^2, (u + v)(u - v)): a cross-cap turned by 45 degrees, L is u + v = 0.
const LinearProblem Turned{"TurnedCrossCap",
                           {1, 1},
                           [](void *, const double *x) { return x[0] + x[1]; },
                           [](void *, const double *x) { return (x[0] - x[1]) * (x[0] - x[1]); },
                           [](void *, const double *x) { return (x[0] + x[1]) * (x[0] - x[1]); },
                           1,
                           [](int, double s, double) {
                             return PointPair{2 * s - 1, 1 - 2 * s, 1 - 2 * s, 2 * s - 1};
                           }};
// The window's default problem (u, v (v^2 - p), v (u + v^4 - p v^2)). With sigma = v1 + v2 of a
// pair: v1^2 + v1 v2 + v2^2 = p and u = sigma^4 - p sigma^2.
const LinearProblem Default{
    "Default",
    {1, 0},
    CrossCap.X,
    [](void *, const double *x) { return x[1] * (x[1] * x[1] - x[2]); },
    [](void *, const double *x) {
      const double v2 = x[1] * x[1];
      return x[1] * (x[0] + v2 * v2 - x[2] * v2);
    },
    2,
    [](int b, double s, double p) {
      const double top = std::sqrt(4 * p / 3), sigma = top * (2 * s - 1), s2 = sigma * sigma;
      const double r = std::sqrt(std::max(0.0, 4 * p - 3 * s2)) * (b == 0 ? 1 : -1);
      return PointPair{s2 * s2 - p * s2, (sigma + r) / 2, s2 * s2 - p * s2, (sigma - r) / 2};
    }};

// The state a read of the window leaves for the problem on [-1, 1]^2.
void SetLinearProblem(Glob &glob, const LinearProblem &problem, double p = 1, double vHalf = 1) {
  glob.DomainLow = {-1, -vHalf};
  glob.DomainHigh = glob.DomainHalf = {1, vHalf};
  glob.DomainCentre = {0, 0};
  glob.HalfDiagonal = std::hypot(1.0, vHalf);
  glob.BoxLow = {-1, -vHalf, -glob.HalfDiagonal};
  glob.BoxHigh = {1, vHalf, glob.HalfDiagonal};
  glob.PixelLength = std::sqrt(2.0L) * glob.HalfDiagonal / 400;
  glob.CoarseCount = 23;
  const double n = std::hypot(problem.Coefficients[0], problem.Coefficients[1]);
  glob.LinearDirection = {problem.Coefficients[0] / n, problem.Coefficients[1] / n};
  glob.ParamValue = {p, 0};
}

LinearCase MakeCase(Glob &glob, LinearResult &result, const LinearProblem &problem) {
  return LinearCase(glob, result, PlaneFunction(nullptr, problem.Y),
                    PlaneFunction(nullptr, problem.Z));
}

struct World {
  Glob glob;
  LinearResult result;
  TImplicitCurveLine3D tracer;
  void Trace(const LinearProblem &problem, double p = 1, double vHalf = 1) {
    SetLinearProblem(glob, problem, p, vHalf);
    LinearCase lc = MakeCase(glob, result, problem);
    TraceLinearLocus(tracer, lc, glob);
  }
};

// Pixel coordinates of the 400 x 400 picture of [-1, 1]^2.
struct Pixel {
  double x, y;
};
Pixel ToPixel(double u, double v) {
  return {200 * (u + 1), 200 * (1 - v)};
}

double SegmentDistance(Pixel p, Pixel a, Pixel b) {
  const double dx = b.x - a.x, dy = b.y - a.y, l2 = dx * dx + dy * dy;
  const double s = l2 > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / l2, 0.0, 1.0) : 0;
  return std::hypot(p.x - a.x - s * dx, p.y - a.y - s * dy);
}

using Segments = std::vector<std::pair<Pixel, Pixel>>;

// The drawn segments of both tracks, as the drawing makes them.
Segments DrawnSegments(const std::vector<TracePoint> &trace) {
  Segments segments;
  for (std::size_t i = 1; i < trace.size(); ++i)
    if (trace[i].PieceStart == 0)
      for (int h = 0; h < 4; h += 2)
        segments.push_back({ToPixel(trace[i - 1].Pair[h], trace[i - 1].Pair[h + 1]),
                            ToPixel(trace[i].Pair[h], trace[i].Pair[h + 1])});
  return segments;
}

double Length(const std::vector<TracePoint> &trace) {
  double length = 0;
  for (const auto &[a, b] : DrawnSegments(trace))
    length += std::hypot(b.x - a.x, b.y - a.y);
  return length;
}

struct TraceCase {
  const LinearProblem *Problem;
  double P;
};

class LinearTracerOnKnownCurves : public ::testing::TestWithParam<TraceCase> {};

TEST_P(LinearTracerOnKnownCurves, StoresOnlyHonestPairsNearTheCurveAndCoversIt) {
  const LinearProblem &problem = *GetParam().Problem;
  const double p = GetParam().P;
  World w;
  w.Trace(problem, p);
  const auto &trace = w.result.LinearTrace;
  ASSERT_GT(trace.size(), 10u);
  EXPECT_EQ(trace.front().PieceStart, 1);

  // Every stored pair is a double point with its sibling.
  for (const TracePoint &record : trace) {
    const PointPair &P = record.Pair;
    const double one[4] = {P[0], P[1], p, 0}, two[4] = {P[2], P[3], p, 0};
    for (Plain f : {problem.X, problem.Y, problem.Z})
      ASSERT_NEAR(f(nullptr, one), f(nullptr, two), 1e-6) << P[0] << ", " << P[1];
    ASSERT_GT(std::hypot(P[0] - P[2], P[1] - P[3]), 2e-6);
  }

  // Dense samples of the known curve and of the siblings of its points.
  std::vector<std::vector<Pixel>> branches(problem.Branches), siblings(problem.Branches);
  for (int b = 0; b < problem.Branches; ++b)
    for (int i = 0; i <= 4000; ++i) {
      const PointPair c = problem.CurvePoint(b, i / 4000.0, p);
      branches[b].push_back(ToPixel(c[0], c[1]));
      siblings[b].push_back(ToPixel(c[2], c[3]));
    }

  // Nothing is drawn away from the curve: every stored point is within a pixel of it.
  for (const TracePoint &record : trace)
    for (int h = 0; h < 4; h += 2) {
      const Pixel q = ToPixel(record.Pair[h], record.Pair[h + 1]);
      double best = 1e300;
      for (const auto &branch : branches)
        for (std::size_t i = 1; i < branch.size(); ++i)
          best = std::min(best, SegmentDistance(q, branch[i - 1], branch[i]));
      ASSERT_LT(best, 1.0) << q.x << ", " << q.y;
    }

  // Of the curve's length lying more than 2 pixels inside D, with the siblings of its points (a
  // point whose sibling is outside D is no double point), 90% is within 2 pixels of a drawn
  // segment.
  auto wellInside = [](Pixel q) { return std::min({q.x, q.y, 400 - q.x, 400 - q.y}) > 2; };
  const Segments segments = DrawnSegments(trace);
  double inside = 0, covered = 0;
  for (int b = 0; b < problem.Branches; ++b)
    for (std::size_t i = 1; i < branches[b].size(); ++i) {
      const Pixel a = branches[b][i - 1], c = branches[b][i];
      if (!wellInside(a) || !wellInside(c) || !wellInside(siblings[b][i - 1]) ||
          !wellInside(siblings[b][i]))
        continue;
      const double length = std::hypot(c.x - a.x, c.y - a.y);
      const Pixel mid{(a.x + c.x) / 2, (a.y + c.y) / 2};
      inside += length;
      if (std::any_of(segments.begin(), segments.end(),
                      [&](const auto &s) { return SegmentDistance(mid, s.first, s.second) <= 2; }))
        covered += length;
    }
  ASSERT_GT(inside, 100);
  EXPECT_GE(covered, 0.9 * inside) << covered << " of " << inside << " pixels";
}

INSTANTIATE_TEST_SUITE_P(Linear, LinearTracerOnKnownCurves,
                         ::testing::Values(TraceCase{&CrossCap, 1}, TraceCase{&Cusp, 1},
                                           TraceCase{&Ellipse, 1}, TraceCase{&Turned, 1},
                                           TraceCase{&Default, 1}, TraceCase{&Default, 0.5}),
                         [](const auto &info) {
                           return std::string(info.param.Problem->Name) + "_p" +
                                  std::to_string(static_cast<int>(info.param.P * 10));
                         });

// The first direction goes round, comes back over its own boxes and stops; the second stops at
// once. Later catches lie inside stored boxes, except where t or mv turns (a step's box spans
// only its ends): there a few steps are traced again, never the curve. With v in
// [-2.875, 2.875] the circle's pairs lie exactly in mv = 0 (a catch sample has mv = 0), where
// steps have boxes of no width in mv; such a curve once went round for ever.
TEST(LinearTracer, ClosedCurveIsTracedOnce) {
  for (const auto &[problem, vHalf] : {std::pair{&Ellipse, 1.0}, std::pair{&Circle, 2.875}}) {
    World w;
    w.Trace(*problem, 1, vHalf);
    std::vector<std::vector<TracePoint>> pieces;
    for (const TracePoint &r : w.result.LinearTrace) {
      if (r.PieceStart == 1)
        pieces.emplace_back();
      pieces.back().push_back(r);
    }
    double perimeter = 0; // of both tracks, at 200 pixels per unit as Length counts
    for (int i = 1; i <= 10000; ++i) {
      const PointPair a = problem->CurvePoint(0, (i - 1) / 1e4, 1),
                      b = problem->CurvePoint(0, i / 1e4, 1);
      perimeter += 2 * 200 * std::hypot(b[0] - a[0], b[1] - a[1]);
    }
    ASSERT_GE(pieces.size(), 2u) << problem->Name;
    EXPECT_GT(Length(pieces[0]), perimeter) << problem->Name;
    EXPECT_LT(Length(pieces[0]), 1.1 * perimeter) << problem->Name;
    for (std::size_t k = 1; k < pieces.size(); ++k)
      EXPECT_LE(pieces[k].size(), 4u) << problem->Name;
  }
}

TEST(LinearTracer, NoDoublePointsLeavesTheTraceEmpty) {
  LinearProblem injective = CrossCap; // (u, v, u v)
  injective.Y = [](void *, const double *x) { return x[1]; };
  World w;
  w.result.LinearTrace.assign(5, TracePoint{}); // a previous run's result
  w.Trace(injective);
  EXPECT_EQ(LinearTraceHigh(w.result), -1);
  EXPECT_EQ(w.tracer.MaxStay, 35); // with the run's constants, whatever the domain
}

// The catch skips the second component of a sample whose first one rules it out; that must not
// change a single stored bit. Nor may a second run.
TEST(LinearTracer, ComponentShortcutAndRepeatedRunsChangeNothing) {
  for (const LinearProblem *problem : {&CrossCap, &Cusp, &Ellipse, &Turned, &Default})
    for (double p : {1.0, 0.5}) {
      World w;
      SetLinearProblem(w.glob, *problem, p);
      LinearCase lc = MakeCase(w.glob, w.result, *problem);
      std::vector<std::vector<TracePoint>> results;
      for (int run = 0; run < 2; ++run) {
        TraceLinearLocus(w.tracer, lc, w.glob);
        results.push_back(w.result.LinearTrace);
      }
      w.result.LinearTrace.clear();
      w.tracer.TraceLocus(lc.Residual(), lc.Inside(), lc.Record(), 1e-5, w.glob.BoxLow,
                          w.glob.BoxHigh, 23, 200, static_cast<double>(w.glob.PixelLength), 0.0);
      results.push_back(w.result.LinearTrace);
      for (int k = 1; k < 3; ++k) {
        ASSERT_EQ(results[k].size(), results[0].size()) << problem->Name << " p " << p;
        for (std::size_t i = 0; i < results[0].size(); ++i) {
          EXPECT_EQ(results[k][i].PieceStart, results[0][i].PieceStart);
          EXPECT_EQ(results[k][i].Pair, results[0][i].Pair) << problem->Name << " " << i;
        }
      }
    }
}

// A tracer prepared on the box [-1, 1]^3 with hand-made routines.
struct Rig {
  TImplicitCurveLine3D tracer;
  std::vector<std::pair<Vector3, bool>> stored;
  std::function<void(Vector2 &, const Vector3 &)> residual;
  std::function<bool(const Vector3 &)> inside = [](const Vector3 &) { return true; };
  std::function<void(const Vector3 &, const Vector3 &, bool)> record =
      [this](const Vector3 &, const Vector3 &S, bool start) {
        stored.push_back({S, start});
      };

  explicit Rig(std::function<void(Vector2 &, const Vector3 &)> r) : residual(std::move(r)) {
    tracer.PrepareTrace(residual, inside, record, 1e-5, {-1, -1, -1}, {1, 1, 1}, 23, 200, 0.01,
                        0.0);
  }
};

// NaN fails every comparison, so a corrector that only compares would leave its loop with a NaN
// residual as if it were below the tolerance.
TEST(LinearTracer, NonFiniteResidualIsNeverConverged) {
  const std::function<void(Vector2 &, const Vector3 &)> residuals[] = {
      [](Vector2 &G, const Vector3 &) {
        G = {NaN, NaN};
      },
      [](Vector2 &G, const Vector3 &) {
        G = {std::numeric_limits<double>::infinity(), 0};
      },
      // Linear, so one correction lands on the zero, where the residual is NaN.
      [](Vector2 &G, const Vector3 &S) {
        G = {S[0], S[1]};
        if (std::fabs(S[0]) < 1e-3 && std::fabs(S[1]) < 1e-3)
          G[1] = NaN;
      },
  };
  for (const auto &residual : residuals) {
    Rig rig(residual);
    Vector3 S{}, T{0, 0, 1}, next{7, 7, 7};
    EXPECT_FALSE(rig.tracer.DescendToLocus({0.01, 0.02, 0.5}, S));
    EXPECT_FALSE(rig.tracer.PredictStep({0.01, 0.02, 0.5}, T, next));
    EXPECT_EQ(next, (Vector3{7, 7, 7})); // a failed step leaves no point behind
  }
  // The cross-cap with y undefined above v = 0.5: nothing is stored there.
  LinearProblem holed = CrossCap;
  holed.Y = [](void *, const double *x) { return x[1] > 0.5 ? NaN : x[1] * x[1]; };
  World w;
  w.Trace(holed);
  ASSERT_GT(LinearTraceHigh(w.result), 10);
  for (const TracePoint &r : w.result.LinearTrace)
    EXPECT_LE(std::max(r.Pair[1], r.Pair[3]), 0.5);
}

TEST(LinearTracer, CaughtPointWithoutTangentIsStoredAlone) {
  Rig rig([](Vector2 &G, const Vector3 &S) { G = {S[0], S[0]}; }); // two equal rows
  rig.tracer.FollowPiece({0, 0.25, 0.3}, {11, 14, 14});
  ASSERT_EQ(rig.stored.size(), 2u);
  EXPECT_TRUE(rig.stored[0].second);
  EXPECT_FALSE(rig.stored[1].second);
  EXPECT_EQ(rig.stored[0].first, rig.stored[1].first);
}

TEST(LinearTracer, SegmentSeenNeedsStrictOverlapInBothCoordinates) {
  Rig rig([](Vector2 &G, const Vector3 &) { G = {1, 1}; });
  TImplicitCurveLine3D &t = rig.tracer;
  // 200 columns per unit of mu: columns 200..203, mv in [0, 0.1], t in [0.2, 0.3].
  ASSERT_FALSE(t.SegmentSeen({0.0, 0.1, 0.2}, {0.019, 0.0, 0.3}, true));
  for (int c = 199; c <= 204; ++c)
    EXPECT_EQ(t.ColumnBoxes[c].size(), (c >= 200 && c <= 203) ? 1u : 0u) << c;
  struct Query {
    Vector3 A, B;
    bool seen;
  };
  const Query queries[] = {
      {{0.01, 0.05, 0.25}, {0.01, 0.05, 0.25}, true},  // a caught point strictly inside
      {{0.01, 0.1, 0.25}, {0.01, 0.1, 0.25}, false},   // on the mv edge
      {{0.01, 0.05, 0.3}, {0.01, 0.05, 0.3}, false},   // on the t edge
      {{0.03, 0.05, 0.25}, {0.03, 0.05, 0.25}, false}, // another column
      {{-0.5, 0.05, 0.25}, {0.5, 0.05, 0.25}, true},   // a step across the columns
      {{0.01, 0.1, 0.3}, {0.01, 0.2, 0.35}, false},    // touching at a corner
      {{0.01, 0.09, 0.29}, {0.01, 0.2, 0.35}, true},   // overlapping a corner
  };
  for (const Query &q : queries)
    EXPECT_EQ(t.SegmentSeen(q.A, q.B, false), q.seen) << q.A[0] << " " << q.A[1] << " " << q.A[2];
  EXPECT_TRUE(t.SegmentSeen({0.01, 0.05, 0.25}, {0.01, 0.06, 0.26}, true)); // seen: not stored
  EXPECT_EQ(t.ColumnBoxes[202].size(), 1u);
  EXPECT_FALSE(t.SegmentSeen({0.9, 0.5, 0.5}, {1.0, 0.6, 0.6}, true));
  EXPECT_EQ(t.ColumnBoxes[400].size(), 1u); // mu = uMax reaches the last list
}

TEST(LinearCaseRoutines, ResidualIsTheDividedDifferenceAwayFromTrivialPairs) {
  Glob glob;
  LinearResult result;
  SetLinearProblem(glob, CrossCap);
  LinearCase lc = MakeCase(glob, result, CrossCap);
  // P1 = (mu, mv - t), P2 = (mu, mv + t), so G = (-4 mv, -2 mu), but (1, 1) for |t| <= 1e-6.
  const std::pair<Vector3, Vector2> cases[] = {
      {{0.5, 0.25, 0.5}, {-1, -1}},     {{-0.5, 0.125, -0.25}, {-0.5, 1}},
      {{0.3, 0.2, 2e-6}, {-0.8, -0.6}}, {{0.3, 0.2, 1e-6}, {1, 1}},
      {{0.3, 0.2, -1e-6}, {1, 1}},      {{0.3, 0.2, 0.0}, {1, 1}},
  };
  for (const auto &[S, expected] : cases) {
    Vector2 G{};
    lc.LinearResidual(G, S);
    EXPECT_NEAR(G[0], expected[0], 1e-9) << S[2];
    EXPECT_NEAR(G[1], expected[1], 1e-9) << S[2];
    EXPECT_EQ(lc.ResidualComponent(0, S), G[0]);
    EXPECT_EQ(lc.ResidualComponent(1, S), G[1]);
  }
}

TEST(LinearCaseRoutines, InsideWantsTheMidpointAndBothPointsInTheOpenRectangle) {
  Glob glob;
  SetLinearProblem(glob, CrossCap);
  glob.DomainCentre = {1, 0};        // D = [0, 2] x [-1, 1]
  glob.LinearDirection = {0.6, 0.8}; // P1 = (mu + 0.8 t, mv - 0.6 t), P2 = (mu - 0.8 t, mv + 0.6 t)
  LinearResult result;
  LinearCase lc = MakeCase(glob, result, CrossCap);
  const std::pair<Vector3, bool> cases[] = {
      {{1, 0, 0.5}, true},         {{2, 0, 0}, false},           {{0, 0, 0}, false},
      {{1, 1, 0}, false},          {{1, -1, 0}, false},          {{1.5, 0, 0.625}, false}, // u1 2
      {{0.5, 0, 0.625}, false},    {{1, 0.5, -5.0 / 6}, false},  // u2 0, v1 1
      {{1, -0.5, 5.0 / 6}, false}, {{1, -0.25, -5.0 / 6}, true}, // v1 -1, inside
      {{1, 0, NaN}, false},        {{NaN, 0, 0}, false},
  };
  for (const auto &[S, inside] : cases)
    EXPECT_EQ(lc.LinearInside(S), inside) << S[0] << " " << S[1] << " " << S[2];
}

// The linear case cannot be stopped, so its steps are capped for the whole run: a run that
// reaches the cap keeps the beginning of its result and catches nothing more. Ordinary problems
// stay far below it.
TEST(LinearTracerBounds, TheRunsStepsAreCapped) {
  for (const LinearProblem *problem : {&CrossCap, &Ellipse, &Default}) {
    World whole;
    whole.Trace(*problem);
    EXPECT_LT(whole.tracer.StepsThisRun, whole.tracer.MaxStepsPerRun / 100) << problem->Name;
    const auto &all = whole.result.LinearTrace;

    World capped;
    capped.tracer.MaxStepsPerRun = 40;
    capped.Trace(*problem);
    EXPECT_EQ(capped.tracer.StepsThisRun, 40) << problem->Name;
    const auto &kept = capped.result.LinearTrace;
    const auto steps = std::count_if(kept.begin(), kept.end(),
                                     [](const TracePoint &t) { return t.PieceStart == 0; });
    EXPECT_LE(steps, 40) << problem->Name;
    ASSERT_LT(kept.size(), all.size()) << problem->Name;
    EXPECT_TRUE(std::equal(kept.begin(), kept.end(), all.begin(), [](const auto &a, const auto &b) {
      return a.PieceStart == b.PieceStart && a.Pair == b.Pair;
    })) << problem->Name;
  }
}

} // namespace
} // namespace tandor
