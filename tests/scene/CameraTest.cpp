// The camera's orbit and projection, and picking: the way from a pixel back to (u, v).

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "SceneTestSupport.h"
#include "scene/Camera.h"
#include "scene/SceneMaths.h"
#include "scene/SurfacePicking.h"

namespace tandor::test {
namespace {

constexpr double Degree = std::numbers::pi / 180.0;

double DistanceToRay(const Ray &ray, const Vector3 &p) {
  const Vector3 d = p - ray.Origin;
  return Length(d - Dot(d, ray.Direction) * ray.Direction);
}

Box3 SomeBox() {
  Box3 box;
  box.Low = {-3, 1, 10};
  box.High = {5, 2, 14};
  box.Empty = false;
  return box;
}

TEST(Camera, HomeLooksAtTheBoxCentreAndShowsAllOfIt) {
  for (const auto &[width, height] : {std::pair{500, 500}, {800, 300}, {300, 800}}) {
    Camera camera;
    camera.Frame(SomeBox());
    Vector2 pixel;
    ASSERT_TRUE(camera.Project(SomeBox().Centre(), width, height, pixel));
    EXPECT_NEAR(pixel[0], width / 2.0, 1e-9);
    EXPECT_NEAR(pixel[1], height / 2.0, 1e-9);
    for (int corner = 0; corner < 8; ++corner) {
      const Box3 b = SomeBox();
      const Vector3 p{corner & 1 ? b.High[0] : b.Low[0], corner & 2 ? b.High[1] : b.Low[1],
                      corner & 4 ? b.High[2] : b.Low[2]};
      ASSERT_TRUE(camera.Project(p, width, height, pixel));
      EXPECT_GT(pixel[0], 0.0);
      EXPECT_LT(pixel[0], width);
      EXPECT_GT(pixel[1], 0.0);
      EXPECT_LT(pixel[1], height);
    }
  }
}

TEST(Camera, ZIsUpAndTheDefaultViewLooksDownOnTheSurface) {
  Camera camera;
  camera.Frame(SomeBox());
  Vector2 centre, above;
  camera.Project(SomeBox().Centre(), 400, 400, centre);
  camera.Project(SomeBox().Centre() + Vector3{0, 0, 1}, 400, 400, above);
  EXPECT_NEAR(above[0], centre[0], 1e-9);
  EXPECT_LT(above[1], centre[1]);
  EXPECT_GT(camera.Eye()[2], SomeBox().Centre()[2]);
}

TEST(Camera, ARayThroughAPointsPixelPassesThroughThePoint) {
  std::mt19937 random(3);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  Camera camera;
  camera.Frame(SomeBox());
  for (int trial = 0; trial < 200; ++trial) {
    camera.SetDirection(unit(random) * 360 * Degree, (unit(random) * 170 - 85) * Degree);
    camera.Zoom(unit(random) * 4 - 2);
    camera.Pan(unit(random) * 50, unit(random) * 50, 640, 360);
    const Vector3 p{-3 + 8 * unit(random), 1 + unit(random), 10 + 4 * unit(random)};
    Vector2 pixel;
    if (!camera.Project(p, 640, 360, pixel))
      continue;
    const Ray ray = camera.RayThrough(pixel[0], pixel[1], 640, 360);
    EXPECT_NEAR(Length(ray.Direction), 1.0, 1e-12);
    EXPECT_GT(Dot(p - ray.Origin, ray.Direction), 0.0);
    EXPECT_LT(DistanceToRay(ray, p), 1e-9 * camera.Distance) << trial;
  }
}

TEST(Camera, OrbitZoomAndPanMoveAsTheMouseDoesAndHomeUndoesThem) {
  Camera camera;
  camera.Frame(SomeBox());
  const Camera home = camera;

  camera.Orbit(40, 0);
  EXPECT_NEAR(camera.Yaw, home.Yaw - 40 * Camera::RadiansPerPixel, 1e-12);
  camera.Orbit(0, 1e6); // no further than straight above
  EXPECT_DOUBLE_EQ(camera.Pitch, Camera::MaxPitch);
  camera.Zoom(3);
  EXPECT_NEAR(camera.Distance, home.Distance * std::pow(Camera::ZoomStep, 3), 1e-9);
  camera.Zoom(-1000);
  EXPECT_DOUBLE_EQ(camera.Distance, 200 * camera.Radius);
  camera.Zoom(1000);
  EXPECT_DOUBLE_EQ(camera.Distance, 0.02 * camera.Radius);

  // What was under the mouse stays under it.
  camera.Home();
  Vector2 before, after;
  const Vector3 centre = SomeBox().Centre();
  camera.Project(centre, 400, 300, before);
  camera.Pan(25, -10, 400, 300);
  camera.Project(centre, 400, 300, after);
  EXPECT_NEAR(after[0] - before[0], 25, 1e-9);
  EXPECT_NEAR(after[1] - before[1], -10, 1e-9);

  camera.Home();
  EXPECT_EQ(camera.Yaw, home.Yaw);
  EXPECT_EQ(camera.Pitch, home.Pitch);
  EXPECT_EQ(camera.Distance, home.Distance);
  EXPECT_EQ(camera.PanOffset, home.PanOffset);
}

// A surface that grows about a moved centre looks the same after Reframe: every point lands on
// the pixel its counterpart had, whatever the user had done to the view.
TEST(Camera, ReframeKeepsTheViewOfAScaledAndMovedSurface) {
  const Box3 box = SomeBox();
  const Vector3 shift{7, -2, 0.5};
  constexpr double scale = 2.5;
  Box3 grown;
  grown.Empty = false;
  grown.Low = box.Centre() + shift + scale * (box.Low - box.Centre());
  grown.High = box.Centre() + shift + scale * (box.High - box.Centre());

  Camera camera;
  camera.Frame(box);
  camera.Orbit(-70, 35);
  camera.Zoom(4);
  camera.Pan(30, 12, 640, 480);
  Camera reframed = camera;
  reframed.Reframe(grown);
  std::mt19937 random(5);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  for (int i = 0; i < 50; ++i) {
    const Vector3 offset{unit(random), unit(random), unit(random)};
    const Vector3 p = box.Centre() + 3.0 * offset;
    const Vector3 q = grown.Centre() + scale * (p - box.Centre());
    Vector2 before, after;
    ASSERT_TRUE(camera.Project(p, 640, 480, before));
    ASSERT_TRUE(reframed.Project(q, 640, 480, after));
    EXPECT_NEAR(after[0], before[0], 1e-6);
    EXPECT_NEAR(after[1], before[1], 1e-6);
  }
  // Home then shows the new surface as Frame would.
  reframed.Home();
  Camera framed;
  framed.Frame(grown);
  EXPECT_NEAR(reframed.Distance, framed.Distance, 1e-9);
  EXPECT_EQ(reframed.Yaw, framed.Yaw);
}

// z = 0.3 sin(2u) cos(v) over [-1, 1]^2: a graph, all of it in sight from above.
AnalyticMap Wave() {
  using std::cos, std::sin;
  return {[](double u, double v) {
            return Vector3{u, v, 0.3 * sin(2 * u) * cos(v)};
          },
          [](double u, double v) {
            return Vector3{1, 0, 0.6 * cos(2 * u) * cos(v)};
          },
          [](double u, double v) {
            return Vector3{0, 1, -0.3 * sin(2 * u) * sin(v)};
          }};
}

TEST(SurfacePicking, PickingReturnsTheParameterThatWasProjected) {
  AnalyticMap wave = Wave();
  SurfaceMesh mesh;
  BuildSurfaceMesh(wave, {-1, -1}, {1, 1}, DefaultMeshQuads, mesh);
  Camera camera;
  camera.Frame(mesh);
  camera.SetDirection(-30 * Degree, 55 * Degree);
  std::mt19937 random(12);
  std::uniform_real_distribution<double> inside(-0.95, 0.95);
  for (int trial = 0; trial < 100; ++trial) {
    const double u = inside(random), v = inside(random);
    Vector2 pixel;
    ASSERT_TRUE(camera.Project(wave.F(u, v), 500, 500, pixel));
    const SurfacePick pick = PickSurface(mesh, camera, pixel[0], pixel[1], 500, 500);
    ASSERT_TRUE(pick.Hit) << u << ", " << v;
    // Within a small part of one grid step (2/160): the mesh is flat across a quad.
    EXPECT_NEAR(pick.Parameter[0], u, 2e-3);
    EXPECT_NEAR(pick.Parameter[1], v, 2e-3);
    EXPECT_LT(Length(pick.Point - wave.F(u, v)), 2e-3);
  }
  EXPECT_FALSE(PickSurface(mesh, camera, 2, 2, 500, 500).Hit);
}

TEST(SurfacePicking, TheNearerSheetIsPicked) {
  // Two sheets of a folded strip, z = +-1 over the same square, seen from above.
  AnalyticMap fold{[](double u, double v) {
                     return Vector3{std::fabs(u), v, u > 0 ? 1.0 : -1.0};
                   },
                   [](double u, double) {
                     return Vector3{u > 0 ? 1.0 : -1.0, 0, 0};
                   },
                   [](double, double) {
                     return Vector3{0, 1, 0};
                   }};
  SurfaceMesh mesh;
  BuildSurfaceMesh(fold, {-1, -1}, {1, 1}, 20, mesh);
  Camera camera;
  camera.Frame(mesh);
  camera.SetDirection(0, 80 * Degree);
  Vector2 pixel;
  // A vertex of the mesh: the ray must not slip between the triangles that share it.
  camera.Project({0.5, 0.25, 1.0}, 300, 300, pixel);
  const SurfacePick top = PickSurface(mesh, camera, pixel[0], pixel[1], 300, 300);
  ASSERT_TRUE(top.Hit);
  EXPECT_NEAR(top.Parameter[0], 0.5, 1e-9);
  EXPECT_NEAR(top.Parameter[1], 0.25, 1e-9);
  camera.SetDirection(0, -80 * Degree);
  camera.Project({0.5, 0.25, -1.0}, 300, 300, pixel);
  const SurfacePick bottom = PickSurface(mesh, camera, pixel[0], pixel[1], 300, 300);
  ASSERT_TRUE(bottom.Hit);
  EXPECT_NEAR(bottom.Parameter[0], -0.5, 1e-9);
}

} // namespace
} // namespace tandor::test
