// The 3D view driven as a person drives it: Ctrl+3, drags and the wheel in the view, the mouse
// over the picture and over the surface, runs that the view follows, the export, the close. The
// pictures are read back from the view's framebuffer and from the main window's pixels.

#include <QAction>
#include <QFile>
#include <QImage>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>

#include "OpenGlAvailability.h"
#include "scene/SceneRenderer.h"
#include "solvers/CompiledCoordinates.h"
#include "ui/PointerReadout.h"
#include "ui/SurfaceLink.h"
#include "ui/SurfaceView.h"
#include "ui/SurfaceWindow.h"
#include "ui/WindowFixture.h"

namespace tandor::testing {
namespace {

constexpr int ColourTolerance = 40;

bool Near(QRgb pixel, Rgb colour, int tolerance = ColourTolerance) {
  return std::abs(qRed(pixel) - colour.r) <= tolerance &&
         std::abs(qGreen(pixel) - colour.g) <= tolerance &&
         std::abs(qBlue(pixel) - colour.b) <= tolerance;
}

int CountNear(const QImage &image, Rgb colour, QRect within = {}, int tolerance = ColourTolerance) {
  if (within.isNull())
    within = image.rect();
  int count = 0;
  for (int y = within.top(); y <= within.bottom(); ++y)
    for (int x = within.left(); x <= within.right(); ++x)
      count += Near(image.pixel(x, y), colour, tolerance);
  return count;
}

// Pixels of after near the colour that were not in before: what was drawn in that colour.
int CountNewNear(const QImage &before, const QImage &after, Rgb colour, int tolerance) {
  int count = 0;
  for (int y = 0; y < after.height(); ++y)
    for (int x = 0; x < after.width(); ++x)
      count +=
          after.pixel(x, y) != before.pixel(x, y) && Near(after.pixel(x, y), colour, tolerance);
  return count;
}

// 10 x 10 blocks whose mean colours differ by more than a little.
int CountDifferentBlocks(const QImage &a, const QImage &b) {
  EXPECT_EQ(a.size(), b.size());
  int count = 0;
  for (int by = 0; by + 10 <= std::min(a.height(), b.height()); by += 10)
    for (int bx = 0; bx + 10 <= std::min(a.width(), b.width()); bx += 10) {
      int sum[3] = {0, 0, 0};
      for (int y = by; y < by + 10; ++y)
        for (int x = bx; x < bx + 10; ++x) {
          sum[0] += qRed(a.pixel(x, y)) - qRed(b.pixel(x, y));
          sum[1] += qGreen(a.pixel(x, y)) - qGreen(b.pixel(x, y));
          sum[2] += qBlue(a.pixel(x, y)) - qBlue(b.pixel(x, y));
        }
      count += std::abs(sum[0]) > 1200 || std::abs(sum[1]) > 1200 || std::abs(sum[2]) > 1200;
    }
  return count;
}

int CountDifferent(const QImage &a, const QImage &b) {
  EXPECT_EQ(a.size(), b.size());
  int count = 0;
  for (int y = 0; y < std::min(a.height(), b.height()); ++y)
    for (int x = 0; x < std::min(a.width(), b.width()); ++x)
      count += a.pixel(x, y) != b.pixel(x, y);
  return count;
}

QRect Around(const Vector2 &pixel, int half) {
  return QRect(static_cast<int>(pixel[0]) - half, static_cast<int>(pixel[1]) - half, 2 * half + 1,
               2 * half + 1);
}

class SurfaceWindowTest : public WindowTest {
protected:
  void SetUp() override {
    if (!NoOpenGlReason().isEmpty()) {
      GTEST_SKIP() << "no OpenGL for the 3D view: " << NoOpenGlReason().toStdString();
    }
  }

