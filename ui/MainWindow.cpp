// TTandor: the main window's controls, menus, runs, drags, files and printing.

#include "ui/MainWindow.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPrinter>
#include <QProgressBar>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <exception>
#include <utility>

#include "formula/InputError.h"
#include "problem/DataFile.h"
#include "solvers/PrintedPage.h"
#include "ui/AtlasWindow.h"
#include "ui/ExamplesMenu.h"
#include "ui/ManualWindow.h"
#include "ui/PaintBox.h"
#include "ui/PointerReadout.h"
#include "ui/QtCanvas.h"
#include "ui/RecentFiles.h"
#include "ui/SurfaceLink.h"

namespace tandor {

namespace {

constexpr int ClientWidth = 550;
constexpr int ClientHeight = 537;
constexpr int StatusBarTop = 513;
constexpr int StatusBarHeight = 24;

const QColor CaptionBlue(0, 0, 255);
const QColor CaptionNavy(0, 0, 128);
const QColor CaptionRed(255, 0, 0);

const QString ConstantFirstFunction = QStringLiteral("The first function seems to be constant");

// Holds Running for the life of a print, also when the print fails half-way.
class RunningGuard {
public:
  explicit RunningGuard(Glob &glob) : G(glob) { G.Running = true; }
  ~RunningGuard() { G.Running = false; }
  RunningGuard(const RunningGuard &) = delete;
  RunningGuard &operator=(const RunningGuard &) = delete;

private:
  Glob &G;
};

} // namespace

QString FourSignificantDigits(double value) {
  if (!std::isfinite(value))
    return std::isnan(value) ? QStringLiteral("NAN")
           : value > 0       ? QStringLiteral("INF")
                             : QStringLiteral("-INF");
  // Round to four significant digits first, then show four decimals of the rounded value.
  char buffer[64];
  char *const last = buffer + sizeof buffer;
  char *end = std::to_chars(buffer, last, value, std::chars_format::scientific, 3).ptr;
  double rounded = 0.0;
  std::from_chars(buffer, end, rounded);
  if (std::fabs(rounded) >= 10000.0) {
    // 1.235e+04 -> 1.235E4
    const char *e = std::find(buffer, end, 'e');
    int exponent = 0;
    std::from_chars(e + 1 + (e[1] == '+'), end, exponent);
    return QString::fromLatin1(buffer, e - buffer) + QLatin1Char('E') + QString::number(exponent);
  }
  end = std::to_chars(buffer, last, rounded, std::chars_format::fixed, 4).ptr;
  return QString::fromLatin1(buffer, end - buffer);
}

bool WindowRunControl::ProcessEventsAndCheckStop() {
  if (Window.PollHook)
    Window.PollHook();
  const auto now = std::chrono::steady_clock::now();
  if (now - RunStart >= BusyAfter)
    Window.ShowBusy();
  if (now - LastBreath >= BreathInterval) {
    QCoreApplication::processEvents();
    LastBreath = std::chrono::steady_clock::now();
  }
  return Window.G.StopRequested;
}

// ---------------------------------------------------------------------------------------------
// Construction

TTandor::TTandor(Glob &glob, MapFunctions &map, LocusSolvers &locus,
                 std::unique_ptr<WindowDialogs> dialogs)
    : G(glob), Map(map), Locus(locus), Picture(400, 400, QImage::Format_RGB32),
      Surface3D(std::make_unique<SurfaceViewLink>(glob, map, locus)),
      Dialogs(dialogs ? std::move(dialogs) : std::make_unique<QtWindowDialogs>()),
      Exports(*this, G, Locus, *Dialogs) {
  if (Picture.isNull())
    qFatal("Tandor: no memory for the 400 x 400 picture");
  Picture.fill(Qt::white);
  // An exported picture shows the marks as the window's does.
  Exports.DrawOver = [this](Canvas &canvas, const PixelRect &rect) {
    Singular.DrawMarksInto(canvas, rect);
  };
  // "[*]" is where Qt shows the mark of unsaved changes.
  setWindowTitle(QStringLiteral("Multiple locus[*]"));

  auto *client = new QWidget(this);
  client->setFixedSize(ClientWidth, StatusBarTop);
  client->setFont(MakeFont({"MS Sans Serif", 13, true}));
  setCentralWidget(client);
  BuildControls(client);
  BuildMenus();

  InfoBar = new QStatusBar(this);
  InfoBar->setObjectName(QStringLiteral("InfoBar"));
  InfoBar->setSizeGripEnabled(false);
  InfoBar->setFixedHeight(StatusBarHeight);
  InfoBar->setFont(MakeFont({"MS Sans Serif", 13, true}));
  setStatusBar(InfoBar);
  FileLineLabel = new QLabel(InfoBar);
  FileLineLabel->setObjectName(QStringLiteral("FileLineLabel"));
  InfoBar->addPermanentWidget(FileLineLabel);
  BusySign = new QProgressBar(InfoBar);
  BusySign->setObjectName(QStringLiteral("BusySign"));
  BusySign->setRange(0, 0); // no share known: a moving sign
  BusySign->setTextVisible(false);
  BusySign->setFixedSize(60, 12);
  BusySign->hide();
  InfoBar->addPermanentWidget(BusySign);
  Surface3D->Attach(Reloj, InfoBar);

  OnCreateForm();
  UpdateActions();
  setFixedSize(ClientWidth, menuBar()->sizeHint().height() + ClientHeight);
  move(278, 224);
}

void TTandor::OnCreateForm() {
  Method = 0;
}

TTandor::~TTandor() {
  for (const QPointer<TManual1> &manual : ManualWindows)
    delete manual.data();
}

QLineEdit *TTandor::AddEdit(QWidget *client, DataLine line, int left, int top, int width,
                            const char *text) {
  auto *edit = new QLineEdit(QString::fromUtf8(text), client);
  edit->setGeometry(left, top, width, 20);
  edit->setFrame(false);
  edit->setFont(MakeFont({"Times New Roman", 15, false}));
  QPalette palette = edit->palette();
  palette.setColor(QPalette::Base, QApplication::palette().color(QPalette::ToolTipBase));
  edit->setPalette(palette);
  edit->setProperty("Tag", static_cast<int>(line));
  Fields[line] = edit;
  // Enter in any field is Draw It; during a run it does nothing, so that a key pressed to finish
  // typing never stops the run.
  connect(edit, &QLineEdit::returnPressed, this, [this] {
    if (!G.Running)
      Dibujala(DrawSender::Button);
  });
  return edit;
}

void TTandor::AddLabel(QWidget *client, int left, int top, const char *text) {
  auto *label = new QLabel(QString::fromUtf8(text), client);
  label->setFont(MakeFont({"Arial", 13, true}));
  label->move(left, top);
  label->adjustSize();
  Labels.push_back(label);
}

void TTandor::BuildControls(QWidget *client) {
  Reloj = new PaintBox(client, 4, 6, 400, 400);
  Reloj->setObjectName(QStringLiteral("Reloj"));
  Reloj->OnPaint = [this](QPainter &p) { OnPaintTandor(p); };
  Reloj->OnMouseMove = [this](Qt::MouseButtons, int x, int y) { OnMouseMoveDrawing(x, y); };
  Reloj->OnMouseLeave = [this] { OnMouseLeaveDrawing(); };

  AddLabel(client, 3, 411, "x(u,v)=");
  xEdit = AddEdit(client, XLine, 50, 410, 496, "u");
  AddLabel(client, 3, 436, "y(u,v)=");
  yEdit = AddEdit(client, YLine, 50, 435, 496, "v(v^2 - p)");
  AddLabel(client, 3, 460, "z(u,v)=");
  zEdit = AddEdit(client, ZLine, 50, 460, 496, "v(u+v^4- pv^2)");
  uMinEdit = AddEdit(client, UMinLine, 50, 487, 40, "-1");
  AddLabel(client, 94, 487, "< u <");
  uMaxEdit = AddEdit(client, UMaxLine, 128, 487, 40, "1");
  vMinEdit = AddEdit(client, VMinLine, 288, 487, 40, "-1");
  AddLabel(client, 331, 487, "< v <");
  vMaxEdit = AddEdit(client, VMaxLine, 365, 487, 40, "1");
  pMinEdit = AddEdit(client, PMinLine, 422, 42, 40, "0");
  AddLabel(client, 463, 43, "< p <");
  pMaxEdit = AddEdit(client, PMaxLine, 497, 42, 40, "2");
  qMinEdit = AddEdit(client, QMinLine, 422, 67, 40, "0");
  AddLabel(client, 463, 68, "< q <");
  qMaxEdit = AddEdit(client, QMaxLine, 497, 67, 40, "pi");

  Parametros = new PaintBox(client, 416, 104, 128, 128);
  Parametros->setObjectName(QStringLiteral("Parametros"));
  Parametros->OnPaint = [this](QPainter &p) { OnPainParameters(p); };
  Parametros->OnMouseMove = [this](Qt::MouseButtons b, int x, int y) {
    MueveEnParametros(b, x, y);
  };

  AddLabel(client, 415, 242, "p =");
  pValueEdit = AddEdit(client, PValueLine, 437, 242, 35, "1");
  AddLabel(client, 487, 242, "q =");
  qValueEdit = AddEdit(client, QValueLine, 509, 242, 35, "0");
  pValueEdit->installEventFilter(this);
  qValueEdit->installEventFilter(this);

  // Tab order: the fields in the order of the problem, but q's value before p's.
  static constexpr DataLine TabOrder[] = {XLine,    YLine,      ZLine,     UMinLine, UMaxLine,
                                          VMinLine, VMaxLine,   PMinLine,  PMaxLine, QMinLine,
                                          QMaxLine, QValueLine, PValueLine};
  for (std::size_t i = 0; i + 1 < std::size(TabOrder); ++i)
    QWidget::setTabOrder(Fields[TabOrder[i]], Fields[TabOrder[i + 1]]);

  DrawItLines = new QToolButton(client);
  DrawItLines->setObjectName(QStringLiteral("DrawItLines"));
  DrawItLines->setAutoRaise(true);
  DrawItLines->setFocusPolicy(Qt::NoFocus);
  DrawItLines->setGeometry(440, 320, 77, 30);
  DrawItLines->setFont(MakeFont({"MS Sans Serif", 16, true}));
  SetButtonCaption(QStringLiteral("Draw It"), CaptionBlue);
  connect(DrawItLines, &QToolButton::clicked, this, [this] { Dibujala(DrawSender::Button); });
}

void TTandor::BuildMenus() {
  QMenuBar *bar = menuBar();
  // The menus' access keys (Alt+F, ...) underline their first letter; the texts stay as they are.
  FileMenu = bar->addMenu(QStringLiteral("&File"));
  Open1 = FileMenu->addAction(QStringLiteral("Open..."), this, &TTandor::Abrir);
  RecentMenu = FileMenu->addMenu(QStringLiteral("Recent Files"));
  Recent = std::make_unique<RecentFiles>(RecentMenu,
                                         [this](const QString &file) { OpenRecentFile(file); });
  ExamplesSubmenu = FileMenu->addMenu(QStringLiteral("Examples"));
  Examples = std::make_unique<ExamplesMenu>(
      ExamplesSubmenu,
      [this](const QString &file, const QString &text) { OpenExample(file, text); });
  Save1 = FileMenu->addAction(QStringLiteral("Save"), this, &TTandor::Guarda);
  SaveAs1 = FileMenu->addAction(QStringLiteral("Save As.."), this, &TTandor::GuardaComo);
  ExportPicture1 = FileMenu->addAction(QStringLiteral("Export Picture..."), this,
                                       [this] { Exports.ExportPicture(); });
  ExportLocus1 = FileMenu->addAction(QStringLiteral("Export Locus..."), this,
                                     [this] { Exports.ExportLocus(); });
  Print1 = FileMenu->addAction(QStringLiteral("Print..."), this, &TTandor::OnPrint);
  FileMenu->addSeparator();
  Exit1 = FileMenu->addAction(QStringLiteral("Exit"), this, &TTandor::ExecuteQuit);
  // None of these is a key a line edit uses.
  Open1->setShortcut(QKeySequence(QStringLiteral("Ctrl+O")));
  Save1->setShortcut(QKeySequence(QStringLiteral("Ctrl+S")));
  SaveAs1->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+S")));
  Print1->setShortcut(QKeySequence(QStringLiteral("Ctrl+P")));
  Exit1->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));

  // The standard edit actions work on whichever field has the focus, also during a run.
  EditMenu = bar->addMenu(QStringLiteral("&Edit"));
  auto focusedEdit = [] { return qobject_cast<QLineEdit *>(QApplication::focusWidget()); };
  auto addEditAction = [&](const char *caption, const char *hint, QKeySequence::StandardKey key,
                           auto act) {
    QAction *action = EditMenu->addAction(QString::fromUtf8(caption));
    action->setToolTip(QString::fromUtf8(hint));
    action->setShortcut(key);
    connect(action, &QAction::triggered, this, [focusedEdit, act] {
      if (QLineEdit *edit = focusedEdit())
        act(edit);
    });
    return action;
  };
  Cut1 = addEditAction("Cu&t", "Cut", QKeySequence::Cut, [](QLineEdit *e) { e->cut(); });
  Copy1 = addEditAction("&Copy", "Copy", QKeySequence::Copy, [](QLineEdit *e) { e->copy(); });
  Paste1 = addEditAction("&Paste", "Paste", QKeySequence::Paste, [](QLineEdit *e) { e->paste(); });
  EditMenu->addSeparator();
  CopyPicture1 =
      EditMenu->addAction(QStringLiteral("Copy Picture"), this, [this] { Exports.CopyPicture(); });

  MethodMenu = bar->addMenu(QStringLiteral("&Method"));
  MethodGroup = new QActionGroup(this);
  MethodGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
  auto addMethod = [&](const char *caption, int tag) {
    QAction *item = MethodMenu->addAction(QString::fromUtf8(caption));
    item->setCheckable(true);
    item->setData(tag);
    MethodGroup->addAction(item);
    connect(item, &QAction::triggered, this, [this, item] { OnMethod(item); });
    return item;
  };
  Descent1 = addMethod("Descent", 0);
  GradualDescent1 = addMethod("Gradual Descent", 1);
  TrianglesIntersection1 = addMethod("Triangles Intersection", 2);
  Descent1->setChecked(true);

  ViewMenu = bar->addMenu(QStringLiteral("&View"));
  SingularPoints1 = ViewMenu->addAction(QStringLiteral("Singular Points"));
  SingularPoints1->setCheckable(true);
  SingularPoints1->setChecked(true);
  connect(SingularPoints1, &QAction::toggled, this, &TTandor::OnSingularPoints);
  Surface3D->AddViewItems(*ViewMenu);
  ParameterAtlas1 =
      ViewMenu->addAction(QStringLiteral("Parameter Atlas..."), this, &TTandor::OpenAtlas);
  Strata1 = ViewMenu->addAction(QStringLiteral("Strata"));
  Strata1->setCheckable(true);
  connect(Strata1, &QAction::toggled, this, &TTandor::OnStrata);
  StrataTimer = new QTimer(this);
  StrataTimer->setInterval(200);
  connect(StrataTimer, &QTimer::timeout, this, [this] {
    if (Strata.Poll())
      Parametros->update();
    if (!Strata.Busy())
      StrataTimer->stop();
  });

  HelpMenu = bar->addMenu(QStringLiteral("&Help"));
  Manual1 = HelpMenu->addAction(QStringLiteral("Manual..."), this, &TTandor::OpenManual);
  Manual1->setShortcut(QKeySequence(Qt::Key_F1));
}

