// A monkey on the real window: thousands of random clicks, drags, keys and typed texts (formulas
// from a small grammar of the input language, bad ones among them), the menus, files saved and
// opened through the dialog seam, printing to PDF. Every run is stopped after a random number of
// polls, sometimes with more of the monkey's doings in between. Nothing may crash, hang or leave
// the window running; under the sanitizers nothing may be reported either.
//
// TANDOR_MONKEY_SEED repeats a run (the seed is printed); TANDOR_MONKEY_ACTIONS sets how many
// actions it takes (10000 by default).

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QScreen>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "ui/MainWindow.h"
#include "ui/ManualWindow.h"
#include "ui/PaintBox.h"

namespace tandor::testing {
namespace {

using Random = std::mt19937_64;

int Pick(Random &random, int n) {
  return std::uniform_int_distribution<int>(0, n - 1)(random);
}
bool Chance(Random &random, double p) {
  return std::uniform_real_distribution<double>(0, 1)(random) < p;
}
template <typename T, std::size_t N> const T &OneOf(Random &random, const T (&items)[N]) {
  return items[Pick(random, static_cast<int>(N))];
}

uint64_t EnvironmentNumber(const char *name, uint64_t otherwise) {
  const char *text = std::getenv(name);
  return text != nullptr && *text != 0 ? std::strtoull(text, nullptr, 10) : otherwise;
}

// Formulas as a user might type them: every spelling of every function in any case, implicit
// products, brackets of three kinds, decimal commas, powers; a fifth of them spoiled.
class FormulaGrammar {
public:
  explicit FormulaGrammar(Random &random) : R(random) {}

  std::string Formula() { return MaybeSpoiled(Sum(3)); }

  std::string Bound() {
    static const char *const bounds[] = {"-1",
                                         "1",
                                         "0",
                                         "-3",
                                         "3",
                                         "pi",
                                         "-pi",
                                         "2 pi",
                                         "0.01",
                                         "-0,5",
                                         "1.5",
                                         "1000000",
                                         "-2.5e3",
                                         "sqrt(2)",
                                         "1/3",
                                         "cos(pi/sqrt(5))",
                                         "",
                                         "u",
                                         "1)",
                                         "0.0000001",
                                         "1000000000000000000000000000000"};
    return Chance(R, 0.7) ? OneOf(R, bounds) : MaybeSpoiled(Sum(1));
  }

  std::string ParameterValue() {
    static const char *const values[] = {"0", "1", "0.5", "-1", "2", "pi", "3", "1,25", "x", ""};
    return OneOf(R, values);
  }

private:
  std::string Sum(int depth) {
    std::string text = Product(depth);
    for (int n = Pick(R, 3); n > 0; --n)
      text += std::string(Chance(R, 0.5) ? " + " : " - ") + Product(depth);
    return text;
  }

  std::string Product(int depth) {
    static const char *const joins[] = {"*", " ", "", "/", " * "};
    std::string text = Power(depth);
    for (int n = Pick(R, 3); n > 0; --n)
      text += OneOf(R, joins) + Power(depth);
    return text;
  }

  std::string Power(int depth) {
    std::string text = Chance(R, 0.15) ? "-" : "";
    text += Primary(depth);
    if (Chance(R, 0.2))
      text += (Chance(R, 0.8) ? "^" : "**") + std::string(Chance(R, 0.7) ? Number() : "v");
    return text;
  }

  std::string Primary(int depth) {
    static const char *const letters[] = {"u", "v", "p", "q", "pi", "U", "uv", "pu", "qv"};
    static const char *const functions[] = {
        "cos",    "sin",   "sen",     "exp",   "sqr",   "sqrt",    "ln",      "log",     "tg",
        "tan",    "sh",    "sinh",    "ch",    "cosh",  "th",      "tanh",    "arcsen",  "asen",
        "arcsin", "asin",  "arccos",  "acos",  "arcos", "arctg",   "arctan",  "atan",    "abs",
        "cotg",   "cotan", "cot",     "argch", "acosh", "arccosh", "argcosh", "arctanh", "argtanh",
        "argth",  "atanh", "arcsinh", "asinh", "argsh", "argsinh", "SIN",     "Cos"};
    static const char *const brackets[][2] = {{"(", ")"}, {"[", "]"}, {"{", "}"}};
    const int kind = depth <= 0 ? Pick(R, 2) : Pick(R, 4);
    if (kind == 0)
      return Number();
    if (kind == 1)
      return OneOf(R, letters);
    if (kind == 2)
      return std::string(OneOf(R, functions)) + "(" + Sum(depth - 1) + ")";
    const auto &b = OneOf(R, brackets);
    return b[0] + Sum(depth - 1) + b[1];
  }

