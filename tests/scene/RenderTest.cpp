// The renderer without a display: pictures drawn through EGL on Mesa's surfaceless platform and
// read back. No context means a failure, never a skip: CI installs what these tests need.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "SceneTestSupport.h"
#include "scene/HeadlessGl.h"
#include "scene/SceneMaths.h"
#include "scene/SceneRenderer.h"
#include "scene/SurfacePicking.h"

namespace tandor::test {
namespace {

constexpr double Pi = std::numbers::pi;
constexpr double Degree = Pi / 180.0;

bool Near(Rgb a, Rgb b, int tolerance) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
         std::abs(a.b - b.b) <= tolerance;
}

// The tints survive any lighting in the order of their channels.
bool IsFrontShade(Rgb c) {
  return c.r > c.b + 25 && c.g > c.b + 10;
}
bool IsBackShade(Rgb c) {
  return c.g > c.r + 10 && c.b > c.r + 10;
}

template <class Test> double Share(const RgbaImage &image, Test test) {
  int count = 0;
  for (int y = 0; y < image.Height; ++y)
    for (int x = 0; x < image.Width; ++x)
      count += test(image.At(x, y)) ? 1 : 0;
  return static_cast<double>(count) / (image.Width * image.Height);
}

// Whether a pixel near (x, y) has the colour.
bool ColourNear(const RgbaImage &image, Vector2 pixel, Rgb colour, int tolerance) {
  const int cx = static_cast<int>(pixel[0]), cy = static_cast<int>(pixel[1]);
  for (int y = cy - 1; y <= cy + 1; ++y)
    for (int x = cx - 1; x <= cx + 1; ++x)
      if (x >= 0 && y >= 0 && x < image.Width && y < image.Height &&
          Near(image.At(x, y), colour, tolerance))
        return true;
  return false;
}

class HeadlessRender : public ::testing::Test {
protected:
  void SetUp() override {
    try {
      Gl = std::make_unique<HeadlessGl>();
      Renderer = std::make_unique<SceneRenderer>();
    } catch (const SceneError &e) {
      FAIL() << "no OpenGL 3.3 core context without a display: " << e.what();
    }
  }
  void TearDown() override {
    Renderer.reset();
    Gl.reset();
  }

  RgbaImage Render(const SurfaceScene &scene, const Camera &camera, const ViewOptions &options,
                   int width = 300, int height = 300) {
    OffscreenTarget target(width, height);
    Renderer->Upload(scene);
    target.Bind();
    Renderer->Render(camera, options, width, height);
    return target.Read();
  }

  static SurfaceScene AnalyticScene(AnalyticMap map, Vector2 low, Vector2 high) {
    SurfaceScene scene;
    BuildSurfaceMesh(map, low, high, DefaultMeshQuads, scene.Mesh);
    return scene;
  }