void TTandor::SetButtonCaption(const QString &caption, QColor colour) {
  DrawItLines->setText(caption);
  QPalette palette = DrawItLines->palette();
  palette.setColor(QPalette::ButtonText, colour);
  DrawItLines->setPalette(palette);
}

bool TTandor::MethodMenuEnabled() const {
  return MethodMenu->menuAction()->isEnabled();
}

QAction *TTandor::MethodItem(int tag) const {
  for (QAction *item : MethodGroup->actions())
    if (item->data().toInt() == tag)
      return item;
  return nullptr;
}

// ---------------------------------------------------------------------------------------------
// The run

void TTandor::InitWatch() {
  G.StopRequested = false;
  G.Running = true;
  MethodGroup->setEnabled(false);
  SetButtonCaption(QStringLiteral("Stop"), CaptionRed);
  DrawItLines->repaint();
}

void TTandor::EndWatch() {
  G.StopRequested = false;
  G.Running = false;
  MethodGroup->setEnabled(true);
  BusySign->hide();
  SetButtonCaption(QStringLiteral("Draw It"), CaptionNavy);
  DrawItLines->repaint();
  // A value typed into p or q during the run was not read; it is now, so that what the field
  // shows is what the picture and a save use.
  if (QLineEdit *typed = std::exchange(ParameterTypedInRun, nullptr))
    QTimer::singleShot(0, this, [this, typed] { OnChangeParameters(typed); });
}