  std::string Number() {
    static const char *const numbers[] = {"2", "3", "0.5", "1,5", "7", "10", "2'5", "0", "1"};
    return OneOf(R, numbers);
  }

  std::string MaybeSpoiled(std::string text) {
    if (!Chance(R, 0.2) || text.empty())
      return text;
    static const char *const junk[] = {"(", ")", "^", "*", "-", ".", ",", "é", "\x01", "sin", "e"};
    const std::size_t at = static_cast<std::size_t>(Pick(R, static_cast<int>(text.size())));
    switch (Pick(R, 3)) {
    case 0:
      return text.erase(at, 1);
    case 1:
      return text.insert(at, OneOf(R, junk));
    default:
      return text.substr(0, at);
    }
  }

  Random &R;
};

// Answers every question of the window at random, from a stream of its own so that the
// monkey's own choices stay the same from run to run.
class MonkeyDialogs final : public WindowDialogs {
public:
  MonkeyDialogs(uint64_t seed, const QString &folder) : R(seed), Folder(folder) {}

  QString AskOpenFileName(QWidget *) override {
    switch (Pick(R, 8)) {
    case 0:
      return {};
    case 1:
    case 2:
      return Saved.isEmpty() ? QString() : Saved[Pick(R, static_cast<int>(Saved.size()))];
    case 3:
      return CorpusFile();
    case 4:
      return GarbageFile();
    case 5:
      return Folder;
    case 6:
      return Folder + QStringLiteral("/missing.tdr");
    default:
      return CorpusFile();
    }
  }

  QString AskSaveFileName(QWidget *) override {
    const int k = Pick(R, 10);
    if (k < 3)
      return {};
    if (k == 9)
      return QStringLiteral("/nonexistent-folder/problem.tdr");
    const QString name = Folder + QStringLiteral("/saved-%1.tdr").arg(k % 3);
    if (!Saved.contains(name))
      Saved << name;
    return name;
  }

  Answer AskYesNo(QWidget *, const QString &) override {
    ++Questions;
    static const Answer answers[] = {Answer::Yes, Answer::No, Answer::Dismissed};
    return OneOf(R, answers);
  }

  bool SetUpPrinter(QWidget *, QPrinter &printer) override {
    if (Chance(R, 0.5))
      return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(Folder + QStringLiteral("/print.pdf"));
    printer.setCopyCount(1 + Pick(R, 2));
    ++Prints;
    return true;
  }

  void ShowError(QWidget *, const QString &message) override {
    EXPECT_FALSE(message.isEmpty());
    ++Errors;
  }

  // Exports: cancelled, a PNG of some size, an SVG, or a place that cannot be written.
  PictureTarget AskPictureFile(QWidget *) override {
    switch (Pick(R, 5)) {
    case 0:
      return {};
    case 1:
      return {Folder + QStringLiteral("/picture.png"), 16 + Pick(R, 600)};
    case 2:
      return {Folder + QStringLiteral("/picture.svg"), 400};
    case 3:
      return {QStringLiteral("/nonexistent-folder/picture.png"), 400};
    default:
      return {Folder + QStringLiteral("/picture.png"), 400};
    }
  }

  QString AskLocusFile(QWidget *) override {
    const int k = Pick(R, 4);
    if (k == 0)
      return {};
    if (k == 3)
      return QStringLiteral("/nonexistent-folder/locus.csv");
    return Folder + QStringLiteral("/locus.csv");
  }

