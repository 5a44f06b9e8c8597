// The gradual-descent tracer as a whole, on maps whose double points are known in closed form:
// every stored pair is honest, the drawing covers the known curves and nothing else, and the
// sibling display answers with the point of equal image.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

#include "GradualMaps.h"
#include "common/RecordingCanvas.h"
#include "solvers/GradualDescentTracer.h"
#include "solvers/Kernels.h"
#include "solvers/TraceDrawing.h"

namespace tandor {
namespace {

using testing::AnalyticMap;
using testing::MapUnderTest;
using testing::RecordingCanvas;
using Polyline = std::vector<Vector2>;

const PixelRect PictureRect{0, 0, 400, 400};

struct Problem {
  const AnalyticMap *map;
  Vector2 low, high;
  // The double-point locus in D, densely sampled.
  std::vector<Polyline> (*Locus)();
};

template <class Point> Polyline Sample(double from, double to, Point point) {
  Polyline line;
  const int n = 20000;
  for (int k = 0; k <= n; ++k)
    line.push_back(point(from + (to - from) * k / n));
  return line;
}

const Problem Problems[] = {
    {&testing::CrossCap,
     {-1, -1},
     {1, 1},
     [] { return std::vector<Polyline>{Sample(-1, 1, [](double v) {
            return Vector2{0, v};
          })}; }},
    {&testing::Fold,
     {-1, -1},
     {1, 1},
     [] {
       return std::vector<Polyline>{Sample(-1, 1, [](double u) { return Vector2{u, u * u}; })};
     }},
    {&testing::Rings, {-1.5, -1}, {1.5, 1}, [] {
       std::vector<Polyline> loops;
       for (double side : {-1.0, 1.0})
         loops.push_back(Sample(0, 2 * std::numbers::pi, [side](double a) {
           return Vector2{side * std::sqrt(1 + 0.5 * std::cos(a)), 0.5 * std::sin(a)};
         }));
       return loops;
     }}};

double PixelLengthOf(const Problem &p) {
  return std::hypot(p.high[0] - p.low[0], p.high[1] - p.low[1]) * std::sqrt(2.0) / 800;
}

// A run of the tracer and its screen drawing.
struct TracedRun {
  TracedRun(const Problem &problem, uint64_t seed, int coarseCount = 23)
      : P(problem), F(*problem.map) {
    Tracer->BindEvaluators(F, F);
    Tracer->SetProjectionSeed(seed);
    NeverStop control;
    Tracer->TraceLocus(P.low, P.high, 1e-5, coarseCount, PixelLengthOf(P), control);
    Tracer->DrawLocus(Canvas, PictureRect, true, P.low, P.high);
  }
  Vector2 ToPixel(const Vector2 &point) const {
    const PixelMapping m(PictureRect, P.low, P.high);
    return {m.sx * point[0] + m.ox, m.sy * point[1] + m.oy};
  }
  const Problem &P;
  MapUnderTest F;
  std::unique_ptr<TImplicitCurve4D> Tracer = std::make_unique<TImplicitCurve4D>();
  RecordingCanvas Canvas;
};

double SegmentDistance(const Vector2 &p, const Vector2 &a, const Vector2 &b) {
  const double dx = b[0] - a[0], dy = b[1] - a[1], l2 = dx * dx + dy * dy;
  double t = l2 > 0 ? ((p[0] - a[0]) * dx + (p[1] - a[1]) * dy) / l2 : 0;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(p[0] - a[0] - t * dx, p[1] - a[1] - t * dy);
}

// Every stored pair: finite, halves more than a pixel apart, images equal to the tolerance.
void ExpectHonestPairs(const TracedRun &run) {
  for (const TracePoint &t : run.Tracer->TraceList) {
    const PointPair &x = t.Pair;
    EXPECT_GT(Distance2({x[0], x[1]}, {x[2], x[3]}), PixelLengthOf(run.P));
    const Vector3 f1 = run.P.map->F(x[0], x[1]), f2 = run.P.map->F(x[2], x[3]);
    ASSERT_LT(Distance3(f1, f2), 1e-5) << run.P.map->Name << " " << x[0] << " " << x[1];
  }
}

TEST(GradualTrace, StoresHonestPairsAndDrawsTheKnownLocusAndNothingElse) {
  for (const Problem &problem : Problems)
    for (uint64_t seed : {1u, 2u, 3u}) {
      TracedRun run(problem, seed);
      ExpectHonestPairs(run);
      const auto &lines = run.Canvas.lines;
      ASSERT_GT(lines.size(), 20u);
      std::vector<Polyline> locus = problem.Locus();
      for (Polyline &line : locus)
        for (Vector2 &point : line)
          point = run.ToPixel(point);

      // At least 90% of the locus' length more than 2 pixels inside D lies within 2 pixels of a
      // drawn segment.
      double inside = 0, covered = 0;
      for (const Polyline &line : locus)
        for (std::size_t k = 1; k < line.size(); ++k) {
          const Vector2 &p = line[k];
          if (!(p[0] > 2 && p[0] < 398 && p[1] > 2 && p[1] < 398))
            continue;
          const double length = Distance2(line[k - 1], p);
          inside += length;
          for (const auto &l : lines)
            if (SegmentDistance(p, Vector2{double(l.x1), double(l.y1)},
                                Vector2{double(l.x2), double(l.y2)}) <= 2) {
              covered += length;
              break;
            }
        }
      EXPECT_GE(covered, 0.9 * inside) << problem.map->Name << " seed " << seed;

      // Both ends of every drawn segment lie within 2 pixels of the locus.
      auto nearLocus = [&](double x, double y) {
        for (const Polyline &line : locus)
          for (const Vector2 &q : line)
            if (Distance2({x, y}, q) <= 2)
              return true;
        return false;
      };
      for (const auto &l : lines) {
        EXPECT_TRUE(nearLocus(l.x1, l.y1)) << l.x1 << "," << l.y1;
        EXPECT_TRUE(nearLocus(l.x2, l.y2)) << l.x2 << "," << l.y2;
      }
    }
}

TEST(GradualTrace, DrawsInMagentaWithThePictureWidthAndBuildsSiblingRows) {
  TracedRun run(Problems[2], 5);
  const RecordingCanvas &canvas = run.Canvas;
  ASSERT_EQ(canvas.fills.size(), 1u);
  EXPECT_EQ(canvas.fills[0].rect, PictureRect);
  EXPECT_EQ(canvas.calls.front(), "FillRect");
  for (const auto &l : canvas.lines) {
    EXPECT_EQ(l.colour, (Rgb{255, 0, 255}));
    EXPECT_EQ(l.width, 1);
    EXPECT_EQ(l.mode, PenMode::Copy);
  }
  EXPECT_EQ(run.Tracer->SiblingRows.size(), 401u);

  // The sibling of a point of one ring is its mirror image on the other.
  const PixelMapping m(PictureRect, run.P.low, run.P.high);
  int asked = 0;
  for (const TracePoint &t : run.Tracer->TraceList) {
    const int x = m.RoundX(t.Pair[0]), y = m.RoundY(t.Pair[1]);
    int sx = -1, sy = -1;
    ASSERT_TRUE(run.Tracer->FindSibling(x, y, sx, sy)) << x << "," << y;
    EXPECT_NEAR(sx, 400 - x, 6) << x << "," << y;
    EXPECT_NEAR(sy, y, 6) << x << "," << y;
    ++asked;
  }
  EXPECT_GT(asked, 50);
  int sx = 0, sy = 0;
  EXPECT_FALSE(run.Tracer->FindSibling(200, 200, sx, sy)); // the centre of D is not on L
}

class CountingControl : public RunControl {
public:
  explicit CountingControl(int stopAt) : StopAt(stopAt) {}
  bool ProcessEventsAndCheckStop() override { return ++Polls >= StopAt; }
  int StopAt, Polls = 0;
};

TEST(GradualTrace, PollsEveryThirtiethCellPairAndStopsWhenAsked) {
  const Problem &problem = Problems[0];
  MapUnderTest F(*problem.map);
  auto tracer = std::make_unique<TImplicitCurve4D>();
  tracer->BindEvaluators(F, F);
  tracer->SetProjectionSeed(1);

  // 11 x 11 cells: 121 * 120 / 2 = 7260 pairs; the counter runs from 2 to 7261.
  CountingControl never(1 << 30);
  tracer->TraceLocus(problem.low, problem.high, 1e-5, 5, PixelLengthOf(problem), never);
  EXPECT_EQ(tracer->CoarseCount, 11);
  EXPECT_EQ(never.Polls, 7261 / 30);
  const std::size_t whole = tracer->TraceList.size();

  CountingControl stop(3);
  tracer->TraceLocus(problem.low, problem.high, 1e-5, 5, PixelLengthOf(problem), stop);
  EXPECT_EQ(stop.Polls, 3);
  EXPECT_LT(tracer->TraceList.size(), whole);
}

TEST(GradualTrace, EvaluationsThatAreNotNumbersAreNeverStored) {
  // The fold with its third function undefined (NaN) or infinite for u > 0.6.
  struct Case {
    const char *what;
    double broken;
  };
  for (const Case &k : {Case{"NaN", NAN}, Case{"infinite", INFINITY}}) {
    static double brokenValue;
    brokenValue = k.broken;
    const AnalyticMap holed{"FoldWithHole",
                            [](double u, double v) {
                              Vector3 f = testing::Fold.F(u, v);
                              if (u > 0.6)
                                f[2] = brokenValue;
                              return f;
                            },
                            testing::Fold.Jacobian};
    const Problem problem{&holed, {-1, -1}, {1, 1}, Problems[1].Locus};
    TracedRun run(problem, 4);
    EXPECT_GT(run.Tracer->TraceList.size(), 20u) << k.what;
    ExpectHonestPairs(run);
  }
}

} // namespace
} // namespace tandor
