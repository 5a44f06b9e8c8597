#pragma once
// The main window: the picture of the locus, the thirteen fields of the problem, the parameter
// square, the Draw It button, the status bar and the menu. Every handler keeps the names the
// rest of the program knows it by.

#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "formula/MapFunctions.h"
#include "problem/Glob.h"
#include "problem/ReadData.h"
#include "solvers/LocusRun.h"
#include "solvers/RunControl.h"
#include "ui/ExportActions.h"
#include "ui/ParameterSquare.h"
#include "ui/SingularPointView.h"
#include "ui/StrataBackground.h"
#include "ui/WindowDialogs.h"

class QAction;
class QActionGroup;
class QLabel;
class QLineEdit;
class QMenu;
class QPainter;
class QPrinter;
class QProgressBar;
class QStatusBar;
class QTimer;
class QToolButton;

namespace tandor {

class AtlasWindow;
class ExamplesMenu;
class PaintBox;
class RecentFiles;
class SurfaceViewLink;
class TManual1;
class TTandor;

inline constexpr Rgb SiblingCircleColour{255, 0, 255};

// Lets the window breathe during a long computation, and tells the solver when Stop was pressed.
class WindowRunControl final : public RunControl {
public:
  explicit WindowRunControl(TTandor &window) : Window(window) {}
  bool ProcessEventsAndCheckStop() override;
  // A run starts with a fresh breath: a short one never stops for events at all.
  void StartRun() { LastBreath = RunStart = std::chrono::steady_clock::now(); }

  // The solvers ask thousands of times per run; processing events that often would cost more
  // than the computation, so the window breathes at most this often.
  static constexpr std::chrono::milliseconds BreathInterval{15};
  // A run longer than this shows that it is busy.
  static constexpr std::chrono::milliseconds BusyAfter{500};

private:
  TTandor &Window;
  std::chrono::steady_clock::time_point LastBreath{}, RunStart{};
};

class TTandor final : public QMainWindow, public ReadNotices {
  Q_OBJECT

public:
  // Who asked for a run: the button reads the window, the Open item too; a run without a sender
  // computes the problem in force without reading.
  enum class DrawSender { None, Button, OpenItem };

  // dialogs may be null: the ordinary Qt dialogs are used then.
  TTandor(Glob &glob, MapFunctions &map, LocusSolvers &locus,
          std::unique_ptr<WindowDialogs> dialogs = nullptr);
  ~TTandor() override;

  // The run.
  void Dibujala(DrawSender sender);
  void InitWatch();
  void EndWatch();
  int ReadForm();
  void OnMethod(QAction *item);

  // The picture.
  void OnPaintTandor(QPainter &painter);
  void OnMouseMoveDrawing(int x, int y);
  void DrawLittleCircle(int x, int y);

  // The parameter square and the typed values.
  void PintaCirculo(int x, int y);
  void OnPainParameters(QPainter &painter);
  void AdjustCircleToParameters();
  void MueveEnParametros(Qt::MouseButtons buttons, int x, int y);
  void OnChangeParameters(QLineEdit *sender);

  // Files, printing, closing, the manual.
  void Guarda();
  void GuardaComo();
  void Abrir();
  // What Open does once a file is chosen; false when the file could not be read. A file read is
  // remembered among the recent files unless told otherwise.
  bool OpenDataFile(const QString &path, bool remember = true);
  // File > Examples and File > Recent Files: after the unsaved-change question, as Open.
  void OpenExample(const QString &path, const QString &text);
  void OpenRecentFile(const QString &path);
  void OnPrint();
  void ExecuteQuit();
  bool CloseQueryClick();
  void OpenManual();

  // ReadNotices
  void ShowStatus(const std::string &text) override;
  void Beep() override;
  void RefusedAt(DataLine line) override;

  bool MethodMenuEnabled() const;
  int MethodNumber() const { return Method; }

  Glob &G;
  MapFunctions &Map;
  LocusSolvers &Locus;
  QImage Picture; // 400 x 400, what Reloj shows

