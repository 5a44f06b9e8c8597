#pragma once
// SurfaceViewLink: the main window's side of the 3D view. It opens the "3D View" window (View >
// 3D View, Ctrl+3), rebuilds its scene after every run while it is open, marks F(u, v) under the
// picture's mouse with a sphere in space, and marks the (u, v) under the 3D view's mouse with a
// cross in the picture and in the status bar. Closing the 3D view takes its marks away.

#include <QPointer>
#include <QString>
#include <optional>

#include "formula/MapFunctions.h"
#include "problem/Glob.h"
#include "scene/SurfacePicking.h"
#include "scene/SurfaceScene.h"
#include "solvers/CompiledCoordinates.h"
#include "solvers/LocusRun.h"

class QAction;
class QMenu;
class QPainter;
class QStatusBar;
class QWidget;

namespace tandor {

class SurfaceWindow;

// Where a point of D shows in a picture of D: the inverse of PointOfPixel, uMin on the rect's left
// column and vMax on its top row, as the drawings place them.
Vector2 PixelOfParameter(const PixelRect &rect, const Vector2 &low, const Vector2 &high,
                         const Vector2 &uv);

class SurfaceViewLink {
public:
  SurfaceViewLink(const Glob &glob, MapFunctions &map, const LocusSolvers &locus);
  ~SurfaceViewLink();
  SurfaceViewLink(const SurfaceViewLink &) = delete;
  SurfaceViewLink &operator=(const SurfaceViewLink &) = delete;

  // The picture whose pixels the marks refer to, and the status bar for the picked (u, v).
  void Attach(QWidget *picture, QStatusBar *statusBar);
  // "3D View" with Ctrl+3, in the window's View menu.
  void AddViewItems(QMenu &view);

  // Shows the 3D view, made when it is not open, and raised when it is.
  void Open();
  // After a run: the view shows the new surface and curve.
  void Follow();
  // The mouse at pixel (x, y) of the picture, or off it.
  void PictureHover(int x, int y);
  void PictureLeft();
  // The cross at the (u, v) picked in the 3D view, over the picture.
  void PaintMark(QPainter &painter) const;

  SurfaceWindow *Window() const;
  const SurfaceScene &Scene() const { return Shown; }
  const std::optional<Vector2> &Picked() const { return PickedParameter; }

  QAction *SurfaceView1 = nullptr;

private:
  void Rebuild();
  void PlaceBesideMainWindow();
  void SurfaceHovered(const SurfacePick &pick);
  void Closed();
  void SetPicked(const std::optional<Vector2> &uv);

  const Glob &G;
  MapFunctions &Map;
  const LocusSolvers &Locus;
  CompiledCoordinates Coordinates;
  SurfaceScene Shown;
  bool HasScene = false; // Shown holds a computed problem
  bool Stale = true;     // a run has ended since Shown was built
  QPointer<SurfaceWindow> View;
  QWidget *Picture = nullptr;
  QStatusBar *StatusBar = nullptr;
  std::optional<Vector2> PickedParameter;
  QString PickedText; // what the status bar shows for it
  QString Replaced;   // what the status bar showed before the pick
};

} // namespace tandor