  int Questions = 0, Prints = 0, Errors = 0;

private:
  // A copy: a later Save writes to the file that was opened, and the tree must stay as it is.
  QString CorpusFile() {
    const QDir corpus(qEnvironmentVariable("TANDOR_SOURCE_DIR", QStringLiteral(".")) +
                      QStringLiteral("/fuzz/corpus/datafile"));
    const QStringList names = corpus.entryList(QDir::Files, QDir::Name);
    if (names.isEmpty())
      return {};
    const QString copy = Folder + QStringLiteral("/opened.tdr");
    QFile::remove(copy);
    QFile::copy(corpus.filePath(names[Pick(R, names.size())]), copy);
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
    return copy;
  }
  QString GarbageFile() {
    const QString name = Folder + QStringLiteral("/garbage.tdr");
    QFile file(name);
    if (file.open(QIODevice::WriteOnly)) {
      QByteArray bytes;
      for (int n = Pick(R, 400); n > 0; --n)
        bytes += Chance(R, 0.1) ? '\n' : static_cast<char>(Pick(R, 256));
      file.write(bytes);
    }
    return name;
  }

  Random R;
  QString Folder;
  QStringList Saved;
};

// Ends the program with an account of the action under way when one action takes too long: a
// hang must fail the test, not stall it.
class Watchdog {
public:
  explicit Watchdog(std::chrono::seconds limit) : Limit(limit), Thread([this] { Watch(); }) {}
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(Mutex);
      Done = true;
    }
    Wake.notify_all();
    Thread.join();
  }
  void Starting(const std::string &action, const std::string &problem) {
    std::lock_guard<std::mutex> lock(Mutex);
    Action = action;
    Problem = problem;
    Since = std::chrono::steady_clock::now();
  }
  void Describe(const std::string &action) {
    std::lock_guard<std::mutex> lock(Mutex);
    Action = action;
  }

private:
  void Watch() {
    std::unique_lock<std::mutex> lock(Mutex);
    while (!Wake.wait_for(lock, std::chrono::seconds(1), [this] { return Done; })) {
      if (std::chrono::steady_clock::now() - Since > Limit) {
        std::fprintf(stderr,
                     "\nThe monkey's action %s has not ended after %lld s: a hang.\nBefore it: "
                     "%s\n",
                     Action.c_str(), static_cast<long long>(Limit.count()), Problem.c_str());
        std::abort();
      }
    }
  }

  std::chrono::seconds Limit;
  std::mutex Mutex;
  std::condition_variable Wake;
  bool Done = false;
  std::string Action = "(none)";
  std::string Problem;
  std::chrono::steady_clock::time_point Since = std::chrono::steady_clock::now();
  std::thread Thread;
};

#if defined(__SANITIZE_ADDRESS__)
constexpr int SlowDown = 5;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int SlowDown = 5;
#else
constexpr int SlowDown = 1;
#endif
#else
constexpr int SlowDown = 1;
#endif

class Monkey {
public:
  Monkey(uint64_t seed, const QString &folder)
      : R(seed), PollRandom(seed ^ 0x5bd1e995u), Grammar(R), PollGrammar(PollRandom) {
    auto dialogs = std::make_unique<MonkeyDialogs>(seed ^ 0x9e3779b9u, folder);
    Dialogs = dialogs.get();
    Window = std::make_unique<TTandor>(G, Map, Locus, std::move(dialogs));
    Window->show();
    Window->PollHook = [this] { OnPoll(); };
    // A dialog outside the seam would wait for a person for ever; close it and say so.
    ModalGuard.setInterval(200);
    QObject::connect(&ModalGuard, &QTimer::timeout, [this] {
      if (QWidget *modal = QApplication::activeModalWidget(); modal != nullptr) {
        ADD_FAILURE() << "a modal window opened outside the dialog seam: "
                      << modal->metaObject()->className() << " during " << Current;
        modal->close();
      }
    });
    ModalGuard.start();
  }
  ~Monkey() {
    ModalGuard.stop();
    G.Running = false;
    G.Dirty = false; // no question when the window goes
  }

