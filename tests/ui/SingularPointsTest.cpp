// The singular points in the window, driven as a person would: Draw It marks them in the picture
// and counts them in the status bar, the mouse on a mark names it, View > Singular Points hides
// and shows them, Stop ends the search, and a printed page carries the marks and the count.

#include <QAction>
#include <QMenu>
#include <QTemporaryDir>

#include "WindowFixture.h"
#include "analysis/SingularPointMarks.h"
#include "common/RecordingCanvas.h"

namespace tandor::testing {
namespace {

const QRgb BlackPixel = qRgb(0, 0, 0);

// (u, v^2, v^3 + (u^2 - p) v) pinches where v = 0 and u^2 = p: with p = 1/2 at (+-0.7071, 0),
// pixels (58.6, 200) and (341.4, 200) of the picture of [-1, 1]^2.
const QPoint LeftCap(59, 200), RightCap(341, 200);

class SingularPointsTest : public WindowTest {
protected:
  void DrawTwoCrossCaps() {
    SetProblem("u", "v^2", "v^3+(u^2-p)v");
    Window->pValueEdit->setText("0.5");
    PressDrawIt();
    ASSERT_TRUE(G.Drawn);
  }
  // The black pixels of an image, each within reach of one of the centres, and how many.
  static int BlackPixelsNear(const QImage &image, std::initializer_list<QPoint> centres, int reach,
                             int *elsewhere) {
    int near = 0;
    *elsewhere = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) {
        if ((image.pixel(x, y) & 0xFFFFFF) != (BlackPixel & 0xFFFFFF))
          continue;
        bool close = false;
        for (const QPoint &c : centres)
          close = close || (std::abs(x - c.x()) <= reach && std::abs(y - c.y()) <= reach);
        ++(close ? near : *elsewhere);
      }
    return near;
  }
  static bool FilledDiscAt(const QImage &image, QPoint c) {
    for (int dy = -2; dy <= 2; ++dy)
      for (int dx = -2; dx <= 2; ++dx)
        if (dx * dx + dy * dy <= 4 && (image.pixel(c + QPoint(dx, dy)) & 0xFFFFFF) != 0)
          return false;
    return true;
  }
};

TEST_F(SingularPointsTest, DrawItMarksTwoDiscsAndCountsThem) {
  DrawTwoCrossCaps();
  EXPECT_EQ(Status(), "2 cross-caps, no triple points");
  const QImage shown = Screen();
  EXPECT_TRUE(FilledDiscAt(shown, LeftCap));
  EXPECT_TRUE(FilledDiscAt(shown, RightCap));
  int elsewhere = 0;
  EXPECT_GT(BlackPixelsNear(shown, {LeftCap, RightCap}, 4, &elsewhere), 2 * 20);
  EXPECT_EQ(elsewhere, 0) << "nothing else is marked";
  // The marks are in the picture itself, which printing and exports draw from.
  EXPECT_EQ(shown, Window->Picture.convertToFormat(QImage::Format_RGB32));
}

TEST_F(SingularPointsTest, TheViewItemHidesAndShowsTheMarksAndTheCount) {
  DrawTwoCrossCaps();
  const QImage marked = Screen();

  Window->SingularPoints1->trigger();
  EXPECT_FALSE(Window->SingularPoints1->isChecked());
  EXPECT_EQ(Status(), "");
  int elsewhere = 0;
  EXPECT_EQ(BlackPixelsNear(Screen(), {LeftCap, RightCap}, 4, &elsewhere), 0);
  EXPECT_EQ(elsewhere, 0);
  // Hidden, a new run neither marks nor counts.
  Window->vMaxEdit->setText("0.9");
  PressDrawIt();
  EXPECT_EQ(BlackPixelsNear(Screen(), {LeftCap, RightCap}, 4, &elsewhere), 0);
  EXPECT_EQ(Status(), "");
  Window->vMaxEdit->setText("1");
  PressDrawIt();

  Window->SingularPoints1->trigger();
  EXPECT_TRUE(Window->SingularPoints1->isChecked());
  EXPECT_EQ(Status(), "2 cross-caps, no triple points");
  EXPECT_EQ(Screen(), marked);
}

TEST_F(SingularPointsTest, TheMouseOnAMarkNamesItAndLeavingThePictureBringsTheCountBack) {
  DrawTwoCrossCaps();
  MoveMouse(Window->Reloj, LeftCap.x() + 1, LeftCap.y() - 1);
  EXPECT_EQ(Status(), "cross-cap at (u, v) = (-0.707107, 0), (x, y, z) = (-0.707107, 0, 0)");
  MoveMouse(Window->Reloj, RightCap.x(), RightCap.y());
  EXPECT_EQ(Status(), "cross-cap at (u, v) = (0.707107, 0), (x, y, z) = (0.707107, 0, 0)");
  // Off the marks the mouse's place is read out, and once it leaves the picture the count is
  // back.
  MoveMouse(Window->Reloj, 200, 40);
  EXPECT_TRUE(Status().startsWith("u = 0, v = 0.8")) << Status().toStdString();
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(Window->Reloj, &leave);
  EXPECT_EQ(Status(), "2 cross-caps, no triple points");

  // Hidden marks name nothing.
  Window->SingularPoints1->trigger();
  MoveMouse(Window->Reloj, LeftCap.x(), LeftCap.y());
  EXPECT_FALSE(Status().contains("cross-cap")) << Status().toStdString();
  QApplication::sendEvent(Window->Reloj, &leave);
  EXPECT_EQ(Status(), "");
}

TEST_F(SingularPointsTest, AMessageAfterTheRunIsNotTakenByAMark) {
  DrawTwoCrossCaps();
  auto type = [&](QLineEdit *edit, const QString &text) {
    edit->setText(text.left(text.size() - 1));
    QTest::keyClick(edit, text.back().toLatin1());
  };
  type(Window->pValueEdit, "3");
  EXPECT_EQ(Status(), "p must between bounds");
  MoveMouse(Window->Reloj, LeftCap.x(), LeftCap.y());
  EXPECT_EQ(Status(), "p must between bounds");
  MoveMouse(Window->Reloj, 200, 40);
  EXPECT_EQ(Status(), "p must between bounds");
}

TEST_F(SingularPointsTest, TriplePointsAreMarkedWithTrianglesAndCounted) {
  // (u, v^3 - v, (u^2 - 2) v^2 + v^4) sends (u, -1), (u, 0), (u, 1) to one point where
  // u^2 = 1, and pinches at u^2 = 4/3, v^2 = 1/3.
  SetProblem("u", "v^3 - v", "(u^2 - 2) v^2 + v^4", "-1.5", "1.5", "-1.4", "1.4");
  PressDrawIt();
  EXPECT_EQ(Status(), "4 cross-caps, 2 triple points");
  const SingularPoints &p = Window->Singular.Points();
  ASSERT_EQ(p.Triples.size(), 2u);
  // The apex of the open triangle over (1, 1) is black, its middle is not filled.
  const int x = static_cast<int>(std::lround((1 + 1.5) * 400 / 3.0));
  const int y = static_cast<int>(std::lround((1.4 - 1) * 400 / 2.8));
  const QImage shown = Screen();
  EXPECT_EQ(shown.pixel(x, y - TriangleHalfWidth) & 0xFFFFFF, 0u);
  EXPECT_NE(shown.pixel(x, y + 1) & 0xFFFFFF, 0u);
  MoveMouse(Window->Reloj, x, y);
  EXPECT_EQ(Status(), "triple point at (u, v) = (1, 1), (x, y, z) = (1, 0, 0)");
}

TEST_F(SingularPointsTest, StopEndsTheSearchWithoutACount) {
  SetProblem("u", "v^2", "v^3+(u^2-p)v");
  Window->pValueEdit->setText("0.5");
  // The linear case never polls: the first poll of the run is the search's.
  int polls = 0;
  Window->PollHook = [&] {
    if (polls++ == 0)
      PressDrawIt();
  };
  PressDrawIt();
  Window->PollHook = nullptr;
  EXPECT_GT(polls, 0);
  EXPECT_FALSE(G.Running);
  EXPECT_EQ(Status(), "");
  EXPECT_FALSE(Window->Singular.Points().Complete);
  int elsewhere = 0;
  EXPECT_EQ(BlackPixelsNear(Screen(), {LeftCap, RightCap}, 4, &elsewhere) + elsewhere, 0);
  EXPECT_EQ(Window->DrawItLines->text(), "Draw It");

  // The next run searches to the end.
  MoveMouse(Window->Parametros, 32, 64, Qt::LeftButton); // p = 0.5 again, from the square
  EXPECT_EQ(Status(), "2 cross-caps, no triple points");
}

TEST_F(SingularPointsTest, AnExportedPictureCarriesTheMarksAtItsSize) {
  DrawTwoCrossCaps();
  QTemporaryDir folder;
  const QString path = folder.filePath("marks.png");
  Dialogs->PictureTargets = {{path, 800}};
  Window->ExportPicture1->trigger();
  ASSERT_TRUE(Dialogs->Errors.isEmpty()) << Dialogs->Errors.join('\n').toStdString();
  const QImage big = QImage(path).convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(big.size(), QSize(800, 800));
  // Twice the picture: discs of radius 6 around (117.2, 400) and (682.8, 400).
  for (const QPoint &centre : {QPoint(117, 400), QPoint(683, 400)})
    for (int d = -4; d <= 4; ++d) {
      EXPECT_EQ(big.pixel(centre + QPoint(d, 0)) & 0xFFFFFF, 0u) << centre.x() << " " << d;
      EXPECT_EQ(big.pixel(centre + QPoint(0, d)) & 0xFFFFFF, 0u) << centre.x() << " " << d;
    }

  Window->SingularPoints1->trigger();
  Dialogs->PictureTargets = {{path, 800}};
  Window->ExportPicture1->trigger();
  int elsewhere = 0;
  EXPECT_EQ(BlackPixelsNear(QImage(path).convertToFormat(QImage::Format_RGB32), {}, 0, &elsewhere),
            0);
  EXPECT_EQ(elsewhere, 0) << "hidden marks are not exported";
}

TEST_F(SingularPointsTest, APrintedPageCarriesTheMarksAndTheCount) {
  DrawTwoCrossCaps();
  const PixelRect square{100, 200, 2100, 2200};
  RecordingCanvas canvas;
  Window->Singular.DrawMarksInto(canvas, square);
  ASSERT_EQ(canvas.ellipses.size(), 2u);
  // Five times the picture: radius 15 around (100 + 0.2929 * 1000, 1200).
  EXPECT_EQ(canvas.ellipses[0].left, 393 - 15);
  EXPECT_EQ(canvas.ellipses[0].top, 1200 - 15);
  EXPECT_EQ(Window->Singular.PageLines(),
            std::vector<std::string>{"2 cross-caps, no triple points"});

  Window->SingularPoints1->trigger();
  RecordingCanvas hidden;
  Window->Singular.DrawMarksInto(hidden, square);
  EXPECT_TRUE(hidden.ellipses.empty());
  EXPECT_TRUE(Window->Singular.PageLines().empty());
}

} // namespace
} // namespace tandor::testing
