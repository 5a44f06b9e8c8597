// SceneRenderer: drawing the scene with OpenGL 3.3 core.

#include "scene/SceneRenderer.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "scene/SceneShaders.h"

namespace tandor {

namespace {

using FloatMatrix = std::array<float, 16>;

FloatMatrix ToFloat(const Matrix4 &m) {
  FloatMatrix f{};
  for (std::size_t i = 0; i < 16; ++i)
    f[i] = static_cast<float>(m[i]);
  return f;
}

void SetMatrix(int location, const Matrix4 &m) {
  const FloatMatrix f = ToFloat(m);
  glUniformMatrix4fv(location, 1, GL_FALSE, f.data());
}

void SetColour3(int location, Rgb c) {
  glUniform3f(location, c.r / 255.0f, c.g / 255.0f, c.b / 255.0f);
}

void SetColour4(int location, Rgb c, float alpha = 1.0f) {
  glUniform4f(location, c.r / 255.0f, c.g / 255.0f, c.b / 255.0f, alpha);
}

GLuint CompileShader(GLenum kind, const char *source) {
  const GLuint shader = glCreateShader(kind);
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  GLint ok = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (ok == GL_TRUE)
    return shader;
  GLint length = 0;
  glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
  std::string log(static_cast<std::size_t>(std::max(length, 1)), '\0');
  glGetShaderInfoLog(shader, length, nullptr, log.data());
  glDeleteShader(shader);
  throw SceneError("a shader of the 3D view does not compile: " + log);
}

GLuint LinkProgram(const char *vertexSource, const char *fragmentSource) {
  const GLuint vertex = CompileShader(GL_VERTEX_SHADER, vertexSource);
  GLuint fragment = 0;
  try {
    fragment = CompileShader(GL_FRAGMENT_SHADER, fragmentSource);
  } catch (...) {
    glDeleteShader(vertex);
    throw;
  }
  const GLuint program = glCreateProgram();
  glAttachShader(program, vertex);
  glAttachShader(program, fragment);
  glLinkProgram(program);
  glDeleteShader(vertex);
  glDeleteShader(fragment);
  GLint ok = GL_FALSE;
  glGetProgramiv(program, GL_LINK_STATUS, &ok);
  if (ok == GL_TRUE)
    return program;
  GLint length = 0;
  glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
  std::string log(static_cast<std::size_t>(std::max(length, 1)), '\0');
  glGetProgramInfoLog(program, length, nullptr, log.data());
  glDeleteProgram(program);
  throw SceneError("a program of the 3D view does not link: " + log);
}

void Append(std::vector<float> &out, const Vector3 &p) {
  out.push_back(static_cast<float>(p[0]));
  out.push_back(static_cast<float>(p[1]));
  out.push_back(static_cast<float>(p[2]));
}

// The strokes of the axes' letters X, Y and Z in a square of half-side 1, as (x0, y0, x1, y1);
// letter k has the strokes LetterStart[k] to LetterStart[k + 1].
using Stroke = std::array<float, 4>;
constexpr Stroke LetterStrokes[] = {{-1, -1, 1, 1}, {-1, 1, 1, -1},                   // X
                                    {-1, 1, 0, 0},  {1, 1, 0, 0},   {0, 0, 0, -1},    // Y
                                    {-1, 1, 1, 1},  {1, 1, -1, -1}, {-1, -1, 1, -1}}; // Z
constexpr int LetterStart[] = {0, 2, 5, 8};
constexpr float AxisLength = 0.62f;

// Beyond the tip of the axis (x, y), or beside it when the axis points at the viewer.
std::array<float, 2> LetterPosition(float x, float y) {
  const float reach = std::sqrt(x * x + y * y);
  if (reach < 0.2f)
    return {AxisLength * x + 0.15f, AxisLength * y + 0.15f};
  return {AxisLength * x + 0.22f * x / reach, AxisLength * y + 0.22f * y / reach};
}

} // namespace

SceneRenderer::SceneRenderer() {
  if (epoxy_gl_version() < 33)
    throw SceneError("the 3D view needs OpenGL 3.3, this context offers " +
                     std::to_string(epoxy_gl_version() / 10) + "." +
                     std::to_string(epoxy_gl_version() % 10));
  BuildPrograms();
  MakeSurfaceBuffers();
  MakeSphere();
  MakeSegmentBuffer(Curve);
  MakeSegmentBuffer(Overlay);
  glBindBuffer(GL_ARRAY_BUFFER, Overlay.Vbo);
  glBufferData(GL_ARRAY_BUFFER, MaxOverlaySegments * 6 * sizeof(float), nullptr, GL_DYNAMIC_DRAW);
  OverlayStaging.reserve(MaxOverlaySegments * 6);
}

SceneRenderer::~SceneRenderer() {
  const GLuint vaos[] = {SurfaceVao, SphereVao, Curve.Vao, Overlay.Vao};
  const GLuint buffers[] = {SurfaceVbo, SurfaceIbo, SphereVbo, SphereIbo, Curve.Vbo, Overlay.Vbo};
  glDeleteVertexArrays(4, vaos);
  glDeleteBuffers(6, buffers);
  glDeleteProgram(Surface.Id);
  glDeleteProgram(Lines.Id);
}

void SceneRenderer::BuildPrograms() {
  Surface.Id = LinkProgram(SurfaceVertexShader, SurfaceFragmentShader);
  Surface.ModelView = glGetUniformLocation(Surface.Id, "ModelView");
  Surface.Projection = glGetUniformLocation(Surface.Id, "Projection");
  Surface.FrontTint = glGetUniformLocation(Surface.Id, "FrontTint");
  Surface.BackTint = glGetUniformLocation(Surface.Id, "BackTint");
  Surface.WireSpacing = glGetUniformLocation(Surface.Id, "WireSpacing");
  Surface.WireColour = glGetUniformLocation(Surface.Id, "WireColour");
  Lines.Id = LinkProgram(LineVertexShader, LineFragmentShader);
  Lines.ModelView = glGetUniformLocation(Lines.Id, "ModelView");
  Lines.Projection = glGetUniformLocation(Lines.Id, "Projection");
  Lines.Viewport = glGetUniformLocation(Lines.Id, "Viewport");
  Lines.HalfWidth = glGetUniformLocation(Lines.Id, "HalfWidth");
  Lines.TowardEye = glGetUniformLocation(Lines.Id, "TowardEye");
  Lines.Colour = glGetUniformLocation(Lines.Id, "Colour");
}

// Interleaved per vertex: position, normal, grid position (i, j).
void SceneRenderer::MakeSurfaceBuffers() {
  glGenVertexArrays(1, &SurfaceVao);
  glGenBuffers(1, &SurfaceVbo);
  glGenBuffers(1, &SurfaceIbo);
  glBindVertexArray(SurfaceVao);
  glBindBuffer(GL_ARRAY_BUFFER, SurfaceVbo);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, SurfaceIbo);
  constexpr GLsizei stride = 8 * sizeof(float);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, nullptr);
  glEnableVertexAttribArray(1);
  glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, stride,
                        reinterpret_cast<const void *>(3 * sizeof(float)));
  glEnableVertexAttribArray(2);
  glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride,
                        reinterpret_cast<const void *>(6 * sizeof(float)));
  glBindVertexArray(0);
}

