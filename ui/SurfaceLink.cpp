// SurfaceViewLink: the 3D view opened from the main window, following its runs, and the marks
// that tie the picture of D to the surface in space.

#include "ui/SurfaceLink.h"

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QStatusBar>
#include <QWidget>
#include <cmath>

#include "scene/SceneRenderer.h"
#include "ui/PointerReadout.h"
#include "ui/SurfaceView.h"
#include "ui/SurfaceWindow.h"

namespace tandor {

namespace {

constexpr int CrossHalf = 4; // pixels each way from the picked point

bool Within(const Vector2 &uv, const Vector2 &low, const Vector2 &high) {
  return uv[0] >= std::min(low[0], high[0]) && uv[0] <= std::max(low[0], high[0]) &&
         uv[1] >= std::min(low[1], high[1]) && uv[1] <= std::max(low[1], high[1]);
}

// As the picture's own readout says it, so that a point reads the same in either view.
QString PickedStatus(const Vector2 &uv) {
  return QString::fromStdString(PointerReadout(uv, std::nullopt));
}

} // namespace

Vector2 PixelOfParameter(const PixelRect &rect, const Vector2 &low, const Vector2 &high,
                         const Vector2 &uv) {
  return {rect.Left + (uv[0] - low[0]) / (high[0] - low[0]) * rect.Width(),
          rect.Top + (high[1] - uv[1]) / (high[1] - low[1]) * rect.Height()};
}

SurfaceViewLink::SurfaceViewLink(const Glob &glob, MapFunctions &map, const LocusSolvers &locus)
    : G(glob), Map(map), Locus(locus), Coordinates(map) {}

SurfaceViewLink::~SurfaceViewLink() {
  if (View) {
    View->OnClosed = nullptr;
    delete View.data();
  }
}

SurfaceWindow *SurfaceViewLink::Window() const {
  return View.data();
}

void SurfaceViewLink::Attach(QWidget *picture, QStatusBar *statusBar) {
  Picture = picture;
  StatusBar = statusBar;
}

void SurfaceViewLink::AddViewItems(QMenu &view) {
  SurfaceView1 = view.addAction(QStringLiteral("3D View"));
  SurfaceView1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_3));
  QObject::connect(SurfaceView1, &QAction::triggered, SurfaceView1, [this] { Open(); });
}

void SurfaceViewLink::Open() {
  if (!View) {
    View = new SurfaceWindow();
    // Closed is gone: its context and its buffers with it, and the drags cost nothing again.
    View->setAttribute(Qt::WA_DeleteOnClose);
    View->OnClosed = [this] { Closed(); };
    View->View->OnHover = [this](const SurfacePick &pick) { SurfaceHovered(pick); };
    // A run that ended while the view was closed is shown now; during a run, once it ends.
    if (!G.Running)
      Rebuild();
    View->View->ShowScene(HasScene ? &Shown : nullptr);
    PlaceBesideMainWindow();
  }
  View->show();
  View->raise();
  View->activateWindow();
}

void SurfaceViewLink::PlaceBesideMainWindow() {
  if (Picture == nullptr)
    return;
  const QRect main = Picture->window()->frameGeometry();
  const QScreen *screen = Picture->screen();
  const QPoint place(main.right() + 8, main.top());
  if (screen != nullptr &&
      screen->availableGeometry().contains(QRect(place, View->frameGeometry().size()), true))
    View->move(place);
}

void SurfaceViewLink::Follow() {
  Stale = true;
  if (!View || !View->isVisible())
    return; // rebuilt when the view opens: a closed view costs a drag nothing
  Rebuild();
  View->View->ShowScene(HasScene ? &Shown : nullptr);
  View->View->SetMarker(false);
}

void SurfaceViewLink::Rebuild() {
  if (!Stale || !G.Drawn || Locus.LastMethod == LocusMethod::None)
    return;
  BuildSurfaceScene(Coordinates, G.DomainLow, G.DomainHigh, Locus, Locus.LastMethod, Shown);
  HasScene = true;
  Stale = false;
  SetPicked(std::nullopt);
}

void SurfaceViewLink::PictureHover(int x, int y) {
  if (!View || !HasScene)
    return;
  const SurfaceMesh &mesh = Shown.Mesh;
  const Vector2 uv = PointOfPixel(G.PictureRect, mesh.DomainLow, mesh.DomainHigh, x, y);
  const Vector3 p = SurfacePoint(Coordinates, uv[0], uv[1]);
  const bool shown = Within(uv, mesh.DomainLow, mesh.DomainHigh) && IsDrawableImage(p);
  View->View->SetMarker(shown, p);
}

void SurfaceViewLink::PictureLeft() {
  if (View)
    View->View->SetMarker(false);
}

void SurfaceViewLink::SurfaceHovered(const SurfacePick &pick) {
  SetPicked(pick.Hit ? std::optional<Vector2>(pick.Parameter) : std::nullopt);
}

void SurfaceViewLink::SetPicked(const std::optional<Vector2> &uv) {
  if (!uv && !PickedParameter)
    return;
  PickedParameter = uv;
  if (StatusBar != nullptr) {
    // The status bar's other messages (an input error, the count of the singular points) stay
    // until a pick replaces them, and come back when the pick goes.
    if (uv) {
      if (PickedText.isEmpty() || StatusBar->currentMessage() != PickedText)
        Replaced = StatusBar->currentMessage();
      PickedText = PickedStatus(*uv);
      StatusBar->showMessage(PickedText);
    } else if (!PickedText.isEmpty() && StatusBar->currentMessage() == PickedText) {
      StatusBar->clearMessage();
      if (!Replaced.isEmpty())
        StatusBar->showMessage(Replaced);
    }
  }
  if (!uv)
    PickedText.clear();
  if (Picture != nullptr)
    Picture->update();
}

void SurfaceViewLink::PaintMark(QPainter &painter) const {
  if (!PickedParameter || !HasScene)
    return;
  const Vector2 at = PixelOfParameter(G.PictureRect, Shown.Mesh.DomainLow, Shown.Mesh.DomainHigh,
                                      *PickedParameter);
  const int x = static_cast<int>(std::lround(at[0])), y = static_cast<int>(std::lround(at[1]));
  constexpr Rgb c = SceneColours::Marker;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(QPen(QColor(c.r, c.g, c.b), 1));
  painter.drawLine(x - CrossHalf, y, x + CrossHalf, y);
  painter.drawLine(x, y - CrossHalf, x, y + CrossHalf);
  painter.restore();
}

void SurfaceViewLink::Closed() {
  SetPicked(std::nullopt);
}

} // namespace tandor
