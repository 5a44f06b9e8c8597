// Drawing of the stored segments: fill first, green pen of width Round(W / 500), coordinates
// truncated toward zero, and the end pixel set by hand.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/RecordingCanvas.h"
#include "solvers/TriangleIntersection.h"

namespace tandor {
namespace {

using testing::RecordingCanvas;

constexpr Rgb Green{0, 128, 0};

struct DrawCase {
  std::string name;
  PixelRect rect;
  Vector2 low, high;
  TLocusSegment segment;
  int x1, y1, x2, y2; // expected pixels
  int penWidth;
};

// sx = W / (uMax - uMin), sy = -H / (vMax - vMin); x = Trunc(sx u + ox), y = Trunc(sy v + oy).
const std::vector<DrawCase> DrawCases{
    {"corners of the picture",
     {0, 0, 400, 400},
     {-1, -1},
     {1, 1},
     {-1, 1, 1, -1},
     0,
     0,
     400,
     400,
     1},
    {"truncation, not rounding",
     {0, 0, 400, 400},
     {-1, -1},
     {1, 1},
     {-0.984375, 0.984375, 0.0049, -0.0049},
     3,
     3,
     200,
     200,
     1},
    // 199.9999 and 200.98 truncate to 199 and 200
    {"fractions just below a whole pixel",
     {0, 0, 400, 400},
     {0, 0},
     {4, 4},
     {1.999999, 2.0098, 2.0098, 1.999999},
     199,
     199,
     200,
     200,
     1},
    // outside the rectangle: -0.5 truncates toward zero, to 0, and -1.5 to -1
    {"toward zero on the negative side",
     {0, 0, 400, 400},
     {0, 0},
     {4, 4},
     {-0.005, 4.005, -0.015, 4.015},
     0,
     0,
     -1,
     -1,
     1},
    {"printer rectangle, pen 2",
     {100, 50, 1350, 1300},
     {0, -2},
     {5, 3},
     {1, 0, 2.5, 2},
     350,
     800,
     725,
     300,
     2},
    {"printer rectangle, pen 4",
     {0, 0, 1750, 1750},
     {0, 0},
     {1, 1},
     {0.5, 0.5, 1, 0},
     875,
     875,
     1750,
     1750,
     4},
};

TEST(TrianglesDrawing, PixelsColourAndPen) {
  for (const DrawCase &c : DrawCases) {
    CalcDib dib;
    const TLocusSegment &s = c.segment;
    // the segment in A and its sibling in B, drawn in that order
    dib.AddSegmentPair(
        {Vector2{s.u1, s.v1}, Vector2{s.u2, s.v2}, Vector2{s.u2, s.v2}, Vector2{s.u1, s.v1}});
    RecordingCanvas canvas;
    canvas.SetBrush(Rgb{10, 20, 30});
    dib.DrawTriangleLocus(canvas, c.rect, c.low, c.high);
    ASSERT_EQ(canvas.fills.size(), 1u) << c.name;
    EXPECT_EQ(canvas.fills[0].rect, c.rect);
    EXPECT_EQ(canvas.fills[0].brush, (Rgb{10, 20, 30}));
    ASSERT_EQ(canvas.lines.size(), 2u) << c.name;
    const auto &first = canvas.lines[0];
    EXPECT_EQ((std::array<int, 4>{first.x1, first.y1, first.x2, first.y2}),
              (std::array<int, 4>{c.x1, c.y1, c.x2, c.y2}))
        << c.name;
    const auto &second = canvas.lines[1];
    EXPECT_EQ((std::array<int, 4>{second.x1, second.y1, second.x2, second.y2}),
              (std::array<int, 4>{c.x2, c.y2, c.x1, c.y1}))
        << c.name;
    for (const auto &line : canvas.lines) {
      EXPECT_EQ(line.colour, Green);
      EXPECT_EQ(line.width, c.penWidth) << c.name;
      EXPECT_EQ(line.mode, PenMode::Copy);
    }
    ASSERT_EQ(canvas.pixels.size(), 2u);
    EXPECT_EQ(canvas.pixels[0].x, c.x2);
    EXPECT_EQ(canvas.pixels[0].y, c.y2);
    EXPECT_EQ(canvas.pixels[1].x, c.x1);
    EXPECT_EQ(canvas.pixels[1].y, c.y1);
    EXPECT_EQ(canvas.pixels[0].colour, Green);
    const std::vector<std::string> order{"SetBrush", "FillRect", "SetPen", "MoveTo",  "LineTo",
                                         "SetPixel", "MoveTo",   "LineTo", "SetPixel"};
    EXPECT_EQ(canvas.calls, order) << c.name;
  }
}

TEST(TrianglesDrawing, EmptyResultOnlyFills) {
  CalcDib dib;
  RecordingCanvas canvas;
  dib.DrawTriangleLocus(canvas, {0, 0, 400, 400}, {-1, -1}, {1, 1});
  EXPECT_EQ(canvas.fills.size(), 1u);
  EXPECT_TRUE(canvas.lines.empty());
  EXPECT_TRUE(canvas.pixels.empty());
}

} // namespace
} // namespace tandor
