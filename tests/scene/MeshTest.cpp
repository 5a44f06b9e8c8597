// The mesh of F over D and the robust box that the view frames.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <set>
#include <vector>

#include "SceneTestSupport.h"
#include "scene/RobustBox.h"
#include "scene/SceneMaths.h"
#include "scene/SurfaceMesh.h"

namespace tandor::test {
namespace {

constexpr double Pi = std::numbers::pi;

// F(u, v) = (1 + u + 2v, 3u - v, 2 - u + v): a plane with the normal (2, -3, -7)/sqrt(62)
// computed by hand from (1, 3, -1) x (2, -1, 1).
AnalyticMap Plane() {
  return {[](double u, double v) {
            return Vector3{1 + u + 2 * v, 3 * u - v, 2 - u + v};
          },
          [](double, double) {
            return Vector3{1, 3, -1};
          },
          [](double, double) {
            return Vector3{2, -1, 1};
          }};
}

TEST(SurfaceMesh, APlaneMapsToAPlaneWithOneNormalEverywhere) {
  AnalyticMap plane = Plane();
  SurfaceMesh mesh;
  BuildSurfaceMesh(plane, {-1, -2}, {3, 1}, 40, mesh);

  ASSERT_EQ(mesh.VertexCount(), 41u * 41u);
  EXPECT_EQ(mesh.TriangleCount(), 2u * 40 * 40);
  const Vector3 normal = Normalised(Vector3{2, -3, -7});
  const Vector3 origin{1, 0, 2};
  for (std::size_t k = 0; k < mesh.VertexCount(); ++k) {
    EXPECT_NEAR(Dot(mesh.Positions[k] - origin, normal), 0.0, 1e-12) << k;
    EXPECT_NEAR(Length(mesh.Normals[k] - normal), 0.0, 1e-12) << k;
    const Vector2 uv = mesh.ParameterOf(static_cast<uint32_t>(k));
    EXPECT_NEAR(Length(mesh.Positions[k] - plane.F(uv[0], uv[1])), 0.0, 1e-12);
  }
  // The grid reaches both ends of D exactly.
  EXPECT_EQ(mesh.U(0), -1.0);
  EXPECT_EQ(mesh.U(40), 3.0);
  EXPECT_EQ(mesh.V(40), 1.0);
  // Every triangle turns counter-clockwise about the normal: its front is the normal's side.
  for (std::size_t t = 0; t < mesh.TriangleCount(); ++t) {
    const Vector3 &a = mesh.Positions[mesh.Triangles[3 * t]];
    const Vector3 &b = mesh.Positions[mesh.Triangles[3 * t + 1]];
    const Vector3 &c = mesh.Positions[mesh.Triangles[3 * t + 2]];
    ASSERT_GT(Dot(Cross(b - a, c - a), normal), 0.0) << t;
  }
}

TEST(SurfaceMesh, NormalsOfASpherePointOutwardsEvenAtThePoles) {
  AnalyticMap sphere = UnitSphere();
  SurfaceMesh mesh;
  BuildSurfaceMesh(sphere, {-Pi, -Pi / 2}, {Pi, Pi / 2}, 48, mesh);
  for (std::size_t k = 0; k < mesh.VertexCount(); ++k) {
    ASSERT_NEAR(Length(mesh.Normals[k]), 1.0, 1e-12) << k;
    // At the poles dF/du vanishes and the normal comes from the neighbours.
    EXPECT_GT(Dot(mesh.Normals[k], mesh.Positions[k]), 0.99) << k;
  }
  AnalyticMap inside = InsideOutSphere();
  BuildSurfaceMesh(inside, {-Pi / 2, -Pi}, {Pi / 2, Pi}, 48, mesh);
  for (std::size_t k = 0; k < mesh.VertexCount(); ++k)
    EXPECT_LT(Dot(mesh.Normals[k], mesh.Positions[k]), -0.99) << k;
}

TEST(SurfaceMesh, TheCrossCapsPinchPointStillGetsANormal) {
  AnalyticMap crossCap{[](double u, double v) {
                         return Vector3{u, v * v, u * v};
                       },
                       [](double, double v) {
                         return Vector3{1, 0, v};
                       },
                       [](double u, double v) {
                         return Vector3{0, 2 * v, u};
                       }};
  SurfaceMesh mesh;
  BuildSurfaceMesh(crossCap, {-1, -1}, {1, 1}, 20, mesh);
  const std::size_t pinch = 10 * 21 + 10;
  ASSERT_EQ(mesh.Positions[pinch], (Vector3{0, 0, 0}));
  EXPECT_NEAR(Length(mesh.Normals[pinch]), 1.0, 1e-12);
}

// A plane over [0, 1]^2 that goes wrong at chosen grid vertices.
struct FaultyPlane {
  int Quads;
  std::set<std::pair<int, int>> Bad;
  double BadValue;
  bool IsBad(double u, double v) const {
    return Bad.count({static_cast<int>(std::lround(u * Quads)),
                      static_cast<int>(std::lround(v * Quads))}) > 0;
  }
  double Value(int c, double u, double v) const {
    if (c == 2 && IsBad(u, v))
      return BadValue;
    return c == 0 ? u : c == 1 ? v : 0.0;
  }
  ValueAndDerivative WithDerivative(int c, double u, double v, double du, double dv) const {
    return {Value(c, u, v), c == 0 ? du : c == 1 ? dv : 0.0};
  }
};

TEST(SurfaceMesh, AVertexWithoutAFiniteImageDropsExactlyTheQuadsAroundIt) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    std::pair<int, int> Vertex;
    double Value;
    std::size_t QuadsLeft;
  } cases[] = {
      {{5, 5}, nan, 100 - 4},   // inside: four quads
      {{0, 0}, -inf, 100 - 1},  // a corner: one
      {{10, 4}, 2e24, 100 - 2}, // an edge: two; beyond the guards' value
      {{3, 7}, 1e24, 100},      // the guards' value itself is a value
  };
  for (const Case &c : cases) {
    FaultyPlane plane{10, {c.Vertex}, c.Value};
    SurfaceMesh mesh;
    BuildSurfaceMesh(plane, {0, 0}, {1, 1}, 10, mesh);
    EXPECT_EQ(mesh.TriangleCount(), 2 * c.QuadsLeft) << c.Vertex.first << "," << c.Vertex.second;
  }
}