int TTandor::ReadForm() {
  InfoBar->clearMessage();
  FileLineLabel->clear();
  RefusedLine.reset();
  G.FieldTexts = {};
  DataLineArray texts;
  for (std::size_t i = 0; i < texts.size(); ++i)
    texts[i] = TrimField(Fields[i]->text().toStdString());
  const int outcome = ReadData(G, Map, texts, *this);
  LastRead = outcome;
  if (outcome != 2)
    AdjustCircleToParameters();
  return outcome;
}

void TTandor::Dibujala(DrawSender sender) {
  if (G.Running) {
    G.StopRequested = true;
    return;
  }
  int outcome = sender == DrawSender::None ? 1 : ReadForm();
  if (outcome == 2)
    ShowFailingField(sender);
  // A stopped run left part of a picture: Draw It computes it again, changed fields or not.
  if (outcome == 0 && sender == DrawSender::Button && LastRunStopped)
    outcome = 1;
  if (outcome != 1)
    return;
  DataToLines(G);
  if (Strata1->isChecked()) {
    Strata.Update(G.DataLines, Method);
    if (Strata.Busy())
      StrataTimer->start();
  }
  InitWatch();
  Control.StartRun();
  try {
    ComputeAndDraw();
  } catch (const std::exception &e) {
    // Only exhaustion of memory or the like gets here; the window must leave the running state.
    LastRunStopped = true;
    EndWatch();
    Dialogs->ShowError(this, QString::fromUtf8(e.what()));
    CloseIfAskedDuringRun();
    return;
  }
  LastRunStopped = G.StopRequested;
  EndWatch();
  RepaintPicture();
  G.Drawn = true;
  PictureLow = G.DomainLow;
  PictureHigh = G.DomainHigh;
  if (sender == DrawSender::Button)
    G.Dirty = true;
  UpdateActions();
  Surface3D->Follow();
  CloseIfAskedDuringRun();
}