  std::unique_ptr<HeadlessGl> Gl;
  std::unique_ptr<SceneRenderer> Renderer;
};

TEST_F(HeadlessRender, AClosedSphereCoversTheMiddleAndShowsOneSideOnly) {
  SurfaceScene outward = AnalyticScene(UnitSphere(), {-Pi, -Pi / 2}, {Pi, Pi / 2});
  Camera camera;
  camera.Frame(outward.Mesh);
  const ViewOptions noAxes{.Axes = false};
  const RgbaImage front = Render(outward, camera, noAxes);
  EXPECT_TRUE(IsFrontShade(front.At(150, 150)));
  EXPECT_EQ(front.At(298, 1), SceneColours::Background);
  EXPECT_GT(Share(front, IsFrontShade), 0.15);
  EXPECT_EQ(Share(front, IsBackShade), 0.0);

  // The same sphere parametrised the other way round turns its back to the viewer.
  SurfaceScene inward = AnalyticScene(InsideOutSphere(), {-Pi / 2, -Pi}, {Pi / 2, Pi});
  const RgbaImage back = Render(inward, camera, noAxes);
  EXPECT_TRUE(IsBackShade(back.At(150, 150)));
  EXPECT_GT(Share(back, IsBackShade), 0.15);
  EXPECT_EQ(Share(back, IsFrontShade), 0.0);
}

TEST_F(HeadlessRender, ABowlSeenFromAboveShowsBothTints) {
  SurfaceScene bowl = AnalyticScene(UnitSphere(), {-Pi, -Pi / 2}, {Pi, 0});
  Camera camera;
  camera.Frame(bowl.Mesh);
  camera.SetDirection(0, 35 * Degree);
  const RgbaImage image = Render(bowl, camera, {.Axes = false});
  EXPECT_GT(Share(image, IsFrontShade), 0.05); // the outside below the rim
  EXPECT_GT(Share(image, IsBackShade), 0.05);  // the inside
}

TEST_F(HeadlessRender, QuadsWithoutAnImageLeaveAHole) {
  AnalyticMap holed{[](double u, double v) {
                      const double z = u * u + v * v < 0.25 ? std::nan("") : 0.0;
                      return Vector3{u, v, z};
                    },
                    [](double, double) {
                      return Vector3{1, 0, 0};
                    },
                    [](double, double) {
                      return Vector3{0, 1, 0};
                    }};
  SurfaceScene scene = AnalyticScene(holed, {-1, -1}, {1, 1});
  Camera camera;
  camera.Frame(scene.Mesh);
  camera.SetDirection(0, 89 * Degree);
  const RgbaImage image = Render(scene, camera, {.Wireframe = false});
  EXPECT_EQ(image.At(150, 150), SceneColours::Background);
  Vector2 ring;
  camera.Project({0.75, 0.0, 0.0}, 300, 300, ring);
  EXPECT_TRUE(IsFrontShade(image.At(static_cast<int>(ring[0]), static_cast<int>(ring[1]))));
}

TEST_F(HeadlessRender, TheWireframeAndTheAxesCanBeSwitchedOff) {
  SurfaceScene sphere = AnalyticScene(UnitSphere(), {-Pi, -Pi / 2}, {Pi, Pi / 2});
  Camera camera;
  camera.Frame(sphere.Mesh);
  const RgbaImage with = Render(sphere, camera, {});
  const RgbaImage without = Render(sphere, camera, {.Wireframe = false, .Axes = false});
  // The grid lines darken the shading; nothing else differs on the surface.
  int darker = 0, surface = 0;
  for (int y = 0; y < 200; ++y)
    for (int x = 100; x < 300; ++x) {
      const Rgb a = with.At(x, y), b = without.At(x, y);
      surface += IsFrontShade(b) ? 1 : 0;
      darker += a.r + 40 < b.r && a.g + 40 < b.g ? 1 : 0;
      ASSERT_LE(a.r, b.r + 1) << x << "," << y;
    }
  EXPECT_GT(darker, surface / 20);

  // The axes sit in the lower left corner in their three colours.
  auto inCorner = [&](const RgbaImage &image, Rgb colour) {
    for (int y = 220; y < 300; ++y)
      for (int x = 0; x < 80; ++x)
        if (Near(image.At(x, y), colour, 40))
          return true;
    return false;
  };
  for (Rgb axis : SceneColours::Axes) {
    EXPECT_TRUE(inCorner(with, axis));
    EXPECT_FALSE(inCorner(without, axis));
  }
}

TEST_F(HeadlessRender, TheMarkerSitsWherePickingFindsItsParameter) {
  using std::cos, std::sin;
  AnalyticMap wave{[](double u, double v) {
                     return Vector3{u, v, 0.3 * sin(2 * u) * cos(v)};
                   },
                   [](double u, double v) {
                     return Vector3{1, 0, 0.6 * cos(2 * u) * cos(v)};
                   },
                   [](double u, double v) {
                     return Vector3{0, 1, -0.3 * sin(2 * u) * sin(v)};
                   }};
  SurfaceScene scene = AnalyticScene(wave, {-1, -1}, {1, 1});
  Camera camera;
  camera.Frame(scene.Mesh);
  camera.SetDirection(-40 * Degree, 50 * Degree);
  for (const Vector2 uv : {Vector2{0.3, -0.4}, Vector2{-0.7, 0.6}, Vector2{0.0, 0.0}}) {
    ViewOptions options;
    options.Axes = false;
    options.ShowMarker = true;
    options.Marker = wave.F(uv[0], uv[1]);
    const RgbaImage image = Render(scene, camera, options, 400, 400);
    double sx = 0, sy = 0;
    int n = 0;
    for (int y = 0; y < 400; ++y)
      for (int x = 0; x < 400; ++x)
        if (Near(image.At(x, y), SceneColours::Marker, 60) && image.At(x, y).r > 150) {
          sx += x + 0.5;
          sy += y + 0.5;
          ++n;
        }
    ASSERT_GT(n, 10) << "no marker drawn";
    // Half the sphere is under the surface; what shows is its upper cap, a little off the centre.
    Vector2 projected;
    ASSERT_TRUE(camera.Project(options.Marker, 400, 400, projected));
    EXPECT_NEAR(sx / n, projected[0], 3.0);
    EXPECT_NEAR(sy / n, projected[1], 3.0);
    const SurfacePick pick = PickSurface(scene.Mesh, camera, projected[0], projected[1], 400, 400);
    ASSERT_TRUE(pick.Hit);
    EXPECT_NEAR(pick.Parameter[0], uv[0], 2e-3);
    EXPECT_NEAR(pick.Parameter[1], uv[1], 2e-3);
  }
}

TEST_F(HeadlessRender, SingularPointsShowInTheirKindsColour) {
  SurfaceScene scene = AnalyticScene(UnitSphere(), {-Pi, -Pi / 2}, {Pi, Pi / 2});
  Camera camera;
  camera.Frame(scene.Mesh);
  const Vector3 towardsEye = Normalised(camera.Eye() - camera.Centre);
  scene.SingularPoints = {{towardsEye, SingularPointKind::CrossCap}};
  RgbaImage image = Render(scene, camera, {.Wireframe = false});
  auto colourAtCentre = [&](Rgb colour) { return ColourNear(image, {150, 150}, colour, 30); };
  EXPECT_TRUE(colourAtCentre(SceneColours::CrossCap));
  scene.SingularPoints[0].Kind = SingularPointKind::TriplePoint;
  image = Render(scene, camera, {.Wireframe = false});
  EXPECT_TRUE(colourAtCentre(SceneColours::TriplePoint));
}

// F(L) of a computed problem, in the method's colour wherever it is in sight.
void ExpectCurveAlongItsImage(const RgbaImage &image, const SurfaceScene &scene,
                              const Camera &camera) {
  int visible = 0, shown = 0;
  const double near = 0.01 * scene.Mesh.Bounds.Radius();
  for (const Vector3 &p : scene.Curve.Points) {
    Vector2 pixel;
    if (!camera.Project(p, image.Width, image.Height, pixel))
      continue;
    const SurfacePick pick =
        PickSurface(scene.Mesh, camera, pixel[0], pixel[1], image.Width, image.Height);
    if (!pick.Hit || Length(pick.Point - p) > near)
      continue; // behind a sheet
    ++visible;
    // The very pixel: a line that sank into the sheets it lies on shows only at its edges.
    const Rgb colour = image.At(static_cast<int>(pixel[0]), static_cast<int>(pixel[1]));
    shown += Near(colour, scene.CurveColour, 12) ? 1 : 0;
  }
  EXPECT_GT(visible, 20);
  EXPECT_GE(shown, 0.9 * visible) << shown << " of " << visible;
}

TEST_F(HeadlessRender, TheDoubleCurveShowsInTheMethodsColourWhereFOfLProjects) {
  struct Case {
    DataLineArray Problem;
    int Method;
    Rgb Colour;
  } cases[] = {{FigureEightCylinder(), 0, {0, 0, 255}},
               {FigureEightCylinder(), 1, {255, 0, 255}},
               {DefaultProblem(), 0, {255, 170, 136}}};
  for (const Case &c : cases) {
    ComputedProblem problem;
    ASSERT_EQ(problem.Compute(c.Problem, c.Method), "");
    SurfaceScene scene;
    problem.Build(scene);
    EXPECT_EQ(scene.CurveColour, c.Colour);
    ASSERT_FALSE(scene.Curve.Points.empty());
    Camera camera;
    camera.Frame(scene.Mesh);
    const RgbaImage image = Render(scene, camera, {}, 400, 400);
    ExpectCurveAlongItsImage(image, scene, camera);

    // Without the curve its colour is nowhere.
    scene.Curve.Clear();
    const RgbaImage bare = Render(scene, camera, {}, 400, 400);
    EXPECT_EQ(Share(bare, [&](Rgb p) { return Near(p, c.Colour, 12); }), 0.0);
  }
}

} // namespace
} // namespace tandor::test
