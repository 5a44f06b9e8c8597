// Triple points of maps written by hand: seeds from the methods' results and from pieces of L
// laid out by hand, Newton's method, and what is kept.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "MethodRuns.h"
#include "analysis/NormalisedMap.h"
#include "analysis/TriplePointSearch.h"

namespace tandor::testing {
namespace {

// (u, v^3 - v, w(u) v^2 + v^4): three points with one image lie on one line u = const, at the
// roots v1, v2, v3 of v^3 - v = c; equal third coordinates ask w = -(v1^2 + v2^2) and
// v3 = -v2, so v1 = 0 (the roots add up to 0), c = 0, v = -1, 0, 1 and w(u) = -1.
// Fu x Fv = (-w' v^2 (3v^2 - 1), -(2 w v + 4 v^3), 3 v^2 - 1) vanishes where v^2 = 1/3 and
// w(u) = -2/3: the cross-caps.
JetFunction CubicSheets(double a, double b) {
  // w(u) = a u^2 + b u - 2: two triple points where it is -1.
  return [a, b](double u, double v) {
    const double w = a * u * u + b * u - 2, wu = 2 * a * u + b, v2 = v * v;
    return Jet{{u, v2 * v - v, w * v2 + v2 * v2},
               {1, 0, wu * v2},
               {0, 3 * v2 - 1, 2 * w * v + 4 * v2 * v}};
  };
}

// The same after the change of source (u, v) -> (u + 0.3 v^2, v) and a change of target: its
// triple points move to (u + 0.3 v^2, v).
JetFunction Bent(const JetFunction &f) {
  return [f](double u, double v) {
    const double k = 0.3;
    const Jet j = f(u - k * v * v, v);
    Jet g = j;
    for (int c = 0; c < 3; ++c)
      g.Fv[c] = j.Fv[c] - 2 * k * v * j.Fu[c];
    return ChangeOfTarget(g);
  };
}

using Triple = std::array<Vector2, 3>;

void ExpectTriples(const SingularPoints &r, const std::vector<Triple> &expected, const Vector2 &low,
                   const Vector2 &high, double accuracy) {
  ASSERT_EQ(r.Triples.size(), expected.size());
  const double diagonal = std::hypot(high[0] - low[0], high[1] - low[1]);
  for (std::size_t k = 0; k < expected.size(); ++k)
    for (int i = 0; i < 3; ++i)
      EXPECT_LE(std::hypot(r.Triples[k].Points[i][0] - expected[k][i][0],
                           r.Triples[k].Points[i][1] - expected[k][i][1]),
                accuracy * diagonal)
          << k << "/" << i;
}

// Two crossing pieces of L through P1, one pairing it with P2, the other with P3, as a method
// would store them (or not quite: each piece is 4 pixels long and its siblings carry an error
// of up to a pixel).
std::vector<PairSegment> CrossingPieces(const Triple &P, double pixel) {
  const Vector2 e1{2 * pixel, 1.5 * pixel}, e2{-1.5 * pixel, 2 * pixel}, err{0.7 * pixel, 0};
  auto piece = [&](const Vector2 &sibling, const Vector2 &e) {
    return PairSegment{{P[0][0] + e[0], P[0][1] + e[1], sibling[0] + err[0], sibling[1] - e[0]},
                       {P[0][0] - e[0], P[0][1] - e[1], sibling[0] - err[0], sibling[1] + e[0]}};
  };
  return {piece(P[1], e1), piece(P[2], e2)};
}

TEST(TriplePoints, FromCrossingPiecesInAnyOrderOnceInCanonicalOrder) {
  const Vector2 low{-2, -1.5}, high{0.5, 1.5};
  PlainMap one(CubicSheets(0, -1)); // w = -u - 2 = -1 at u = -1
  PlainMap none(CubicSheets(0, 1)); // w = u - 2 = -1 at u = 1, outside D
  const double pixel = (high[0] - low[0]) / 400;
  const Triple exact{Vector2{-1, -1}, Vector2{-1, 0}, Vector2{-1, 1}};
  std::vector<PairSegment> pieces;
  for (const Triple &order :
       {Triple{exact[1], exact[0], exact[2]}, Triple{exact[0], exact[2], exact[1]},
        Triple{exact[2], exact[1], exact[0]}})
    for (const PairSegment &p : CrossingPieces(order, pixel)) {
      pieces.push_back(p);
      // The same piece with its halves the other way round, and walked backwards.
      pieces.push_back(
          {{p.From[2], p.From[3], p.From[0], p.From[1]}, {p.To[2], p.To[3], p.To[0], p.To[1]}});
      pieces.push_back({p.To, p.From});
    }
  std::mt19937 random(5);
  for (int shuffle = 0; shuffle < 20; ++shuffle) {
    std::shuffle(pieces.begin(), pieces.end(), random);
    const SingularPoints r = FindIn(one, low, high, pieces);
    ExpectTriples(r, {exact}, low, high, 1e-14);
    ExpectVerified(one, r, low, high);
  }
  // No triple point where these sheets do not meet three times.
  EXPECT_TRUE(FindIn(none, low, high, pieces).Triples.empty());
}

TEST(TriplePoints, OnTheBorderOfDButNotBeyondIt) {
  PlainMap map(CubicSheets(0, -1));
  const Triple exact{Vector2{-1, -1}, Vector2{-1, 0}, Vector2{-1, 1}};
  for (const double top : {1.0, 1 - 1e-6}) {
    const Vector2 low{-2, -1.5}, high{0.5, top};
    const SingularPoints r = FindIn(map, low, high, CrossingPieces(exact, 2.5 / 400));
    if (top == 1.0) {
      ExpectTriples(r, {exact}, low, high, 1e-14);
      EXPECT_EQ(r.Triples[0].Points[2][1], 1.0) << "in closed D";
    } else {
      EXPECT_TRUE(r.Triples.empty());
    }
  }
}

TEST(TriplePoints, NewtonFromStartsAFewPixelsOffReachesThePointToRounding) {
  PlainMap map(Bent(CubicSheets(0, -1)));
  const Vector2 low{-2, -1.5}, high{0.5, 1.5};
  const NormalisedMap F(map, map, low, high);
  const Triple exact{F.FromDomain({-0.7, -1}), F.FromDomain({-1, 0}), F.FromDomain({-0.7, 1})};
  TriplePointSearch search;
  std::mt19937 random(3);
  std::uniform_real_distribution<double> off(-3 * PicturePixel, 3 * PicturePixel);
  double worst = 0;
  for (int trial = 0; trial < 100; ++trial) {
    Triple start = exact;
    for (Vector2 &p : start)
      p = {p[0] + off(random), p[1] + off(random)};
    const TriplePointSearch::Refinement z = search.Refine(F, start);
    ASSERT_TRUE(z.Finite);
    EXPECT_LE(z.ErrorEstimate, 1e-10);
    for (int i = 0; i < 3; ++i)
      worst =
          std::max(worst, std::hypot(z.Points[i][0] - exact[i][0], z.Points[i][1] - exact[i][1]));
  }
  EXPECT_LE(worst, 1e-14);
}

struct MethodCase {
  const char *name;
  JetFunction map;
  Vector2 low, high;
  std::vector<Triple> triples;
  std::vector<Vector2> crossCaps;
  bool linear; // x(u, v) = u
};

std::vector<MethodCase> MethodCases() {
  const double c = std::sqrt(4.0 / 3), s = 1 / std::sqrt(3.0);
  return {
      {"one triple point",
       CubicSheets(0, -1),
       {-2, -1.5},
       {0.5, 1.5},
       {{Vector2{-1, -1}, Vector2{-1, 0}, Vector2{-1, 1}}},
       {{-4.0 / 3, -s}, {-4.0 / 3, s}},
       true},
      {"two triple points",
       CubicSheets(1, 0),
       {-1.5, -1.4},
       {1.5, 1.4},
       {{Vector2{-1, -1}, Vector2{-1, 0}, Vector2{-1, 1}},
        {Vector2{1, -1}, Vector2{1, 0}, Vector2{1, 1}}},
       {{-c, -s}, {-c, s}, {c, -s}, {c, s}},
       true},
      {"bent",
       Bent(CubicSheets(0, -1)),
       {-2, -1.5},
       {0.5, 1.5},
       {{Vector2{-1, 0}, Vector2{-0.7, -1}, Vector2{-0.7, 1}}},
       {{-4.0 / 3 + 0.1, -s}, {-4.0 / 3 + 0.1, s}},
       false},
      // The figure-eight cylinder (sin u, sin u cos u, v): L is u = 0 and u = pi, where the
      // figure eight crosses itself; neither cross-caps nor triple points.
      {"figure eight",
       [](double u, double v) {
         return Jet{{std::sin(u), std::sin(u) * std::cos(u), v},
                    {std::cos(u), std::cos(2 * u), 0},
                    {0, 0, 1}};
       },
       {-1, -1},
       {4, 1},
       {},
       {},
       false},
  };
}

class ByMethod : public ::testing::TestWithParam<LocusMethod> {};

TEST_P(ByMethod, EveryTriplePointAndCrossCapOnceAndNothingElse) {
  for (const MethodCase &m : MethodCases()) {
    if (GetParam() == LocusMethod::Linear && !m.linear)
      continue;
    SCOPED_TRACE(m.name);
    PlainMap map(m.map);
    const std::vector<PairSegment> locus = RunMethod(GetParam(), map, m.low, m.high);
    EXPECT_FALSE(locus.empty());
    const SingularPoints r = FindIn(map, m.low, m.high, locus);
    ExpectTriples(r, m.triples, m.low, m.high, 1e-12);
    ASSERT_EQ(r.CrossCaps.size(), m.crossCaps.size());
    for (std::size_t k = 0; k < m.crossCaps.size(); ++k)
      EXPECT_NEAR(std::hypot(r.CrossCaps[k].Point[0] - m.crossCaps[k][0],
                             r.CrossCaps[k].Point[1] - m.crossCaps[k][1]),
                  0, 1e-12);
    EXPECT_FALSE(r.SingularCurve);
    ExpectVerified(map, r, m.low, m.high);
  }
}

INSTANTIATE_TEST_SUITE_P(Methods, ByMethod,
                         ::testing::Values(LocusMethod::Linear, LocusMethod::Descent,
                                           LocusMethod::Gradual, LocusMethod::Triangles),
                         [](const ::testing::TestParamInfo<LocusMethod> &info) {
                           return std::string(MethodName(info.param));
                         });

class StopAt final : public RunControl {
public:
  explicit StopAt(int poll) : Poll(poll) {}
  bool ProcessEventsAndCheckStop() override { return ++Polls >= Poll; }
  int Poll, Polls = 0;
};

TEST(TriplePoints, AStopEndsTheSearchAtThePollThatAskedForIt) {
  PlainMap map(CubicSheets(1, 0));
  const Vector2 low{-1.5, -1.4}, high{1.5, 1.4};
  const std::vector<PairSegment> locus = RunMethod(LocusMethod::Triangles, map, low, high);
  SingularPointFinder finder;
  StopAt never(1 << 30);
  ASSERT_TRUE(finder.Find(map, map, low, high, locus, never));
  ASSERT_EQ(finder.Result().Triples.size(), 2u);
  const int scanPolls = (CrossCapSearch::Cells + 1) / 16; // every 16 rows of nodes
  ASSERT_GT(never.Polls, scanPolls + 2);
  for (int poll = scanPolls + 1; poll <= never.Polls; ++poll) {
    StopAt stop(poll);
    EXPECT_FALSE(finder.Find(map, map, low, high, locus, stop)) << poll;
    EXPECT_EQ(stop.Polls, poll);
    EXPECT_FALSE(finder.Result().Complete);
    EXPECT_LE(finder.Result().Triples.size(), 2u);
    ExpectVerified(map, finder.Result(), low, high);
  }
}

TEST(PairSegments, FromATraceAndFromTheTrianglesSegments) {
  auto pair = [](double k) { return PointPair{k, k + 0.1, k + 0.2, k + 0.3}; };
  const std::vector<TracePoint> trace{
      {1, pair(1)}, {1, pair(2)}, {0, pair(3)}, {0, pair(4)}, {1, pair(5)}};
  std::vector<PairSegment> out;
  AppendTraceSegments(trace, out);
  const std::vector<std::array<double, 2>> expected{{1, 1}, {2, 3}, {3, 4}, {5, 5}};
  ASSERT_EQ(out.size(), expected.size());
  for (std::size_t k = 0; k < out.size(); ++k) {
    EXPECT_EQ(out[k].From, pair(expected[k][0]));
    EXPECT_EQ(out[k].To, pair(expected[k][1]));
  }

  // The triangle method's segments come in pairs, end 1 of one matching end 1 of the other.
  class TwoSegments final : public LocusMethodSolver {
  public:
    void Compute(Glob &, MapFunctions &, RunControl &) override {}
    void Draw(Canvas &, const PixelRect &, bool, Glob &, RunControl *) override {}
    std::size_t SegmentCount() const override { return 3; } // an odd last one is ignored
    Vector4 Segment(std::size_t k) const override {
      const double b = 10.0 * static_cast<double>(k);
      return {b, b + 1, b + 2, b + 3};
    }
  } triangles;
  CollectPairSegments(triangles, out);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].From, (PointPair{0, 1, 10, 11}));
  EXPECT_EQ(out[0].To, (PointPair{2, 3, 12, 13}));
}

} // namespace
} // namespace tandor::testing