void TTandor::UpdateActions() {
  for (QAction *action : {Save1, SaveAs1, Print1, ExportPicture1, ExportLocus1, CopyPicture1})
    action->setEnabled(G.Drawn);
  setWindowModified(G.Dirty);
}

void TTandor::ShowFailingField(DrawSender sender) {
  if (!RefusedLine)
    return;
  QLineEdit *field = Fields[*RefusedLine];
  field->setFocus(Qt::OtherFocusReason);
  field->selectAll();
  if (sender == DrawSender::OpenItem)
    FileLineLabel->setText(QStringLiteral("line %1 of %2")
                               .arg(*RefusedLine + 1)
                               .arg(QFileInfo(QString::fromStdString(G.FileName)).fileName()));
}

void TTandor::ShowBusy() {
  if (BusySign->isHidden())
    BusySign->show();
}

void TTandor::ComputeAndDraw() {
  // The method choice does not apply to a linear first function.
  MethodMenu->menuAction()->setEnabled(!G.IsLinear);
  const LocusMethod method = MethodInForce(G, Method);
  const bool computed = Locus.Compute(method, G, Map, Control);
  if (computed) {
    QPainter painter(&Picture);
    QtCanvas canvas(painter);
    canvas.SetBrush(White);
    // A result of millions of segments takes seconds to draw; Stop ends that too.
    Locus.Draw(method, canvas, G.PictureRect, true, G, &Control);
  }
  G.SiblingShown = false;
  if (!G.IsLinear)
    InfoBar->clearMessage();
  // The search runs on what the method found, under the same Stop; a stopped method's result
  // is not searched. Its count replaces the not-linear notice, which lasts only while the run
  // does.
  Singular.AfterRun(computed && !G.StopRequested, Locus, method, G, Map, Control);
  Singular.ShowCount(*InfoBar);
}

