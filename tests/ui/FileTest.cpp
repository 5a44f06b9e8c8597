// Save, Save As, Open, the close query and printing, with the dialogs answered by the test.

#include <QAction>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "WindowFixture.h"

namespace tandor::testing {
namespace {

class FileTest : public WindowTest {
protected:
  void DrawFold() {
    SetProblem("u^2", "v", "u^3 - uv");
    Window->qMaxEdit->setText("3");
    PressDrawIt();
    ASSERT_TRUE(G.Drawn);
  }
  QString PathOf(const char *name) const { return Folder.filePath(name); }
  static QByteArray Contents(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  QTemporaryDir Folder;
};

TEST_F(FileTest, SaveThenOpenRoundTrip) {
  Window->Save1->trigger();
  EXPECT_EQ(Dialogs->SaveAsked, 0); // nothing to save before a run
  DrawFold();
  Window->xEdit->setText("edited after the run");
  const QString path = PathOf("fold.tdr");
  Dialogs->SaveNames = {path};
  Window->Save1->trigger(); // no file name yet: Save As
  EXPECT_EQ(Dialogs->SaveAsked, 1);
  EXPECT_FALSE(G.Dirty);
  EXPECT_EQ(Contents(path),
            "u^2\r\nv\r\nu^3 - uv\r\n-1\r\n1\r\n-1\r\n1\r\n0\r\n2\r\n0\r\n3\r\n1\r\n0\r\n");
  EXPECT_EQ(ShownCaption(*Window), "Multiple locus"); // Save As leaves the caption

  // Open puts the lines into the fields; the same problem computes nothing.
  const uint64_t evaluations = Map.Evaluations;
  Dialogs->OpenNames = {path};
  Window->Open1->trigger();
  EXPECT_EQ(Window->xEdit->text(), "u^2");
  EXPECT_EQ(Window->qMaxEdit->text(), "3");
  EXPECT_EQ(Map.Evaluations, evaluations);
  EXPECT_EQ(ShownCaption(*Window), "fold.tdr");
  EXPECT_FALSE(G.Dirty);
  Window->Save1->trigger(); // nothing changed since the Open
  EXPECT_EQ(Dialogs->SaveAsked, 1);

  // Another problem, then Open again: the file's problem is read and drawn.
  SetProblem("v^2", "u", "uv");
  PressDrawIt();
  const uint64_t other = Map.Evaluations;
  Dialogs->OpenNames = {path};
  Window->Open1->trigger();
  EXPECT_EQ(Window->zEdit->text(), "u^3 - uv");
  EXPECT_GT(Map.Evaluations, other);
  EXPECT_EQ(G.FormulaTexts[2], "u^3 - uv");
  EXPECT_FALSE(G.Dirty);
}

TEST_F(FileTest, TheDefaultProblemSavesWithItsBoundsEvaluated) {
  PressDrawIt();
  const QString path = PathOf("default.tdr");
  Dialogs->SaveNames = {path};
  Window->Save1->trigger();
  EXPECT_EQ(Contents(path),
            "u\r\nv(v^2 - p)\r\nv(u+v^4- pv^2)\r\n-1\r\n1\r\n-1\r\n1\r\n0\r\n2\r\n0\r\n"
            "3.14159265358979\r\n1\r\n0\r\n");
}

TEST_F(FileTest, SaveWritesTheDraggedParameters) {
  SetProblem("u^2", "v", "u^3 - p u v");
  PressDrawIt();
  MoveMouse(Window->Parametros, 43, 100, Qt::LeftButton);
  const QString path = PathOf("dragged.tdr");
  Dialogs->SaveNames = {path};
  Window->Save1->trigger();
  const QList<QByteArray> lines = Contents(path).split('\n');
  ASSERT_GE(lines.size(), 13);
  EXPECT_EQ(lines[11].trimmed(), QByteArray::fromStdString(FormatDataNumber(2.0 * 43 / 128)));
}

TEST_F(FileTest, FileErrorsNameTheFileAndKeepTheWindowAsItWas) {
  DrawFold();
  const QString missing = PathOf("missing.tdr");
  Dialogs->OpenNames = {missing};
  Window->Open1->trigger();
  ASSERT_EQ(Dialogs->Errors.size(), 1);
  EXPECT_TRUE(Dialogs->Errors[0].contains(missing)) << Dialogs->Errors[0].toStdString();
  EXPECT_EQ(Window->xEdit->text(), "u^2");

  QFile shortFile(PathOf("short.tdr"));
  ASSERT_TRUE(shortFile.open(QIODevice::WriteOnly));
  shortFile.write("u\r\nv\r\n");
  shortFile.close();
  Dialogs->OpenNames = {shortFile.fileName()};
  Window->Open1->trigger();
  ASSERT_EQ(Dialogs->Errors.size(), 2);
  EXPECT_TRUE(Dialogs->Errors[1].contains(shortFile.fileName()));
  EXPECT_EQ(Window->xEdit->text(), "u^2");

  const QString unwritable = PathOf("no/such/folder/a.tdr");
  Dialogs->SaveNames = {unwritable};
  Window->SaveAs1->trigger();
  ASSERT_EQ(Dialogs->Errors.size(), 3);
  EXPECT_TRUE(Dialogs->Errors[2].contains(unwritable));
  EXPECT_TRUE(G.Dirty);

  // Cancelling a dialog changes nothing.
  Window->SaveAs1->trigger();
  Window->Open1->trigger();
  EXPECT_EQ(Dialogs->Errors.size(), 3);
}

TEST_F(FileTest, BadContentIsReportedInTheStatusBar) {
  const QString path = PathOf("bad.tdr");
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("u^2\r\nv\r\nu^3 - uv)\r\n-1\r\n1\r\n-1\r\n1\r\n0\r\n2\r\n0\r\n3\r\n1\r\n0\r\n");
  file.close();
  Dialogs->OpenNames = {path};
  Window->Open1->trigger();
  EXPECT_EQ(Status(), "Check, please, the parentheses.");
  EXPECT_FALSE(G.Drawn);
  EXPECT_EQ(ShownCaption(*Window), "bad.tdr");
}

// What the close query does, from the state of the window and the answer given.
struct CloseCase {
  const char *name;
  bool draw;  // a run by the button first
  bool named; // a data file is named
  std::vector<WindowDialogs::Answer> answers;
  bool saveCancelled; // the save dialog (if asked) is cancelled
  bool closes;
  int questions;
};

class CloseQuery : public FileTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(CloseQuery, AsksOnlyForUnsavedDrawings) {
  const CloseCase &c = GetParam();
  const QString path = PathOf("named.tdr");
  if (c.draw)
    DrawFold();
  if (c.named)
    G.FileName = path.toStdString();
  Dialogs->Answers = {c.answers.begin(), c.answers.end()};
  if (!c.saveCancelled)
    Dialogs->SaveNames = {path};
  EXPECT_EQ(Window->close(), c.closes);
  EXPECT_EQ(Dialogs->Questions.size(), c.questions);
  for (const QString &q : Dialogs->Questions)
    EXPECT_EQ(q, "Do you want to save these data?");
  const bool saved = QFile::exists(path);
  const bool answeredYes = !c.answers.empty() && c.answers[0] == WindowDialogs::Answer::Yes;
  EXPECT_EQ(saved, answeredYes && (c.named || !c.saveCancelled));
}

using A = WindowDialogs::Answer;
INSTANTIATE_TEST_SUITE_P(
    Window, CloseQuery,
    ::testing::Values(CloseCase{"BeforeAnyRun", false, false, {}, false, true, 0},
                      CloseCase{"No", true, false, {A::No}, false, true, 1},
                      CloseCase{"YesWithAName", true, true, {A::Yes}, true, true, 1},
                      CloseCase{"YesSavesAs", true, false, {A::Yes}, false, true, 1},
                      CloseCase{"YesThenCancel", true, false, {A::Yes}, true, false, 1},
                      CloseCase{"Dismissed", true, false, {A::Dismissed}, false, false, 1}),
    [](const ::testing::TestParamInfo<CloseCase> &info) { return std::string(info.param.name); });

TEST_F(FileTest, AfterASaveClosingAsksNothingAndDuringARunNeither) {
  DrawFold();
  Dialogs->SaveNames = {PathOf("saved.tdr")};
  Window->Save1->trigger();
  EXPECT_TRUE(Window->close());
  EXPECT_TRUE(Dialogs->Questions.isEmpty());

  // During a run nothing is asked either; the close waits for the run, which it stops.
  Window->show();
  G.Dirty = true;
  G.Running = true;
  EXPECT_FALSE(Window->close());
  EXPECT_TRUE(Window->isVisible());
  EXPECT_TRUE(G.StopRequested);
  EXPECT_TRUE(Dialogs->Questions.isEmpty());
  G.Running = false;
}

TEST_F(FileTest, ExitAsksTheSameQuestionOnce) {
  DrawFold();
  Dialogs->Answers = {A::Dismissed};
  Window->Exit1->trigger();
  EXPECT_TRUE(Window->isVisible());
  Dialogs->Answers = {A::No};
  Window->Exit1->trigger();
  EXPECT_FALSE(Window->isVisible());
  EXPECT_EQ(Dialogs->Questions.size(), 2);
}

int PdfPageCount(const QByteArray &pdf) {
  static const QRegularExpression page(QStringLiteral("/Type\\s*/Page(?!s)"));
  return static_cast<int>(QString::fromLatin1(pdf).count(page));
}

TEST_F(FileTest, PrintingToAPdfFileGivesOnePagePerCopy) {
  const QString pdf = PathOf("fold.pdf");
  int asked = 0;
  int copies = 2;
  Dialogs->Printer = [&](QPrinter &printer) {
    ++asked;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    printer.setCopyCount(copies);
    return true;
  };
  Window->Print1->trigger();
  EXPECT_EQ(asked, 0); // nothing to print before a run

  DrawFold();
  Window->Print1->trigger();
  EXPECT_EQ(PdfPageCount(Contents(pdf)), 2);
  EXPECT_FALSE(G.Running);

  copies = 3;
  Window->Print1->trigger();
  EXPECT_EQ(PdfPageCount(Contents(pdf)), 3);

  Dialogs->Printer = nullptr;
  Window->Print1->trigger();
  EXPECT_EQ(Status(), "Printing cancelled");
  EXPECT_FALSE(G.Running);
}

} // namespace
} // namespace tandor::testing
