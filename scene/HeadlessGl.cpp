// HeadlessGl and OffscreenTarget: EGL on Mesa's surfaceless platform and a framebuffer object to
// read back.

#include "scene/HeadlessGl.h"

#include <epoxy/egl.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace tandor {

namespace {

std::string EglErrorText(const char *what) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%04X", static_cast<unsigned>(eglGetError()));
  return std::string(what) + " (EGL error " + code + ")";
}

bool HasClientExtension(std::string_view name) {
  const char *list = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  if (list == nullptr)
    return false;
  std::string_view rest(list);
  while (!rest.empty()) {
    const std::size_t end = std::min(rest.find(' '), rest.size());
    if (rest.substr(0, end) == name)
      return true;
    rest.remove_prefix(std::min(end + 1, rest.size()));
  }
  return false;
}

EGLDisplay OpenSurfacelessDisplay() {
  if (!HasClientExtension("EGL_MESA_platform_surfaceless") ||
      !HasClientExtension("EGL_EXT_platform_base"))
    throw SceneError("EGL offers no surfaceless platform here: the 3D view needs Mesa's EGL "
                     "(libegl-mesa0, libgl1-mesa-dri)");
  EGLDisplay display =
      eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  if (display == EGL_NO_DISPLAY)
    throw SceneError(EglErrorText("no EGL display on the surfaceless platform"));
  EGLint major = 0, minor = 0;
  if (!eglInitialize(display, &major, &minor))
    throw SceneError(EglErrorText("the surfaceless EGL display does not initialise"));
  return display;
}

EGLContext CreateCoreContext(EGLDisplay display) {
  if (!eglBindAPI(EGL_OPENGL_API))
    throw SceneError(EglErrorText("EGL does not offer desktop OpenGL"));
  const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION,
                               3,
                               EGL_CONTEXT_MINOR_VERSION,
                               3,
                               EGL_CONTEXT_OPENGL_PROFILE_MASK,
                               EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                               EGL_NONE};
  // No surface will ever be made, so no configuration is needed where EGL allows none.
  EGLContext context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
  if (context == EGL_NO_CONTEXT) {
    const EGLint wanted[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    if (eglChooseConfig(display, wanted, &config, 1, &count) && count > 0)
      context = eglCreateContext(display, config, EGL_NO_CONTEXT, attributes);
  }
  if (context == EGL_NO_CONTEXT)
    throw SceneError(EglErrorText("no OpenGL 3.3 core context on the surfaceless display"));
  return context;
}

} // namespace

HeadlessGl::HeadlessGl() {
  EGLDisplay display = OpenSurfacelessDisplay();
  Display = display;
  try {
    Context = CreateCoreContext(display);
  } catch (...) {
    eglTerminate(display);
    throw;
  }
  if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, Context)) {
    const std::string reason = EglErrorText("the OpenGL context cannot be made current");
    eglDestroyContext(display, Context);
    eglTerminate(display);
    throw SceneError(reason);
  }
}

HeadlessGl::~HeadlessGl() {
  eglMakeCurrent(Display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  eglDestroyContext(Display, Context);
  eglTerminate(Display);
}

void HeadlessGl::MakeCurrent() {
  if (!eglMakeCurrent(Display, EGL_NO_SURFACE, EGL_NO_SURFACE, Context))
    throw SceneError(EglErrorText("the OpenGL context cannot be made current"));
}

std::string HeadlessGl::RendererName() const {
  const auto *name = reinterpret_cast<const char *>(glGetString(GL_RENDERER));
  return name ? name : "";
}

OffscreenTarget::OffscreenTarget(int width, int height, int samples) : W(width), H(height) {
  GLint maxSize = 0, maxSamples = 0;
  glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxSize);
  glGetIntegerv(GL_MAX_SAMPLES, &maxSamples);
  if (width < 1 || height < 1 || width > maxSize || height > maxSize)
    throw SceneError("a 3D picture of " + std::to_string(width) + " x " + std::to_string(height) +
                     " pixels is beyond this OpenGL's limit of " + std::to_string(maxSize));
  // Beyond 4096 x 4096 the pixels are small enough without; and the memory would not be.
  const bool large = static_cast<double>(width) * height > 4096.0 * 4096.0;
  samples = large ? 0 : std::clamp(samples, 0, static_cast<int>(maxSamples));
  while (glGetError() != GL_NO_ERROR) {
  }
  glGenRenderbuffers(1, &ColourBuffer);
  glBindRenderbuffer(GL_RENDERBUFFER, ColourBuffer);
  glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_RGBA8, width, height);
  glGenRenderbuffers(1, &DepthBuffer);
  glBindRenderbuffer(GL_RENDERBUFFER, DepthBuffer);
  glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_DEPTH_COMPONENT24, width, height);
  glGenFramebuffers(1, &DrawFramebuffer);
  glBindFramebuffer(GL_FRAMEBUFFER, DrawFramebuffer);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, ColourBuffer);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, DepthBuffer);
  const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  glGenRenderbuffers(1, &ResolveBuffer);
  glBindRenderbuffer(GL_RENDERBUFFER, ResolveBuffer);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
  glGenFramebuffers(1, &ResolveFramebuffer);
  glBindFramebuffer(GL_FRAMEBUFFER, ResolveFramebuffer);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, ResolveBuffer);
  if (!complete || glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    Release();
    throw SceneError("no framebuffer of " + std::to_string(width) + " x " + std::to_string(height) +
                     " pixels can be made");
  }
  glBindFramebuffer(GL_FRAMEBUFFER, DrawFramebuffer);
}

OffscreenTarget::~OffscreenTarget() {
  Release();
}

void OffscreenTarget::Release() {
  const GLuint framebuffers[] = {DrawFramebuffer, ResolveFramebuffer};
  const GLuint renderbuffers[] = {ColourBuffer, DepthBuffer, ResolveBuffer};
  glDeleteFramebuffers(2, framebuffers);
  glDeleteRenderbuffers(3, renderbuffers);
  DrawFramebuffer = ResolveFramebuffer = ColourBuffer = DepthBuffer = ResolveBuffer = 0;
}

void OffscreenTarget::Bind() const {
  glBindFramebuffer(GL_FRAMEBUFFER, DrawFramebuffer);
}

RgbaImage OffscreenTarget::Read() {
  glBindFramebuffer(GL_READ_FRAMEBUFFER, DrawFramebuffer);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, ResolveFramebuffer);
  glBlitFramebuffer(0, 0, W, H, 0, 0, W, H, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, ResolveFramebuffer);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  const std::size_t rowBytes = 4 * static_cast<std::size_t>(W);
  Rows.resize(rowBytes * H);
  glReadPixels(0, 0, W, H, GL_RGBA, GL_UNSIGNED_BYTE, Rows.data());
  Bind();
  RgbaImage image{W, H, std::vector<uint8_t>(Rows.size())};
  for (int y = 0; y < H; ++y)
    std::memcpy(image.Pixels.data() + rowBytes * y, Rows.data() + rowBytes * (H - 1 - y), rowBytes);
  return image;
}

RgbaImage RenderScenePicture(const SurfaceScene &scene, const Camera &camera,
                             const ViewOptions &options, int width, int height) {
  HeadlessGl gl;
  RgbaImage image;
  {
    SceneRenderer renderer;
    OffscreenTarget target(width, height);
    renderer.Upload(scene);
    target.Bind();
    renderer.Render(camera, options, width, height);
    image = target.Read();
  }
  return image;
}

} // namespace tandor
