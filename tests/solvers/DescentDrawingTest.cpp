#include <gtest/gtest.h>

#include <memory>

#include "common/RecordingCanvas.h"
#include "solvers/DescentTracer.h"

namespace tandor {
namespace {

using testing::RecordingCanvas;

// D = [0,4]^2 on the 400-pixel picture: (u, v) falls on (100 u, 400 - 100 v).
const Vector2 Low{0, 0}, High{4, 4};
const PixelRect Picture{0, 0, 400, 400};

std::unique_ptr<TTandorR2R3> TracerWith(std::vector<TracePoint> trace) {
  auto tracer = std::make_unique<TTandorR2R3>();
  tracer->TraceList = std::move(trace);
  return tracer;
}

TEST(DescentDrawing, FillsThenDrawsBothHalvesInBlueButNothingIntoAPieceStart) {
  auto tracer = TracerWith({{1, {0.5, 0.5, 2.5, 3.0}},
                            {0, {0.7, 0.6, 2.9, 3.05}},
                            {1, {0.125, 0.125, 1.0, 1.0}}, // a new piece: no segment into it
                            {0, {0.375, 0.375, 1.5, 1.25}},
                            {1, {3.0, 3.0, 3.5, 3.5}}}); // a lone piece start draws nothing
  RecordingCanvas canvas;
  canvas.brush = Rgb{1, 2, 3};
  tracer->DrawLocus(canvas, Picture, false, Low, High);

  ASSERT_EQ(canvas.fills.size(), 1u);
  EXPECT_EQ(canvas.fills[0].rect, Picture);
  EXPECT_EQ(canvas.fills[0].brush, (Rgb{1, 2, 3})) << "the canvas's current brush";
  EXPECT_EQ(canvas.calls.front(), "FillRect");
  // Coordinates round to nearest with ties to even: 12.5 -> 12, 37.5 -> 38, 387.5 -> 388.
  const std::vector<std::array<int, 4>> expected{
      {50, 350, 70, 340}, {250, 100, 290, 95}, {12, 388, 38, 362}, {100, 300, 150, 275}};
  ASSERT_EQ(canvas.lines.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const auto &line = canvas.lines[i];
    EXPECT_EQ((std::array<int, 4>{line.x1, line.y1, line.x2, line.y2}), expected[i]) << i;
    EXPECT_EQ(line.colour, (Rgb{0, 0, 255}));
    EXPECT_EQ(line.width, 1);
    EXPECT_EQ(line.mode, PenMode::Copy);
  }
}

TEST(DescentDrawing, PenWidthIsTheRoundedFiveHundredthOfTheWidth) {
  const struct {
    int width, pen;
  } cases[] = {{400, 1}, {2000, 4}, {250, 0}, {750, 2}, {1250, 2}, {1251, 3}};
  for (const auto &c : cases) {
    auto tracer = TracerWith({{1, {1, 1, 2, 2}}, {0, {1.5, 1, 2.5, 2}}});
    RecordingCanvas canvas;
    tracer->DrawLocus(canvas, {0, 0, c.width, c.width}, false, Low, High);
    ASSERT_FALSE(canvas.lines.empty());
    EXPECT_EQ(canvas.lines[0].width, c.pen) << c.width;
  }
}

TEST(DescentDrawing, SiblingRowsPointAtTheOtherHalfOfTheStep) {
  auto tracer = TracerWith({{1, {0.5, 0.5, 2.5, 3.0}}, {0, {0.7, 0.6, 2.9, 3.05}}});
  int x = -1, y = -1;
  EXPECT_FALSE(tracer->FindSibling(270, 97, x, y)) << "no screen drawing yet";

  RecordingCanvas printer;
  tracer->DrawLocus(printer, Picture, false, Low, High);
  EXPECT_FALSE(tracer->FindSibling(270, 97, x, y)) << "the printer drawing builds no rows";

  RecordingCanvas screen;
  tracer->DrawLocus(screen, Picture, true, Low, High);
  ASSERT_EQ(tracer->SiblingRows.size(), 401u);
  // Rows 95..100 are crossed by the second halves' segment (250,100)-(290,95): centre 270,
  // half width 21, sibling the midpoint (60, 345) of the first halves' segment.
  for (int row = 95; row <= 100; ++row) {
    ASSERT_EQ(tracer->SiblingRows[row].size(), 1u) << row;
    EXPECT_EQ(tracer->SiblingRows[row][0], (SiblingEntry{270, 21, 60, 345}));
  }
  // Rows 340..350 are crossed by (50,350)-(70,340): centre 60, half width 11, sibling the
  // midpoint (270, 97) of the other segment (195 / 2 truncates).
  for (int row = 340; row <= 350; ++row) {
    ASSERT_EQ(tracer->SiblingRows[row].size(), 1u) << row;
    EXPECT_EQ(tracer->SiblingRows[row][0], (SiblingEntry{60, 11, 270, 97}));
  }
  EXPECT_TRUE(tracer->SiblingRows[94].empty());
  EXPECT_TRUE(tracer->SiblingRows[351].empty());

  const struct {
    int x, row;
    bool found;
    int sx, sy;
  } lookups[] = {{270, 97, true, 60, 345}, {291, 97, true, 60, 345}, {249, 95, true, 60, 345},
                 {292, 97, false, 0, 0},   {248, 97, false, 0, 0},   {60, 345, true, 270, 97},
                 {71, 340, true, 270, 97}, {72, 340, false, 0, 0},   {60, 200, false, 0, 0},
                 {60, 400, false, 0, 0}};
  for (const auto &l : lookups) {
    x = y = -1;
    EXPECT_EQ(tracer->FindSibling(l.x, l.row, x, y), l.found) << l.x << "," << l.row;
    if (l.found) {
      EXPECT_EQ((std::array<int, 2>{x, y}), (std::array<int, 2>{l.sx, l.sy}));
    }
  }
}

TEST(DescentDrawing, TheFirstEntryInInsertionOrderWins) {
  // Two steps whose second halves cross row 200 at the same columns.
  auto tracer = TracerWith({{1, {0.5, 0.5, 2.0, 2.1}},
                            {0, {0.6, 0.5, 2.0, 1.9}},
                            {1, {1.5, 0.5, 2.0, 2.1}},
                            {0, {1.6, 0.5, 2.0, 1.9}}});
  RecordingCanvas screen;
  tracer->DrawLocus(screen, Picture, true, Low, High);
  int x = 0, y = 0;
  ASSERT_TRUE(tracer->FindSibling(200, 200, x, y));
  EXPECT_EQ(x, 55);
  EXPECT_EQ(y, 350);
}

TEST(DescentDrawing, AnUpsideDownRectangleBuildsNoHugeTable) {
  auto tracer = TracerWith({{1, {0.5, 0.5, 2.5, 3.0}}, {0, {0.7, 0.6, 2.9, 3.05}}});
  RecordingCanvas canvas;
  tracer->DrawLocus(canvas, {0, 400, 400, 0}, true, Low, High);
  EXPECT_EQ(tracer->SiblingRows.size(), 1u);
}

TEST(DescentDrawing, AnEmptyTraceOnlyFills) {
  auto tracer = TracerWith({});
  RecordingCanvas canvas;
  tracer->DrawLocus(canvas, Picture, true, Low, High);
  EXPECT_EQ(canvas.fills.size(), 1u);
  EXPECT_TRUE(canvas.lines.empty());
  int x = 0, y = 0;
  EXPECT_FALSE(tracer->FindSibling(200, 200, x, y));
}

} // namespace
} // namespace tandor
