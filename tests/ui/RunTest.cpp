// The Draw-It run, the picture, the parameter square and the typed values, driven through the
// real widgets on problems whose locus is known: the fold (u^2, v, u^3 - uv) doubles the points
// (u, v) and (-u, v) of the parabola v = u^2.

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>

#include "WindowFixture.h"
#include "solvers/DescentTracer.h"

namespace tandor::testing {
namespace {

const QColor Blue(0, 0, 255);

int CountColour(const QImage &image, QColor colour, QRect area) {
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      n += image.pixelColor(x, y) == colour;
  return n;
}

// Pixel column and row of (u, v) in the picture of [-1, 1] x [-1, 1].
QPoint PixelOf(double u, double v) {
  return {static_cast<int>(std::lround((u + 1) * 200)),
          static_cast<int>(std::lround((1 - v) * 200))};
}

// A blue pixel of the picture within two pixels of near; (-1, -1) when there is none.
QPoint DrawnPixelNear(const QImage &picture, QPoint near) {
  for (int dy = -2; dy <= 2; ++dy)
    for (int dx = -2; dx <= 2; ++dx)
      if (picture.pixelColor(near + QPoint(dx, dy)) == Blue)
        return near + QPoint(dx, dy);
  return {-1, -1};
}

class RunTest : public WindowTest {
protected:
  // qMax is a number here: a bound written as a formula (the default pi) never equals its
  // stored line, so every read would count as a change.
  void SetFold() {
    SetProblem("u^2", "v", "u^3 - uv");
    Window->qMaxEdit->setText("3");
  }
  std::size_t DescentTraceSize() const {
    return Locus.Solver(LocusMethod::Descent)->TracePoints()->size();
  }
};

// A problem, the method chosen for it, and where its locus lies in D.
struct LocusCase {
  const char *name;
  int method; // the tag of the Method item, or -1 for a linear first function
  const char *x, *y, *z;
  QColor colour;
  std::vector<std::pair<double, double>> onLocus;
  std::vector<QRectF> empty; // parts of D, as (u, v) rectangles, with no point of L
};

class MethodColour : public WindowTest, public ::testing::WithParamInterface<LocusCase> {};

TEST_P(MethodColour, DrawItDrawsTheLocusInTheMethodsColourAndOnlyThere) {
  const LocusCase &c = GetParam();
  SetProblem(c.x, c.y, c.z);
  if (c.method >= 0)
    Window->MethodMenu->actions()[c.method]->trigger();
  PressDrawIt();
  ASSERT_TRUE(G.Drawn);
  EXPECT_TRUE(G.Dirty);
  EXPECT_EQ(G.IsLinear, c.method < 0);
  EXPECT_EQ(Window->MethodMenuEnabled(), c.method >= 0);
  // The not-linear notice lasts only while the run does; the count of the singular points
  // follows every run (the fold and the cross-cap each have one, at the origin).
  EXPECT_EQ(Status(), "1 cross-cap, no triple points");
  EXPECT_EQ(Window->DrawItLines->text(), "Draw It");
  EXPECT_EQ(Window->DrawItLines->palette().color(QPalette::ButtonText), QColor(0, 0, 128));

  const QImage &picture = Window->Picture;
  for (const auto &[u, v] : c.onLocus) {
    const QPoint p = PixelOf(u, v);
    EXPECT_GT(CountColour(picture, c.colour, QRect(p - QPoint(2, 2), QSize(5, 5))), 0)
        << u << ", " << v;
  }
  for (const QRectF &r : c.empty) {
    const QRect pixels(PixelOf(r.left(), r.bottom()), PixelOf(r.right(), r.top()));
    EXPECT_EQ(CountColour(picture, c.colour, pixels), 0) << pixels.x() << ", " << pixels.y();
  }
  // What the box shows is the picture.
  EXPECT_EQ(Screen(), picture.convertToFormat(Screen().format()));
}

// The fold doubles (u, v) and (-u, v) on v = u^2; the cross-cap (u, v^2, uv) doubles (0, v)
// and (0, -v).
const std::vector<std::pair<double, double>> Parabola{
    {-0.8, 0.64}, {-0.5, 0.25}, {0.3, 0.09}, {0.6, 0.36}, {0.9, 0.81}};
const std::vector<QRectF> AwayFromParabola{QRectF(-0.3, 0.5, 0.6, 0.4),
                                           QRectF(-0.9, -0.9, 1.8, 0.7)};

INSTANTIATE_TEST_SUITE_P(
    Window, MethodColour,
    ::testing::Values(LocusCase{"Descent", 0, "u^2", "v", "u^3 - uv", QColor(0, 0, 255), Parabola,
                                AwayFromParabola},
                      LocusCase{"Gradual", 1, "u^2", "v", "u^3 - uv", QColor(255, 0, 255), Parabola,
                                AwayFromParabola},
                      LocusCase{"Triangles", 2, "u^2", "v", "u^3 - uv", QColor(0, 128, 0), Parabola,
                                AwayFromParabola},
                      LocusCase{"Linear",
                                -1,
                                "u",
                                "v^2",
                                "uv",
                                QColor(255, 170, 136),
                                {{0, 0.9}, {0, 0.5}, {0, -0.3}, {0, -0.7}},
                                {QRectF(0.2, -0.9, 0.7, 1.8), QRectF(-0.9, -0.9, 0.7, 1.8)}}),
    [](const ::testing::TestParamInfo<LocusCase> &info) { return std::string(info.param.name); });

TEST_F(RunTest, ASecondPressWithUnchangedFieldsComputesNothing) {
  SetFold();
  PressDrawIt();
  const uint64_t evaluations = Map.Evaluations;
  ASSERT_GT(evaluations, 0u);
  G.Dirty = false;
  PressDrawIt();
  EXPECT_EQ(Map.Evaluations, evaluations);
  EXPECT_FALSE(G.Dirty);
  // A changed field computes again.
  Window->vMaxEdit->setText("0.9");
  PressDrawIt();
  EXPECT_GT(Map.Evaluations, evaluations);
}

TEST_F(RunTest, StopEndsARunEarlyAndDrawsWhatWasFound) {
  SetProblem("u^2 + sin(3v)", "v^3 - u", "uv + cos(2u v)");
  PressDrawIt();
  const uint64_t fullRun = Map.Evaluations;
  const std::size_t fullTrace = DescentTraceSize();

  Window->vMinEdit->setText("-0.999");
  int polls = 0;
  QString captionDuringRun, statusDuringRun;
  Window->PollHook = [&] {
    ++polls;
    if (captionDuringRun.isEmpty() && DescentTraceSize() > 0) {
      captionDuringRun = Window->DrawItLines->text();
      statusDuringRun = Status();
      PressDrawIt(); // the button now reads "Stop"
    }
  };
  const uint64_t before = Map.Evaluations;
  PressDrawIt();
  Window->PollHook = nullptr;

  EXPECT_EQ(captionDuringRun, "Stop");
  EXPECT_EQ(statusDuringRun,
            "Since the first equation is not linear, the general algorithm will be used");
  EXPECT_EQ(Status(), "");
  EXPECT_GT(polls, 0);
  EXPECT_LT(Map.Evaluations - before, fullRun);
  EXPECT_LE(DescentTraceSize(), fullTrace);
  EXPECT_GT(DescentTraceSize(), 0u);
  EXPECT_GT(CountColour(Window->Picture, Blue, Window->Picture.rect()), 0);
  EXPECT_FALSE(G.Running);
  EXPECT_FALSE(G.StopRequested);
  EXPECT_EQ(Window->DrawItLines->text(), "Draw It");
  EXPECT_EQ(Window->DrawItLines->palette().color(QPalette::ButtonText), QColor(0, 0, 128));
}

TEST_F(RunTest, HandlersOtherThanTheButtonWaitWhileARunIsGoing) {
  SetFold();
  PressDrawIt();
  G.Running = true;
  const uint64_t evaluations = Map.Evaluations;
  Window->GradualDescent1->trigger();
  EXPECT_TRUE(Window->Descent1->isChecked());
  EXPECT_EQ(Window->MethodNumber(), 0);
  MoveMouse(Window->Parametros, 64, 64, Qt::LeftButton);
  Window->Save1->trigger();
  Window->Print1->trigger();
  Window->Exit1->trigger();
  EXPECT_EQ(Map.Evaluations, evaluations);
  EXPECT_EQ(Dialogs->SaveAsked, 0);
  EXPECT_TRUE(Window->isVisible());
  PressDrawIt();
  EXPECT_TRUE(G.StopRequested);
  G.Running = G.StopRequested = false;
}

TEST_F(RunTest, AMethodChangeRecomputesAtOnce) {
  SetFold();
  Window->TrianglesIntersection1->trigger();
  PressDrawIt();
  const uint64_t evaluations = Map.Evaluations;
  Window->Descent1->trigger();
  EXPECT_EQ(Window->MethodNumber(), 0);
  EXPECT_TRUE(Window->Descent1->isChecked());
  EXPECT_GT(Map.Evaluations, evaluations);
  const QPoint p = PixelOf(0.5, 0.25);
  EXPECT_GT(CountColour(Window->Picture, Blue, QRect(p - QPoint(2, 2), QSize(5, 5))), 0);
  // Choosing the method in force again does nothing.
  const uint64_t after = Map.Evaluations;
  Window->Descent1->trigger();
  EXPECT_EQ(Map.Evaluations, after);
}

TEST_F(RunTest, ADragInTheSquareWritesPAndQAndRecomputes) {
  SetProblem("u^2", "v", "u^3 - p u v + q");
  MoveMouse(Window->Parametros, 64, 64, Qt::LeftButton);
  EXPECT_EQ(Window->pValueEdit->text(), "1"); // before the first run a drag does nothing
  PressDrawIt();
  G.Dirty = false;
  const uint64_t evaluations = Map.Evaluations;

  MoveMouse(Window->Parametros, 64, 64, Qt::RightButton);
  EXPECT_EQ(Map.Evaluations, evaluations);
  for (QPoint edge : {QPoint(0, 64), QPoint(64, 0), QPoint(128, 64), QPoint(64, 128)}) {
    MoveMouse(Window->Parametros, edge.x(), edge.y(), Qt::LeftButton);
    EXPECT_EQ(Map.Evaluations, evaluations);
  }
  EXPECT_EQ(G.CirclePos, (std::array<int32_t, 2>{64, 128}));

  MoveMouse(Window->Parametros, 64, 64, Qt::LeftButton);
  EXPECT_EQ(Window->pValueEdit->text(), "1.0000");
  EXPECT_EQ(Window->qValueEdit->text(), "1.5710");
  EXPECT_GT(Map.Evaluations, evaluations);
  EXPECT_EQ(G.CirclePos, (std::array<int32_t, 2>{64, 64}));
  EXPECT_DOUBLE_EQ(G.ParamValue[1], std::numbers::pi / 2);
  EXPECT_TRUE(G.Dirty);
  const QImage square = Window->Parametros->grab().toImage();
  EXPECT_EQ(square.pixelColor(64 + 3, 64).red(), 255);
  EXPECT_EQ(square.pixelColor(64, 128 - 1), QColor(Qt::white)); // the old circle is gone

  // With p = 1/2 the locus is v = u^2 / p.
  MoveMouse(Window->Parametros, 32, 64, Qt::LeftButton);
  EXPECT_EQ(Window->pValueEdit->text(), "0.5000");
  const QPoint p = PixelOf(0.5, 0.5);
  EXPECT_GT(CountColour(Window->Picture, Blue, QRect(p - QPoint(2, 2), QSize(5, 5))), 0);
}

TEST_F(RunTest, AReadMovesTheCircleToTheNewParameters) {
  SetProblem("u^2", "v", "u^3 - p u v");
  Window->pValueEdit->setText("0.5");
  Window->qValueEdit->setText("pi/2");
  PressDrawIt();
  EXPECT_EQ(G.CirclePos, (std::array<int32_t, 2>{32, 64}));
  const QImage square = Window->Parametros->grab().toImage();
  EXPECT_EQ(square.pixelColor(32 + 3, 64).red(), 255);
  EXPECT_EQ(square.pixelColor(64 + 3, 128 - 1), QColor(Qt::white));
}

// The read itself moves nothing: the window puts the circle at the read's (p, q) once the read
// has succeeded, and a refused read leaves it where it was.
TEST_F(RunTest, ARefusedReadLeavesTheCircle) {
  SetProblem("u^2", "v(", "u^3 - p u v");
  Window->pValueEdit->setText("0.5");
  Window->qValueEdit->setText("pi/2");
  PressDrawIt();
  EXPECT_EQ(Status(), "Check, please, the parentheses.");
  EXPECT_EQ(G.CirclePos, (std::array<int32_t, 2>{64, 128}));
  Window->yEdit->setText("v");
  PressDrawIt();
  EXPECT_EQ(G.CirclePos, (std::array<int32_t, 2>{32, 64}));
}

struct DigitsCase {
  double value;
  const char *shown;
};

TEST(FourSignificantDigits, AsTheFieldsShowThem) {
  const DigitsCase cases[] = {{1.0, "1.0000"},        {std::numbers::pi / 2, "1.5710"},
                              {0.5, "0.5000"},        {-0.25, "-0.2500"},
                              {123.456, "123.5000"},  {9999.4, "9999.0000"},
                              {12345.6, "1.235E4"},   {0.0, "0.0000"},
                              {2.0 / 3.0, "0.6667"},  {-1234.5678, "-1235.0000"},
                              {-12345.6, "-1.235E4"}, {99999.0, "1.000E5"},
                              {1e-7, "0.0000"}};
  for (const DigitsCase &c : cases)
    EXPECT_EQ(FourSignificantDigits(c.value), c.shown) << c.value;
}

TEST_F(RunTest, TheSiblingCircleMarksTheOtherHalfAndGoesAwayWithTheMouse) {
  SetFold();
  PressDrawIt();
  const QImage picture = Window->Picture;
  // A drawn pixel near (0.5, 0.25); its sibling lies near (-0.5, 0.25).
  const QPoint drawn = DrawnPixelNear(picture, PixelOf(0.5, 0.25));
  ASSERT_GE(drawn.x(), 0);
  MoveMouse(Window->Reloj, drawn.x(), drawn.y());
  ASSERT_TRUE(G.SiblingShown);
  const QPoint sibling(G.SiblingPos[0], G.SiblingPos[1]);
  EXPECT_NEAR(sibling.x(), PixelOf(-0.5, 0.25).x(), 4);
  EXPECT_NEAR(sibling.y(), PixelOf(-0.5, 0.25).y(), 4);

  // The circle's pixels are the picture's exclusive-or fuchsia, and only around the sibling.
  const QImage shown = Screen().convertToFormat(QImage::Format_RGB32);
  int changed = 0;
  for (int y = 0; y < 400; ++y)
    for (int x = 0; x < 400; ++x) {
      const QRgb before = picture.pixel(x, y), after = shown.pixel(x, y);
      if (before == after)
        continue;
      ++changed;
      EXPECT_LE(std::abs(x - sibling.x()), 5);
      EXPECT_LE(std::abs(y - sibling.y()), 5);
      EXPECT_EQ(after & 0xFFFFFF, (before ^ 0xFF00FF) & 0xFFFFFF) << x << "," << y;
    }
  EXPECT_GT(changed, 12);

  // Onto empty picture: the circle goes.
  MoveMouse(Window->Reloj, PixelOf(0, 0.9).x(), PixelOf(0, 0.9).y());
  EXPECT_FALSE(G.SiblingShown);
  EXPECT_EQ(Screen().convertToFormat(QImage::Format_RGB32), picture);
  // Below the picture (a drag leaving the box) nothing is looked up.
  MoveMouse(Window->Reloj, drawn.x(), 401);
  EXPECT_FALSE(G.SiblingShown);
}

TEST_F(RunTest, UncoveringThePictureShowsItWithoutTheCircle) {
  SetFold();
  PressDrawIt();
  const QImage picture = Window->Picture.convertToFormat(QImage::Format_RGB32);
  const QPoint drawn = DrawnPixelNear(picture, PixelOf(0.5, 0.25));
  ASSERT_GE(drawn.x(), 0);
  MoveMouse(Window->Reloj, drawn.x(), drawn.y());
  ASSERT_TRUE(G.SiblingShown);
  ASSERT_NE(Screen(), picture);

  // Covered and uncovered: the platform asks for a paint of the whole box.
  Window->Reloj->repaint();
  EXPECT_FALSE(G.SiblingShown);
  EXPECT_EQ(Screen(), picture);

  // The next move must draw a circle, not remove one that is no longer there.
  MoveMouse(Window->Reloj, drawn.x(), drawn.y());
  EXPECT_TRUE(G.SiblingShown);
  EXPECT_NE(Screen(), picture);
  // And the move after it removes it again.
  MoveMouse(Window->Reloj, PixelOf(0, 0.9).x(), PixelOf(0, 0.9).y());
  EXPECT_FALSE(G.SiblingShown);
  EXPECT_EQ(Screen(), picture);

  // Uncovering only a corner far from the circle must not leave the circle on the screen
  // while the window believes it gone.
  MoveMouse(Window->Reloj, drawn.x(), drawn.y());
  ASSERT_TRUE(G.SiblingShown);
  Window->Reloj->repaint(QRect(0, 0, 10, 10));
  QApplication::processEvents();
  EXPECT_FALSE(G.SiblingShown);
  EXPECT_EQ(Screen(), picture);
}

TEST_F(RunTest, TheLinearCaseShowsItsSiblingFromItsOwnRows) {
  SetProblem("u", "v^2", "uv"); // L is u = 0, (0, v) and (0, -v) share their image
  PressDrawIt();
  ASSERT_TRUE(G.IsLinear);
  const QPoint near = PixelOf(0, 0.5);
  QPoint drawn(-1, -1);
  for (int dx = -2; dx <= 2 && drawn.x() < 0; ++dx)
    if (Window->Picture.pixelColor(near + QPoint(dx, 0)) == QColor(255, 170, 136))
      drawn = near + QPoint(dx, 0);
  ASSERT_GE(drawn.x(), 0);
  MoveMouse(Window->Reloj, drawn.x(), drawn.y());
  ASSERT_TRUE(G.SiblingShown);
  EXPECT_NEAR(G.SiblingPos[0], PixelOf(0, -0.5).x(), 3);
  EXPECT_NEAR(G.SiblingPos[1], PixelOf(0, -0.5).y(), 3);
}

TEST_F(RunTest, ADragWhereTheLinearFirstFunctionVanishesOnlyComplains) {
  SetProblem("pu + qv", "v^2", "uv");
  for (QLineEdit *e : {Window->pMinEdit, Window->qMinEdit})
    e->setText("-1");
  for (QLineEdit *e : {Window->pMaxEdit, Window->qMaxEdit})
    e->setText("1");
  Window->pValueEdit->setText("1");
  Window->qValueEdit->setText("0");
  PressDrawIt();
  ASSERT_TRUE(G.IsLinear);
  const QImage picture = Window->Picture;
  const uint64_t evaluations = Map.Evaluations;
  MoveMouse(Window->Parametros, 64, 64, Qt::LeftButton); // p = q = 0
  EXPECT_EQ(Status(), "The first function seems to be constant");
  EXPECT_EQ(Window->BeepCount, 1);
  EXPECT_EQ(Map.Evaluations, evaluations);
  EXPECT_EQ(Window->Picture, picture);
  EXPECT_EQ(G.CirclePos, (std::array<int32_t, 2>{64, 64}));
}

TEST_F(RunTest, TheTriangleMethodHasNoSiblingDisplay) {
  SetFold();
  PressDrawIt();
  Window->TrianglesIntersection1->trigger();
  for (int x = 0; x < 400; x += 7)
    MoveMouse(Window->Reloj, x, PixelOf(0, 0.25).y());
  EXPECT_FALSE(G.SiblingShown);
}

TEST_F(RunTest, TypedParameterValues) {
  SetProblem("u^2", "v", "u^3 - p u v");
  PressDrawIt();
  uint64_t evaluations = Map.Evaluations;
  auto type = [&](QLineEdit *edit, const QString &text) {
    edit->setText(text.left(text.size() - 1));
    QTest::keyClick(edit, text.back().toLatin1());
  };

  // Out of range: the message, and a run with the old value.
  type(Window->pValueEdit, "3");
  EXPECT_EQ(Status(), "p must between bounds");
  EXPECT_EQ(G.ParamValue[0], 1.0);
  EXPECT_EQ(G.FieldValues[8], 1.0);
  EXPECT_GT(Map.Evaluations, evaluations);

  // A good value is taken and computed with.
  evaluations = Map.Evaluations;
  type(Window->qValueEdit, "pi/4");
  EXPECT_DOUBLE_EQ(G.ParamValue[1], std::numbers::pi / 4);
  EXPECT_GT(Map.Evaluations, evaluations);
  type(Window->qValueEdit, "4");
  EXPECT_EQ(Status(), "q must between bounds");

  // Unreadable: a red caption and nothing else.
  evaluations = Map.Evaluations;
  const int beeps = Window->BeepCount;
  type(Window->pValueEdit, "0.5+");
  EXPECT_EQ(Window->DrawItLines->palette().color(QPalette::ButtonText), QColor(255, 0, 0));
  EXPECT_EQ(Map.Evaluations, evaluations);
  EXPECT_EQ(Window->BeepCount, beeps);
  // The next run makes it navy again.
  type(Window->pValueEdit, "0.5");
  EXPECT_EQ(G.ParamValue[0], 0.5);
  EXPECT_EQ(Window->DrawItLines->palette().color(QPalette::ButtonText), QColor(0, 0, 128));
}

TEST_F(RunTest, ALinearFirstFunctionDisablesTheMethodMenuUntilAnotherRun) {
  Window->qMaxEdit->setText("3");
  PressDrawIt(); // the default problem: x(u,v) = u
  EXPECT_TRUE(G.IsLinear);
  EXPECT_FALSE(Window->MethodMenuEnabled());
  EXPECT_TRUE(G.Drawn);
  SetFold();
  PressDrawIt();
  EXPECT_FALSE(G.IsLinear);
  EXPECT_TRUE(Window->MethodMenuEnabled());
}

TEST_F(RunTest, ARejectedReadShowsItsMessageWithABeepAndKeepsThePicture) {
  SetFold();
  PressDrawIt();
  const QImage picture = Window->Picture;
  Window->uMaxEdit->setText("-1");
  PressDrawIt();
  EXPECT_EQ(Status(), "The minimum of 'u' must be less than its maximum");
  EXPECT_EQ(Window->BeepCount, 1);
  EXPECT_EQ(Window->Picture, picture);
}

TEST_F(RunTest, MovingThroughTheMenusLeavesTheStatusBarMessage) {
  Window->uMaxEdit->setText("-1");
  PressDrawIt();
  ASSERT_EQ(Status(), "The minimum of 'u' must be less than its maximum");
  Window->menuBar()->setActiveAction(Window->FileMenu->menuAction());
  QTest::keyClick(Window->FileMenu, Qt::Key_Down);
  QTest::keyClick(Window->FileMenu, Qt::Key_Right);
  QTest::keyClick(Window->EditMenu, Qt::Key_Down);
  Window->EditMenu->hide();
  EXPECT_EQ(Status(), "The minimum of 'u' must be less than its maximum");
}

} // namespace
} // namespace tandor::testing
