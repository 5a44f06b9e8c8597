// SurfaceView: the scene's renderer in a QOpenGLWidget, and the mouse as the camera.

#include "ui/SurfaceView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QPainter>
#include <QWheelEvent>
#include <cmath>

namespace tandor {

namespace {

// One notch of an ordinary wheel.
constexpr double WheelNotch = 120.0;

QSurfaceFormat ViewFormat() {
  QSurfaceFormat format = QSurfaceFormat::defaultFormat();
  format.setRenderableType(QSurfaceFormat::OpenGL);
  format.setVersion(3, 3);
  format.setProfile(QSurfaceFormat::CoreProfile);
  format.setDepthBufferSize(24);
  // No multisampling: on Mesa's software renderer four samples cost three times the frame, and
  // orbiting the default problem would fall from some 40 frames a second to some 12. An export
  // draws its one picture with them.
  format.setSamples(0);
  return format;
}

} // namespace

QString SurfaceView::MissingOpenGl() {
  QOpenGLContext context;
  context.setFormat(ViewFormat());
  if (!context.create())
    return QStringLiteral("no OpenGL context can be made on this display");
  const auto [major, minor] = context.format().version();
  if (major * 10 + minor < 33)
    return QStringLiteral("it needs OpenGL 3.3, this display offers %1.%2").arg(major).arg(minor);
  return {};
}

SurfaceView::SurfaceView(QWidget *parent) : QOpenGLWidget(parent) {
  setFormat(ViewFormat());
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setMinimumSize(64, 64);
}

SurfaceView::~SurfaceView() {
  // The renderer's objects belong to the context, which must be current to free them.
  ReleaseRenderer();
}

void SurfaceView::ReleaseRenderer() {
  if (!Renderer)
    return;
  makeCurrent();
  Renderer.reset();
  doneCurrent();
}

void SurfaceView::ShowScene(const SurfaceScene *scene) {
  Scene = scene;
  SceneChanged = true;
  if (Scene != nullptr) {
    if (Framed)
      View.Reframe(Scene->Mesh);
    else
      View.Frame(Scene->Mesh);
    Framed = true;
  }
  update();
}

void SurfaceView::ResetView() {
  View.Home();
  update();
}

void SurfaceView::SetMarker(bool shown, const Vector3 &point) {
  if (!shown && !Options.ShowMarker)
    return;
  Options.ShowMarker = shown;
  Options.Marker = point;
  update();
}

void SurfaceView::initializeGL() {
  // A context lost with its window (a move to another screen) takes the renderer's objects along.
  connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, [this] { ReleaseRenderer(); });
  ProblemText.clear();
  try {
    Renderer = std::make_unique<SceneRenderer>();
  } catch (const SceneError &e) {
    ProblemText = QString::fromStdString(e.what());
  }
  SceneChanged = true;
}

void SurfaceView::UploadIfChanged() {
  if (!SceneChanged || !Renderer)
    return;
  if (Scene != nullptr)
    Renderer->Upload(*Scene);
  else
    Renderer->Upload(SurfaceScene{});
  SceneChanged = false;
}

void SurfaceView::paintGL() {
  if (!Renderer) {
    PaintProblem();
    return;
  }
  UploadIfChanged();
  const qreal ratio = devicePixelRatioF();
  Renderer->Render(View, Options, static_cast<int>(std::lround(width() * ratio)),
                   static_cast<int>(std::lround(height() * ratio)));
}

void SurfaceView::PaintProblem() {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  painter.drawText(rect().adjusted(12, 12, -12, -12), Qt::AlignCenter | Qt::TextWordWrap,
                   QStringLiteral("The 3D view cannot be shown: %1").arg(ProblemText));
}

RgbaImage SurfaceView::RenderPicture(int width, int height) {
  makeCurrent();
  struct DoneCurrent {
    SurfaceView &View;
    ~DoneCurrent() { View.doneCurrent(); }
  } done{*this};
  if (!Renderer)
    throw SceneError(ProblemText.isEmpty() ? std::string("the 3D view has not been shown yet")
                                           : ProblemText.toStdString());
  UploadIfChanged();
  OffscreenTarget target(width, height);
  target.Bind();
  Renderer->Render(View, Options, width, height);
  return target.Read();
}

void SurfaceView::mousePressEvent(QMouseEvent *event) {
  LastMouse = event->position();
  setFocus(Qt::MouseFocusReason);
}

void SurfaceView::mouseMoveEvent(QMouseEvent *event) {
  const QPointF at = event->position();
  const QPointF step = at - LastMouse;
  LastMouse = at;
  const Qt::MouseButtons buttons = event->buttons();
  const bool pan = (buttons & Qt::RightButton) ||
                   ((buttons & Qt::LeftButton) && (event->modifiers() & Qt::ShiftModifier));
  if (pan) {
    View.Pan(step.x(), step.y(), width(), height());
    update();
  } else if (buttons & Qt::LeftButton) {
    View.Orbit(step.x(), step.y());
    update();
  } else if (buttons == Qt::NoButton) {
    Hover(at.x(), at.y());
  }
}

void SurfaceView::Hover(double x, double y) {
  if (!OnHover)
    return;
  SurfacePick pick;
  if (Scene != nullptr)
    pick = PickSurface(Scene->Mesh, View, x, y, width(), height());
  OnHover(pick);
}

void SurfaceView::leaveEvent(QEvent *event) {
  if (OnHover)
    OnHover(SurfacePick{});
  QOpenGLWidget::leaveEvent(event);
}

void SurfaceView::wheelEvent(QWheelEvent *event) {
  const double notches = event->angleDelta().y() / WheelNotch;
  if (notches != 0.0) {
    View.Zoom(notches);
    update();
  }
  event->accept();
}

void SurfaceView::keyPressEvent(QKeyEvent *event) {
  if (event->key() == Qt::Key_Home) {
    ResetView();
    return;
  }
  QOpenGLWidget::keyPressEvent(event);
}

} // namespace tandor
