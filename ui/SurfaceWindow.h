#pragma once
// SurfaceWindow, SurfaceDialogs: the "3D View" window. A separate, resizable window beside the
// main one, never blocking it: the surface F(D) with its double curve in a SurfaceView, a File
// menu to export the view as PNG and a View menu for the wireframe, the axes and the reset.

#include <QMainWindow>
#include <QSize>
#include <QString>
#include <functional>
#include <memory>

class QAction;

namespace tandor {

class SurfaceView;

// The questions of the 3D window, behind an interface so that tests can answer them.
class SurfaceDialogs {
public:
  struct ExportChoice {
    QString Path; // empty when cancelled
    QSize Size;
  };
  virtual ~SurfaceDialogs() = default;
  // A PNG file and the picture's size, proposed as current.
  virtual ExportChoice AskExport(QWidget *parent, QSize current) = 0;
  virtual void ShowError(QWidget *parent, const QString &message) = 0;
};

class QtSurfaceDialogs final : public SurfaceDialogs {
public:
  ExportChoice AskExport(QWidget *parent, QSize current) override;
  void ShowError(QWidget *parent, const QString &message) override;
};

class SurfaceWindow final : public QMainWindow {
public:
  static constexpr int StartSize = 500; // of the view, each way

  // dialogs may be null: the ordinary Qt dialogs are used then.
  explicit SurfaceWindow(std::unique_ptr<SurfaceDialogs> dialogs = nullptr);
  ~SurfaceWindow() override;

  // File > Export 3D View...: asks for a file and a size, then ExportView.
  void OnExport();
  // The current view at width x height pixels as a PNG file, written whole or not at all; the
  // reason when it fails (empty on success).
  QString ExportView(const QString &path, QSize size);

  SurfaceView *View = nullptr;
  QAction *Export1 = nullptr, *Close1 = nullptr;
  QAction *Wireframe1 = nullptr, *Axes1 = nullptr, *ResetView1 = nullptr;
  std::function<void()> OnClosed;

protected:
  void closeEvent(QCloseEvent *event) override;

private:
  void BuildMenus();

  std::unique_ptr<SurfaceDialogs> Dialogs;
  std::unique_ptr<SurfaceView> Unshown; // the view, where this display has no OpenGL for it
};

// "640 x 480", "640x480" or "800" (a square): the size of an exported picture, from 1 to 16384
// pixels each way; an invalid size for anything else.
QSize ParsePictureSize(const QString &text);

} // namespace tandor
