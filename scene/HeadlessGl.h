#pragma once
// HeadlessGl, OffscreenTarget, RgbaImage, RenderScenePicture: the renderer without any display,
// an OpenGL 3.3 core context on Mesa's surfaceless EGL platform, drawing into a framebuffer
// object whose pixels are read back. tandor-cli, the export and the tests use it; no X server,
// no window system.

#include <cstdint>
#include <string>
#include <vector>

#include "scene/SceneRenderer.h"
#include "solvers/Canvas.h"

namespace tandor {

// 8-bit RGBA, rows from the top.
struct RgbaImage {
  int Width = 0;
  int Height = 0;
  std::vector<uint8_t> Pixels;

  Rgb At(int x, int y) const {
    const std::size_t k = 4 * (static_cast<std::size_t>(y) * Width + x);
    return {Pixels[k], Pixels[k + 1], Pixels[k + 2]};
  }
};

// Made current on the calling thread when created. Throws SceneError with the reason when no
// such context can be had.
class HeadlessGl {
public:
  HeadlessGl();
  ~HeadlessGl();
  HeadlessGl(const HeadlessGl &) = delete;
  HeadlessGl &operator=(const HeadlessGl &) = delete;

  void MakeCurrent();
  std::string RendererName() const; // e.g. "llvmpipe (LLVM 15.0.6, 256 bits)"

private:
  void *Display = nullptr;
  void *Context = nullptr;
};

// A colour and depth target of a fixed size in the current context, multisampled when asked;
// Read resolves it.
class OffscreenTarget {
public:
  OffscreenTarget(int width, int height, int samples = 4);
  ~OffscreenTarget();
  OffscreenTarget(const OffscreenTarget &) = delete;
  OffscreenTarget &operator=(const OffscreenTarget &) = delete;

  void Bind() const;
  RgbaImage Read();
  int Width() const { return W; }
  int Height() const { return H; }

private:
  void Release();

  int W, H;
  unsigned DrawFramebuffer = 0, ColourBuffer = 0, DepthBuffer = 0;
  unsigned ResolveFramebuffer = 0, ResolveBuffer = 0;
  std::vector<uint8_t> Rows; // bottom-up, as OpenGL reads them
};

// One picture of the scene from a fresh context: what tandor-cli and the export write.
RgbaImage RenderScenePicture(const SurfaceScene &scene, const Camera &camera,
                             const ViewOptions &options, int width, int height);

} // namespace tandor