// A unit sphere, its normals its positions; drawn scaled for the marker and the singular points.
void SceneRenderer::MakeSphere() {
  constexpr int stacks = 12, slices = 20;
  std::vector<float> vertices;
  std::vector<uint32_t> indices;
  for (int i = 0; i <= stacks; ++i) {
    const double polar = std::numbers::pi * i / stacks;
    for (int j = 0; j <= slices; ++j) {
      const double azimuth = 2.0 * std::numbers::pi * j / slices;
      const Vector3 p{std::sin(polar) * std::cos(azimuth), std::sin(polar) * std::sin(azimuth),
                      std::cos(polar)};
      Append(vertices, p);
      Append(vertices, p);
    }
  }
  for (int i = 0; i < stacks; ++i)
    for (int j = 0; j < slices; ++j) {
      const uint32_t a = i * (slices + 1) + j, b = a + slices + 1;
      // Counter-clockwise seen from outside.
      for (uint32_t index : {a, b, a + 1, a + 1, b, b + 1})
        indices.push_back(index);
    }
  SphereIndexCount = static_cast<int>(indices.size());
  glGenVertexArrays(1, &SphereVao);
  glGenBuffers(1, &SphereVbo);
  glGenBuffers(1, &SphereIbo);
  glBindVertexArray(SphereVao);
  glBindBuffer(GL_ARRAY_BUFFER, SphereVbo);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(float)),
               vertices.data(), GL_STATIC_DRAW);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, SphereIbo);
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * sizeof(uint32_t)),
               indices.data(), GL_STATIC_DRAW);
  constexpr GLsizei stride = 6 * sizeof(float);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, nullptr);
  glEnableVertexAttribArray(1);
  glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, stride,
                        reinterpret_cast<const void *>(3 * sizeof(float)));
  glVertexAttrib2f(2, 0.0f, 0.0f);
  glBindVertexArray(0);
}