TEST(SurfaceMesh, KeptTrianglesUseOnlyUsableVerticesWhateverFails) {
  std::mt19937 random(14);
  std::uniform_int_distribution<int> index(0, 16);
  for (int trial = 0; trial < 50; ++trial) {
    FaultyPlane plane{16, {}, std::numeric_limits<double>::quiet_NaN()};
    for (int k = 0; k < trial; ++k)
      plane.Bad.insert({index(random), index(random)});
    SurfaceMesh mesh;
    BuildSurfaceMesh(plane, {0, 0}, {1, 1}, 16, mesh);
    std::size_t wholeQuads = 0;
    for (int j = 0; j < 16; ++j)
      for (int i = 0; i < 16; ++i) {
        wholeQuads += !plane.Bad.count({i, j}) && !plane.Bad.count({i + 1, j}) &&
                      !plane.Bad.count({i, j + 1}) && !plane.Bad.count({i + 1, j + 1});
      }
    EXPECT_EQ(mesh.TriangleCount(), 2 * wholeQuads);
    for (uint32_t vertex : mesh.Triangles)
      ASSERT_TRUE(mesh.Usable[vertex]);
    for (std::size_t k = 0; k < mesh.VertexCount(); ++k) {
      if (mesh.Usable[k]) {
        ASSERT_NEAR(Length(mesh.Normals[k]), 1.0, 1e-12);
      }
    }
  }
}

TEST(SurfaceMesh, ARebuildOfTheSameSizeKeepsItsRoom) {
  AnalyticMap sphere = UnitSphere();
  SurfaceMesh mesh;
  BuildSurfaceMesh(sphere, {-Pi, -1}, {Pi, 1}, 30, mesh);
  const Vector3 *positions = mesh.Positions.data();
  const uint32_t *triangles = mesh.Triangles.data();
  BuildSurfaceMesh(sphere, {-1, -1}, {1, 1}, 30, mesh);
  EXPECT_EQ(mesh.Positions.data(), positions);
  EXPECT_EQ(mesh.Triangles.data(), triangles);
}