void TTandor::OnMethod(QAction *item) {
  if (item == nullptr)
    return;
  if (G.Running) {
    // The group has already moved the check mark; put it back.
    if (QAction *current = MethodItem(Method))
      current->setChecked(true);
    return;
  }
  const int tag = item->data().toInt();
  if (tag == Method)
    return;
  Method = tag;
  item->setChecked(true);
  if (G.Drawn)
    Dibujala(DrawSender::None);
}

// ---------------------------------------------------------------------------------------------
// The picture

void TTandor::OnPaintTandor(QPainter &painter) {
  painter.drawImage(0, 0, Picture);
  Surface3D->PaintMark(painter);
  // Only the sibling display's own repaints carry its circle; any other repaint (the window
  // uncovered, a menu closed over the box) copies the picture alone, and the circle is gone.
  if (!SiblingRepaint) {
    if (G.SiblingShown) {
      G.SiblingShown = false;
      // Only part of the box may have been uncovered; the rest of the circle must go too.
      Reloj->update();
    }
    return;
  }
  if (G.SiblingShown)
    DrawSiblingCircle(painter);
}

void TTandor::DrawSiblingCircle(QPainter &painter) const {
  QtCanvas canvas(painter);
  canvas.SetBrushClear();
  canvas.SetPen(SiblingCircleColour, 1, PenMode::Xor);
  const int x = G.SiblingPos[0], y = G.SiblingPos[1];
  canvas.Ellipse(x - 5, y - 5, x + 5, y + 5);
}

void TTandor::RepaintPicture() {
  Reloj->repaint();
}

void TTandor::DrawLittleCircle(int x, int y) {
  G.SiblingShown = true;
  G.SiblingPos = {x, y};
}

void TTandor::OnMouseMoveDrawing(int x, int y) {
  if (G.Running)
    return;
  Surface3D->PictureHover(x, y);
  const bool wasShown = G.SiblingShown;
  G.SiblingShown = false;
  // Before the first run no method has anything to look up.
  if (G.Drawn && y >= 0 && y <= G.PictureRect.Bottom) {
    // The method that drew the picture answers, whatever a refused read has made of the fields.
    int sx = 0, sy = 0;
    if (Locus.FindSibling(x, y, sx, sy))
      DrawLittleCircle(sx, sy);
  }
  if (wasShown || G.SiblingShown) {
    SiblingRepaint = true;
    RepaintPicture();
    SiblingRepaint = false;
  }
  ShowPointer(x, y);
}

