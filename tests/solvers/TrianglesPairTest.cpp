// Single triangles and single pairs of the triangle method: preparation, the plane classes, the
// end points, the depth rule, and images that are not finite.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "solvers/TriangleIntersection.h"

namespace tandor {
namespace {

constexpr double Inf = std::numeric_limits<double>::infinity();
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

using Images = std::array<Vector3, 3>;

// A sits at s, t in [0, 1] over (-3, 0), (-2, 0), (-3, 1); B over (2, 0), (3, 0), (2, 1). The map
// is affine on each, so refinement keeps every sub-triangle in the flat image.
constexpr std::array<Vector2, 3> CornersA{{{-3, 0}, {-2, 0}, {-3, 1}}};
constexpr std::array<Vector2, 3> CornersB{{{2, 0}, {3, 0}, {2, 1}}};

struct AffinePair {
  Images a, b;
  void operator()(double &x, double &y, double &z, double u, double v) const {
    const Images &P = u < 0 ? a : b;
    const double s = u < 0 ? u + 3 : u - 2, t = v;
    double out[3];
    for (int i = 0; i < 3; ++i)
      out[i] = P[0][i] + s * (P[1][i] - P[0][i]) + t * (P[2][i] - P[0][i]);
    x = out[0];
    y = out[1];
    z = out[2];
  }
};

TDomainTriangle Prepared(const std::array<Vector2, 3> &corners, const Images &images) {
  TDomainTriangle T;
  T.Corner = corners;
  T.P = images;
  CalcDib::PrepareTriangle(T);
  return T;
}

double Dot(const Vector3 &a, const Vector3 &b) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
Vector3 Minus(const Vector3 &a, const Vector3 &b) {
  return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}

const Images Flat{{{0, 0, 0}, {2, 0, 0}, {0, 2, 0}}}; // z = 0, x, y >= 0, x + y <= 2

TEST(TrianglesPrepare, DualVectorsAndUnitNormal) {
  const std::vector<Images> cases{
      Flat,
      {{{1, 2, 3}, {4, -1, 0.5}, {-2, 0.3, 7}}},
      {{{0, 0, 0}, {1e-8, 0, 0}, {0, 1e-1, 0}}}, // thin, nn = 1e-18 exactly on the threshold
  };
  for (const Images &P : cases) {
    const TDomainTriangle T = Prepared(CornersA, P);
    ASSERT_FALSE(T.Degenerate);
    const Vector3 e1 = Minus(P[1], P[0]), e2 = Minus(P[2], P[0]);
    EXPECT_NEAR(Dot(e1, T.d1), 1, 1e-12);
    EXPECT_NEAR(Dot(e2, T.d1), 0, 1e-12);
    EXPECT_NEAR(Dot(e1, T.d2), 0, 1e-12);
    EXPECT_NEAR(Dot(e2, T.d2), 1, 1e-12);
    EXPECT_NEAR(Dot(T.n, T.n), 1, 1e-15);
    EXPECT_NEAR(Dot(T.n, e1), 0, 1e-12 * std::sqrt(Dot(e1, e1)));
    EXPECT_NEAR(Dot(T.n, e2), 0, 1e-12 * std::sqrt(Dot(e2, e2)));
  }
}

TEST(TrianglesPrepare, DegenerateImages) {
  const std::vector<std::pair<std::string, Images>> cases{
      {"point", {{{1, 1, 1}, {1, 1, 1}, {1, 1, 1}}}},
      {"segment", {{{0, 0, -1}, {0, 0, 1}, {0, 0, 0.5}}}},
      {"nn just below 1e-18", {{{0, 0, 0}, {0.99e-8, 0, 0}, {0, 1e-1, 0}}}},
      {"NaN corner", {{{0, 0, 0}, {1, 0, NaN}, {0, 1, 0}}}},
      {"infinite corner", {{{0, 0, 0}, {Inf, 0, 0}, {0, 1, 0}}}},
      {"normal overflows", {{{0, 0, 0}, {1e200, 0, 0}, {0, 1e200, 0}}}},
  };
  for (const auto &[name, P] : cases)
    EXPECT_TRUE(Prepared(CornersA, P).Degenerate) << name;
}

struct PairCase {
  std::string name;
  Images a, b;
};

// Touching, lying in the other's plane, coplanar, degenerate or not finite: never a segment,
// neither at the last depth nor through refinement from the top.
TEST(TrianglesPair, NoSegmentWithoutACrossing) {
  const std::vector<PairCase> cases{
      {"corner only, planes cut each other", Flat, {{{0, 0, 0}, {-1, 0.3, 1}, {-0.2, -1, -1}}}},
      {"shared side", Flat, {{{0, 0, 0}, {2, 0, 0}, {0.3, 0.2, 1}}}},
      {"side inside the other, in its plane",
       Flat,
       {{{0.2, 0.2, 0}, {0.6, 0.1, 0}, {0.3, 0.3, 1}}}},
      {"side in the plane, outside", Flat, {{{3, 3, 0}, {4, 3, 0}, {3, 4, -1}}}},
      {"coplanar overlapping", Flat, {{{0.2, 0.2, 0}, {0.8, 0.1, 0}, {0.1, 0.7, 0}}}},
      {"parallel planes", Flat, {{{0, 0, 1}, {2, 0, 1}, {0, 2, 1}}}},
      {"apart", Flat, {{{5, 5, -1}, {6, 5, 1}, {5, 6, 1}}}},
      {"degenerate segment through the plane",
       Flat,
       {{{0.5, 0.5, -1}, {0.5, 0.5, 1}, {0.5, 0.5, 0}}}},
      {"squeezed image", Flat, {{{0.5, 0.5, -1e-10}, {0.5, 0.5, 1e-10}, {0.5, 0.5 + 1e-9, 0}}}},
      {"NaN corner", Flat, {{{0.5, 0.5, -1}, {1, 0.5, 1}, {NaN, 0.6, 1}}}},
      {"infinite corner", Flat, {{{0.5, 0.5, -1}, {1, 0.5, 1}, {0.6, -Inf, 1}}}},
  };
  for (const PairCase &c : cases)
    for (int depth : {0, 3})
      for (bool swapped : {false, true}) {
        AffinePair map{swapped ? c.b : c.a, swapped ? c.a : c.b};
        CalcDib dib;
        dib.TestTrianglePair(map, Prepared(CornersA, map.a), Prepared(CornersB, map.b), depth);
        EXPECT_EQ(dib.Segments().size(), 0u)
            << c.name << " depth " << depth << (swapped ? " swapped" : "");
      }
}

struct CrossingCase {
  std::string name;
  Images a, b;
  // The expected segment in A and in B, from end 1 to end 2: the ends are taken in the order
  // X1, X2 (A's border crossings), Y1, Y2 (B's).
  Vector2 a1, a2, b1, b2;
};

void ExpectSameSegment(const TLocusSegment &s, const Vector2 &p, const Vector2 &q,
                       const std::string &what) {
  const bool forward = std::fabs(s.u1 - p[0]) < 1e-12 && std::fabs(s.v1 - p[1]) < 1e-12 &&
                       std::fabs(s.u2 - q[0]) < 1e-12 && std::fabs(s.v2 - q[1]) < 1e-12;
  EXPECT_TRUE(forward) << what << ": (" << s.u1 << ", " << s.v1 << ") -> (" << s.u2 << ", " << s.v2
                       << ")";
}

const std::vector<CrossingCase> Crossings{
    // B stands in y = 0.5 and its cut with z = 0 lies inside A: both ends come from B, Y1 on
    // B's side 1-2 first, then Y2 on its side 0-2.
    {"B pierces A",
     Flat,
     {{{0.25, 0.5, -1}, {1.25, 0.5, -1}, {0.75, 0.5, 1}}},
     {-2.5, 0.25},
     {-2.75, 0.25},
     {2.5, 0.5},
     {2, 0.5}},
    // The same pair the other way round: both ends come from A's border, X1 then X2.
    {"A pierces B",
     {{{0.25, 0.5, -1}, {1.25, 0.5, -1}, {0.75, 0.5, 1}}},
     Flat,
     {2.5 - 5, 0.5},
     {2 - 5, 0.5},
     {-2.5 + 5, 0.25},
     {-2.75 + 5, 0.25}},
    // The cut runs from A's border (x = 0) into A: one end from each triangle, X2 before Y1.
    {"overlapping cuts",
     Flat,
     {{{-1, 0.5, -1}, {1, 0.5, -1}, {0, 0.5, 1}}},
     {-3, 0.25},
     {-2.75, 0.25},
     {2.25, 0.5},
     {2.5, 0.5}},
};

TEST(TrianglesPair, CleanCrossingAtTheLastDepth) {
  for (const CrossingCase &c : Crossings) {
    CalcDib dib;
    dib.TestTrianglePair({}, Prepared(CornersA, c.a), Prepared(CornersB, c.b),
                         CalcDib::RefineDepth);
    ASSERT_EQ(dib.Segments().size(), 2u) << c.name;
    ExpectSameSegment(dib.Segments()[0], c.a1, c.a2, c.name + " in A");
    ExpectSameSegment(dib.Segments()[1], c.b1, c.b2, c.name + " in B");
    EXPECT_EQ(dib.Statistics().PairsRefined, 0u);
  }
}

// Stored ends lie in the D of the run: an end that rounding puts a unit in the last place
// outside goes onto the border, a pair with an end farther out is not stored.
TEST(TrianglesPair, EndsOutsideDAreMovedOntoItOrRefused) {
  const CrossingCase &c = Crossings[0]; // ends u from -2.75 to 2.5, v from 0.25 to 0.5
  AffinePair map{c.a, c.b};
  const double justInside = std::nextafter(-2.75, 0.0);
  const struct {
    Vector2 low;
    std::size_t segments;
  } cases[] = {{{-2.75, 0.25}, 2}, {{justInside, 0.25}, 2}, {{-2.7, 0.25}, 0}};
  for (const auto &[low, segments] : cases) {
    CalcDib dib;
    dib.BuildTriangles(map, low, {2.5, 0.5});
    dib.TestTrianglePair({}, Prepared(CornersA, c.a), Prepared(CornersB, c.b),
                         CalcDib::RefineDepth);
    ASSERT_EQ(dib.Segments().size(), segments) << low[0];
    if (segments == 0)
      continue;
    ExpectSameSegment(dib.Segments()[0], c.a1, {low[0], c.a2[1]}, c.name);
    EXPECT_EQ(dib.Segments()[0].u2, low[0]);
    ExpectSameSegment(dib.Segments()[1], c.b1, c.b2, c.name);
  }
}

// From the top, the refined pieces tile the segment of the last depth: every piece lies on it and
// their lengths add up to it. The corners are moved off the round numbers above, where crossings
// of sub-triangles coincide exactly and fall on borders, which the strict inside test rejects.
TEST(TrianglesPair, RefinedCrossingTilesTheSegment) {
  const Vector3 shift0{1e-3, 0, -1e-3}, shift1{0, 1.3e-3, -1e-3}, shift2{-0.7e-3, 0, 2e-3};
  for (const CrossingCase &c : Crossings) {
    Images b = c.b;
    for (int i = 0; i < 3; ++i) {
      b[0][i] += shift0[i];
      b[1][i] += shift1[i];
      b[2][i] += shift2[i];
    }
    AffinePair map{c.a, b};
    const TDomainTriangle A = Prepared(CornersA, c.a), B = Prepared(CornersB, b);
    CalcDib whole;
    whole.TestTrianglePair({}, A, B, CalcDib::RefineDepth);
    ASSERT_EQ(whole.Segments().size(), 2u) << c.name;
    CalcDib dib;
    dib.TestTrianglePair(map, A, B, 0);
    const auto segments = dib.Segments();
    ASSERT_GE(segments.size(), 4u) << c.name;
    ASSERT_EQ(segments.size() % 2, 0u);
    EXPECT_GT(dib.Statistics().PairsRefined, 0u);
    for (std::size_t half = 0; half < 2; ++half) {
      const TLocusSegment &w = whole.Segments()[half];
      const Vector2 p{w.u1, w.v1}, q{w.u2, w.v2};
      const double length = std::hypot(q[0] - p[0], q[1] - p[1]);
      double total = 0;
      for (std::size_t i = half; i < segments.size(); i += 2) {
        const TLocusSegment &s = segments[i];
        for (const Vector2 &e : {Vector2{s.u1, s.v1}, Vector2{s.u2, s.v2}}) {
          const double cross = (q[0] - p[0]) * (e[1] - p[1]) - (q[1] - p[1]) * (e[0] - p[0]);
          EXPECT_NEAR(cross / length, 0, 1e-12) << c.name;
          const double along =
              ((e[0] - p[0]) * (q[0] - p[0]) + (e[1] - p[1]) * (q[1] - p[1])) / length;
          EXPECT_GE(along, -1e-12) << c.name;
          EXPECT_LE(along, length + 1e-12) << c.name;
        }
        total += std::hypot(s.u2 - s.u1, s.v2 - s.v1);
      }
      EXPECT_NEAR(total, length, 1e-12) << c.name << " half " << half;
    }
  }
}

// B's corner Q0 lies delta above or below A's plane; B's other corners lie on opposite sides.
TEST(TrianglesPair, CornerOnThePlaneAtTheLastDepth) {
  struct Case {
    double delta;
    bool onPlane;
  };
  const std::vector<Case> cases{{0, true},      {5e-11, true},   {-5e-11, true}, {1e-10, true},
                                {2e-10, false}, {-2e-10, false}, {1e-9, false}};
  for (const Case &c : cases) {
    const Images B{{{0.5, 0.5, c.delta}, {1, 0.2, 1}, {1, 0.8, -1}}};
    for (int depth = 0; depth <= CalcDib::RefineDepth; ++depth) {
      AffinePair map{Flat, B};
      CalcDib dib;
      dib.TestTrianglePair(map, Prepared(CornersA, Flat), Prepared(CornersB, B), depth);
      if (depth < CalcDib::RefineDepth) {
        EXPECT_GE(dib.Statistics().PairsRefined, 1u) << c.delta << " depth " << depth;
      } else if (c.onPlane) {
        EXPECT_EQ(dib.Segments().size(), 0u) << c.delta;
        EXPECT_EQ(dib.Statistics().PairsRefined, 0u);
      } else {
        ASSERT_EQ(dib.Segments().size(), 2u) << c.delta;
        const TLocusSegment &inA = dib.Segments()[0];
        // from near (0.5, 0.5) to (1, 0.5) in the image, s = x / 2, t = y / 2 in A
        EXPECT_NEAR(std::min(inA.u1, inA.u2), -3 + 0.25, 1e-8);
        EXPECT_NEAR(std::max(inA.u1, inA.u2), -3 + 0.5, 1e-8);
        EXPECT_NEAR(inA.v1, 0.25, 1e-8);
        EXPECT_NEAR(inA.v2, 0.25, 1e-8);
      }
    }
  }
}

// Finite corners so far apart that B's duals overflow: the crossing cannot be located, and
// nothing that is not a number may be stored.
TEST(TrianglesPair, OverflowingNumbersStoreNothing) {
  const Images A{{{9e307, 0, -1}, {9e307, 1, 1}, {9e307, -1, 1}}};
  const Images B{{{0, 0, 0}, {1.7e308, 0, 0}, {0, 1e-160, 0}}};
  for (bool swapped : {false, true}) {
    CalcDib dib;
    const TDomainTriangle TA = Prepared(CornersA, swapped ? B : A);
    const TDomainTriangle TB = Prepared(CornersB, swapped ? A : B);
    ASSERT_FALSE(TA.Degenerate);
    ASSERT_FALSE(TB.Degenerate);
    dib.TestTrianglePair({}, TA, TB, CalcDib::RefineDepth);
    for (const TLocusSegment &s : dib.Segments())
      EXPECT_TRUE(std::isfinite(s.u1) && std::isfinite(s.v1) && std::isfinite(s.u2) &&
                  std::isfinite(s.v2));
  }
}

TEST(TrianglesSegments, PairsAreStoredInOrderAndTheListGrows) {
  CalcDib dib;
  EXPECT_EQ(dib.LastSegmentIndex(), -1);
  for (int i = 0; i < 700; ++i) {
    const double x = i;
    dib.AddSegmentPair({Vector2{x, 1}, Vector2{x, 2}, Vector2{x, 3}, Vector2{x, 4}});
  }
  ASSERT_EQ(dib.LastSegmentIndex(), 1399);
  for (int i = 0; i < 700; ++i) {
    const double x = i;
    EXPECT_EQ(dib.Segments()[2 * i], (TLocusSegment{x, 1, x, 3}));
    EXPECT_EQ(dib.Segments()[2 * i + 1], (TLocusSegment{x, 2, x, 4}));
  }
  dib.ClearSegments();
  EXPECT_TRUE(dib.Segments().empty());
}

} // namespace
} // namespace tandor
