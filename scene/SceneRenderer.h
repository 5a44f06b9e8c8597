#pragma once
// SceneRenderer, ViewOptions, SceneColours: the one renderer of the 3D view, OpenGL 3.3 core with
// its functions loaded by libepoxy. The window hosts it in its OpenGL widget; export, tandor-cli
// and the tests in a display-less EGL context (scene/HeadlessGl.h). It draws into whatever
// framebuffer is bound.

#include <array>
#include <cstdint>
#include <vector>

#include "scene/Camera.h"
#include "scene/SceneError.h"
#include "scene/SurfaceScene.h"
#include "solvers/Canvas.h"

namespace tandor {

struct SceneColours {
  static constexpr Rgb Background{255, 255, 255};
  // Two tints far apart in hue, so that the sheets that cross can be told apart, and far from
  // every method's colour, so that the double curve stands out on both.
  static constexpr Rgb FrontTint{236, 190, 92};
  static constexpr Rgb BackTint{150, 196, 190};
  static constexpr Rgb Wire{30, 30, 30};
  static constexpr Rgb CurveRim{50, 50, 50};
  static constexpr Rgb Marker{220, 20, 60};
  static constexpr Rgb HiddenMarker{240, 160, 180}; // the marker's part behind a sheet
  static constexpr Rgb CrossCap{25, 25, 25};
  static constexpr Rgb TriplePoint{0, 150, 150};
  static constexpr std::array<Rgb, 3> Axes{Rgb{200, 40, 40}, Rgb{30, 150, 30}, Rgb{40, 60, 220}};
};

struct ViewOptions {
  bool Wireframe = true;
  bool Axes = true;
  bool ShowMarker = false;
  Vector3 Marker{};        // a point in space, e.g. F(u, v) under the mouse in the 2D picture
  double CurveWidth = 4.0; // pixels
};

class SceneRenderer {
public:
  // Needs a current OpenGL 3.3 core context, which must also be current when the renderer is
  // used and destroyed. Throws SceneError when a program does not build.
  SceneRenderer();
  ~SceneRenderer();
  SceneRenderer(const SceneRenderer &) = delete;
  SceneRenderer &operator=(const SceneRenderer &) = delete;

  // Copies the scene to the GPU; call again after every change of the scene.
  void Upload(const SurfaceScene &scene);
  // Draws the uploaded scene over the viewport (0, 0, width, height) of the bound framebuffer.
  void Render(const Camera &camera, const ViewOptions &options, int width, int height);

private:
  struct SurfaceProgram {
    unsigned Id = 0;
    int ModelView = -1, Projection = -1, FrontTint = -1, BackTint = -1, WireSpacing = -1,
        WireColour = -1;
  };
  struct LineProgram {
    unsigned Id = 0;
    int ModelView = -1, Projection = -1, Viewport = -1, HalfWidth = -1, TowardEye = -1, Colour = -1;
  };
  // One instanced segment list: (from, to) per instance.
  struct SegmentBuffer {
    unsigned Vao = 0, Vbo = 0;
    int Count = 0;
  };
  // The axes and their letters, made anew every frame in a buffer of fixed size.
  static constexpr int MaxOverlaySegments = 32;

  void BuildPrograms();
  void MakeSurfaceBuffers();
  void MakeSphere();
  static void MakeSegmentBuffer(SegmentBuffer &buffer);
  void DrawSurface(const Matrix4 &view, const Matrix4 &projection, bool wireframe);
  void DrawMarker(const Matrix4 &view, const Matrix4 &projection, const Vector3 &centre);
  void DrawSphere(const Matrix4 &view, const Matrix4 &projection, const Vector3 &centre,
                  double radius, Rgb colour);
  void DrawCurve(const Camera &camera, const Matrix4 &view, const Matrix4 &projection, int width,
                 int height, double curveWidth);
  void DrawAxes(const Matrix4 &view, int width, int height);
  void DrawOverlay(int size, double halfWidth, Rgb colour);
  void DrawSegments(const SegmentBuffer &buffer, int count, const Matrix4 &modelView,
                    const Matrix4 &projection, int width, int height, double halfWidth,
                    double towardEye, Rgb colour);

  SurfaceProgram Surface;
  LineProgram Lines;
  unsigned SurfaceVao = 0, SurfaceVbo = 0, SurfaceIbo = 0;
  int SurfaceIndexCount = 0;
  int WireSpacing = 0;
  unsigned SphereVao = 0, SphereVbo = 0, SphereIbo = 0;
  int SphereIndexCount = 0;
  SegmentBuffer Curve, Overlay;
  Rgb CurveColour{};
  Vector3 Origin{}; // the GPU holds positions less this point, so that floats keep their digits
  double SceneRadius = 1.0;
  std::vector<SingularPointImage> SingularPoints;
  std::vector<float> Staging; // kept between uploads
  std::vector<float> OverlayStaging;
};

} // namespace tandor