  // Ctrl+3 in the main window, as a person presses it.
  SurfaceWindow *OpenWithCtrl3() {
    Window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(Window.get()));
    QTest::keyClick(Window.get(), Qt::Key_3, Qt::ControlModifier);
    SurfaceWindow *view = Window->Surface3D->Window();
    if (view != nullptr) {
      EXPECT_TRUE(QTest::qWaitForWindowExposed(view));
    }
    return view;
  }
  SurfaceView *View() const { return Window->Surface3D->Window()->View; }
  QImage Frame() const { return View()->grabFramebuffer().convertToFormat(QImage::Format_RGB32); }
  // Where a point in space shows in the view.
  Vector2 PixelOf(const Vector3 &p) const {
    Vector2 pixel{};
    EXPECT_TRUE(View()->View.Project(p, View()->width(), View()->height(), pixel));
    return pixel;
  }
  Vector3 F(const Vector2 &uv) {
    CompiledCoordinates coordinates(Map);
    return SurfacePoint(coordinates, uv[0], uv[1]);
  }
  // The picture box as it paints itself now.
  QImage Picture() const {
    return Window->Reloj->grab().toImage().convertToFormat(QImage::Format_RGB32);
  }
  void Hover3d(QPointF at) {
    QMouseEvent move(QEvent::MouseMove, at, View()->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(View(), &move);
  }
};

TEST_F(SurfaceWindowTest, CtrlThreeOpensTheThreeDViewBesideTheWindowWithTheComputedSurface) {
  PressDrawIt();
  SurfaceWindow *view = OpenWithCtrl3();
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->windowTitle(), "3D View");
  EXPECT_TRUE(view->isWindow());
  EXPECT_FALSE(view->isModal());
  EXPECT_EQ(View()->size(), QSize(SurfaceWindow::StartSize, SurfaceWindow::StartSize));
  EXPECT_TRUE(View()->Problem().isEmpty()) << View()->Problem().toStdString();

  // The surface fills the middle, both sheets' tints show, and the double curve is drawn in
  // Descent's colour.
  const QImage frame = Frame();
  EXPECT_NE(frame.pixel(250, 250), qRgb(255, 255, 255));
  const QRect middle(150, 150, 200, 200);
  EXPECT_GT(CountNear(frame, SceneColours::FrontTint, middle, 70), 500);
  EXPECT_GT(CountNear(frame, SceneColours::BackTint, middle, 70), 500);
  View()->Options.CurveWidth = 0.0;
  const QImage withoutCurve = Frame();
  EXPECT_GT(CountNewNear(withoutCurve, frame, LocusColour(Locus.LastMethod), 40), 30);