  // One action; false once the window is found in a state it must never be left in, or
  // showing something else than its picture.
  bool Act(int index, Watchdog &watchdog) {
    Current = "#";
    Current += std::to_string(index);
    Dog = &watchdog;
    ProblemAtStart = ProblemInForce();
    watchdog.Starting(Current, ProblemAtStart);
    NewRun();
    ChooseAndAct();
    CloseStrayPopups();
    ReturnToTheEventLoop();
    if (index % 250 == 249 && !ThePictureIsOnTheScreen())
      return false;
    return Settled();
  }

  Glob G;
  MapFunctions Map;
  LocusSolvers Locus;
  std::unique_ptr<TTandor> Window;
  MonkeyDialogs *Dialogs = nullptr;
  int Runs = 0, Stops = 0, Interferences = 0;

private:
  // Weights per thousand actions.
  void ChooseAndAct() {
    struct Choice {
      int Weight;
      void (Monkey::*Act)();
    };
    static constexpr Choice choices[] = {{180, &Monkey::ClickAnywhere},
                                         {100, &Monkey::PressDrawIt},
                                         {100, &Monkey::TypeFormula},
                                         {80, &Monkey::TypeBound},
                                         {40, &Monkey::TypeParameterValue},
                                         {70, &Monkey::DragInParameterSquare},
                                         {90, &Monkey::MoveOverPicture},
                                         {130, &Monkey::PressKey},
                                         {50, &Monkey::ChooseMethod},
                                         {30, &Monkey::LoadKnownProblem},
                                         {90, &Monkey::FileAction},
                                         {15, &Monkey::EditAction},
                                         {15, &Monkey::Close},
                                         {4, &Monkey::OpenManual},
                                         {6, &Monkey::CloseManuals}};
    int k = Pick(R, 1000);
    for (const Choice &choice : choices) {
      if (k < choice.Weight) {
        (this->*choice.Act)();
        return;
      }
      k -= choice.Weight;
    }
  }

  void TypeFormula() {
    TypeInto(Window->Fields[static_cast<std::size_t>(Pick(R, 3))], Grammar.Formula());
  }
  void TypeBound() {
    TypeInto(Window->Fields[static_cast<std::size_t>(3 + Pick(R, 8))], Grammar.Bound());
  }
  void TypeParameterValue() {
    TypeInto(Pick(R, 2) == 0 ? Window->pValueEdit : Window->qValueEdit, Grammar.ParameterValue());
  }

  // The problem of the last run, the method and the fields, for the account of a hang.
  std::string ProblemInForce() const {
    std::string text = "method " + std::to_string(Window->MethodNumber()) + ", last run:";
    for (const std::string &line : G.DataLines)
      text += " [" + line + "]";
    text += ", fields:";
    for (QLineEdit *field : Window->Fields)
      text += " [" + field->text().toStdString() + "]";
    return text;
  }

  void Note(const std::string &what) {
    Current += " " + what;
    Dog->Describe(Current);
  }

  // After every action the window is at rest: no run going, no stop pending, the button ready.
  bool Settled() {
    EXPECT_FALSE(G.Running) << Current;
    EXPECT_FALSE(G.StopRequested) << Current;
    EXPECT_EQ(Window->DrawItLines->text(), "Draw It") << Current;
    EXPECT_EQ(Window->Picture.size(), QSize(400, 400)) << Current;
    return !G.Running && !G.StopRequested && Window->DrawItLines->text() == "Draw It";
  }

  // What the event loop would do between two actions: paint, and carry out what the window
  // left for later (a close asked for during a run). A closed window is opened again.
  void ReturnToTheEventLoop() {
    QApplication::processEvents();
    if (!Window->isVisible()) {
      Window->show();
      QApplication::processEvents();
    }
    // A paint may post another (the rest of a sibling circle to wipe, a run left for later);
    // the loop would carry those out before anything else, so the monkey waits for them too.
    QApplication::sendPostedEvents();
    QApplication::processEvents();
  }

  // Whatever happened, the box shows the picture of the last run (the sibling circle aside).
  bool ThePictureIsOnTheScreen() {
    if (G.SiblingShown)
      return true;
    const QPoint at = Window->Reloj->mapTo(Window.get(), QPoint(0, 0));
    const QImage shown = Window->screen()
                             ->grabWindow(Window->winId(), at.x(), at.y(), 400, 400)
                             .toImage()
                             .convertToFormat(QImage::Format_RGB32);
    const bool same = shown == Window->Picture.convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE(same) << Current;
    return same;
  }