TEST(RobustBox, OneHugeValueDoesNotShrinkTheRestToADot) {
  FaultyPlane plane{20, {{7, 9}}, 1e20};
  SurfaceMesh mesh;
  BuildSurfaceMesh(plane, {0, 0}, {1, 1}, 20, mesh);
  ASSERT_TRUE(mesh.Usable[9 * 21 + 7]); // it is drawn, only not framed
  EXPECT_FALSE(mesh.Bounds.Empty);
  EXPECT_EQ(mesh.Bounds.Low, (Vector3{0, 0, 0}));
  EXPECT_EQ(mesh.Bounds.High, (Vector3{1, 1, 0}));
  EXPECT_NEAR(mesh.Bounds.Radius(), std::sqrt(2.0) / 2, 1e-15);
  EXPECT_NEAR(mesh.Reach, std::sqrt(2.0) / 2, 1e-15); // the camera frames the rest only
}

// A narrow spike of the given height on the flat square [-1, 1]^2.
AnalyticMap Spike(double height) {
  return {[height](double u, double v) {
            return Vector3{u, v, height * std::exp(-1000 * (u * u + v * v))};
          },
          [](double, double) {
            return Vector3{1, 0, 0};
          },
          [](double, double) {
            return Vector3{0, 1, 0};
          }};
}

TEST(RobustBox, TheReachCoversATipBeyondThePercentiles) {
  SurfaceMesh mesh;
  AnalyticMap spike = Spike(2.5);
  BuildSurfaceMesh(spike, {-1, -1}, {1, 1}, 40, mesh);
  EXPECT_LT(mesh.Bounds.High[2], 1e-4); // a few vertices of 1681 stand out
  EXPECT_NEAR(mesh.Reach, Length(Vector3{0, 0, 2.5} - mesh.Bounds.Centre()), 1e-12);
}

TEST(RobustBox, KeepsThePercentilesAndLeavesOutWhatIsNotUsable) {
  std::vector<Vector3> points;
  std::vector<unsigned char> usable;
  for (int k = 0; k <= 100; ++k) {
    points.push_back({static_cast<double>(k), -static_cast<double>(k), 5.0});
    usable.push_back(1);
  }
  points.push_back({std::numeric_limits<double>::infinity(), 0.0, 0.0});
  usable.push_back(0);
  std::vector<double> scratch;
  const Box3 box = RobustBox(points, usable, scratch);
  EXPECT_EQ(box.Low, (Vector3{1, -99, 5}));
  EXPECT_EQ(box.High, (Vector3{99, -1, 5}));
  EXPECT_EQ(box.Centre(), (Vector3{50, -50, 5}));

  std::vector<unsigned char> none(points.size(), 0);
  const Box3 empty = RobustBox(points, none, scratch);
  EXPECT_TRUE(empty.Empty);
  EXPECT_EQ(empty.Radius(), 1.0);
}

TEST(DoubleCurve, TracedPairsGiveOnePolylinePerPieceBrokenWhereTheImageFails) {
  FaultyPlane plane{4, {{2, 2}}, std::numeric_limits<double>::quiet_NaN()};
  std::vector<TracePoint> trace{{1, {0.0, 0.0, 0.5, 0.5}}, {0, {0.25, 0.0, 0.5, 0.5}},
                                {0, {0.5, 0.5, 0.0, 0.0}}, {0, {0.75, 0.0, 0.1, 0.1}},
                                {0, {1.0, 0.0, 0.1, 0.1}}, {1, {0.0, 1.0, 0.2, 0.2}},
                                {0, {0.5, 1.0, 0.2, 0.2}}};
  DoubleCurve curve;
  AddTraceImage(plane, trace, curve);
  ASSERT_EQ(curve.PieceCount(), 3u); // the failing point at (0.5, 0.5) splits the first piece
  EXPECT_EQ(curve.PieceStarts, (std::vector<uint32_t>{0, 2, 4}));
  EXPECT_EQ(curve.Points.size(), 6u);
  EXPECT_EQ(curve.Points[2], (Vector3{0.75, 0.0, 0.0}));
  EXPECT_EQ(curve.Parameters[5], (Vector2{0.5, 1.0}));
  EXPECT_EQ(curve.PieceEnd(2), 6u);
}

} // namespace
} // namespace tandor::test