  // A second Ctrl+3 raises the same window; the main window stays usable throughout.
  EXPECT_EQ(OpenWithCtrl3(), view);
  EXPECT_TRUE(Window->isEnabled());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(SurfaceWindowTest, ADragTurnsTheSurfaceTheWheelZoomsAndHomeGoesBack) {
  PressDrawIt();
  ASSERT_NE(OpenWithCtrl3(), nullptr);
  const QImage home = Frame();

  QTest::mousePress(View(), Qt::LeftButton, {}, QPoint(250, 250));
  QTest::mouseMove(View(), QPoint(300, 270));
  QTest::mouseRelease(View(), Qt::LeftButton, {}, QPoint(300, 270));
  const QImage turned = Frame();
  EXPECT_GT(CountDifferent(home, turned), 5000);

  // Two notches towards the screen: the surface comes closer and covers more of the view.
  const double distance = View()->View.Distance;
  QWheelEvent wheel(QPointF(250, 250), View()->mapToGlobal(QPointF(250, 250)), QPoint(),
                    QPoint(0, 240), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(View(), &wheel);
  EXPECT_NEAR(View()->View.Distance, distance * Camera::ZoomStep * Camera::ZoomStep, 1e-9);
  const QImage nearer = Frame();
  EXPECT_LT(CountNear(nearer, SceneColours::Background, {}, 0),
            CountNear(turned, SceneColours::Background, {}, 0));

  // A right drag pans: the picture moves with the mouse.
  QTest::mousePress(View(), Qt::RightButton, {}, QPoint(250, 250));
  QTest::mouseMove(View(), QPoint(230, 250));
  QTest::mouseRelease(View(), Qt::RightButton, {}, QPoint(230, 250));
  EXPECT_GT(CountDifferent(nearer, Frame()), 1000);

  View()->setFocus();
  QTest::keyClick(View(), Qt::Key_Home);
  EXPECT_EQ(CountDifferent(home, Frame()), 0);
}

TEST_F(SurfaceWindowTest, TheMouseOverThePictureMarksFOfUvInSpace) {
  PressDrawIt();
  ASSERT_NE(OpenWithCtrl3(), nullptr);
  const SurfaceMesh &mesh = Window->Surface3D->Scene().Mesh;
  const QImage without = Frame();
  EXPECT_FALSE(View()->Options.ShowMarker);

  Vector2 lastPixel{-100, -100};
  for (const QPoint at : {QPoint(100, 300), QPoint(300, 120)}) {
    MoveMouse(Window->Reloj, at.x(), at.y());
    const Vector2 uv = PointOfPixel(G.PictureRect, mesh.DomainLow, mesh.DomainHigh, at.x(), at.y());
    ASSERT_TRUE(View()->Options.ShowMarker);
    const Vector3 expected = F(uv);
    for (int c = 0; c < 3; ++c)
      EXPECT_DOUBLE_EQ(View()->Options.Marker[c], expected[c]);
    // The sphere shows where F(u, v) projects, and has moved there.
    const Vector2 pixel = PixelOf(expected);
    const QImage with = Frame();
    EXPECT_GT(CountNewNear(without, with, SceneColours::Marker, 60) +
                  CountNewNear(without, with, SceneColours::HiddenMarker, 40),
              10);
    const int near = CountNear(with, SceneColours::Marker, Around(pixel, 6), 60) +
                     CountNear(with, SceneColours::HiddenMarker, Around(pixel, 6), 40);
    EXPECT_GT(near, 10);
    EXPECT_GT(std::hypot(pixel[0] - lastPixel[0], pixel[1] - lastPixel[1]), 10.0);
    lastPixel = pixel;
  }

  // Off the picture the marker goes.
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(Window->Reloj, &leave);
  EXPECT_FALSE(View()->Options.ShowMarker);
  EXPECT_EQ(CountDifferent(without, Frame()), 0);
}

TEST_F(SurfaceWindowTest, TheMouseOverTheSurfaceMarksItsUvInThePictureUntilTheViewCloses) {
  PressDrawIt();
  ASSERT_NE(OpenWithCtrl3(), nullptr);
  const QImage before = Picture();
  const QString statusBefore = Status();

  const QPointF at(240.5, 260.5);
  Hover3d(at);
  const auto &picked = Window->Surface3D->Picked();
  ASSERT_TRUE(picked.has_value());
  // The point picked is the one under the mouse.
  const Vector2 seen = PixelOf(F(*picked));
  EXPECT_NEAR(seen[0], at.x(), 1.0);
  EXPECT_NEAR(seen[1], at.y(), 1.0);
  EXPECT_EQ(Status().toStdString(), PointerReadout(*picked, std::nullopt));

  // A cross in the picture at its (u, v).
  const SurfaceMesh &mesh = Window->Surface3D->Scene().Mesh;
  const Vector2 cross = PixelOfParameter(G.PictureRect, mesh.DomainLow, mesh.DomainHigh, *picked);
  const QImage marked = Picture();
  EXPECT_GE(CountNear(marked, SceneColours::Marker, Around(cross, 5), 10), 12);
  EXPECT_EQ(CountNear(before, SceneColours::Marker, Around(cross, 5), 10), 0);

  // Off the surface (a corner of the view shows only the background) the marks go.
  Hover3d(QPointF(3, 3));
  EXPECT_FALSE(Window->Surface3D->Picked().has_value());
  EXPECT_EQ(Status(), statusBefore);

  // Picked again, then the view is closed: the main window is as it was.
  Hover3d(at);
  ASSERT_TRUE(Window->Surface3D->Picked().has_value());
  Window->Surface3D->Window()->close();
  EXPECT_FALSE(Window->Surface3D->Picked().has_value());
  EXPECT_EQ(Status(), statusBefore);
  EXPECT_EQ(Picture(), before);
  QTest::qWait(0);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(Window->Surface3D->Window(), nullptr);
}

TEST_F(SurfaceWindowTest, TheViewFollowsADragOfPqAndAnOpenedFile) {
  PressDrawIt();
  ASSERT_NE(OpenWithCtrl3(), nullptr);
  View()->Options.Wireframe = false;
  const QImage first = Frame();
  const std::vector<Vector3> firstPositions = Window->Surface3D->Scene().Mesh.Positions;

  // A drag in the parameter square from the circle to the right: p grows, and the surface with it.
  MoveMouse(Window->Parametros, 100, 100, Qt::LeftButton);
  EXPECT_NE(Window->Surface3D->Scene().Mesh.Positions, firstPositions);
  EXPECT_GT(CountDifferent(first, Frame()), 500);

  // An opened file: its domain, its surface, Gradual Descent's colour when the file asks it.
  const QString klein = qEnvironmentVariable("TANDOR_SOURCE_DIR") + "/tests/data/klein-bottle.tdr";
  ASSERT_TRUE(QFile::exists(klein));
  Window->OpenDataFile(klein);
  const SurfaceScene &scene = Window->Surface3D->Scene();
  EXPECT_EQ(scene.Mesh.DomainLow, G.DomainLow);
  EXPECT_EQ(scene.Mesh.DomainHigh, G.DomainHigh);
  EXPECT_EQ(scene.CurveColour, LocusColour(Locus.LastMethod));
  EXPECT_GT(scene.Curve.Points.size(), 10u);
  EXPECT_NE(Frame().pixel(250, 250), qRgb(255, 255, 255));
}

TEST_F(SurfaceWindowTest, TheWireframeCanBeSwitchedOffAndOn) {
  PressDrawIt();
  SurfaceWindow *view = OpenWithCtrl3();
  ASSERT_NE(view, nullptr);
  ASSERT_TRUE(view->Wireframe1->isChecked());
  const QImage wired = Frame();
  view->Wireframe1->trigger();
  EXPECT_FALSE(View()->Options.Wireframe);
  const QImage bare = Frame();
  EXPECT_GT(CountDifferent(wired, bare), 1000);
  view->Wireframe1->trigger();
  EXPECT_EQ(CountDifferent(wired, Frame()), 0);
}

TEST_F(SurfaceWindowTest, ExportWritesTheViewAtTheChosenSizeAndKeepsTheOldFileOnFailure) {
  PressDrawIt();
  SurfaceWindow *view = OpenWithCtrl3();
  ASSERT_NE(view, nullptr);
  QTemporaryDir dir;
  const QString path = dir.filePath("view.png");
  EXPECT_EQ(view->ExportView(path, QSize(320, 200)), "");
  QImage written(path);
  ASSERT_FALSE(written.isNull());
  EXPECT_EQ(written.size(), QSize(320, 200));
  EXPECT_NE(written.pixel(160, 100), qRgb(255, 255, 255));

  // At the window's size it is the picture on the screen.
  const QString same = dir.filePath("same.png");
  EXPECT_EQ(view->ExportView(same, View()->size()), "");
  // The export smooths its edges with more samples; block by block the pictures agree.
  EXPECT_LT(CountDifferentBlocks(QImage(same).convertToFormat(QImage::Format_RGB32), Frame()), 25);

  // Too big for OpenGL, or into a folder that does not exist: a reason, and nothing written.
  const QString error = view->ExportView(path, QSize(1 << 20, 16));
  EXPECT_TRUE(error.startsWith("Cannot export the 3D view: ")) << error.toStdString();
  EXPECT_EQ(QImage(path).size(), QSize(320, 200));
  const QString missing = dir.filePath("no/such/folder/view.png");
  EXPECT_TRUE(view->ExportView(missing, QSize(100, 100)).startsWith("Cannot write " + missing));
  EXPECT_FALSE(QFile::exists(missing));
}

TEST_F(SurfaceWindowTest, BeforeAnyRunTheViewIsEmptyAndTheFirstRunFillsIt) {
  ASSERT_NE(OpenWithCtrl3(), nullptr);
  const QImage empty = Frame();
  EXPECT_EQ(empty.pixel(250, 250), qRgb(255, 255, 255));
  MoveMouse(Window->Reloj, 200, 200);
  EXPECT_FALSE(View()->Options.ShowMarker);
  PressDrawIt();
  EXPECT_NE(Frame().pixel(250, 250), qRgb(255, 255, 255));
}

} // namespace
} // namespace tandor::testing
