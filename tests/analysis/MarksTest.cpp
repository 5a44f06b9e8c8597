// What the picture shows of the singular points: exact pixels, colours and widths of the marks,
// the mark under the mouse, and the count in words.

#include <gtest/gtest.h>

#include "analysis/SingularPointMarks.h"
#include "common/RecordingCanvas.h"

namespace tandor::testing {
namespace {

const Vector2 Low{-1, -2}, High{3, 2};
const PixelRect Picture{0, 0, 400, 400};

SingularPoints Example() {
  SingularPoints p;
  p.CrossCaps = {{{0, 0}, {1, 2, 3}}, {{-1, 2}, {4, 5, 6}}};
  p.Triples = {{{Vector2{1, -1}, Vector2{2, 0}, Vector2{3, -2}}, {7, 8, 9}}};
  return p;
}

TEST(Marks, DiscsOnCrossCapsAndTrianglesOnTriplePointsInTheDrawingsPixels) {
  RecordingCanvas canvas;
  DrawSingularPoints(canvas, Picture, Low, High, Example());
  // (0, 0) is a quarter of the way along u and half way down v; (-1, 2) the top left corner.
  ASSERT_EQ(canvas.ellipses.size(), 2u);
  EXPECT_EQ(canvas.ellipses[0].left, 97);
  EXPECT_EQ(canvas.ellipses[0].top, 197);
  EXPECT_EQ(canvas.ellipses[0].right, 104);
  EXPECT_EQ(canvas.ellipses[0].bottom, 204);
  EXPECT_EQ(canvas.ellipses[1].left, -3);
  EXPECT_EQ(canvas.ellipses[1].top, -3);
  for (const auto &e : canvas.ellipses) {
    EXPECT_EQ(e.colour, Black);
    EXPECT_FALSE(e.brushClear) << "filled";
  }
  EXPECT_EQ(canvas.brush, Black);
  // Three sides for each of the three points of the triple point, black, one pixel wide.
  ASSERT_EQ(canvas.lines.size(), 9u);
  for (const auto &l : canvas.lines) {
    EXPECT_EQ(l.colour, Black);
    EXPECT_EQ(l.width, 1);
    EXPECT_EQ(l.mode, PenMode::Copy);
  }
  // The first around (1, -1): pixel (200, 300), apex 4 above it.
  EXPECT_EQ(canvas.lines[0].x1, 200);
  EXPECT_EQ(canvas.lines[0].y1, 296);
  EXPECT_EQ(canvas.lines[2].x2, 200) << "closed";
  EXPECT_EQ(canvas.lines[2].y2, 296);
}

TEST(Marks, GrowWithAPrintedPage) {
  RecordingCanvas canvas;
  DrawSingularPoints(canvas, {100, 100, 2100, 2100}, Low, High, Example());
  ASSERT_EQ(canvas.ellipses.size(), 2u);
  EXPECT_EQ(canvas.ellipses[0].right - canvas.ellipses[0].left, 31); // radius 15 of 2000 px
  EXPECT_EQ(canvas.lines[0].width, 4);
}

TEST(Marks, TheMarkUnderTheMouse) {
  const SingularPoints p = Example();
  const auto cap = MarkAt(102, 199, Picture, Low, High, p);
  ASSERT_TRUE(cap);
  EXPECT_EQ(cap->Kind, MarkKind::CrossCap);
  EXPECT_EQ(cap->Point, (Vector2{0, 0}));
  EXPECT_EQ(cap->Image, (Vector3{1, 2, 3}));
  const auto corner = MarkAt(400, 400, Picture, Low, High, p);
  ASSERT_TRUE(corner);
  EXPECT_EQ(corner->Kind, MarkKind::TriplePoint);
  EXPECT_EQ(corner->Point, (Vector2{3, -2}));
  EXPECT_EQ(corner->Image, (Vector3{7, 8, 9}));
  EXPECT_FALSE(MarkAt(106, 200, Picture, Low, High, p));
  EXPECT_FALSE(MarkAt(150, 150, Picture, Low, High, SingularPoints{}));
}

TEST(Marks, TheMarkInWords) {
  // Six significant digits and '.'; what Newton's method left at rounding level next to 0 is 0.
  EXPECT_EQ(
      MarkText({MarkKind::CrossCap, {-0.70710678118654757, 1.2e-17}, {-0.70710678, -0.0, 3e-14}}),
      "cross-cap at (u, v) = (-0.707107, 0), (x, y, z) = (-0.707107, 0, 0)");
  EXPECT_EQ(MarkText({MarkKind::TriplePoint, {1, -1}, {1234567.0, 2.5e-7, -1e300}}),
            "triple point at (u, v) = (1, -1), (x, y, z) = (1.23457e+06, 2.5e-07, -1e+300)");
}

TEST(Marks, TheCountInWords) {
  auto with = [](std::size_t c, std::size_t t, bool curve = false) {
    SingularPoints p;
    p.CrossCaps.resize(c);
    p.Triples.resize(t);
    p.SingularCurve = curve;
    return CountText(p);
  };
  EXPECT_EQ(with(2, 1), "2 cross-caps, 1 triple point");
  EXPECT_EQ(with(1, 0), "1 cross-cap, no triple points");
  EXPECT_EQ(with(0, 0), "no cross-caps or triple points");
  EXPECT_EQ(with(0, 3), "no cross-caps, 3 triple points");
  EXPECT_EQ(with(0, 0, true), "a curve of singular points, no triple points");
  EXPECT_EQ(with(1, 1, true), "a curve of singular points, 1 cross-cap, 1 triple point");
}

} // namespace
} // namespace tandor::testing