void SceneRenderer::MakeSegmentBuffer(SegmentBuffer &buffer) {
  glGenVertexArrays(1, &buffer.Vao);
  glGenBuffers(1, &buffer.Vbo);
  glBindVertexArray(buffer.Vao);
  glBindBuffer(GL_ARRAY_BUFFER, buffer.Vbo);
  constexpr GLsizei stride = 6 * sizeof(float);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, nullptr);
  glVertexAttribDivisor(0, 1);
  glEnableVertexAttribArray(1);
  glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, stride,
                        reinterpret_cast<const void *>(3 * sizeof(float)));
  glVertexAttribDivisor(1, 1);
  glBindVertexArray(0);
}

void SceneRenderer::Upload(const SurfaceScene &scene) {
  const SurfaceMesh &mesh = scene.Mesh;
  Origin = mesh.Bounds.Empty ? Vector3{0.0, 0.0, 0.0} : mesh.Bounds.Centre();
  SceneRadius = mesh.Reach;
  Staging.clear();
  const int side = mesh.Side();
  for (std::size_t k = 0; k < mesh.VertexCount(); ++k) {
    Append(Staging, mesh.Usable[k] ? mesh.Positions[k] - Origin : Vector3{0.0, 0.0, 0.0});
    Append(Staging, mesh.Normals[k]);
    Staging.push_back(static_cast<float>(k % side));
    Staging.push_back(static_cast<float>(k / side));
  }
  glBindVertexArray(SurfaceVao);
  glBindBuffer(GL_ARRAY_BUFFER, SurfaceVbo);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(Staging.size() * sizeof(float)),
               Staging.data(), GL_DYNAMIC_DRAW);
  glBufferData(GL_ELEMENT_ARRAY_BUFFER,
               static_cast<GLsizeiptr>(mesh.Triangles.size() * sizeof(uint32_t)),
               mesh.Triangles.data(), GL_DYNAMIC_DRAW);
  glBindVertexArray(0);
  SurfaceIndexCount = static_cast<int>(mesh.Triangles.size());
  // Sixteen grid lines across each direction, whatever the mesh's resolution.
  WireSpacing = std::max(1, static_cast<int>(std::lround(mesh.Quads / 16.0)));

  Staging.clear();
  const DoubleCurve &curve = scene.Curve;
  for (std::size_t piece = 0; piece < curve.PieceCount(); ++piece)
    for (std::size_t k = curve.PieceStarts[piece] + 1; k < curve.PieceEnd(piece); ++k) {
      Append(Staging, curve.Points[k - 1] - Origin);
      Append(Staging, curve.Points[k] - Origin);
    }
  glBindBuffer(GL_ARRAY_BUFFER, Curve.Vbo);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(Staging.size() * sizeof(float)),
               Staging.data(), GL_DYNAMIC_DRAW);
  Curve.Count = static_cast<int>(Staging.size() / 6);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  CurveColour = scene.CurveColour;
  SingularPoints = scene.SingularPoints;
}

