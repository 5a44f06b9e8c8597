// The window as a new user meets it: what the fields show, the keys, where an error points, the
// readout of the mouse, what is greyed, the busy sign, the unsaved mark, and a value typed
// during a run. Driven through the real widgets.

#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QTemporaryDir>
#include <chrono>
#include <thread>

#include "WindowFixture.h"

namespace tandor::testing {
namespace {

class Usability : public WindowTest {
protected:
  void DrawFold() {
    SetProblem("u^2", "v", "u^3 - uv");
    PressDrawIt();
    ASSERT_TRUE(G.Drawn);
  }
  // The field shows the start of its text: the cursor is at the start and stands at the left.
  static void ExpectStartShown(QLineEdit *field) {
    EXPECT_EQ(field->cursorPosition(), 0) << field->text().toStdString();
    // The cursor before the first character stands at the field's left edge: the text is not
    // scrolled, so what is drawn begins with that character.
    const QRect cursor = field->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    EXPECT_LE(cursor.left(), 4) << field->text().toStdString();
  }
  QTemporaryDir Folder;
};

TEST_F(Usability, FieldsSetByTheProgramShowTheStartOfTheirText) {
  DrawFold();
  MoveMouse(Window->Parametros, 96, 10, Qt::LeftButton);
  ASSERT_EQ(Window->pValueEdit->text(), "1.5000");
  ExpectStartShown(Window->pValueEdit);
  ExpectStartShown(Window->qValueEdit);

  const QString path = Folder.filePath("long.tdr");
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("u\r\nv^2\r\nv^3 + (u^2 - p) v + 0 u v + 0 u^2 v + 0 u^3 v + 0 u^4 v\r\n-1\r\n1\r\n-"
             "1\r\n1\r\n0\r\n2\r\n0\r\n3.14159265358979\r\n1\r\n0\r\n");
  file.close();
  Dialogs->OpenNames = {path};
  Window->Open1->trigger();
  ASSERT_EQ(Window->qMaxEdit->text(), "3.14159265358979");
  for (QLineEdit *field : Window->Fields)
    ExpectStartShown(field);
}

TEST_F(Usability, KeysRunTheActionsAndLeaveTheFieldsTheirOwn) {
  SetProblem("u^2", "v", "u^3 - uv");
  Window->zEdit->setFocus();
  QTest::keyClick(Window->zEdit, Qt::Key_Return);
  EXPECT_TRUE(G.Drawn) << "Enter in a field is Draw It";

  const std::pair<QAction *, const char *> keys[] = {
      {Window->Open1, "Ctrl+O"},  {Window->Save1, "Ctrl+S"}, {Window->SaveAs1, "Ctrl+Shift+S"},
      {Window->Print1, "Ctrl+P"}, {Window->Exit1, "Ctrl+Q"}, {Window->Manual1, "F1"}};
  for (const auto &[action, key] : keys)
    EXPECT_EQ(action->shortcut(), QKeySequence(QString::fromLatin1(key))) << key;
  for (QAction *menu : Window->menuBar()->actions())
    EXPECT_TRUE(menu->text().startsWith('&')) << menu->text().toStdString();

  // Ctrl+S through the window's shortcut map saves (here: asks for a name, as Save As).
  Window->activateWindow();
  Window->zEdit->setFocus();
  QTest::keyClick(Window->zEdit, Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(Dialogs->SaveAsked, 1);
  // Ctrl+C is still the field's copy.
  Window->zEdit->selectAll();
  QTest::keyClick(Window->zEdit, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "u^3 - uv");
}

TEST_F(Usability, ARefusedReadPointsAtItsField) {
  struct Case {
    QLineEdit *TTandor::*field;
    const char *text;
    QLineEdit *TTandor::*expected;
  } cases[] = {
      {&TTandor::yEdit, "v(", &TTandor::yEdit},
      {&TTandor::uMinEdit, "2", &TTandor::uMinEdit},
      {&TTandor::vMaxEdit, "1E400", &TTandor::vMaxEdit},
      {&TTandor::pValueEdit, "7", &TTandor::pValueEdit},
  };
  for (const Case &c : cases) {
    SetProblem("u^2", "v", "u^3 - uv");
    Window->pValueEdit->setText("1");
    (Window.get()->*c.field)->setText(c.text);
    PressDrawIt();
    QLineEdit *expected = Window.get()->*c.expected;
    EXPECT_EQ(Window->focusWidget(), expected) << c.text;
    EXPECT_EQ(expected->selectedText(), expected->text()) << c.text;
    EXPECT_FALSE(Status().isEmpty()) << c.text;
  }

  const QString path = Folder.filePath("bad.tdr");
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("u^2\r\nv\r\nu^3 - uv)\r\n-1\r\n1\r\n-1\r\n1\r\n0\r\n2\r\n0\r\n3\r\n1\r\n0\r\n");
  file.close();
  Dialogs->OpenNames = {path};
  Window->Open1->trigger();
  EXPECT_EQ(Status(), "Check, please, the parentheses.");
  EXPECT_EQ(Window->FileLineLabel->text(), "line 3 of bad.tdr");
  EXPECT_EQ(Window->focusWidget(), Window->zEdit);
  // The next read starts afresh.
  Window->zEdit->setText("u^3 - uv");
  PressDrawIt();
  EXPECT_TRUE(Window->FileLineLabel->text().isEmpty());
}

TEST_F(Usability, TheMouseOverThePictureIsReadOutAndLeavingClearsIt) {
  DrawFold();
  MoveMouse(Window->Reloj, 100, 200);
  EXPECT_TRUE(Status().startsWith("u = -0.5, v = 0")) << Status().toStdString();
  // On the fold's locus (v = u^2) the sibling is the mirror point u -> -u.
  MoveMouse(Window->Reloj, 100, 150);
  if (G.SiblingShown) {
    EXPECT_TRUE(Status().contains("sibling: u = 0.")) << Status().toStdString();
  }
  // Leaving the picture takes the readout away and gives the bar back to the count of the
  // singular points (the fold pinches at the origin).
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(Window->Reloj, &leave);
  EXPECT_EQ(Status(), "1 cross-cap, no triple points");
  Window->SingularPoints1->trigger();
  MoveMouse(Window->Reloj, 100, 200);
  QApplication::sendEvent(Window->Reloj, &leave);
  EXPECT_TRUE(Status().isEmpty());
  Window->SingularPoints1->trigger();

  // A message of the program is not overwritten by the readout.
  Window->pValueEdit->setText("9");
  QTest::keyClick(Window->pValueEdit, Qt::Key_9);
  const QString refusal = Status();
  ASSERT_EQ(refusal, "p must between bounds");
  MoveMouse(Window->Reloj, 10, 10);
  EXPECT_EQ(Status(), refusal);
}

TEST_F(Usability, WhatCannotActIsGreyedAndStopLetsDrawItRunAgain) {
  for (QAction *a : {Window->Save1, Window->SaveAs1, Window->Print1})
    EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
  SetProblem("u^2", "v", "u^3 - uv");
  Window->qMaxEdit->setText("3"); // as a data line writes it: unchanged fields read as unchanged
  int polls = 0;
  bool methodsGreyed = false;
  Window->PollHook = [&] {
    methodsGreyed = !Window->Descent1->isEnabled() && !Window->TrianglesIntersection1->isEnabled();
    if (++polls == 1)
      G.StopRequested = true;
  };
  PressDrawIt();
  Window->PollHook = nullptr;
  EXPECT_TRUE(methodsGreyed);
  EXPECT_TRUE(Window->Descent1->isEnabled());
  for (QAction *a : {Window->Save1, Window->SaveAs1, Window->Print1})
    EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();

  const uint64_t evaluations = Map.Evaluations;
  PressDrawIt(); // the fields are unchanged, the picture was partial
  EXPECT_GT(Map.Evaluations, evaluations);
  const uint64_t whole = Map.Evaluations;
  PressDrawIt(); // complete now: nothing to do
  EXPECT_EQ(Map.Evaluations, whole);
}

TEST_F(Usability, ALongRunShowsItIsBusy) {
  SetProblem("u^2", "v", "u^3 - uv");
  int polls = 0;
  bool busyEarly = true, busyLate = false;
  // The first breath comes early and takes 0.6 s; by the second the run has gone on too long.
  Window->PollHook = [&] {
    if (++polls == 1) {
      busyEarly = Window->BusySign->isVisible();
      std::this_thread::sleep_for(std::chrono::milliseconds(600));
    } else if (polls == 2) {
      busyLate = Window->BusySign->isVisible();
      G.StopRequested = true;
    }
  };
  PressDrawIt();
  Window->PollHook = nullptr;
  ASSERT_GE(polls, 2);
  EXPECT_FALSE(busyEarly);
  EXPECT_TRUE(busyLate);
  EXPECT_FALSE(Window->BusySign->isVisible()) << "the sign goes with the run";
}

TEST_F(Usability, UnsavedChangesMarkTheCaption) {
  EXPECT_EQ(ShownCaption(*Window), "Multiple locus");
  DrawFold();
  EXPECT_TRUE(Window->isWindowModified());
  EXPECT_EQ(ShownCaption(*Window), "Multiple locus*");
  Dialogs->SaveNames = {Folder.filePath("fold.tdr")};
  Window->Save1->trigger();
  EXPECT_EQ(ShownCaption(*Window), "Multiple locus");
  MoveMouse(Window->Parametros, 30, 30, Qt::LeftButton);
  EXPECT_EQ(ShownCaption(*Window), "Multiple locus*");
}

TEST_F(Usability, AValueTypedDuringARunIsInForceWhenItEnds) {
  DrawFold();
  SetProblem("u^2 + v^4", "v", "u^3 - uv");
  bool typed = false;
  Window->PollHook = [&] {
    if (typed)
      return;
    typed = true;
    Window->pValueEdit->setText("1.");
    QTest::keyClick(Window->pValueEdit, Qt::Key_5);
  };
  PressDrawIt();
  Window->PollHook = nullptr;
  ASSERT_TRUE(typed);
  EXPECT_EQ(Window->pValueEdit->text(), "1.5");
  QTest::qWait(50);
  EXPECT_EQ(G.ParamValue[0], 1.5);
  EXPECT_EQ(G.DataLines[PValueLine], "1.5");
}

} // namespace
} // namespace tandor::testing