void TTandor::ShowPointer(int x, int y) {
  const Vector2 low = G.Drawn ? PictureLow : G.DomainLow;
  const Vector2 high = G.Drawn ? PictureHigh : G.DomainHigh;
  std::optional<Vector2> sibling;
  if (G.SiblingShown)
    sibling = PointOfPixel(G.PictureRect, low, high, G.SiblingPos[0], G.SiblingPos[1]);
  QString text =
      QString::fromStdString(PointerReadout(PointOfPixel(G.PictureRect, low, high, x, y), sibling));
  // A mark under the mouse says more than where the mouse is: what the point is, and its image.
  if (const QString mark = G.Drawn ? Singular.MarkTextAt(x, y) : QString(); !mark.isEmpty())
    text = mark;
  // A message of the program stays until it is replaced or cleared; the count of the singular
  // points is no message to be read once, and comes back when the mouse leaves the picture.
  const QString shown = InfoBar->currentMessage();
  if (!shown.isEmpty() && shown != PointerText && shown != Singular.CountText())
    return;
  PointerText = text;
  InfoBar->showMessage(text);
}

void TTandor::ClearPointer() {
  if (!PointerText.isEmpty() && InfoBar->currentMessage() == PointerText) {
    InfoBar->clearMessage();
    Singular.ShowCount(*InfoBar);
  }
  PointerText.clear();
}

void TTandor::OnMouseLeaveDrawing() {
  ClearPointer();
  Surface3D->PictureLeft();
}

void TTandor::OnSingularPoints(bool shown) {
  if (G.Running) {
    // Put the check mark back; the picture is the run's until it ends.
    const QSignalBlocker quiet(SingularPoints1);
    SingularPoints1->setChecked(!shown);
    return;
  }
  const QString count = Singular.CountText();
  Singular.SetShown(shown);
  if (shown)
    Singular.ShowCount(*InfoBar);
  else if (!count.isEmpty() && InfoBar->currentMessage() == count)
    InfoBar->clearMessage();
  RepaintPicture();
}

// ---------------------------------------------------------------------------------------------
// The parameter square

void TTandor::PintaCirculo(int x, int y) {
  G.CirclePos = {x, y};
  Parametros->repaint();
}

void TTandor::OnPainParameters(QPainter &painter) {
  QtCanvas canvas(painter);
  canvas.SetBrush(White);
  canvas.FillRect(G.ParameterRect);
  if (Strata1->isChecked() && Strata.Ready()) {
    const PixelRect &r = G.ParameterRect;
    painter.drawImage(QRect(r.Left, r.Top, r.Width(), r.Height()), Strata.Image());
  }
  canvas.SetPen(Rgb{255, 0, 0}, 1, PenMode::Copy);
  const int x = G.CirclePos[0], y = G.CirclePos[1];
  canvas.Ellipse(x - 3, y - 3, x + 3, y + 3);
}

ParameterSquare TTandor::Square() const {
  return {G.ParameterRect, G.ParamLow, G.ParamHigh};
}

void TTandor::AdjustCircleToParameters() {
  if (const auto pixel = Square().PixelOf(G.ParamValue))
    PintaCirculo((*pixel)[0], (*pixel)[1]);
}

void TTandor::RunForNewParameters() {
  if (G.IsLinear && !ComputeLinearDirection(G, Map)) {
    InfoBar->showMessage(ConstantFirstFunction);
    Beep();
    return;
  }
  Dibujala(DrawSender::None);
}

void TTandor::OnStrata(bool shown) {
  if (shown && G.Drawn) {
    Strata.Update(G.DataLines, Method);
    StrataTimer->start();
  } else if (!shown) {
    Strata.Discard();
    StrataTimer->stop();
  }
  Parametros->update();
}

void TTandor::OpenAtlas() {
  if (!Atlas) {
    Atlas = new AtlasWindow(this);
    Atlas->OnTileChosen = [this](const Vector2 &pq) { MoveParametersTo(pq); };
  }
  Atlas->show();
  Atlas->raise();
  // The problem of the last read, with the method the menu has chosen.
  Atlas->Compute(G.DataLines, Method);
}

void TTandor::MoveParametersTo(const Vector2 &pq) {
  if (G.Running || !G.Drawn)
    return;
  if (const auto pixel = Square().PixelOf(pq))
    PintaCirculo((*pixel)[0], (*pixel)[1]);
  SetParamValue(G, Map, pq);
  SetFieldText(pValueEdit, FourSignificantDigits(pq[0]));
  SetFieldText(qValueEdit, FourSignificantDigits(pq[1]));
  G.Dirty = true;
  RunForNewParameters();
  UpdateActions();
}

void TTandor::MueveEnParametros(Qt::MouseButtons buttons, int x, int y) {
  if (G.Running || !G.Drawn || !(buttons & Qt::LeftButton))
    return;
  if (x == G.CirclePos[0] && y == G.CirclePos[1])
    return;
  const ParameterSquare square = Square();
  if (!square.Inside(x, y))
    return;
  PintaCirculo(x, y);
  const Vector2 pq = square.ValueAt(x, y);
  SetParamValue(G, Map, pq);
  SetFieldText(pValueEdit, FourSignificantDigits(pq[0]));
  SetFieldText(qValueEdit, FourSignificantDigits(pq[1]));
  pValueEdit->repaint();
  qValueEdit->repaint();
  G.Dirty = true;
  RunForNewParameters();
  UpdateActions();
}