  // Controls, by their names.
  PaintBox *Reloj = nullptr;
  PaintBox *Parametros = nullptr;
  QLineEdit *xEdit = nullptr, *yEdit = nullptr, *zEdit = nullptr;
  QLineEdit *uMinEdit = nullptr, *uMaxEdit = nullptr, *vMinEdit = nullptr, *vMaxEdit = nullptr;
  QLineEdit *pMinEdit = nullptr, *pMaxEdit = nullptr, *qMinEdit = nullptr, *qMaxEdit = nullptr;
  QLineEdit *pValueEdit = nullptr, *qValueEdit = nullptr;
  std::array<QLineEdit *, DataLineCount> Fields{}; // in the order of the data lines
  std::vector<QLabel *> Labels;
  QToolButton *DrawItLines = nullptr;
  QStatusBar *InfoBar = nullptr;
  QLabel *FileLineLabel = nullptr;  // the line of an opened file that a read refused
  QProgressBar *BusySign = nullptr; // shown while a long run goes on
  QMenu *FileMenu = nullptr, *EditMenu = nullptr, *MethodMenu = nullptr, *HelpMenu = nullptr;
  QMenu *ViewMenu = nullptr;
  QAction *Open1 = nullptr, *Save1 = nullptr, *SaveAs1 = nullptr, *Print1 = nullptr;
  QAction *ExportPicture1 = nullptr, *ExportLocus1 = nullptr;
  QAction *Exit1 = nullptr;
  QAction *Cut1 = nullptr, *Copy1 = nullptr, *Paste1 = nullptr, *CopyPicture1 = nullptr;
  QMenu *RecentMenu = nullptr, *ExamplesSubmenu = nullptr;
  std::unique_ptr<RecentFiles> Recent;
  std::unique_ptr<ExamplesMenu> Examples;
  QAction *Descent1 = nullptr, *GradualDescent1 = nullptr, *TrianglesIntersection1 = nullptr;
  QAction *SingularPoints1 = nullptr;
  QAction *ParameterAtlas1 = nullptr;
  QAction *Strata1 = nullptr;
  StrataBackground Strata;     // View > Strata behind the parameter square
  QPointer<AtlasWindow> Atlas; // View > Parameter Atlas..., made when first asked for
  QTimer *StrataTimer = nullptr;
  QAction *Manual1 = nullptr;
  QPointer<TManual1> ManualWindow; // the last one opened
  // View > 3D View, and the marks that link the picture and the surface.
  std::unique_ptr<SurfaceViewLink> Surface3D;

  // The cross-caps and triple points of the last run, marked in the picture.
  SingularPointView Singular{Picture};

  // Called before each breath of a long run; tests use it to press Stop mid-run.
  std::function<void()> PollHook;
  int BeepCount = 0;

protected:
  void closeEvent(QCloseEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;
  bool event(QEvent *event) override;

private:
  void OnCreateForm();
  void BuildControls(QWidget *client);
  void BuildMenus();
  QLineEdit *AddEdit(QWidget *client, DataLine line, int left, int top, int width,
                     const char *text);
  void AddLabel(QWidget *client, int left, int top, const char *text);
  void SetButtonCaption(const QString &caption, QColor colour);
  void ComputeAndDraw();
  bool WriteDataList(const std::string &path);
  QAction *MethodItem(int tag) const;
  void DrawSiblingCircle(QPainter &painter) const;
  void RepaintPicture();
  ParameterSquare Square() const;
  void RunForNewParameters();
  void CloseIfAskedDuringRun();
  void OnSingularPoints(bool shown);
  void OpenAtlas();
  void OnStrata(bool shown);
  // (p, q) set from outside the square (a tile of the atlas), as a drag there would set it.
  void MoveParametersTo(const Vector2 &pq);
  bool MayReplaceProblem();
  void SetFieldText(QLineEdit *field, const QString &text);
  void UpdateActions();
  void ShowFailingField(DrawSender sender);
  void OnMouseLeaveDrawing();
  void ShowPointer(int x, int y);
  void ClearPointer();
  void ShowBusy();
  friend class WindowRunControl;

  std::unique_ptr<WindowDialogs> Dialogs;
  ExportActions Exports;
  WindowRunControl Control{*this};
  QActionGroup *MethodGroup = nullptr;
  int Method = 0;
  bool ClosingConfirmed = false;
  bool CloseAfterRun = false;  // the window was closed during a run or a print
  bool SiblingRepaint = false; // the repaint under way shows or removes the sibling circle
  int LastRead = 0;            // what the last read of the fields gave (ReadData's answer)
  std::vector<QPointer<TManual1>> ManualWindows;
  std::optional<DataLine> RefusedLine;      // of the last read, when it was refused
  bool LastRunStopped = false;              // its picture is partial: Draw It runs again
  QLineEdit *ParameterTypedInRun = nullptr; // p or q typed during a run, read once it ends
  QString PointerText;                      // the readout the status bar shows, if any
  Vector2 PictureLow{}, PictureHigh{};      // the domain the picture shows
};

// p or q as the fields show it: four decimals after rounding to four significant digits,
// scientific notation past four digits before the point; '.' whatever the locale.
QString FourSignificantDigits(double value);

} // namespace tandor