  // Each input event may start a run; each run gets its own number of polls before Stop.
  void NewRun() {
    Polls = 0;
    const int k = Pick(PollRandom, 100);
    StopAfter = k < 70 ? 1 + Pick(PollRandom, 30) : k < 95 ? 30 + Pick(PollRandom, 300) : 3000;
  }

  void OnPoll() {
    if (Polls++ == 0)
      ++Runs;
    if (Polls == StopAfter) {
      ++Stops;
      StoppedAt = std::chrono::steady_clock::now();
      QTest::mouseClick(Window->DrawItLines, Qt::LeftButton);
      return;
    }
    if (Polls > StopAfter && std::chrono::steady_clock::now() - StoppedAt > StopLimit) {
      std::fprintf(stderr,
                   "\nThe monkey's action %s: Stop was pressed %lld s and %d polls ago "
                   "and the run goes on.\nBefore it: %s\n",
                   Current.c_str(), static_cast<long long>(StopLimit.count()), Polls - StopAfter,
                   ProblemAtStart.c_str());
      std::abort();
    }
    if (InterferenceDepth == 0 && Chance(PollRandom, 0.02)) {
      ++Interferences;
      ++InterferenceDepth;
      Interfere();
      --InterferenceDepth;
    }
  }

  // What a user may do while a run goes on: everything but the button must wait.
  void Interfere() {
    switch (Pick(PollRandom, 7)) {
    case 0:
      MoveMouse(Window->Parametros, Pick(PollRandom, 128), Pick(PollRandom, 128), Qt::LeftButton);
      break;
    case 1:
      MoveMouse(Window->Reloj, Pick(PollRandom, 400), Pick(PollRandom, 400), Qt::NoButton);
      break;
    case 2: {
      QAction *const items[] = {
          Window->Descent1, Window->GradualDescent1, Window->TrianglesIntersection1,
          Window->Save1,    Window->SaveAs1,         Window->Open1,
          Window->Print1,   Window->Exit1,           Window->Manual1};
      OneOf(PollRandom, items)->trigger();
      break;
    }
    case 3:
      QTest::keyClick(Window->pValueEdit, Qt::Key_1);
      break;
    case 4:
      Window->xEdit->setText(QString::fromStdString(PollGrammar.Formula()));
      break;
    case 5:
      Window->close();
      break;
    default:
      QTest::mouseClick(Window->DrawItLines, Qt::LeftButton);
      break;
    }
  }

