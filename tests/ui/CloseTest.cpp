// Closing the window: the save question as the real message box asks it, and a close that comes
// while a run or a print is going.

#include <QAction>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include "WindowFixture.h"

namespace tandor::testing {
namespace {

QByteArray Contents(const QString &path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// As the close box of the frame asks it: through the platform window, not the widget.
bool CloseBox(QWidget *window) {
  return window->windowHandle()->close();
}

// Processes events until done() holds or a second has passed.
template <class Done> bool WaitFor(Done done) {
  for (int i = 0; i < 100 && !done(); ++i)
    QTest::qWait(10);
  return done();
}

const char *const FoldFile =
    "u^2\r\nv\r\nu^3 - uv\r\n-1\r\n1\r\n-1\r\n1\r\n0\r\n2\r\n0\r\n3\r\n1\r\n0\r\n";

// ---------------------------------------------------------------------------------------------
// The question as the ordinary Qt box asks it, answered with real keys and clicks.

enum class BoxAction { PressEscape, CloseTheBox, ClickYes, ClickNo };

struct BoxCase {
  const char *name;
  BoxAction action;
  bool closes, saved;
};

void PrintTo(const BoxCase &c, std::ostream *os) {
  *os << c.name;
}

// Acts on the question box once it shows in its own modal loop.
class BoxAnswerer {
public:
  explicit BoxAnswerer(BoxAction action) {
    QObject::connect(&Timer, &QTimer::timeout, [this, action] {
      auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
      if (box == nullptr || !box->isVisible())
        return;
      Timer.stop();
      Text = box->text();
      Buttons = box->buttons().size();
      switch (action) {
      case BoxAction::PressEscape:
        QTest::keyClick(box, Qt::Key_Escape);
        break;
      case BoxAction::CloseTheBox:
        CloseBox(box);
        break;
      case BoxAction::ClickYes:
        QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
        break;
      case BoxAction::ClickNo:
        QTest::mouseClick(box->button(QMessageBox::No), Qt::LeftButton);
        break;
      }
    });
    Timer.start(5);
  }
  QString Text;
  qsizetype Buttons = 0;

private:
  QTimer Timer;
};

class RealQuestion : public ::testing::TestWithParam<BoxCase> {
protected:
  RealQuestion() : Window(G, Map, Locus) { // the ordinary dialogs
    Window.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&Window));
  }
  ~RealQuestion() override { G.Dirty = false; }