void TTandor::SetFieldText(QLineEdit *field, const QString &text) {
  field->setText(text);
  // A field narrower than its text shows where the cursor is: the program's values from their
  // first character.
  field->setCursorPosition(0);
}

void TTandor::OnChangeParameters(QLineEdit *sender) {
  if (sender != pValueEdit && sender != qValueEdit)
    return;
  if (G.Running) {
    ParameterTypedInRun = sender;
    return;
  }
  if (!G.Drawn)
    return;
  const bool isP = sender == pValueEdit;
  double value = 0.0;
  try {
    value = EvaluateConstant(sender->text().toStdString());
  } catch (const InputError &) {
    SetButtonCaption(DrawItLines->text(), CaptionRed);
    DrawItLines->repaint();
    return;
  }
  // The range is that of the last read, which may have failed its checks with an infinite end.
  const double low = G.FieldValues[isP ? FieldPMin : FieldQMin];
  const double high = G.FieldValues[isP ? FieldPMax : FieldQMax];
  const bool inRange = std::isfinite(value) && low <= value && value <= high;
  // The other parameter, and this one when the value is refused, keep the pair in force.
  Vector2 pq = G.ParamValue;
  if (inRange)
    pq[isP ? 0 : 1] = value;
  SetParamValue(G, Map, pq);
  RunForNewParameters();
  // After the run, which clears the status bar of a non-linear problem: the refusal must stay
  // readable.
  if (!inRange)
    InfoBar->showMessage(isP ? QStringLiteral("p must between bounds")
                             : QStringLiteral("q must between bounds"));
}

bool TTandor::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() == QEvent::KeyRelease && (watched == pValueEdit || watched == qValueEdit)) {
    const auto *key = static_cast<QKeyEvent *>(event);
    // Enter has already drawn the fields as they stand.
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (!key->isAutoRepeat() && !enter)
      OnChangeParameters(static_cast<QLineEdit *>(watched));
  }
  return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// Status bar and beep

bool TTandor::event(QEvent *event) {
  // Qt would show every menu item's (empty) status tip in the status bar while the mouse runs
  // through the menus, wiping a message the user has not read yet. The bar shows only what the
  // program puts there.
  if (event->type() == QEvent::StatusTip)
    return true;
  return QMainWindow::event(event);
}

void TTandor::ShowStatus(const std::string &text) {
  PointerText.clear();
  InfoBar->showMessage(QString::fromStdString(text));
}

void TTandor::RefusedAt(DataLine line) {
  RefusedLine = line;
}

void TTandor::Beep() {
  ++BeepCount;
  QApplication::beep();
}

// ---------------------------------------------------------------------------------------------
// Files

bool TTandor::WriteDataList(const std::string &path) {
  G.DataList.assign(G.DataLines.begin(), G.DataLines.end());
  try {
    WriteDataFile(path, G.DataLines);
  } catch (const std::exception &e) {
    Dialogs->ShowError(this, QString::fromUtf8(e.what()));
    return false;
  }
  G.Dirty = false;
  Recent->Add(QString::fromStdString(path));
  UpdateActions();
  return true;
}

void TTandor::Guarda() {
  if (!G.Drawn || !G.Dirty || G.Running)
    return;
  if (G.FileName.empty()) {
    GuardaComo();
    return;
  }
  WriteDataList(G.FileName);
}

void TTandor::GuardaComo() {
  if (!G.Drawn || G.Running)
    return;
  const QString name = Dialogs->AskSaveFileName(this);
  if (name.isEmpty())
    return;
  G.FileName = name.toStdString();
  WriteDataList(G.FileName);
}

void TTandor::Abrir() {
  if (G.Running)
    return;
  const QString name = Dialogs->AskOpenFileName(this);
  if (!name.isEmpty())
    OpenDataFile(name);
}

bool TTandor::OpenDataFile(const QString &path, bool remember) {
  if (G.Running)
    return false;
  G.FileName = path.toStdString();
  DataLineArray lines;
  try {
    // A file that is not a whole problem is refused before any field changes.
    lines = ReadDataFile(G.FileName);
  } catch (const std::exception &e) {
    Dialogs->ShowError(this, QString::fromUtf8(e.what()));
    return false;
  }
  if (remember)
    Recent->Add(path);
  for (std::size_t i = 0; i < lines.size(); ++i)
    SetFieldText(Fields[i], QString::fromStdString(lines[i]));
  Dibujala(DrawSender::OpenItem);
  G.Dirty = false;
  setWindowTitle(QFileInfo(path).fileName() + QStringLiteral("[*]"));
  UpdateActions();
  return true;
}

