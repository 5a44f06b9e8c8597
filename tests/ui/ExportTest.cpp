// File > Export Picture..., File > Export Locus... and Edit > Copy Picture, driven through the
// menus with the file dialogs answered by the test: the files hold the window's picture and
// result, byte for byte what tandor-cli writes for the same problem.

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <sstream>
#include <string>
#include <vector>

#include "WindowFixture.h"
#include "cli/Cli.h"

namespace tandor::testing {
namespace {

class ExportTest : public WindowTest {
protected:
  void DrawFold() {
    SetProblem("u^2", "v", "u^3 - uv");
    Window->qMaxEdit->setText("3");
    PressDrawIt();
    ASSERT_TRUE(G.Drawn);
  }
  QString PathOf(const char *name) const { return Folder.filePath(QString::fromUtf8(name)); }
  static QByteArray Contents(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  // The window's problem, saved, drawn by tandor-cli with the options given.
  QByteArray CliOutput(std::vector<std::string> options, const QString &output) {
    const QString problem = PathOf("problem.tdr");
    Dialogs->SaveNames = {problem};
    Window->SaveAs1->trigger();
    std::vector<std::string> words = {"tandor-cli", "render", problem.toStdString()};
    words.insert(words.end(), options.begin(), options.end());
    std::vector<char *> argv;
    for (std::string &w : words)
      argv.push_back(w.data());
    std::ostringstream out, err;
    EXPECT_EQ(RunCli(static_cast<int>(argv.size()), argv.data(), out, err), 0) << err.str();
    return Contents(output);
  }
  // The sibling display's answers along the picture's diagonal.
  std::vector<QPoint> Siblings() const {
    std::vector<QPoint> found;
    for (int i = 0; i < 400; ++i) {
      int x = -1, y = -1;
      if (Locus.FindSibling(i, i, x, y))
        found.emplace_back(x, y);
    }
    EXPECT_FALSE(found.empty());
    return found;
  }
  void ExportPicture(const QString &path, int size = 400) {
    Dialogs->PictureTargets = {{path, size}};
    Window->ExportPicture1->trigger();
  }

  QTemporaryDir Folder;
};

// Locus pixels: anything not white.
int InkAt(const QImage &image, int x, int y) {
  return image.pixel(x, y) != qRgb(255, 255, 255);
}

TEST_F(ExportTest, ThePngHoldsThePictureOnTheScreen) {
  ExportPicture(PathOf("early.png"));
  EXPECT_TRUE(Dialogs->PictureTargets.size() == 1) << "nothing to export before a run";
  DrawFold();
  const QImage shown = Screen();

  ExportPicture(PathOf("fold.png"));
  ASSERT_TRUE(Dialogs->Errors.isEmpty()) << Dialogs->Errors.join('\n').toStdString();
  const QImage png(PathOf("fold.png"));
  ASSERT_EQ(png.size(), QSize(400, 400));
  EXPECT_EQ(png.convertToFormat(QImage::Format_RGB32), Window->Picture);
  EXPECT_EQ(png.convertToFormat(shown.format()), shown);
  EXPECT_EQ(Contents(PathOf("fold.png")),
            CliOutput({"--png", PathOf("cli.png").toStdString()}, PathOf("cli.png")));

  // Another size: the same locus, scaled. The sibling display still answers for the screen.
  const std::vector<QPoint> siblings = Siblings();
  ExportPicture(PathOf("FOLD-BIG.PNG"), 800);
  EXPECT_EQ(Siblings(), siblings);
  const QImage big(PathOf("FOLD-BIG.PNG"));
  ASSERT_EQ(big.size(), QSize(800, 800));
  int ink = 0, matched = 0;
  for (int y = 1; y < 399; ++y)
    for (int x = 1; x < 399; ++x)
      if (InkAt(Window->Picture, x, y)) {
        ++ink;
        matched += InkAt(big, 2 * x, 2 * y) || InkAt(big, 2 * x + 1, 2 * y + 1) ||
                   InkAt(big, 2 * x - 1, 2 * y - 1);
      }
  EXPECT_GT(ink, 300);
  EXPECT_GT(matched, ink * 9 / 10);
}

TEST_F(ExportTest, TheSvgDrawsTheSameLocus) {
  DrawFold();
  ExportPicture(PathOf("fold.svg"));
  ASSERT_TRUE(Dialogs->Errors.isEmpty()) << Dialogs->Errors.join('\n').toStdString();
  const QByteArray svg = Contents(PathOf("fold.svg"));
  EXPECT_TRUE(svg.contains("<svg")) << svg.left(200).toStdString();
  EXPECT_EQ(svg, CliOutput({"--svg", PathOf("cli.svg").toStdString()}, PathOf("cli.svg")));

  // Rendered again, its ink lies where the picture's is (lines drawn whole, not pixel by pixel,
  // so within a pixel).
  QSvgRenderer renderer(svg);
  ASSERT_TRUE(renderer.isValid());
  QImage drawn(400, 400, QImage::Format_RGB32);
  drawn.fill(Qt::white);
  QPainter painter(&drawn);
  renderer.render(&painter);
  painter.end();
  int ink = 0, near = 0;
  for (int y = 1; y < 399; ++y)
    for (int x = 1; x < 399; ++x)
      if (qGray(drawn.pixel(x, y)) < 128) {
        ++ink;
        bool found = false;
        for (int dy = -1; dy <= 1 && !found; ++dy)
          for (int dx = -1; dx <= 1 && !found; ++dx)
            found = InkAt(Window->Picture, x + dx, y + dy);
        near += found;
      }
  EXPECT_GT(ink, 300);
  EXPECT_GT(near, ink * 95 / 100);
}

TEST_F(ExportTest, TheLocusCsvIsTheCommandLinesForTheSameSeed) {
  DrawFold();
  Locus.SetSeed(7);
  Window->GradualDescent1->trigger();
  ASSERT_EQ(Locus.LastMethod, LocusMethod::Gradual);
  Dialogs->LocusNames = {PathOf("fold.csv")};
  Window->ExportLocus1->trigger();
  ASSERT_TRUE(Dialogs->Errors.isEmpty()) << Dialogs->Errors.join('\n').toStdString();
  const QByteArray csv = Contents(PathOf("fold.csv"));
  EXPECT_TRUE(csv.startsWith("piece_start,u1,v1,u2,v2\n"));
  EXPECT_GT(csv.count('\n'), 10);
  EXPECT_EQ(csv, CliOutput({"--method", "gradual", "--seed", "7", "--csv",
                            PathOf("cli.csv").toStdString()},
                           PathOf("cli.csv")));

  // The triangle method's segments, with its own columns.
  Window->TrianglesIntersection1->trigger();
  Dialogs->LocusNames = {PathOf("triangles.csv")};
  Window->ExportLocus1->trigger();
  EXPECT_TRUE(Contents(PathOf("triangles.csv")).startsWith("u1,v1,u2,v2\n"));
  EXPECT_EQ(Contents(PathOf("triangles.csv")),
            CliOutput({"--method", "triangles", "--seed", "7", "--csv",
                       PathOf("cli-t.csv").toStdString()},
                      PathOf("cli-t.csv")));
}

TEST_F(ExportTest, ATargetThatCannotBeWrittenIsNamedAndTheOldFileStays) {
  DrawFold();
  const QString noFolder = PathOf("no/such/folder/fold.png");
  ExportPicture(noFolder);
  ASSERT_EQ(Dialogs->Errors.size(), 1);
  EXPECT_TRUE(Dialogs->Errors[0].startsWith(noFolder + ": ")) << Dialogs->Errors[0].toStdString();
  EXPECT_TRUE(Dialogs->Errors[0].contains("No such file or directory"));

  // A folder in the way of the CSV: the error names it, and it stays a folder.
  ASSERT_TRUE(QDir(Folder.path()).mkdir("taken.csv"));
  Dialogs->LocusNames = {PathOf("taken.csv")};
  Window->ExportLocus1->trigger();
  ASSERT_EQ(Dialogs->Errors.size(), 2);
  EXPECT_TRUE(Dialogs->Errors[1].startsWith(PathOf("taken.csv") + ": "));
  EXPECT_TRUE(QFileInfo(PathOf("taken.csv")).isDir());

  // A type the picture cannot have, and a size out of range: refused before anything is written.
  ExportPicture(PathOf("fold.jpg"));
  ASSERT_EQ(Dialogs->Errors.size(), 3);
  EXPECT_EQ(Dialogs->Errors[2], PathOf("fold.jpg") + ": a picture is written as .png or .svg");
  ExportPicture(PathOf("huge.png"), 20000);
  ASSERT_EQ(Dialogs->Errors.size(), 4);
  EXPECT_TRUE(Dialogs->Errors[3].startsWith(PathOf("huge.png") + ": the size must be"));
  EXPECT_EQ(QDir(Folder.path()).entryList(QDir::Files), QStringList());

  // A cancelled dialog writes nothing and says nothing.
  Window->ExportPicture1->trigger();
  Window->ExportLocus1->trigger();
  EXPECT_EQ(Dialogs->Errors.size(), 4);
}

TEST_F(ExportTest, CopyPicturePutsThePictureOnTheClipboard) {
  QGuiApplication::clipboard()->clear();
  Window->CopyPicture1->trigger();
  EXPECT_TRUE(QGuiApplication::clipboard()->image().isNull()) << "nothing to copy before a run";
  DrawFold();
  Window->CopyPicture1->trigger();
  EXPECT_EQ(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32),
            Window->Picture);
}

} // namespace
} // namespace tandor::testing