  Glob G;
  MapFunctions Map;
  LocusSolvers Locus;
  TTandor Window;
  QTemporaryDir Folder;
};

TEST_P(RealQuestion, OnlyYesAndNoAnswerIt) {
  const BoxCase &c = GetParam();
  Window.xEdit->setText("u^2");
  Window.yEdit->setText("v");
  Window.zEdit->setText("u^3 - uv");
  Window.qMaxEdit->setText("3");
  QTest::mouseClick(Window.DrawItLines, Qt::LeftButton);
  ASSERT_TRUE(G.Dirty);
  const QString path = Folder.filePath("fold.tdr");
  G.FileName = path.toStdString(); // Yes saves without a file dialog

  BoxAnswerer answerer(c.action);
  EXPECT_EQ(CloseBox(&Window), c.closes);
  EXPECT_EQ(answerer.Text, "Do you want to save these data?");
  EXPECT_EQ(answerer.Buttons, 2);
  EXPECT_EQ(Window.isVisible(), !c.closes);
  EXPECT_EQ(G.Dirty, !c.saved);
  EXPECT_EQ(Contents(path), c.saved ? QByteArray(FoldFile) : QByteArray());
}

INSTANTIATE_TEST_SUITE_P(
    Window, RealQuestion,
    ::testing::Values(BoxCase{"Escape", BoxAction::PressEscape, false, false},
                      BoxCase{"ClosedBox", BoxAction::CloseTheBox, false, false},
                      BoxCase{"Yes", BoxAction::ClickYes, true, true},
                      BoxCase{"No", BoxAction::ClickNo, true, false}),
    [](const ::testing::TestParamInfo<BoxCase> &info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// A close during a run stops it and asks when it is over; the window goes only after the run has
// returned.

class CloseDuringRun : public WindowTest {
protected:
  // A problem that takes a while, computed once whole; returns the evaluations of that run.
  uint64_t FullRun() {
    SetProblem("u^2 + sin(3v)", "v^3 - u", "uv + cos(2u v)");
    const uint64_t before = Map.Evaluations;
    PressDrawIt();
    return Map.Evaluations - before;
  }
  // The same problem changed a little, so that the next press computes again.
  void ChangeTheProblem() { Window->vMinEdit->setText("-0.999"); }

  // Closes the window from inside the run, once the tracer has found something.
  void CloseOnceMidRun() {
    Window->PollHook = [this] {
      if (ClosedMidRun || Locus.Solver(LocusMethod::Descent)->TracePoints()->empty())
        return;
      ClosedMidRun = true;
      ClosedAtOnce = CloseBox(Window.get());
      VisibleAfterClose = Window->isVisible();
      AskedDuringRun = !Dialogs->Questions.isEmpty();
    };
    Dialogs->WhenAsked = [this] { RunningWhenAsked = G.Running; };
  }

  bool ClosedMidRun = false, ClosedAtOnce = true, VisibleAfterClose = false;
  bool AskedDuringRun = true, RunningWhenAsked = true;
  QTemporaryDir Folder;
};

TEST_F(CloseDuringRun, StopsTheRunThenAsksAndSavesWhatWasComputed) {
  const uint64_t full = FullRun();
  ChangeTheProblem();
  const QString path = Folder.filePath("stopped.tdr");
  Dialogs->Answers = {WindowDialogs::Answer::Yes};
  Dialogs->SaveNames = {path};
  CloseOnceMidRun();

  const uint64_t before = Map.Evaluations;
  PressDrawIt();
  ASSERT_TRUE(ClosedMidRun);
  EXPECT_FALSE(ClosedAtOnce);
  EXPECT_TRUE(VisibleAfterClose);
  EXPECT_FALSE(AskedDuringRun);
  EXPECT_LT(Map.Evaluations - before, full) << "the run was stopped";
  EXPECT_TRUE(G.Drawn);

  ASSERT_TRUE(WaitFor([&] { return !Window->isVisible(); }));
  EXPECT_EQ(Dialogs->Questions, QStringList{"Do you want to save these data?"});
  EXPECT_FALSE(RunningWhenAsked);
  EXPECT_FALSE(G.Running);
  EXPECT_FALSE(G.StopRequested);
  EXPECT_FALSE(G.Dirty);
  EXPECT_TRUE(Contents(path).startsWith("u^2 + sin(3v)\r\nv^3 - u\r\nuv + cos(2u v)\r\n-1\r\n1\r\n"
                                        "-0.999\r\n"));
}

TEST_F(CloseDuringRun, ADismissedQuestionKeepsTheWindowAndTheNextCloseAsksAgain) {
  FullRun();
  ChangeTheProblem();
  Dialogs->Answers = {WindowDialogs::Answer::Dismissed};
  CloseOnceMidRun();
  PressDrawIt();
  Window->PollHook = nullptr;
  ASSERT_TRUE(WaitFor([&] { return !Dialogs->Questions.isEmpty(); }));
  QTest::qWait(20);
  EXPECT_TRUE(Window->isVisible());
  EXPECT_TRUE(G.Dirty);
  EXPECT_EQ(Dialogs->SaveAsked, 0);

  // Nothing of the earlier close lingers: one close, one question.
  Dialogs->Answers = {WindowDialogs::Answer::No};
  EXPECT_TRUE(CloseBox(Window.get()));
  EXPECT_EQ(Dialogs->Questions.size(), 2);
  QTest::qWait(20);
  EXPECT_EQ(Dialogs->Questions.size(), 2);
}

TEST_F(CloseDuringRun, ExitDuringARunDoesNothingAndAsksAfterIt) {
  FullRun();
  ChangeTheProblem();
  bool exited = false;
  Window->PollHook = [&] {
    if (!exited) {
      exited = true;
      Window->Exit1->trigger();
    }
  };
  const uint64_t before = Map.Evaluations;
  PressDrawIt();
  const uint64_t withExit = Map.Evaluations - before;
  Window->PollHook = nullptr;
  ASSERT_TRUE(exited);
  QTest::qWait(20);
  EXPECT_TRUE(Window->isVisible());
  EXPECT_TRUE(Dialogs->Questions.isEmpty());

  // The run went to its end: the same problem computed again takes as many evaluations.
  Window->vMinEdit->setText("-1");
  PressDrawIt();
  ChangeTheProblem();
  const uint64_t again = Map.Evaluations;
  PressDrawIt();
  EXPECT_EQ(Map.Evaluations - again, withExit);

  Dialogs->Answers = {WindowDialogs::Answer::No};
  Window->Exit1->trigger();
  EXPECT_FALSE(Window->isVisible());
  EXPECT_EQ(Dialogs->Questions.size(), 1);
}

TEST_F(CloseDuringRun, AClosingDuringAPrintAsksWhenThePrintIsOver) {
  SetProblem("u^2", "v", "u^3 - uv");
  PressDrawIt();
  bool visibleAfterClose = false;
  Dialogs->Printer = [&](QPrinter &) {
    visibleAfterClose = !CloseBox(Window.get()) && Window->isVisible();
    return false; // cancelled
  };
  Dialogs->WhenAsked = [this] { RunningWhenAsked = G.Running; };
  Dialogs->Answers = {WindowDialogs::Answer::No};
  Window->Print1->trigger();
  EXPECT_TRUE(visibleAfterClose);
  EXPECT_EQ(Status(), "Printing cancelled");
  ASSERT_TRUE(WaitFor([&] { return !Window->isVisible(); }));
  EXPECT_EQ(Dialogs->Questions.size(), 1);
  EXPECT_FALSE(RunningWhenAsked);
}

} // namespace
} // namespace tandor::testing
