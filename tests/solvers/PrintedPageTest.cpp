// The printed page's layout and the line-breaking writer, on a recording canvas whose
// characters are all 7 pixels wide.

#include <algorithm>
#include <gtest/gtest.h>
#include <string>

#include "common/FoldProblem.h"
#include "common/RecordingCanvas.h"
#include "formula/MapFunctions.h"
#include "solvers/LocusRun.h"
#include "solvers/PrintedPage.h"
#include "solvers/RunControl.h"

namespace tandor::testing {
namespace {

std::string Repeat(const std::string &first, const std::string &next, int times) {
  std::string s = first;
  for (int i = 0; i < times; ++i)
    s += next;
  return s;
}

using Span = std::pair<std::size_t, std::size_t>; // [first, end) of the body

struct BreakCase {
  const char *name;
  std::string head;
  std::string body;
  PixelRect square;
  std::vector<Span> lines;
};

class LineBreaking : public ::testing::TestWithParam<BreakCase> {};

TEST_P(LineBreaking, BreaksWhereExpectedAndIndentsUnderTheHead) {
  const BreakCase &c = GetParam();
  RecordingCanvas canvas;
  int y = 1000;
  WriteBrokenText(canvas, c.head + c.body, y, c.square, 50);

  ASSERT_EQ(canvas.texts.size(), c.lines.size());
  const int headWidth = static_cast<int>(c.head.size()) * canvas.charWidth;
  for (std::size_t k = 0; k < c.lines.size(); ++k) {
    const auto [first, end] = c.lines[k];
    const RecordingCanvas::Text &t = canvas.texts[k];
    SCOPED_TRACE(k);
    const std::string part = c.body.substr(first, end - first);
    EXPECT_EQ(t.text, k == 0 ? c.head + part : part);
    EXPECT_EQ(t.x, k == 0 ? c.square.Left : c.square.Left + headWidth);
    EXPECT_EQ(t.y, 1000 + 50 * static_cast<int>(k));
    // Nothing reaches beyond x = R - L.
    EXPECT_LE(t.x + static_cast<int>(t.text.size()) * canvas.charWidth,
              c.square.Right - c.square.Left);
  }
  // y is left on the last line written.
  EXPECT_EQ(y, 1000 + 50 * (static_cast<int>(c.lines.size()) - 1));
}

// With the square (100, 900) a line of body after "x(u,v) = " holds 91 characters.
const PixelRect Wide{100, 0, 900, 800};

INSTANTIATE_TEST_SUITE_P(
    Writer, LineBreaking,
    ::testing::Values(
        // The last "-" outside brackets before the overflow at 91 is at 88; it starts line 2.
        BreakCase{"AtTheLastOuterSign",
                  "x(u,v) = ",
                  Repeat("uv(u+v)", " - uv(u+v)", 15),
                  Wide,
                  {{0, 88}, {88, 157}}},
        // No outer sign: after the last outer "*" (at 89) rather than before the inner "+".
        BreakCase{"AfterAFactor",
                  "x(u,v) = ",
                  Repeat("sin(u+v)", "*sin(u+v)", 14),
                  Wide,
                  {{0, 90}, {90, 134}}},
        // Only blanks: the last one before the overflow, and the blank itself is skipped.
        BreakCase{"AtABlank",
                  "y(u,v) = ",
                  Repeat("abcdefghi", " abcdefghi", 14),
                  Wide,
                  {{0, 89}, {90, 149}}},
        // Nothing to break at: just before the character that did not fit.
        BreakCase{"Anywhere", "z(u,v) = ", std::string(150, 'u'), Wide, {{0, 91}, {91, 150}}},
        // The bounds line: its head runs to the blank after the first "<".
        BreakCase{"BoundsLine",
                  "-1  < ",
                  " u  <  1 ,     -1  <  v  <  1",
                  {0, 0, 200, 200},
                  {{0, 15}, {15, 29}}},
        // Inside brackets a sign is a second-rank place.
        BreakCase{"InsideBrackets",
                  "x(u,v) = ",
                  Repeat("(uu", "+uu", 40) + ")*v",
                  Wide,
                  {{0, 90}, {90, 126}}},
        // A point or comma between digits is part of a number, not a place to break: the
        // break stays before the last "+" (at 86) rather than inside 0.5 (after 89).
        BreakCase{"NotInsideANumber",
                  "x(u,v) = ",
                  Repeat("u", " + 0.5v", 15),
                  Wide,
                  {{0, 86}, {86, 106}}},
        BreakCase{"NotInsideANumberWrittenWithAComma",
                  "x(u,v) = ",
                  Repeat("u", " + 0,5v", 15),
                  Wide,
                  {{0, 86}, {86, 106}}},
        BreakCase{"ShortStaysWhole", "x(u,v) = ", "u + v", Wide, {{0, 5}}}),
    [](const ::testing::TestParamInfo<BreakCase> &info) { return std::string(info.param.name); });

TEST(Writer, ABracketedFactorIsABreakOnlyWhenItClosesToTheOuterLevel) {
  // 91 characters fit; ")" at 83 closes to depth 0, the "+" at 87 is inside new brackets.
  const std::string body = std::string(80, 'u') + "(uv)" + "*(u+" + std::string(60, 'v') + ")";
  RecordingCanvas canvas;
  int y = 0;
  WriteBrokenText(canvas, "x(u,v) = " + body, y, Wide, 10);
  ASSERT_GE(canvas.texts.size(), 2u);
  // The "+" at depth 1 (position 87) is the latest multiplicative candidate.
  EXPECT_EQ(canvas.texts[0].text, "x(u,v) = " + body.substr(0, 87));
  EXPECT_EQ(canvas.texts[1].text.substr(0, 3), "+vv");
}

TEST(Writer, TabsAndLineBreaksInTheFormulaAreDropped) {
  RecordingCanvas canvas;
  int y = 0;
  WriteBrokenText(canvas, "x(u,v) = u\t+\r\nv", y, Wide, 10);
  ASSERT_EQ(canvas.texts.size(), 1u);
  EXPECT_EQ(canvas.texts[0].text, "x(u,v) = u+v");
}

TEST(Writer, ACharacterWiderThanTheLineStillMovesOn) {
  RecordingCanvas canvas;
  int y = 0;
  WriteBrokenText(canvas, "x(u,v) = uvw", y, {100, 0, 120, 20}, 10);
  ASSERT_EQ(canvas.texts.size(), 3u);
  EXPECT_EQ(canvas.texts[2].text, "w");
}

TEST(PrintedFileName, FolderAndEndingAreLeftOut) {
  const std::pair<const char *, const char *> cases[] = {
      {"", "Untitled"},         {"/home/ana/Surface.TDR", "Surface"}, {"/tmp/a.tdr", "a"},
      {"/tmp/.tdr", ".tdr"},    {"notes.txt", "notes.txt"},           {"b.Tdr", "b"},
      {"/x/whitney", "whitney"}};
  for (const auto &[file, printed] : cases)
    EXPECT_EQ(PrintedFileName(file), printed) << file;
}

TEST(PageLayout, SquareAndLineStepFromThePageSize) {
  const PageLayout a4 = PageLayout::For(4960, 7016);
  EXPECT_EQ(a4.Square, (PixelRect{496, 952, 4464, 952 + 3968}));
  EXPECT_EQ(a4.LineStep, 219);
}

TEST(PrintData, TitleFileLineAndTextBlock) {
  DataLineArray lines{"u", "v(v^2 - p)", "v(u+v^4- pv^2)",   "-1", "1", "-1", "1", "0",
                      "2", "0",          "3.14159265358979", "1",  "0"};
  const PixelRect square{496, 952, 4464, 4920};
  const int h = 219;
  RecordingCanvas canvas;
  PrintData(canvas, square, lines, "/data/Whitney.tdr");

  ASSERT_EQ(canvas.texts.size(), 7u);
  const auto &t = canvas.texts;
  EXPECT_EQ(t[0].text, "Tandor");
  EXPECT_EQ(t[0].x, 496);
  EXPECT_EQ(t[0].y, 952 - (5 * h) / 2);
  EXPECT_EQ(t[0].font, (FontSpec{"Arial", (7 * h) / 10, true}));
  EXPECT_EQ(t[1].text, "Whitney");
  EXPECT_EQ(t[1].y, 952 - (5 * h) / 2 + h);
  EXPECT_EQ(t[1].font, (FontSpec{"Arial", (3 * h) / 5, true}));
  const char *block[] = {"x(u,v) = u", "y(u,v) = v(v^2 - p)", "z(u,v) = v(u+v^4- pv^2)",
                         "-1  <  u  <  1 ,     -1  <  v  <  1", "p = 1,  q = 0"};
  for (int k = 0; k < 5; ++k) {
    EXPECT_EQ(t[2 + k].text, block[k]);
    EXPECT_EQ(t[2 + k].x, 496);
    EXPECT_EQ(t[2 + k].y, 4920 + h * (k + 1));
    EXPECT_EQ(t[2 + k].font, (FontSpec{"Helvetica", (3 * h) / 5, false}));
  }
  EXPECT_TRUE(canvas.brushClear);
}

// The whole page, as the window prints it: the locus clipped to the square, then the frame, then
// the title and file line above it and the problem's text under it.
TEST(PrintedPage, TheLocusInItsFramedSquareThenTheProblem) {
  Glob glob;
  MapFunctions map;
  SetUpFold(glob, map);
  LocusSolvers solvers;
  NeverStop never;
  ASSERT_TRUE(solvers.Compute(LocusMethod::Descent, glob, map, never));

  RecordingCanvas canvas;
  DrawPrintedPage(canvas, 4800, 6600, solvers, LocusMethod::Descent, glob);
  const PixelRect sq = PageLayout::For(4800, 6600).Square;
  ASSERT_EQ(canvas.clips.size(), 1u);
  EXPECT_EQ(canvas.clips[0], sq);
  EXPECT_EQ(canvas.clearClips, 1);
  ASSERT_GT(canvas.lines.size(), 4u);
  for (std::size_t k = 0; k + 4 < canvas.lines.size(); ++k) {
    const auto &l = canvas.lines[k];
    ASSERT_TRUE(sq.Left <= l.x1 && l.x1 <= sq.Right && sq.Top <= l.y1 && l.y1 <= sq.Bottom) << k;
  }
  const auto &last = canvas.lines.back();
  EXPECT_EQ(last.colour, Black);
  EXPECT_EQ(last.x2, sq.Left);
  EXPECT_EQ(last.y2, sq.Top);
  ASSERT_FALSE(canvas.texts.empty());
  EXPECT_EQ(canvas.texts.back().text, "p = 1,  q = 0");
  // The title and the file line stand above the square, the problem below it.
  ASSERT_GE(canvas.texts.size(), 3u);
  EXPECT_EQ(canvas.texts[1].text, "Untitled");
  EXPECT_LT(canvas.texts[1].y, sq.Top);
  EXPECT_GT(canvas.texts[2].y, sq.Bottom);
}

// What a layer above adds: its drawing over the locus while the square's clip is in force, and
// its lines after the problem's text, one step apart.
TEST(PrintedPage, AdditionsOverTheLocusAndUnderTheText) {
  Glob glob;
  MapFunctions map;
  SetUpFold(glob, map);
  LocusSolvers solvers;
  NeverStop never;
  ASSERT_TRUE(solvers.Compute(LocusMethod::Descent, glob, map, never));

  RecordingCanvas canvas;
  PixelRect drawnInto{};
  std::size_t callsBefore = 0;
  auto over = [&](Canvas &c, const PixelRect &square) {
    drawnInto = square;
    callsBefore = canvas.calls.size();
    c.Ellipse(square.Left, square.Top, square.Left + 10, square.Top + 10);
  };
  const std::vector<std::string> lines{"2 cross-caps, no triple points", "second"};
  DrawPrintedPage(canvas, 4800, 6600, solvers, LocusMethod::Descent, glob, {over, lines});
  const PixelRect sq = PageLayout::For(4800, 6600).Square;
  EXPECT_EQ(drawnInto, sq);
  // After the locus, before the clip is lifted and the frame drawn.
  const auto clear = std::find(canvas.calls.begin(), canvas.calls.end(), "ClearClip");
  ASSERT_NE(clear, canvas.calls.end());
  EXPECT_LT(callsBefore, static_cast<std::size_t>(clear - canvas.calls.begin()));
  EXPECT_GT(callsBefore, 10u) << "the locus came first";
  ASSERT_EQ(canvas.ellipses.size(), 1u);

  const int h = PageLayout::For(4800, 6600).LineStep;
  const auto &t = canvas.texts;
  ASSERT_GE(t.size(), 3u);
  EXPECT_EQ(t[t.size() - 3].text, "p = 1,  q = 0");
  EXPECT_EQ(t[t.size() - 2].text, "2 cross-caps, no triple points");
  EXPECT_EQ(t[t.size() - 2].y, t[t.size() - 3].y + h);
  EXPECT_EQ(t.back().text, "second");
  EXPECT_EQ(t.back().y, t[t.size() - 3].y + 2 * h);
  EXPECT_EQ(t.back().x, sq.Left);
}

// On an A4 page the usual problem keeps the usual layout; formulas as long as a field holds
// shrink the text block until its last line, the parameters, ends on the page.
TEST(PrintData, TheTextBlockEndsOnThePage) {
  const int W = 4960, H = 7016;
  const PixelRect square = PageLayout::For(W, H).Square;
  DataLineArray lines{"u", "v(v^2 - p)", "v(u+v^4- pv^2)",   "-1", "1", "-1", "1", "0",
                      "2", "0",          "3.14159265358979", "1",  "0"};
  RecordingCanvas usual, unbounded;
  PrintData(usual, square, lines, "", H);
  PrintData(unbounded, square, lines, "");
  ASSERT_EQ(usual.texts.size(), unbounded.texts.size());
  for (std::size_t k = 0; k < usual.texts.size(); ++k) {
    EXPECT_EQ(usual.texts[k].text, unbounded.texts[k].text);
    EXPECT_EQ(usual.texts[k].y, unbounded.texts[k].y);
    EXPECT_EQ(usual.texts[k].font, unbounded.texts[k].font);
  }

  for (int c = 0; c < 3; ++c)
    lines[c] = Repeat("u", " + sin(u v)", 32767 / 11);
  RecordingCanvas shrunk;
  PrintData(shrunk, square, lines, "", H);
  ASSERT_FALSE(shrunk.texts.empty());
  EXPECT_EQ(shrunk.texts.back().text, "p = 1,  q = 0");
  for (const auto &t : shrunk.texts)
    EXPECT_LE(t.y + t.font.Height, H) << t.text.substr(0, 20);
  // Every character of the formulas is on the page.
  std::size_t written = 0;
  for (const auto &t : shrunk.texts)
    written += t.text.size();
  EXPECT_GT(written, 3 * lines[0].size());
}

} // namespace
} // namespace tandor::testing
