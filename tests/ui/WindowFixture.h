#pragma once
// A whole Tandor world per test: problem state, compiled functions, methods and a shown window
// whose dialogs are answered by the test.

#include <QApplication>
#include <QLineEdit>
#include <QPrinter>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

#include "ui/MainWindow.h"
#include "ui/ManualWindow.h"
#include "ui/PaintBox.h"
#include <QLabel>
#include <QPlainTextEdit>

namespace tandor::testing {

class ScriptedDialogs final : public WindowDialogs {
public:
  std::deque<QString> OpenNames, SaveNames, LocusNames;
  std::deque<PictureTarget> PictureTargets;
  std::deque<Answer> Answers;
  std::function<bool(QPrinter &)> Printer; // empty: the print dialog is cancelled
  QStringList Errors, Questions;
  std::function<void()> WhenAsked; // called as the Yes/No question is asked
  int SaveAsked = 0;

  QString AskOpenFileName(QWidget *) override { return Next(OpenNames); }
  QString AskSaveFileName(QWidget *) override {
    ++SaveAsked;
    return Next(SaveNames);
  }
  Answer AskYesNo(QWidget *, const QString &question) override {
    Questions << question;
    if (WhenAsked)
      WhenAsked();
    if (Answers.empty())
      return Answer::Dismissed;
    const Answer a = Answers.front();
    Answers.pop_front();
    return a;
  }
  bool SetUpPrinter(QWidget *, QPrinter &printer) override { return Printer && Printer(printer); }
  void ShowError(QWidget *, const QString &message) override { Errors << message; }
  PictureTarget AskPictureFile(QWidget *) override {
    if (PictureTargets.empty())
      return {};
    const PictureTarget t = PictureTargets.front();
    PictureTargets.pop_front();
    return t;
  }
  QString AskLocusFile(QWidget *) override { return Next(LocusNames); }

private:
  static QString Next(std::deque<QString> &names) {
    if (names.empty())
      return {};
    QString n = names.front();
    names.pop_front();
    return n;
  }
};

// The caption as the title bar shows it: Qt's mark of unsaved changes where the title asks for it.
inline QString ShownCaption(const QWidget &window) {
  QString title = window.windowTitle();
  return title.replace(QStringLiteral("[*]"),
                       window.isWindowModified() ? QStringLiteral("*") : QString());
}

class WindowTest : public ::testing::Test {
protected:
  WindowTest() {
    // Every window starts without recent files, whatever an earlier test opened.
    QSettings().clear();
    auto dialogs = std::make_unique<ScriptedDialogs>();
    Dialogs = dialogs.get();
    Window = std::make_unique<TTandor>(G, Map, Locus, std::move(dialogs));
    Window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(Window.get()));
  }
  ~WindowTest() override {
    G.Running = false;
    G.Dirty = false; // no close question when the window goes
  }

  void SetProblem(const char *x, const char *y, const char *z, const char *uMin = "-1",
                  const char *uMax = "1", const char *vMin = "-1", const char *vMax = "1") {
    Window->xEdit->setText(x);
    Window->yEdit->setText(y);
    Window->zEdit->setText(z);
    Window->uMinEdit->setText(uMin);
    Window->uMaxEdit->setText(uMax);
    Window->vMinEdit->setText(vMin);
    Window->vMaxEdit->setText(vMax);
  }
  void PressDrawIt() { QTest::mouseClick(Window->DrawItLines, Qt::LeftButton); }
  QString Status() const { return Window->InfoBar->currentMessage(); }

  // A mouse move as the platform delivers it, with the buttons held.
  static void MoveMouse(QWidget *box, int x, int y, Qt::MouseButtons buttons = Qt::NoButton) {
    QMouseEvent move(QEvent::MouseMove, QPointF(x, y), box->mapToGlobal(QPointF(x, y)),
                     Qt::NoButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(box, &move);
  }
  // What the picture box shows, read back from the window's pixels without repainting it.
  QImage Screen() const {
    const QPoint at = Window->Reloj->mapTo(Window.get(), QPoint(0, 0));
    return Window->screen()
        ->grabWindow(Window->winId(), at.x(), at.y(), 400, 400)
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
  }

  Glob G;
  MapFunctions Map;
  LocusSolvers Locus;
  ScriptedDialogs *Dialogs = nullptr;
  std::unique_ptr<TTandor> Window;
};

} // namespace tandor::testing