void SceneRenderer::Render(const Camera &camera, const ViewOptions &options, int width,
                           int height) {
  glViewport(0, 0, width, height);
  constexpr Rgb b = SceneColours::Background;
  glClearColor(b.r / 255.0f, b.g / 255.0f, b.b / 255.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glDisable(GL_CULL_FACE);
  glDisable(GL_BLEND);

  const Matrix4 view = camera.ViewMatrix();
  const Matrix4 projection = camera.ProjectionMatrix(width, height);
  DrawSurface(view, projection, options.Wireframe);
  const double pointRadius = 0.02 * SceneRadius;
  for (const SingularPointImage &p : SingularPoints)
    DrawSphere(view, projection, p.Position, pointRadius,
               p.Kind == SingularPointKind::CrossCap ? SceneColours::CrossCap
                                                     : SceneColours::TriplePoint);
  if (options.ShowMarker)
    DrawMarker(view, projection, options.Marker);
  DrawCurve(camera, view, projection, width, height, options.CurveWidth);
  if (options.Axes)
    DrawAxes(view, width, height);
  // Leave the state as a host that also paints with other means expects it.
  glViewport(0, 0, width, height);
  glBindVertexArray(0);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glUseProgram(0);
}

void SceneRenderer::DrawSurface(const Matrix4 &view, const Matrix4 &projection, bool wireframe) {
  if (SurfaceIndexCount == 0)
    return;
  glUseProgram(Surface.Id);
  SetMatrix(Surface.ModelView, view * TranslationMatrix(Origin));
  SetMatrix(Surface.Projection, projection);
  SetColour3(Surface.FrontTint, SceneColours::FrontTint);
  SetColour3(Surface.BackTint, SceneColours::BackTint);
  glUniform1f(Surface.WireSpacing, wireframe ? static_cast<float>(WireSpacing) : 0.0f);
  SetColour4(Surface.WireColour, SceneColours::Wire, 0.55f);
  glBindVertexArray(SurfaceVao);
  glDrawElements(GL_TRIANGLES, SurfaceIndexCount, GL_UNSIGNED_INT, nullptr);
}

void SceneRenderer::DrawMarker(const Matrix4 &view, const Matrix4 &projection,
                               const Vector3 &centre) {
  const double radius = 0.025 * SceneRadius;
  // Where a sheet hides the marker it still shows, paler, so that the mouse over the picture
  // always finds its point in space, also on the far side of the surface.
  glDepthFunc(GL_GREATER);
  glDepthMask(GL_FALSE);
  DrawSphere(view, projection, centre, radius, SceneColours::HiddenMarker);
  glDepthMask(GL_TRUE);
  glDepthFunc(GL_LEQUAL);
  DrawSphere(view, projection, centre, radius, SceneColours::Marker);
}

void SceneRenderer::DrawSphere(const Matrix4 &view, const Matrix4 &projection,
                               const Vector3 &centre, double radius, Rgb colour) {
  if (!IsFinite(centre))
    return;
  glUseProgram(Surface.Id);
  SetMatrix(Surface.ModelView, view * TranslationMatrix(centre) * ScaleMatrix(radius));
  SetMatrix(Surface.Projection, projection);
  SetColour3(Surface.FrontTint, colour);
  SetColour3(Surface.BackTint, colour);
  glUniform1f(Surface.WireSpacing, 0.0f);
  glBindVertexArray(SphereVao);
  glDrawElements(GL_TRIANGLES, SphereIndexCount, GL_UNSIGNED_INT, nullptr);
}

void SceneRenderer::DrawCurve(const Camera &camera, const Matrix4 &view, const Matrix4 &projection,
                              int width, int height, double curveWidth) {
  if (Curve.Count == 0)
    return;
  // A few pixels' worth of space at the orbit's centre: enough to lift the line out of the
  // sheets it lies on where they slope away, too little to show it through a sheet in front.
  const double perPixel = camera.SpacePerPixel(width, height);
  const double towardEye = 1.5 * curveWidth * perPixel;
  const Matrix4 modelView = view * TranslationMatrix(Origin);
  // A dark rim first: a light method colour (the linear case's) on a light tint stays visible.
  // It writes no depth, or the wider strip's depth would hide the line itself.
  glDepthMask(GL_FALSE);
  DrawSegments(Curve, Curve.Count, modelView, projection, width, height, curveWidth / 2.0 + 1.0,
               towardEye, SceneColours::CurveRim);
  glDepthMask(GL_TRUE);
  DrawSegments(Curve, Curve.Count, modelView, projection, width, height, curveWidth / 2.0,
               towardEye, CurveColour);
}

void SceneRenderer::DrawSegments(const SegmentBuffer &buffer, int count, const Matrix4 &modelView,
                                 const Matrix4 &projection, int width, int height, double halfWidth,
                                 double towardEye, Rgb colour) {
  glUseProgram(Lines.Id);
  SetMatrix(Lines.ModelView, modelView);
  SetMatrix(Lines.Projection, projection);
  glUniform2f(Lines.Viewport, static_cast<float>(width), static_cast<float>(height));
  glUniform1f(Lines.HalfWidth, static_cast<float>(halfWidth));
  glUniform1f(Lines.TowardEye, static_cast<float>(towardEye));
  SetColour4(Lines.Colour, colour);
  glBindVertexArray(buffer.Vao);
  glDrawArraysInstanced(GL_TRIANGLE_STRIP, 0, 4, count);
}

// Overlay segments are given in the corner's clip coordinates.
void SceneRenderer::DrawOverlay(int size, double halfWidth, Rgb colour) {
  glBindBuffer(GL_ARRAY_BUFFER, Overlay.Vbo);
  glBufferSubData(GL_ARRAY_BUFFER, 0,
                  static_cast<GLsizeiptr>(OverlayStaging.size() * sizeof(float)),
                  OverlayStaging.data());
  DrawSegments(Overlay, static_cast<int>(OverlayStaging.size() / 6), IdentityMatrix(),
               IdentityMatrix(), size, size, halfWidth, 0.0, colour);
}

// A small orthographic picture of the axes' directions in the lower left corner, with letters.
void SceneRenderer::DrawAxes(const Matrix4 &view, int width, int height) {
  const int size = std::clamp(std::min(width, height) / 6, 48, 160);
  glViewport(4, 4, size, size);
  glDisable(GL_DEPTH_TEST);
  // The axes that point away from the viewer first, so that the nearer ones cover them.
  std::array<int, 3> order{0, 1, 2};
  std::sort(order.begin(), order.end(),
            [&](int a, int b) { return view[4 * a + 2] < view[4 * b + 2]; });
  for (int axis : order) {
    // The axis's direction in the eye's frame, seen along the line of sight.
    const auto x = static_cast<float>(view[4 * axis]), y = static_cast<float>(view[4 * axis + 1]);
    OverlayStaging.assign({0.0f, 0.0f, 0.0f, AxisLength * x, AxisLength * y, 0.0f});
    DrawOverlay(size, 1.2, SceneColours::Axes[axis]);
    const auto [lx, ly] = LetterPosition(x, y);
    OverlayStaging.clear();
    for (int k = LetterStart[axis]; k < LetterStart[axis + 1]; ++k) {
      const Stroke &s = LetterStrokes[k];
      OverlayStaging.insert(OverlayStaging.end(), {lx + 0.07f * s[0], ly + 0.1f * s[1], 0.0f,
                                                   lx + 0.07f * s[2], ly + 0.1f * s[3], 0.0f});
    }
    DrawOverlay(size, 0.8, SceneColours::Axes[axis]);
  }
  glEnable(GL_DEPTH_TEST);
}

} // namespace tandor
