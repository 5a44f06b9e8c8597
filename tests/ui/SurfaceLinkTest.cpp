// What ties the picture to the 3D view without any OpenGL: the picture's pixels and (u, v) both
// ways, the sizes an export accepts, and the 3D View window where the display has no OpenGL.

#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>
#include <random>

#include "WindowFixture.h"

#include "solvers/TraceDrawing.h"
#include "ui/PointerReadout.h"
#include "ui/SurfaceLink.h"
#include "ui/SurfaceWindow.h"

namespace tandor::testing {
namespace {

// The (u, v) that the picture's readout gives a pixel is one that the drawings put on that very
// pixel, and the 3D view's cross for it lands back on the pixel.
TEST(PicturePixels, APixelsPointIsDrawnOnThatPixelAndItsCrossToo) {
  const PixelRect picture{0, 0, 400, 400};
  const struct {
    Vector2 Low, High;
  } domains[] = {{{-1, -1}, {1, 1}}, {{0.2, -3.14159}, {2.9, 3.14159}}, {{-1e-6, 5}, {2e-6, 5.5}}};
  std::mt19937 random(3);
  std::uniform_int_distribution<int> pixel(0, 399);
  for (const auto &d : domains) {
    const PixelMapping drawing(picture, d.Low, d.High);
    EXPECT_EQ(drawing.RoundX(d.Low[0]), 0);
    EXPECT_EQ(drawing.RoundY(d.High[1]), 0);
    for (int i = 0; i < 200; ++i) {
      const int x = pixel(random), y = pixel(random);
      const Vector2 uv = PointOfPixel(picture, d.Low, d.High, x, y);
      EXPECT_EQ(drawing.RoundX(uv[0]), x);
      EXPECT_EQ(drawing.RoundY(uv[1]), y);
      const Vector2 back = PixelOfParameter(picture, d.Low, d.High, uv);
      EXPECT_NEAR(back[0], x, 1e-6);
      EXPECT_NEAR(back[1], y, 1e-6);
    }
  }
}

TEST(PictureSize, OneOrTwoWholeNumbersWithinTheLimit) {
  EXPECT_EQ(ParsePictureSize("640 x 480"), QSize(640, 480));
  EXPECT_EQ(ParsePictureSize("  640X480 "), QSize(640, 480));
  EXPECT_EQ(ParsePictureSize("800"), QSize(800, 800));
  EXPECT_EQ(ParsePictureSize("16384 x 1"), QSize(16384, 1));
  for (const char *bad : {"", "x", "0", "640 x 0", "16385", "-5 x 5", "5.5", "640 x 480 x 2",
                          "640,480", "999999999999"})
    EXPECT_FALSE(ParsePictureSize(bad).isValid()) << bad;
}

// Qt's offscreen platform has no OpenGL: the window opens all the same and says why it is empty,
// and the main window goes on as before.
class SurfaceWithoutOpenGlTest : public WindowTest {};

TEST_F(SurfaceWithoutOpenGlTest, TheThreeDViewSaysWhyItIsEmptyAndTheWindowGoesOn) {
  PressDrawIt();
  QTest::keyClick(Window.get(), Qt::Key_3, Qt::ControlModifier);
  SurfaceWindow *view = Window->Surface3D->Window();
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(view->isVisible());
  EXPECT_EQ(view->windowTitle(), "3D View");
  auto *notice = view->findChild<QLabel *>("SurfaceNotice");
  ASSERT_NE(notice, nullptr);
  EXPECT_TRUE(notice->text().startsWith("The 3D view cannot be shown: "))
      << notice->text().toStdString();
  EXPECT_FALSE(view->Export1->isEnabled());

  MoveMouse(Window->Reloj, 120, 200);
  MoveMouse(Window->Parametros, 100, 100, Qt::LeftButton);
  EXPECT_TRUE(G.Drawn);
  view->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(Window->Surface3D->Window(), nullptr);
  EXPECT_FALSE(Window->Surface3D->Picked().has_value());
}

} // namespace
} // namespace tandor::testing