void TTandor::OpenExample(const QString &path, const QString &text) {
  if (G.Running || !MayReplaceProblem())
    return;
  // Open names the file before reading it; an example that cannot be read must not leave a
  // Save aimed at the gallery.
  const std::string previous = G.FileName;
  if (!OpenDataFile(path, false)) {
    G.FileName = previous;
    return;
  }
  // An example is where the user starts, not the user's file: a later Save asks where to keep
  // the changes rather than write into the gallery.
  G.FileName.clear();
  if (LastRead != 2)
    InfoBar->showMessage(text);
}

void TTandor::OpenRecentFile(const QString &path) {
  if (G.Running)
    return;
  if (!QFileInfo::exists(path)) {
    Recent->Remove(path);
    Dialogs->ShowError(
        this,
        QStringLiteral("%1: the file is no longer there; it leaves the recent files.").arg(path));
    return;
  }
  if (MayReplaceProblem())
    OpenDataFile(path);
}

// ---------------------------------------------------------------------------------------------
// Printing

void TTandor::OnPrint() {
  if (!G.Drawn || G.Running)
    return;
  {
    RunningGuard running(G);
    QPrinter printer(QPrinter::HighResolution);
    if (!Dialogs->SetUpPrinter(this, printer)) {
      InfoBar->showMessage(QStringLiteral("Printing cancelled"));
    } else if (const int copies = printer.copyCount(); copies >= 1) {
      // The pages below are the copies; the printer must not multiply them again.
      printer.setCopyCount(1);
      printer.setPageOrientation(QPageLayout::Portrait);
      QPainter painter;
      if (!painter.begin(&printer)) {
        const QString target =
            printer.outputFileName().isEmpty() ? printer.printerName() : printer.outputFileName();
        Dialogs->ShowError(this, QStringLiteral("Cannot print to %1.").arg(target));
      } else {
        const int W = painter.device()->width(), H = painter.device()->height();
        QtCanvas canvas(painter);
        auto marks = [this](Canvas &c, const PixelRect &square) {
          Singular.DrawMarksInto(c, square);
        };
        const std::vector<std::string> counts = Singular.PageLines();
        const PageAdditions additions{marks, counts};
        for (int copy = 0; copy < copies; ++copy) {
          // The picture on the screen, whatever a refused read has made of the fields.
          DrawPrintedPage(canvas, W, H, Locus, Locus.LastMethod, G, additions);
          if (copy + 1 < copies)
            printer.newPage();
        }
        painter.end();
      }
    }
  }
  Reloj->update();
  CloseIfAskedDuringRun();
}

// ---------------------------------------------------------------------------------------------
// Closing and the manual

bool TTandor::CloseQueryClick() {
  if (G.Running) {
    // Letting the window go now would end the program when the run returns, without the
    // question and with the unsaved problem. The run is stopped instead, and the close is asked
    // again once it is over.
    G.StopRequested = true;
    CloseAfterRun = true;
    return false;
  }
  return MayReplaceProblem();
}

bool TTandor::MayReplaceProblem() {
  if (!G.Drawn || !G.Dirty)
    return true;
  switch (Dialogs->AskYesNo(this, QStringLiteral("Do you want to save these data?"))) {
  case WindowDialogs::Answer::No:
    return true;
  case WindowDialogs::Answer::Yes:
    Guarda();
    return !G.Dirty;
  case WindowDialogs::Answer::Dismissed:
    return false;
  }
  return false;
}

void TTandor::closeEvent(QCloseEvent *event) {
  if (ClosingConfirmed || CloseQueryClick()) {
    ClosingConfirmed = false;
    event->accept();
  } else {
    event->ignore();
  }
}

void TTandor::CloseIfAskedDuringRun() {
  if (!CloseAfterRun)
    return;
  CloseAfterRun = false;
  // From the event loop, not from here: the handler that started the run (Open, a drag) has to
  // finish first, and the window must not close under a handler still on the stack.
  QTimer::singleShot(0, this, [this] { close(); });
}

void TTandor::ExecuteQuit() {
  if (G.Running)
    return;
  if (!CloseQueryClick())
    return;
  ClosingConfirmed = true;
  close();
}

void TTandor::OpenManual() {
  if (G.Running)
    return;
  auto *manual = new TManual1();
  ManualWindow = manual;
  ManualWindows.erase(std::remove_if(ManualWindows.begin(), ManualWindows.end(),
                                     [](const QPointer<TManual1> &w) { return w.isNull(); }),
                      ManualWindows.end());
  ManualWindows.emplace_back(manual);
  manual->show();
}

} // namespace tandor
