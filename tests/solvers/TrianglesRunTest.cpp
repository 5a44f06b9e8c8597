// Whole runs of the triangle method: the grid, the pair selection and its polls, stops, and the
// locus on maps whose double points are known in closed form.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "solvers/TriangleIntersection.h"

namespace tandor {
namespace {

using Map = std::function<void(double &, double &, double &, double, double)>;

// Counts polls and asks for a stop at the given one (0: never).
class CountingControl : public RunControl {
public:
  explicit CountingControl(int stopAt = 0) : StopAt(stopAt) {}
  bool ProcessEventsAndCheckStop() override { return ++Polls == StopAt; }
  int Polls = 0;
  int StopAt;
};

Map Fold = [](double &x, double &y, double &z, double u, double v) {
  x = u * u;
  y = v;
  z = u * u * u - u * v;
};

Map CrossCap = [](double &x, double &y, double &z, double u, double v) {
  x = u + v * v * v * v;
  y = v * v;
  z = u * v;
};

constexpr double Radius = 0.6;
// Folded along u = 0; the two sheets meet again where u^2 + v^2 = Radius^2.
Map Circle = [](double &x, double &y, double &z, double u, double v) {
  x = u * u;
  y = v;
  z = u * (u * u + v * v - Radius * Radius);
};

Map Graph = [](double &x, double &y, double &z, double u, double v) {
  x = u;
  y = v;
  z = u * u + v * v;
};

struct KnownLocus {
  std::string name;
  Map F;
  Vector2 low, high;
  // The curve L as points t -> (u, v) over [0, 1], its distance function, and the sibling.
  std::function<Vector2(double)> curve;
  std::function<double(const Vector2 &)> distance;
  std::function<Vector2(const Vector2 &)> sibling;
};

std::vector<KnownLocus> &KnownLoci() {
  static std::vector<KnownLocus> loci{
      {"fold",
       Fold,
       {-1, -1},
       {1, 1},
       [](double t) {
         const double u = -1 + 2 * t;
         return Vector2{u, u * u};
       },
       [](const Vector2 &p) {
         // distance to v = u^2 by a dense search along the parabola
         double best = 1e9;
         for (int i = -2000; i <= 2000; ++i) {
           const double u = i / 2000.0;
           best = std::min(best, std::hypot(p[0] - u, p[1] - u * u));
         }
         return best;
       },
       [](const Vector2 &p) {
         return Vector2{-p[0], p[1]};
       }},
      {"cross-cap",
       CrossCap,
       {-1, -1},
       {1, 1},
       [](double t) {
         return Vector2{0, -1 + 2 * t};
       },
       [](const Vector2 &p) { return std::fabs(p[0]); },
       [](const Vector2 &p) {
         return Vector2{p[0], -p[1]};
       }},
      {"circle",
       Circle,
       {-1, -1},
       {1, 1},
       [](double t) {
         return Vector2{Radius * std::cos(2 * M_PI * t), Radius * std::sin(2 * M_PI * t)};
       },
       [](const Vector2 &p) { return std::fabs(std::hypot(p[0], p[1]) - Radius); },
       [](const Vector2 &p) {
         return Vector2{-p[0], p[1]};
       }},
  };
  return loci;
}

double DistanceToSegment(const Vector2 &p, const TLocusSegment &s) {
  const double dx = s.u2 - s.u1, dy = s.v2 - s.v1;
  const double ll = dx * dx + dy * dy;
  double t = ll > 0 ? ((p[0] - s.u1) * dx + (p[1] - s.v1) * dy) / ll : 0;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(p[0] - (s.u1 + t * dx), p[1] - (s.v1 + t * dy));
}

CalcDib &RunOn(CalcDib &dib, Map F, const Vector2 &low, const Vector2 &high, uint64_t seed = 11) {
  dib.SeedWith(seed);
  NeverStop never;
  dib.ComputeByTriangles(F, low, high, never);
  return dib;
}

TEST(TrianglesGrid, BordersExactInnerLinesJitteredAndCellsNumbered) {
  CalcDib dib;
  int evaluations = 0;
  Map counted = [&](double &x, double &y, double &z, double u, double v) {
    ++evaluations;
    Fold(x, y, z, u, v);
  };
  const Vector2 low{-1.5, 0.25}, high{2.5, 3};
  dib.SeedWith(3);
  dib.BuildTriangles(counted, low, high);
  const int N = CalcDib::GridSize;
  EXPECT_EQ(evaluations, 4 * N * N);
  EXPECT_EQ(dib.GridU(0), low[0]);
  EXPECT_EQ(dib.GridU(N), high[0]);
  EXPECT_EQ(dib.GridV(0), low[1]);
  EXPECT_EQ(dib.GridV(N), high[1]);
  double largestShift = 0;
  for (int i = 1; i < N; ++i) {
    const double du = dib.GridU(i) - (low[0] + i * (high[0] - low[0]) / N);
    const double dv = dib.GridV(i) - (low[1] + i * (high[1] - low[1]) / N);
    EXPECT_LT(std::fabs(du), 1.0 / 1681 + 1e-15);
    EXPECT_LT(std::fabs(dv), 1.0 / 1681 + 1e-15);
    largestShift = std::max({largestShift, std::fabs(du), std::fabs(dv)});
  }
  EXPECT_GT(largestShift, 0.5 / 1681); // it does move them
  for (int i : {0, 7, N - 1})
    for (int j : {0, 13, N - 1}) {
      const int k = i * N + j + 1;
      const Vector2 c00{dib.GridU(i), dib.GridV(j)}, c10{dib.GridU(i + 1), dib.GridV(j)},
          c11{dib.GridU(i + 1), dib.GridV(j + 1)}, c01{dib.GridU(i), dib.GridV(j + 1)};
      const TDomainTriangle &lower = dib.Triangle(2 * k - 1);
      const TDomainTriangle &upper = dib.Triangle(2 * k);
      EXPECT_EQ(lower.Corner, (std::array<Vector2, 3>{c00, c10, c01}));
      EXPECT_EQ(upper.Corner, (std::array<Vector2, 3>{c11, c10, c01}));
      for (const TDomainTriangle *T : {&lower, &upper})
        for (int m = 0; m < 3; ++m) {
          Vector3 P{};
          Fold(P[0], P[1], P[2], T->Corner[m][0], T->Corner[m][1]);
          EXPECT_EQ(T->P[m], P);
        }
    }
}

TEST(TrianglesGrid, SeedRepeatsTheGridAndTheClockChangesIt) {
  CalcDib a, b, c;
  a.SeedWith(5);
  b.SeedWith(5);
  a.BuildTriangles(Fold, {-1, -1}, {1, 1});
  b.BuildTriangles(Fold, {-1, -1}, {1, 1});
  c.BuildTriangles(Fold, {-1, -1}, {1, 1});
  bool sameAsClock = true;
  for (int i = 0; i <= CalcDib::GridSize; ++i) {
    EXPECT_EQ(a.GridU(i), b.GridU(i));
    EXPECT_EQ(a.GridV(i), b.GridV(i));
    sameAsClock = sameAsClock && a.GridU(i) == c.GridU(i);
  }
  EXPECT_FALSE(sameAsClock);
}

// The block filter over followers (on either instruction set) and the reuse of the first
// member's sub-triangles must give exactly the segments of the plain pair loop.
TEST(TrianglesRun, SameSegmentsAsThePlainPairLoop) {
  for (const auto &locus : KnownLoci()) {
    CalcDib dib;
    dib.UseBaselineFilterOnly(true);
    RunOn(dib, locus.F, locus.low, locus.high);
    const std::vector<TLocusSegment> baseline(dib.Segments().begin(), dib.Segments().end());
    dib.UseBaselineFilterOnly(false);
    RunOn(dib, locus.F, locus.low, locus.high);
    const std::vector<TLocusSegment> fast(dib.Segments().begin(), dib.Segments().end());
    ASSERT_FALSE(fast.empty()) << locus.name;
    EXPECT_EQ(fast, baseline) << locus.name;
    dib.ClearSegments();
    // Refinement evaluates the map again; the runs above kept no reference to it.
    Map F = locus.F;
    const int M = dib.TriangleCount(), N = CalcDib::GridSize;
    for (int a = 1; a <= M - 2; ++a) {
      if (dib.Triangle(a).Degenerate)
        continue;
      if (a % 2 == 0)
        dib.TestTrianglePair(F, dib.Triangle(a), dib.Triangle(a + 1), 0);
      for (int b = a + 2; b <= M; ++b)
        if (a % 2 != 0 || b != a + 2 * N - 1)
          dib.TestTrianglePair(F, dib.Triangle(a), dib.Triangle(b), 0);
    }
    const std::vector<TLocusSegment> plain(dib.Segments().begin(), dib.Segments().end());
    EXPECT_EQ(fast, plain) << locus.name;
  }
}

// The map is used during the call that gives it and never after: a later refinement evaluates
// only the map it is given, so a map that has gone out of scope is never read.
TEST(TrianglesRun, UsesAMapOnlyDuringTheCallThatGivesIt) {
  CalcDib dib;
  int first = 0, second = 0;
  {
    Map counted = [&](double &x, double &y, double &z, double u, double v) {
      ++first;
      Fold(x, y, z, u, v);
    };
    RunOn(dib, counted, {-1, -1}, {1, 1});
  }
  const int afterRun = first;
  ASSERT_GT(afterRun, 0);
  ASSERT_FALSE(dib.Segments().empty());
  Map other = [&](double &x, double &y, double &z, double u, double v) {
    ++second;
    Fold(x, y, z, u, v);
  };
  // pairs of the run until one refines
  const int M = dib.TriangleCount();
  for (int a = 1; a <= M && second == 0; a += 2)
    for (int b = a + 2; b <= M && second == 0; ++b)
      dib.TestTrianglePair(other, dib.Triangle(a), dib.Triangle(b), 0);
  EXPECT_GT(second, 0);
  dib.TestTrianglePair({}, dib.Triangle(1), dib.Triangle(3), 0);
  EXPECT_EQ(first, afterRun);
}

TEST(TrianglesRun, LocusLiesOnTheKnownCurveAndCoversIt) {
  for (const auto &locus : KnownLoci()) {
    CalcDib dib;
    RunOn(dib, locus.F, locus.low, locus.high);
    const auto segments = dib.Segments();
    ASSERT_FALSE(segments.empty()) << locus.name;
    const double pixel = (locus.high[0] - locus.low[0]) / 400;
    // near the curve
    double worst = 0;
    for (const TLocusSegment &s : segments)
      for (const Vector2 &e : {Vector2{s.u1, s.v1}, Vector2{s.u2, s.v2}})
        worst = std::max(worst, locus.distance(e));
    EXPECT_LT(worst, 2 * pixel) << locus.name;
    // covered: of the curve more than 2 pixels inside D, 80 % lies within 2 pixels of a segment
    const int samples = 2000;
    double inside = 0, covered = 0;
    Vector2 previous = locus.curve(0);
    for (int i = 1; i <= samples; ++i) {
      const Vector2 p = locus.curve(double(i) / samples);
      const double step = std::hypot(p[0] - previous[0], p[1] - previous[1]);
      previous = p;
      const double margin = std::min(
          {p[0] - locus.low[0], locus.high[0] - p[0], p[1] - locus.low[1], locus.high[1] - p[1]});
      if (margin <= 2 * pixel)
        continue;
      inside += step;
      for (const TLocusSegment &s : segments)
        if (DistanceToSegment(p, s) <= 2 * pixel) {
          covered += step;
          break;
        }
    }
    EXPECT_GE(covered, 0.8 * inside) << locus.name << ": " << covered << " of " << inside;
  }
}

// Every intersecting pair stores a segment in each triangle: their ends are siblings, with the
// same image up to the flatness of the pieces. Refinement around centroids keeps a side of the
// cell in every piece, so pieces stay about a cell (0.07) long and their flat images miss the
// curved one by up to |F''| h^2 / 8, about 4e-3 here.
TEST(TrianglesRun, SegmentPairsAreSiblings) {
  for (const auto &locus : KnownLoci()) {
    CalcDib dib;
    RunOn(dib, locus.F, locus.low, locus.high);
    const auto segments = dib.Segments();
    ASSERT_EQ(segments.size() % 2, 0u);
    const double pixel = (locus.high[0] - locus.low[0]) / 400;
    double worstImage = 0, worstSibling = 0;
    for (std::size_t i = 0; i < segments.size(); i += 2) {
      const TLocusSegment &a = segments[i], &b = segments[i + 1];
      for (const auto &[p, q] : {std::pair{Vector2{a.u1, a.v1}, Vector2{b.u1, b.v1}},
                                 std::pair{Vector2{a.u2, a.v2}, Vector2{b.u2, b.v2}}}) {
        Vector3 Fp{}, Fq{};
        locus.F(Fp[0], Fp[1], Fp[2], p[0], p[1]);
        locus.F(Fq[0], Fq[1], Fq[2], q[0], q[1]);
        worstImage = std::max(worstImage, std::hypot(Fp[0] - Fq[0], Fp[1] - Fq[1], Fp[2] - Fq[2]));
        const Vector2 s = locus.sibling(p);
        worstSibling = std::max(worstSibling, std::hypot(s[0] - q[0], s[1] - q[1]));
      }
    }
    EXPECT_LT(worstImage, 1e-2) << locus.name;
    EXPECT_LT(worstSibling, 2 * pixel) << locus.name;
  }
}

TEST(TrianglesRun, NoDoublePointsNoSegments) {
  CalcDib dib;
  RunOn(dib, Graph, {-1, -1}, {1, 1});
  EXPECT_TRUE(dib.Segments().empty());
  EXPECT_GT(dib.Statistics().PairsTested, 5'000'000u);
}

// Polls come at every 30th first member that is not degenerate, counting from 5.
TEST(TrianglesRun, PollsAndStops) {
  const int M = 2 * CalcDib::GridSize * CalcDib::GridSize;
  {
    CalcDib dib;
    CountingControl control;
    dib.SeedWith(2);
    dib.ComputeByTriangles(Fold, {-1, -1}, {1, 1}, control);
    EXPECT_EQ(control.Polls, (5 + M - 2) / 30);
  }
  {
    // A constant map: all triangles degenerate, no poll, nothing found.
    Map flat = [](double &x, double &y, double &z, double, double) { x = y = z = 1; };
    CalcDib dib;
    CountingControl control;
    dib.ComputeByTriangles(flat, {-1, -1}, {1, 1}, control);
    EXPECT_EQ(control.Polls, 0);
    EXPECT_TRUE(dib.Segments().empty());
  }
  CalcDib full;
  RunOn(full, Fold, {-1, -1}, {1, 1});
  const std::vector<TLocusSegment> all(full.Segments().begin(), full.Segments().end());
  for (int stopAt : {1, 10, 40}) {
    CalcDib dib;
    dib.SeedWith(11);
    CountingControl control(stopAt);
    dib.ComputeByTriangles(Fold, {-1, -1}, {1, 1}, control);
    EXPECT_EQ(control.Polls, stopAt);
    const auto kept = dib.Segments();
    ASSERT_LT(kept.size(), all.size()) << stopAt;
    EXPECT_TRUE(std::equal(kept.begin(), kept.end(), all.begin())) << stopAt;
    EXPECT_EQ(kept.empty(), stopAt == 1) << stopAt;
    // the next run starts from an empty list
    RunOn(dib, Fold, {-1, -1}, {1, 1});
    EXPECT_EQ(dib.Segments().size(), all.size());
  }
}

Map Torus = [](double &x, double &y, double &z, double u, double v) {
  x = (2 + std::cos(v)) * std::cos(u);
  y = (2 + std::cos(v)) * std::sin(u);
  z = std::sin(v);
};

// The jitter is a fixed amount, but never more than a quarter of a cell: the lines of a narrow
// domain keep their order and stay in D; on ordinary domains the grid is the one the fixed
// amount gives, number for number.
TEST(TrianglesGrid, JitterStaysWithinAQuarterOfACell) {
  const int N = CalcDib::GridSize;
  const double tiny = std::nextafter(1.0, 2.0);
  const std::pair<Vector2, Vector2> domains[] = {{{0, 0}, {0.01, 0.01}},
                                                 {{1, 1}, {tiny, tiny}},
                                                 {{-3, 0.5}, {-2.95, 0.6}},
                                                 {{-1.5, 0.25}, {2.5, 3}}};
  for (const auto &[low, high] : domains) {
    CalcDib dib;
    dib.SeedWith(17);
    dib.BuildTriangles(Fold, low, high);
    const double hu = (high[0] - low[0]) / N, hv = (high[1] - low[1]) / N;
    for (int i = 0; i < N; ++i) {
      EXPECT_LE(dib.GridU(i), dib.GridU(i + 1)) << low[0] << " " << i;
      EXPECT_LE(dib.GridV(i), dib.GridV(i + 1)) << low[1] << " " << i;
      EXPECT_LE(std::fabs(dib.GridU(i) - (low[0] + i * hu)), hu / 4 + 1e-15) << low[0];
      EXPECT_LE(std::fabs(dib.GridV(i) - (low[1] + i * hv)), hv / 4 + 1e-15) << low[1];
    }
    if (hu / 4 < 1.0 / (N * N))
      continue;
    // the generator's numbers, as the grid draws them: U[i], then V[i]
    std::mt19937_64 generator(17);
    auto uniform = [&generator] { return static_cast<double>(generator() >> 11) * 0x1.0p-53; };
    for (int i = 1; i < N; ++i) {
      EXPECT_EQ(dib.GridU(i), low[0] + i * hu + (1 - 2 * uniform()) * (1.0 / (N * N)));
      EXPECT_EQ(dib.GridV(i), low[1] + i * hv + (1 - 2 * uniform()) * (1.0 / (N * N)));
    }
  }
}

// On a narrow piece of the torus the grid lines crossed, and the method reported some 800,000
// segments, many with ends outside D, where there are no double points at all. Every stored end
// lies in D, also on maps that have double points there.
TEST(TrianglesRun, NarrowDomainsAndEndsInD) {
  const double tiny = std::nextafter(1.0, 2.0);
  for (const auto &[low, high] : {std::pair<Vector2, Vector2>{{0, 0}, {0.01, 0.01}},
                                  std::pair<Vector2, Vector2>{{1, 1}, {tiny, tiny}}}) {
    CalcDib dib;
    RunOn(dib, Torus, low, high);
    EXPECT_TRUE(dib.Segments().empty()) << high[0] << ": " << dib.Segments().size();
  }
  // The cross-cap blown up a hundred times, on a domain a hundredth as wide.
  Map SmallCrossCap = [](double &x, double &y, double &z, double u, double v) {
    CrossCap(x, y, z, 100 * u, 100 * v);
  };
  const struct {
    Map F;
    Vector2 low, high;
  } problems[] = {{Fold, {-1, -1}, {1, 1}},
                  {SmallCrossCap, {-0.004, -0.01}, {0.006, 0.01}},
                  {Circle, {-1, -1}, {1, 1}}};
  for (const auto &[F, low, high] : problems) {
    CalcDib dib;
    RunOn(dib, F, low, high);
    ASSERT_FALSE(dib.Segments().empty()) << high[0];
    for (const TLocusSegment &s : dib.Segments())
      for (const Vector2 &e : {Vector2{s.u1, s.v1}, Vector2{s.u2, s.v2}}) {
        ASSERT_TRUE(low[0] <= e[0] && e[0] <= high[0]) << e[0];
        ASSERT_TRUE(low[1] <= e[1] && e[1] <= high[1]) << e[1];
      }
  }
}

// A full list ends the run as a stop does, with the beginning of the whole result; ordinary
// problems stay far below the cap.
TEST(TrianglesRun, AFullListEndsTheRun) {
  CalcDib full;
  RunOn(full, Fold, {-1, -1}, {1, 1});
  const std::vector<TLocusSegment> all(full.Segments().begin(), full.Segments().end());
  for (const auto &locus : KnownLoci()) {
    CalcDib dib;
    RunOn(dib, locus.F, locus.low, locus.high);
    EXPECT_LT(dib.Segments().size(), static_cast<std::size_t>(dib.MaxSegments / 100));
  }
  CalcDib capped;
  capped.MaxSegments = 100;
  RunOn(capped, Fold, {-1, -1}, {1, 1});
  const auto kept = capped.Segments();
  ASSERT_EQ(kept.size(), 100u);
  EXPECT_TRUE(std::equal(kept.begin(), kept.end(), all.begin()));
  EXPECT_LT(capped.Statistics().PairsTested, full.Statistics().PairsTested);
}

// Refinement polls as it goes, so no more than a poll's worth of it and one follower's (at most
// 1 + 9 + 81 splits) pass between two polls, and a stop seen there ends the run at once.
TEST(TrianglesRun, RefinementPollsAndHearsAStop) {
  class Watching : public RunControl {
  public:
    explicit Watching(const CalcDib &dib, int stopAt) : Dib(dib), StopAt(stopAt) {}
    bool ProcessEventsAndCheckStop() override {
      Refined.push_back(Dib.Statistics().PairsRefined);
      return ++Polls == StopAt;
    }
    const CalcDib &Dib;
    int StopAt, Polls = 0;
    std::vector<uint64_t> Refined;
  };
  const int M = 2 * CalcDib::GridSize * CalcDib::GridSize;
  CalcDib dib;
  dib.PollWork = 50;
  dib.SeedWith(11);
  Watching all(dib, 0);
  dib.ComputeByTriangles(Fold, {-1, -1}, {1, 1}, all);
  const std::vector<TLocusSegment> whole(dib.Segments().begin(), dib.Segments().end());
  EXPECT_GT(all.Polls, (5 + M - 2) / 30 + 10);
  for (std::size_t i = 1; i < all.Refined.size(); ++i)
    EXPECT_LE(all.Refined[i] - all.Refined[i - 1], 50u + 91u);
  for (int stopAt : {60, 150}) {
    Watching control(dib, stopAt);
    dib.ComputeByTriangles(Fold, {-1, -1}, {1, 1}, control);
    EXPECT_EQ(control.Polls, stopAt);
    EXPECT_EQ(dib.Statistics().PairsRefined, control.Refined.back()) << "nothing after the stop";
    const auto kept = dib.Segments();
    EXPECT_LT(kept.size(), whole.size());
    EXPECT_TRUE(std::equal(kept.begin(), kept.end(), whole.begin()));
  }
}

// Masked traps: F gives NaN or infinities on part of D. Nothing that is not a number is stored,
// and the locus elsewhere is still found.
TEST(TrianglesRun, NonFiniteImagesAreNeverStored) {
  const double NaN = std::numeric_limits<double>::quiet_NaN();
  const double Inf = std::numeric_limits<double>::infinity();
  for (double bad : {NaN, Inf, -Inf}) {
    Map holed = [bad](double &x, double &y, double &z, double u, double v) {
      Fold(x, y, z, u, v);
      if (v < -0.2)
        z = bad;
      if (u > 0.7)
        x = bad;
    };
    CalcDib dib;
    RunOn(dib, holed, {-1, -1}, {1, 1});
    ASSERT_FALSE(dib.Segments().empty());
    for (const TLocusSegment &s : dib.Segments()) {
      ASSERT_TRUE(std::isfinite(s.u1) && std::isfinite(s.v1) && std::isfinite(s.u2) &&
                  std::isfinite(s.v2));
      EXPECT_GE(s.v1, -0.2 - 0.05);
      EXPECT_LE(std::fabs(s.u1), 0.7 + 0.05);
    }
  }
}

} // namespace
} // namespace tandor
