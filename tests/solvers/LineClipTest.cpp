// Lines cut to what can be seen: the raster walk laid only where it is visible gives exactly the
// pixels of the whole walk there, the drawing routines hand canvases only lines near their
// rectangle, and the QPainter canvas draws lines from -2^31 to 2^31 without overflow.

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <random>
#include <utility>
#include <vector>

#include "common/RecordingCanvas.h"
#include "solvers/LineClip.h"
#include "solvers/TraceDrawing.h"
#include "solvers/TriangleIntersection.h"
#include "ui/QtCanvas.h"

namespace tandor {
namespace {

using testing::RecordingCanvas;
using Pixels = std::vector<std::pair<int, int>>;

// The classic integer walk over the whole line, end pixel left out.
Pixels WholeWalk(int x0, int y0, int x1, int y1) {
  Pixels pixels;
  const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  int err = dx + dy;
  while (x0 != x1 || y0 != y1) {
    pixels.push_back({x0, y0});
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x0 += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y0 += sy;
    }
  }
  return pixels;
}

Pixels Inside(const Pixels &pixels, const PixelRect &clip) {
  Pixels kept;
  for (const auto &[x, y] : pixels)
    if (x >= clip.Left && x < clip.Right && y >= clip.Top && y < clip.Bottom)
      kept.push_back({x, y});
  return kept;
}

Pixels ClippedWalk(int x0, int y0, int x1, int y1, const PixelRect &clip) {
  Pixels pixels;
  ForEachRasterPixel(x0, y0, x1, y1, clip, [&](int x, int y) { pixels.push_back({x, y}); });
  return pixels;
}

TEST(RasterLine, EveryShortLineIsTheWholeWalkCutToTheClip) {
  const PixelRect everything{-100, -100, 100, 100}, small{-2, -1, 3, 4};
  for (int x0 = -7; x0 <= 7; ++x0)
    for (int y0 = -7; y0 <= 7; ++y0)
      for (int x1 = -7; x1 <= 7; ++x1)
        for (int y1 = -7; y1 <= 7; ++y1) {
          const Pixels whole = WholeWalk(x0, y0, x1, y1);
          ASSERT_EQ(ClippedWalk(x0, y0, x1, y1, everything), whole)
              << x0 << "," << y0 << " -> " << x1 << "," << y1;
          ASSERT_EQ(ClippedWalk(x0, y0, x1, y1, small), Inside(whole, small))
              << x0 << "," << y0 << " -> " << x1 << "," << y1;
        }
}

TEST(RasterLine, LongLinesAcrossThePictureAreTheWholeWalkCutToIt) {
  const PixelRect picture{0, 0, 400, 400};
  std::mt19937 generator(5);
  std::uniform_int_distribution<int> coordinate(-5000, 5400);
  for (int i = 0; i < 3000; ++i) {
    const int x0 = coordinate(generator), y0 = coordinate(generator);
    const int x1 = coordinate(generator), y1 = coordinate(generator);
    ASSERT_EQ(ClippedWalk(x0, y0, x1, y1, picture), Inside(WholeWalk(x0, y0, x1, y1), picture))
        << x0 << "," << y0 << " -> " << x1 << "," << y1;
  }
}

// Nothing of such a line is walked outside the picture: each visible column gets its one pixel,
// and that pixel is the one nearest the true line.
TEST(RasterLine, LinesFromTheEndsOfTheIntegersLayOnlyTheirVisiblePixels) {
  const PixelRect picture{0, 0, 400, 400};
  const struct {
    int x0, y0, x1, y1;
  } lines[] = {{INT_MIN, INT_MIN, INT_MAX, INT_MAX},
               {INT_MAX, INT_MAX, INT_MIN, INT_MIN},
               {INT_MIN, 5, INT_MAX, 300},
               {INT_MIN, -1000000000, INT_MAX, 1000000000},
               {123, INT_MIN, 321, INT_MAX}};
  for (const auto &l : lines) {
    const Pixels pixels = ClippedWalk(l.x0, l.y0, l.x1, l.y1, picture);
    ASSERT_FALSE(pixels.empty());
    ASSERT_LE(pixels.size(), 400u);
    const long double dx = (long double)l.x1 - l.x0, dy = (long double)l.y1 - l.y0;
    for (const auto &[x, y] : pixels) {
      ASSERT_TRUE(x >= 0 && x < 400 && y >= 0 && y < 400) << x << "," << y;
      // distance along the minor axis from the true line
      const bool xMajor = std::fabs(dx) >= std::fabs(dy);
      const long double off = xMajor ? y - (l.y0 + dy * ((x - (long double)l.x0) / dx))
                                     : x - (l.x0 + dx * ((y - (long double)l.y0) / dy));
      EXPECT_LE(std::fabs(off), 0.5L + 1e-9L) << x << "," << y;
    }
  }
  // the diagonal through the whole picture
  EXPECT_EQ(ClippedWalk(INT_MIN, INT_MIN, INT_MAX, INT_MAX, picture).size(), 400u);
}

TEST(ClipToRect, KeepsNearLinesAndCutsFarOnes) {
  const PixelRect picture{0, 0, 400, 400};
  LineSegment out{};
  // within the grown rectangle: unchanged, even where outside the picture
  EXPECT_TRUE(ClipToRect({-300, 10, 700, 390}, picture, 400, out));
  EXPECT_EQ(out, (LineSegment{-300, 10, 700, 390}));
  // wholly beside it
  EXPECT_FALSE(ClipToRect({-2000, -2000, -900, 5000}, picture, 400, out));
  EXPECT_FALSE(ClipToRect({INT_MIN, INT_MIN, INT_MIN, INT_MAX}, picture, 400, out));
  // across it: the cut ends lie on the grown border and on the line
  const LineSegment cases[] = {{INT_MIN, INT_MIN, INT_MAX, INT_MAX},
                               {INT_MIN, 200, INT_MAX, 200},
                               {100, INT_MAX, 300, INT_MIN},
                               {-5000, 100, 200, 300}};
  for (const LineSegment &s : cases) {
    ASSERT_TRUE(ClipToRect(s, picture, 400, out));
    for (const auto &[x, y] : {std::pair{out.x1, out.y1}, std::pair{out.x2, out.y2}}) {
      EXPECT_TRUE(x >= -400 && x <= 800 && y >= -400 && y <= 800) << x << "," << y;
      const double dx = double(s.x2) - s.x1, dy = double(s.y2) - s.y1;
      const double cross = (x - double(s.x1)) * dy - (y - double(s.y1)) * dx;
      EXPECT_LE(std::fabs(cross) / std::hypot(dx, dy), 1.0) << x << "," << y;
    }
  }
}

// Every line a drawing routine hands a canvas lies within its rectangle grown by the
// rectangle's size; an ordinary picture's lines arrive as they are.
void ExpectLinesNearTheRect(const RecordingCanvas &canvas, const PixelRect &rect) {
  for (const auto &l : canvas.lines)
    for (int v : {l.x1, l.y1, l.x2, l.y2})
      EXPECT_TRUE(v >= -400 && v <= 800) << v;
  for (const auto &p : canvas.pixels)
    EXPECT_TRUE(p.x >= rect.Left - 400 && p.x <= rect.Right + 400) << p.x;
}

TEST(DrawingClip, TriangleSegmentsFarOffThePictureAreCut) {
  CalcDib dib;
  const Vector2 low{0, 0}, high{1, 1};
  const PixelRect rect{0, 0, 400, 400};
  dib.AddSegmentPair(
      {Vector2{-1e12, -1e12}, Vector2{0.25, 0.25}, Vector2{1e12, 1e12}, Vector2{0.75, 0.5}});
  dib.AddSegmentPair(
      {Vector2{-1e12, 3e11}, Vector2{5e11, 2e12}, Vector2{-2e12, 1e12}, Vector2{5e11, -2e12}});
  RecordingCanvas canvas;
  dib.DrawTriangleLocus(canvas, rect, low, high);
  // the diagonal, cut near the picture, and the inner segment as it is; the two far ones
  // miss the picture altogether
  ASSERT_EQ(canvas.lines.size(), 2u);
  ExpectLinesNearTheRect(canvas, rect);
  EXPECT_EQ(canvas.lines[1].x1, 100);
  EXPECT_EQ(canvas.lines[1].x2, 300);
  ASSERT_EQ(canvas.pixels.size(), 1u); // the inner segment's end; the others' are far off
  EXPECT_EQ(canvas.pixels[0].x, 300);
}

TEST(DrawingClip, TraceSegmentsFarOffThePictureAreCut) {
  const std::vector<TracePoint> trace{{1, {-1e9, 0.5, 0.5, 0.5}}, {0, {1e9, 0.5, 0.5, -1e9}}};
  RecordingCanvas canvas;
  SiblingTable rows;
  const PixelRect rect{0, 0, 400, 400};
  DrawTrace(canvas, rect, trace, {0, 0, 255}, {0, 0}, {1, 1}, &rows);
  ASSERT_EQ(canvas.lines.size(), 2u);
  ExpectLinesNearTheRect(canvas, rect);
  EXPECT_EQ(canvas.lines[0].y1, 200);
  EXPECT_EQ(canvas.lines[0].y2, 200);
}

// A step across the whole 16-bit range still points every row it crosses at its sibling.
TEST(DrawingClip, SiblingSpansOfTheWidestSegmentsKeepAPositiveWidth) {
  SiblingTable rows(400);
  AddSiblingSpans(rows, 400, {-32768, 10, 32767, 10}, {5, 0, 7, 399});
  ASSERT_EQ(rows[10].size(), 2u); // the short segment crosses row 10 as well
  EXPECT_EQ(rows[10][1].HalfWidth, 32767);
  int sx = 0, sy = 0;
  EXPECT_TRUE(FindSiblingInRows(rows, 20000, 10, sx, sy));
  EXPECT_EQ(sx, 6);
  EXPECT_EQ(sy, 199);
}

// A drawing of a huge result polls as it goes, so that a stop asked for ends it.
TEST(DrawingPolls, HugeResultsPollWhileDrawnAndStopWhenAsked) {
  class StopAt : public RunControl {
  public:
    explicit StopAt(int stop) : Stop(stop) {}
    bool ProcessEventsAndCheckStop() override { return ++Polls == Stop; }
    int Stop, Polls = 0;
  };
  const PixelRect rect{0, 0, 400, 400};
  CalcDib dib;
  for (int i = 0; i < 100'000; ++i) // 200,000 segments
    dib.AddSegmentPair(
        {Vector2{0.1, 0.2}, Vector2{0.3, 0.4}, Vector2{0.5, 0.6}, Vector2{0.7, 0.8}});
  std::vector<TracePoint> trace(200'000, TracePoint{0, {0.1, 0.2, 0.3, 0.4}});
  trace[0].PieceStart = 1;
  for (int stop : {2, 0}) {
    RecordingCanvas triangles, curves;
    StopAt control(stop), traceControl(stop);
    dib.DrawTriangleLocus(triangles, rect, {0, 0}, {1, 1}, &control);
    DrawTrace(curves, rect, trace, {0, 0, 255}, {0, 0}, {1, 1}, nullptr, &traceControl);
    if (stop == 2) {
      EXPECT_EQ(control.Polls, 2);
      EXPECT_EQ(triangles.lines.size(), 2 * DrawPollInterval - 1);
      EXPECT_EQ(traceControl.Polls, 2);
      EXPECT_EQ(curves.lines.size(), 2 * (2 * DrawPollInterval - 1));
    } else {
      EXPECT_EQ(control.Polls, 3); // at 65,536, 131,072 and 196,608
      EXPECT_EQ(triangles.lines.size(), 200'000u);
      EXPECT_EQ(curves.lines.size(), 2 * 199'999u);
    }
  }
}

QImage Picture() {
  QImage image(400, 400, QImage::Format_RGB32);
  image.fill(Qt::white);
  return image;
}

Pixels Coloured(const QImage &image) {
  Pixels pixels;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixel(x, y) != qRgb(255, 255, 255))
        pixels.push_back({x, y});
  return pixels;
}

Pixels Sorted(Pixels pixels) {
  std::sort(pixels.begin(), pixels.end(), [](const auto &a, const auto &b) {
    return std::pair(a.second, a.first) < std::pair(b.second, b.first);
  });
  return pixels;
}

// The window, the PNG and the printed page draw through this canvas.
TEST(QtCanvasLines, ThinLinesAreTheirWholeWalkOnTheImageWhereverTheirEndsLie) {
  const PixelRect picture{0, 0, 400, 400};
  const struct {
    int x0, y0, x1, y1;
  } lines[] = {{10, 20, 390, 250},
               {-300, -50, 700, 420},
               {INT_MIN, INT_MIN, INT_MAX, INT_MAX},
               {INT_MAX, 7, INT_MIN, 391},
               {200, INT_MIN, 201, INT_MAX},
               {INT_MIN + 400, INT_MAX, INT_MAX, INT_MIN + 400}};
  for (const auto &l : lines) {
    QImage image = Picture();
    {
      QPainter painter(&image);
      QtCanvas canvas(painter);
      canvas.SetPen({0, 128, 0}, 1, PenMode::Copy);
      canvas.MoveTo(l.x0, l.y0);
      canvas.LineTo(l.x1, l.y1);
    }
    const bool shortLine =
        std::fabs(double(l.x1) - l.x0) < 2000 && std::fabs(double(l.y1) - l.y0) < 2000;
    const Pixels expected = shortLine ? Inside(WholeWalk(l.x0, l.y0, l.x1, l.y1), picture)
                                      : ClippedWalk(l.x0, l.y0, l.x1, l.y1, picture);
    EXPECT_EQ(Coloured(image), Sorted(expected)) << l.x0 << "," << l.y0;
    EXPECT_FALSE(expected.empty());
  }
}

TEST(QtCanvasLines, WideLinesFromTheEndsOfTheIntegersDrawTheirVisiblePart) {
  QImage image = Picture();
  {
    QPainter painter(&image);
    QtCanvas canvas(painter);
    canvas.SetPen({0, 0, 255}, 4, PenMode::Copy);
    canvas.MoveTo(INT_MIN, INT_MIN);
    canvas.LineTo(INT_MAX, INT_MAX);
    canvas.MoveTo(INT_MIN, 100);
    canvas.LineTo(INT_MIN + 5, INT_MAX); // nowhere near
  }
  const Pixels drawn = Coloured(image);
  ASSERT_GT(drawn.size(), 400u * 3);
  for (const auto &[x, y] : drawn)
    EXPECT_LE(std::abs(x - y), 4) << x << "," << y;
  EXPECT_NE(image.pixel(0, 0), qRgb(255, 255, 255));
  EXPECT_NE(image.pixel(399, 399), qRgb(255, 255, 255));
}

} // namespace
} // namespace tandor