  static void MoveMouse(QWidget *box, int x, int y, Qt::MouseButtons buttons) {
    QMouseEvent move(QEvent::MouseMove, QPointF(x, y), box->mapToGlobal(QPointF(x, y)),
                     Qt::NoButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(box, &move);
  }

  void ClickAnywhere() {
    const QPoint at(Pick(R, Window->width()), Pick(R, Window->height()));
    QWidget *target = Window->childAt(at);
    if (target == nullptr || qobject_cast<QMenuBar *>(target) != nullptr)
      target = Window.get();
    static const Qt::MouseButton buttons[] = {Qt::LeftButton, Qt::LeftButton, Qt::LeftButton,
                                              Qt::RightButton, Qt::MiddleButton};
    const Qt::MouseButton button = OneOf(R, buttons);
    const QPoint local = target->mapFrom(Window.get(), at);
    Note("click " + target->objectName().toStdString());
    if (Chance(R, 0.1))
      QTest::mouseDClick(target, button, Qt::NoModifier, local);
    else
      QTest::mouseClick(target, button, Qt::NoModifier, local);
  }

  void PressDrawIt() {
    Note("Draw It");
    QTest::mouseClick(Window->DrawItLines, Qt::LeftButton);
  }

  void TypeInto(QLineEdit *field, const std::string &text) {
    Note("type \"" + text + "\" into field " + field->property("Tag").toString().toStdString());
    field->setFocus();
    if (Chance(R, 0.7))
      field->selectAll();
    if (Chance(R, 0.3)) {
      field->setText(QString::fromStdString(text));
      return;
    }
    // Each key release of the parameter values starts a run of its own.
    for (const QChar c : QString::fromStdString(text)) {
      NewRun();
      // QTest has keys for printable ASCII only; anything else arrives as if pasted.
      if (c.unicode() >= 0x20 && c.unicode() < 0x7f)
        QTest::keyClick(field, static_cast<char>(c.unicode()));
      else
        field->insert(QString(c));
    }
    if (Chance(R, 0.5)) {
      NewRun();
      QTest::keyClick(field, Qt::Key_Return);
    }
  }

  void DragInParameterSquare() {
    Note("drag in the parameter square");
    QWidget *square = Window->Parametros;
    QTest::mousePress(square, Qt::LeftButton, Qt::NoModifier, QPoint(Pick(R, 128), Pick(R, 128)));
    for (int n = 1 + Pick(R, 5); n > 0; --n) {
      NewRun();
      MoveMouse(square, Pick(R, 140) - 6, Pick(R, 140) - 6, Qt::LeftButton);
    }
    QTest::mouseRelease(square, Qt::LeftButton, Qt::NoModifier, QPoint(Pick(R, 128), Pick(R, 128)));
  }

  void MoveOverPicture() {
    Note("moves over the picture");
    for (int n = 1 + Pick(R, 10); n > 0; --n)
      MoveMouse(Window->Reloj, Pick(R, 420) - 10, Pick(R, 420) - 10, Qt::NoButton);
  }

  void PressKey() {
    struct Key {
      Qt::Key Code;
      Qt::KeyboardModifiers Modifiers;
    };
    static const Key keys[] = {
        {Qt::Key_Tab, Qt::NoModifier},      {Qt::Key_Backtab, Qt::ShiftModifier},
        {Qt::Key_Return, Qt::NoModifier},   {Qt::Key_Enter, Qt::NoModifier},
        {Qt::Key_Escape, Qt::NoModifier},   {Qt::Key_Backspace, Qt::NoModifier},
        {Qt::Key_Delete, Qt::NoModifier},   {Qt::Key_Left, Qt::NoModifier},
        {Qt::Key_Right, Qt::ShiftModifier}, {Qt::Key_Home, Qt::NoModifier},
        {Qt::Key_End, Qt::ShiftModifier},   {Qt::Key_Up, Qt::NoModifier},
        {Qt::Key_Space, Qt::NoModifier},    {Qt::Key_A, Qt::ControlModifier},
        {Qt::Key_C, Qt::ControlModifier},   {Qt::Key_V, Qt::ControlModifier},
        {Qt::Key_X, Qt::ControlModifier},   {Qt::Key_Z, Qt::ControlModifier},
        {Qt::Key_F1, Qt::NoModifier},       {Qt::Key_U, Qt::NoModifier},
        {Qt::Key_9, Qt::NoModifier},        {Qt::Key_ParenLeft, Qt::NoModifier},
        {Qt::Key_Minus, Qt::NoModifier},    {Qt::Key_Period, Qt::NoModifier}};
    const Key &key = OneOf(R, keys);
    QWidget *target = QApplication::focusWidget();
    if (target == nullptr)
      target = Window.get();
    Note("key " + std::to_string(key.Code) + " to " + target->objectName().toStdString());
    QTest::keyClick(target, key.Code, key.Modifiers);
  }

  void ChooseMethod() {
    QAction *const items[] = {Window->Descent1, Window->GradualDescent1,
                              Window->TrianglesIntersection1};
    QAction *item = OneOf(R, items);
    Note("method " + item->text().toStdString());
    item->trigger();
  }

  // Problems whose runs are known to be hard: the gallery's classics, a narrow domain, a
  // problem whose gradual descent once never ended.
  void LoadKnownProblem() {
    static const char *const problems[][13] = {
        {"u", "v(v^2 - p)", "v(u+v^4- pv^2)", "-1", "1", "-1", "1", "0", "2", "0", "pi", "1", "0"},
        {"u^2", "v", "u^3 - u v", "-1", "1", "-1", "1", "0", "2", "0", "3", "1", "0"},
        {"u", "v^2", "u v", "-1", "1", "-1", "1", "0", "2", "0", "3", "1", "0"},
        {"(2+cos(v))cos(u)", "(2+cos(v))sin(u)", "sin(v)", "0", "0.01", "0", "0.01", "0", "1", "0",
         "1", "0", "0"},
        {"sin(7u)+v^2", "cos(7v)+u^3", "sin(5uv)+cos(3u+2v)", "-3", "3", "-3", "3", "0", "2", "0",
         "1", "1", "0"},
        {"u^2 + sin(3v)", "v^3 - u", "uv + cos(2u v)", "-1", "1", "-1", "1", "0", "2", "0", "1",
         "1", "0"}};
    const int k = Pick(R, static_cast<int>(std::size(problems)));
    Note("problem " + std::to_string(k));
    for (std::size_t i = 0; i < 13; ++i)
      Window->Fields[i]->setText(QString::fromUtf8(problems[k][i]));
    if (Chance(R, 0.7))
      PressDrawIt();
  }

  void FileAction() {
    QAction *const items[] = {Window->Save1, Window->Save1, Window->SaveAs1, Window->SaveAs1,
                              Window->Open1, Window->Open1, Window->Open1,   Window->Print1};
    QAction *item = OneOf(R, items);
    Note(item->text().toStdString());
    item->trigger();
  }

  void EditAction() {
    QAction *const items[] = {Window->Cut1, Window->Copy1, Window->Paste1};
    QAction *item = OneOf(R, items);
    Note(item->text().toStdString());
    item->trigger();
  }

  void Close() {
    if (Chance(R, 0.5)) {
      Note("Exit");
      Window->Exit1->trigger();
    } else {
      Note("close");
      Window->close();
    }
  }

  void OpenManual() {
    Note("manual");
    Window->Manual1->trigger();
  }

  void CloseManuals() {
    Note("close the manuals");
    for (QWidget *w : QApplication::topLevelWidgets())
      if (qobject_cast<TManual1 *>(w) != nullptr)
        w->close();
  }

  static void CloseStrayPopups() {
    while (QWidget *popup = QApplication::activePopupWidget())
      popup->close();
  }

  Random R;
  Random PollRandom;
  FormulaGrammar Grammar;
  FormulaGrammar PollGrammar; // what is typed during runs, which may differ from run to run
  QTimer ModalGuard;
  std::string Current;
  Watchdog *Dog = nullptr;
  std::string ProblemAtStart;
  // A stopped run ends at its next poll; this much later it counts as one that never ends.
  static constexpr std::chrono::seconds StopLimit{10 * SlowDown};
  std::chrono::steady_clock::time_point StoppedAt;
  int Polls = 0;
  int StopAfter = 1;
  int InterferenceDepth = 0;
};

TEST(Monkey, RandomUseNeitherCrashesNorHangsNorLeavesTheWindowRunning) {
  const uint64_t seed = EnvironmentNumber(
      "TANDOR_MONKEY_SEED",
      static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()));
  const int actions = static_cast<int>(EnvironmentNumber("TANDOR_MONKEY_ACTIONS", 10000));
  std::printf("Monkey seed %llu (TANDOR_MONKEY_SEED repeats it), %d actions\n",
              static_cast<unsigned long long>(seed), actions);
  std::fflush(stdout);
  ::testing::Test::RecordProperty("seed", std::to_string(seed));
  QApplication::setQuitOnLastWindowClosed(false);

  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  Monkey monkey(seed, folder.path());
  Watchdog watchdog(std::chrono::seconds(60 * SlowDown));
  for (int i = 0; i < actions; ++i)
    if (!monkey.Act(i, watchdog))
      break;
  std::printf("%d runs, %d stopped, %d interferences during runs, %d questions, %d prints, "
              "%d file errors\n",
              monkey.Runs, monkey.Stops, monkey.Interferences, monkey.Dialogs->Questions,
              monkey.Dialogs->Prints, monkey.Dialogs->Errors);
}

} // namespace
} // namespace tandor::testing
