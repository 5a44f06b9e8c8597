#pragma once
// SurfaceView: the 3D view's OpenGL widget. It hosts the scene's one renderer and turns the mouse
// into the camera's moves: left drag orbits, right (or shift + left) drag pans, the wheel zooms,
// Home resets; a move without a button asks what lies under the mouse.

#include <QOpenGLWidget>
#include <QString>
#include <functional>
#include <memory>

#include "scene/Camera.h"
#include "scene/HeadlessGl.h"
#include "scene/SceneRenderer.h"
#include "scene/SurfacePicking.h"
#include "scene/SurfaceScene.h"

namespace tandor {

class SurfaceView final : public QOpenGLWidget {
public:
  explicit SurfaceView(QWidget *parent = nullptr);
  ~SurfaceView() override;

  // The scene to show, owned by the caller, who calls again after every change of it. The first
  // scene is framed from Home; later ones keep the user's view (Camera::Reframe).
  void ShowScene(const SurfaceScene *scene);
  void ResetView();
  void SetMarker(bool shown, const Vector3 &point = {});

  // The current view drawn at width x height in the widget's own context; throws SceneError when
  // it cannot be drawn.
  RgbaImage RenderPicture(int width, int height);

  // Why the view shows no surface: no OpenGL 3.3 core context, or a program that did not build.
  // Empty while all is well.
  const QString &Problem() const { return ProblemText; }
  // Why no view can be had on this display at all (no OpenGL 3.3 core context can be made, as
  // on Qt's offscreen platform); empty when one can.
  static QString MissingOpenGl();

  Camera View;
  ViewOptions Options;
  // Every move of the mouse without a button, with Hit false off the surface and when it leaves.
  std::function<void(const SurfacePick &)> OnHover;

protected:
  void initializeGL() override;
  void paintGL() override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;
  void wheelEvent(QWheelEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;
  void leaveEvent(QEvent *event) override;

private:
  void ReleaseRenderer();
  void UploadIfChanged();
  void PaintProblem();
  void Hover(double x, double y);

  std::unique_ptr<SceneRenderer> Renderer;
  const SurfaceScene *Scene = nullptr;
  bool SceneChanged = false;
  bool Framed = false;
  QPointF LastMouse;
  QString ProblemText;
};

} // namespace tandor
