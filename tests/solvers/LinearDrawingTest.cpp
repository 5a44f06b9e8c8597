#include <gtest/gtest.h>

#include <vector>

#include "common/RecordingCanvas.h"
#include "problem/Glob.h"
#include "solvers/LinearCase.h"

namespace tandor {
namespace {

using testing::RecordingCanvas;

// D = [0, 1.5625] x [-0.78125, 0.78125]: on the 400-pixel picture x = 256 u and y = 200 - 256 v
// exactly, so halves of pixels can be written down.
constexpr double Px = 1.0 / 256;

struct DrawingWorld {
  Glob glob;
  LinearResult result;
  DrawingWorld() {
    glob.DomainLow = {0, -0.78125};
    glob.DomainHigh = {1.5625, 0.78125};
    glob.SiblingShown = true;
  }
  // A record from pixel coordinates of the screen picture.
  void Add(bool start, double x1, double y1, double x2, double y2) {
    result.LinearTrace.push_back(
        {start ? 1 : 0, {x1 * Px, (200 - y1) * Px, x2 * Px, (200 - y2) * Px}});
  }
};

struct Segment {
  int x1, y1, x2, y2;
  friend bool operator==(const Segment &, const Segment &) = default;
};

std::vector<Segment> Segments(const RecordingCanvas &canvas) {
  std::vector<Segment> s;
  for (const auto &l : canvas.lines)
    s.push_back({l.x1, l.y1, l.x2, l.y2});
  return s;
}

TEST(DrawLinearLocus, DrawsBothTracksInItsColourWithRoundedPixels) {
  DrawingWorld w;
  w.Add(true, 100, 100, 300, 300);
  w.Add(false, 100, 200, 300, 200);
  // A new piece: no segment joins it to the record before. Halves round to even.
  w.Add(true, 0.5, 200.5, 2.5, 198.5);
  w.Add(false, 1.5, 202.5, 3.5, 196.5);
  RecordingCanvas canvas;
  canvas.brush = Rgb{1, 2, 3};
  DrawLinearLocus(w.glob, w.result, canvas, w.glob.PictureRect, true);

  ASSERT_EQ(canvas.fills.size(), 1u);
  EXPECT_EQ(canvas.fills[0].rect, (PixelRect{0, 0, 400, 400}));
  EXPECT_EQ(canvas.fills[0].brush, (Rgb{1, 2, 3})); // the canvas's current brush
  EXPECT_EQ(canvas.calls.front(), "FillRect");
  EXPECT_EQ(Segments(canvas),
            (std::vector<Segment>{
                {100, 100, 100, 200}, {300, 300, 300, 200}, {0, 200, 2, 202}, {2, 198, 4, 196}}));
  for (const auto &line : canvas.lines) {
    EXPECT_EQ(line.colour, (Rgb{255, 170, 136}));
    EXPECT_EQ(line.width, 1);
    EXPECT_EQ(line.mode, PenMode::Copy);
  }
  EXPECT_FALSE(w.glob.SiblingShown);
}

TEST(DrawLinearLocus, SiblingRowsPointEachTrackAtTheOther) {
  DrawingWorld w;
  w.Add(true, 100, 100, 300, 300);
  w.Add(false, 100, 200, 300, 200);
  w.Add(true, 0.5, 200.5, 2.5, 198.5);
  w.Add(false, 1.5, 202.5, 3.5, 196.5);
  RecordingCanvas canvas;
  DrawLinearLocus(w.glob, w.result, canvas, w.glob.PictureRect, true);
  const SiblingTable &rows = w.result.LinearSiblingRows;
  ASSERT_EQ(rows.size(), 401u);

  // Step one: rows 200..300 of the second track point at the middle (100, 150) of the first,
  // rows 100..200 of the first at (300, 250). Step two: segments (0,200)-(2,202) and
  // (2,198)-(4,196).
  using E = SiblingEntry;
  EXPECT_EQ(rows[150], (std::vector<E>{{100, 1, 300, 250}}));
  EXPECT_EQ(rows[250], (std::vector<E>{{300, 1, 100, 150}}));
  EXPECT_EQ(rows[200], (std::vector<E>{{300, 1, 100, 150}, {100, 1, 300, 250}, {1, 2, 3, 197}}));
  EXPECT_EQ(rows[197], (std::vector<E>{{100, 1, 300, 250}, {3, 2, 1, 201}}));
  EXPECT_TRUE(rows[99].empty());
  EXPECT_TRUE(rows[301].empty());

  struct Probe {
    int x, y;
    bool found;
    int sx, sy;
  };
  const Probe probes[] = {
      {101, 200, true, 300, 250}, {299, 200, true, 100, 150}, {102, 150, false, 0, 0},
      {0, 201, true, 3, 197},     {5, 197, true, 1, 201},     {50, 201, false, 0, 0},
      {100, -1, false, 0, 0},     {100, 401, false, 0, 0},    {100, 400, false, 0, 0},
  };
  for (const Probe &p : probes) {
    int sx = 0, sy = 0;
    EXPECT_EQ(FindLinearSibling(w.result, p.x, p.y, sx, sy), p.found) << p.x << ", " << p.y;
    if (p.found) {
      EXPECT_EQ((std::pair{sx, sy}), (std::pair{p.sx, p.sy})) << p.x << ", " << p.y;
    }
  }
}

TEST(DrawLinearLocus, SegmentsOutsideThePictureRowsGiveNoSiblingEntries) {
  DrawingWorld w;
  w.Add(true, 50, -10, 150, 398);
  w.Add(false, 52, -4, 150, 400);
  RecordingCanvas canvas;
  DrawLinearLocus(w.glob, w.result, canvas, w.glob.PictureRect, true);
  const SiblingTable &rows = w.result.LinearSiblingRows;
  EXPECT_EQ(Segments(canvas), (std::vector<Segment>{{50, -10, 52, -4}, {150, 398, 150, 400}}));
  for (int y = 0; y <= 400; ++y) {
    if (y == 398 || y == 399)
      EXPECT_EQ(rows[y], (std::vector<SiblingEntry>{{150, 1, 51, -7}})) << y;
    else
      EXPECT_TRUE(rows[y].empty()) << y; // row 400 is below the picture
  }
}

TEST(DrawLinearLocus, EmptyTraceOnlyFillsAndEmptiesTheRows) {
  DrawingWorld w;
  w.result.LinearSiblingRows.assign(3, {{1, 1, 1, 1}}); // left from a previous picture
  RecordingCanvas canvas;
  DrawLinearLocus(w.glob, w.result, canvas, w.glob.PictureRect, true);
  EXPECT_EQ(canvas.fills.size(), 1u);
  EXPECT_TRUE(canvas.lines.empty());
  ASSERT_EQ(w.result.LinearSiblingRows.size(), 401u);
  for (const auto &row : w.result.LinearSiblingRows)
    EXPECT_TRUE(row.empty());
}

TEST(DrawLinearLocus, PrintingScalesThePenAndLeavesTheSiblingRows) {
  struct Case {
    PixelRect rect;
    int penWidth;
    Segment first;
  };
  // x = left + (W / 1.5625) u, y = top + (H / 1.5625)(0.78125 - v), halves to even.
  const Case cases[] = {
      {{50, 60, 1300, 1310}, 2, {362, 372, 362, 685}}, // W = 1250: 2.5 rounds to 2
      {{0, 0, 1750, 1750}, 4, {438, 438, 438, 875}},   // W = 1750: 3.5 rounds to 4
      {{0, 0, 400, 400}, 1, {100, 100, 100, 200}},
  };
  for (const Case &c : cases) {
    DrawingWorld w;
    w.Add(true, 100, 100, 300, 300);
    w.Add(false, 100, 200, 300, 200);
    const SiblingTable before(2, {{7, 7, 7, 7}});
    w.result.LinearSiblingRows = before;
    RecordingCanvas canvas;
    DrawLinearLocus(w.glob, w.result, canvas, c.rect, false);
    EXPECT_EQ(canvas.fills.at(0).rect, c.rect);
    ASSERT_EQ(canvas.lines.size(), 2u);
    EXPECT_EQ(canvas.lines[0].width, c.penWidth);
    EXPECT_EQ(canvas.lines[0].colour, LinearLocusColour);
    EXPECT_EQ(Segments(canvas)[0], c.first) << c.rect.Right;
    EXPECT_EQ(w.result.LinearSiblingRows, before);
  }
}

} // namespace
} // namespace tandor
