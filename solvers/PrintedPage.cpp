// PageLayout, the line-breaking writer, PrintData and DrawPrintedPage: the printed page.

#include "solvers/PrintedPage.h"

#include <algorithm>
#include <cctype>

#include "solvers/TraceDrawing.h"

namespace tandor {

PageLayout PageLayout::For(int pageWidth, int pageHeight) {
  PageLayout layout;
  const int L = pageWidth / 10;
  const int T = (19 * pageHeight) / 140;
  const int R = pageWidth - L;
  layout.Square = {L, T, R, T + (R - L)};
  layout.LineStep = (3 * T) / 13;
  return layout;
}

std::string PrintedFileName(std::string_view fileName) {
  if (fileName.empty())
    return "Untitled";
  const std::size_t slash = fileName.find_last_of('/');
  std::string name(slash == std::string_view::npos ? fileName : fileName.substr(slash + 1));
  if (name.size() > 4) {
    std::string ending = name.substr(name.size() - 4);
    std::transform(ending.begin(), ending.end(), ending.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ending == ".tdr")
      name.resize(name.size() - 4);
  }
  return name;
}

namespace {

struct BreakCandidate {
  std::size_t Pos = 0; // the line ends before body[Pos]
  int Depth = 0;       // bracket depth at that point
  bool Set = false;
};

std::size_t HeadLength(std::string_view text) {
  for (char sign : {'=', '<', '>'}) {
    const std::size_t k = text.find(sign);
    if (k != std::string_view::npos)
      return std::min(k + 2, text.size());
  }
  return 0;
}

bool IsListSign(char c) {
  return c == ',' || c == '.' || c == ':' || c == ';';
}
bool IsOpening(char c) {
  return c == '(' || c == '[' || c == '{';
}
bool IsClosing(char c) {
  return c == ')' || c == ']' || c == '}';
}

// Scans a text after its head and remembers where a line may end: after a sum's term at the
// outer level first, then after a factor, then at a blank.
class LineBreaker {
public:
  LineBreaker(Canvas &canvas, std::string head, std::string body, int &y, const PixelRect &square,
              int lineStep)
      : C(canvas), Head(std::move(head)), Body(std::move(body)), Y(y), Left(square.Left),
        Limit(square.Right - square.Left), Step(lineStep) {
    HeadWidth = Head.empty() ? 0 : C.TextWidth(Head);
  }

  void Run() {
    std::size_t i = Start;
    while (i < Body.size()) {
      const int depthBefore = Depth;
      NoteCharacter(i);
      if (Fits(i)) {
        ++i;
        continue;
      }
      BreakCandidate chosen = Choose(i, depthBefore);
      WriteLine(chosen.Pos);
      Depth = chosen.Depth;
      Start = chosen.Pos;
      while (Start < Body.size() && Body[Start] == ' ')
        ++Start;
      i = Start;
    }
    if (Start < Body.size() || !Written)
      WriteLine(Body.size());
    Y -= Step;
  }

private:
  void NoteCharacter(std::size_t i) {
    const char c = Body[i];
    if (c == '+' || c == '-') {
      if (Depth == 0)
        Additive = {i, 0, true};
      else if (Depth > 0)
        Multiplicative = {i, Depth, true};
    }
    if (c == ' ' && Depth == 0)
      Blank = {i, 0, true};
    if (IsOpening(c))
      ++Depth;
    if (IsClosing(c)) {
      --Depth;
      if (Depth == 0)
        Multiplicative = {i + 1, 0, true};
    }
    if (IsListSign(c) && !IsDecimalPoint(i)) {
      if (Depth == 0)
        Additive = {i + 1, 0, true};
      else if (Depth > 0)
        Multiplicative = {i + 1, Depth, true};
    }
    if ((c == '*' || c == '/') && Depth == 0)
      Multiplicative = {i + 1, 0, true};
  }

  // In 0.25 or 2,5 the sign is part of the number; a line ending there would print another
  // number than the formula holds.
  bool IsDecimalPoint(std::size_t i) const {
    const auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    return i > 0 && i + 1 < Body.size() && digit(Body[i - 1]) && digit(Body[i + 1]);
  }

  bool Fits(std::size_t i) {
    const int w = C.TextWidth(std::string_view(Body).substr(Start, i - Start + 1));
    return Left + HeadWidth + w <= Limit;
  }

  BreakCandidate Choose(std::size_t i, int depthBefore) const {
    // A candidate just after the character that overflowed would keep that character.
    for (const BreakCandidate *c : {&Additive, &Multiplicative, &Blank})
      if (c->Set && c->Pos > Start && c->Pos <= i)
        return *c;
    // Not even one character fits: it gets a line of its own rather than none.
    if (i == Start)
      return {i + 1, Depth, true};
    return {i, depthBefore, true};
  }

  void WriteLine(std::size_t end) {
    const std::string_view line = std::string_view(Body).substr(Start, end - Start);
    if (Written) {
      C.TextOut(Left + HeadWidth, Y, line);
    } else {
      C.TextOut(Left, Y, Head + std::string(line));
    }
    Written = true;
    Y += Step;
    Additive = Multiplicative = Blank = {};
  }

  Canvas &C;
  std::string Head, Body;
  int &Y;
  int Left, Limit, Step;
  int HeadWidth = 0;
  std::size_t Start = 0;
  int Depth = 0;
  bool Written = false;
  BreakCandidate Additive, Multiplicative, Blank;
};

} // namespace

void WriteBrokenText(Canvas &canvas, std::string_view text, int &y, const PixelRect &square,
                     int lineStep) {
  const std::size_t headLength = HeadLength(text);
  std::string body;
  for (char c : text.substr(headLength))
    if (c != '\t' && c != '\n' && c != '\r')
      body.push_back(c);
  LineBreaker(canvas, std::string(text.substr(0, headLength)), std::move(body), y, square, lineStep)
      .Run();
}

namespace {

// Measures a layout without drawing it: text widths come from the real canvas and its fonts.
class MeasuringCanvas final : public NullCanvas {
public:
  explicit MeasuringCanvas(Canvas &real) : Real(real) {}
  void SetFont(const FontSpec &font) override { Real.SetFont(font); }
  int TextWidth(std::string_view text) override { return Real.TextWidth(text); }

private:
  Canvas &Real;
};

// The problem's text block under the square, in lines h apart; returns the bottom of its last
// line.
int WriteTextBlock(Canvas &canvas, const PixelRect &square, const DataLineArray &d,
                   std::span<const std::string> extraLines, int h) {
  canvas.SetFont({"Helvetica", (3 * h) / 5, false});
  int y = square.Bottom + h;
  const std::string blocks[] = {"x(u,v) = " + d[0], "y(u,v) = " + d[1], "z(u,v) = " + d[2],
                                d[3] + "  <  u  <  " + d[4] + " ,     " + d[5] + "  <  v  <  " +
                                    d[6]};
  for (const std::string &block : blocks) {
    WriteBrokenText(canvas, block, y, square, h);
    y += h;
  }
  canvas.TextOut(square.Left, y, "p = " + d[11] + ",  q = " + d[12]);
  for (const std::string &line : extraLines) {
    y += h;
    canvas.TextOut(square.Left, y, line);
  }
  return y + (3 * h) / 5;
}

// The line step at which the text block ends on the page: the usual one whenever it fits, else
// smaller, step by step, since long formulas would otherwise lose the bounds and the parameters
// below the page's edge. A smaller font breaks into fewer lines, so the first step that fits is
// kept.
int FittingLineStep(Canvas &canvas, const PixelRect &square, const DataLineArray &d,
                    std::span<const std::string> extraLines, int h, int pageHeight) {
  if (pageHeight <= 0)
    return h;
  MeasuringCanvas measure(canvas);
  for (int step = h; step > 2; step = (step * 9) / 10)
    if (WriteTextBlock(measure, square, d, extraLines, step) <= pageHeight)
      return step;
  return 2;
}

} // namespace

void PrintData(Canvas &canvas, const PixelRect &square, const DataLineArray &d,
               std::string_view fileName, int pageHeight, std::span<const std::string> extraLines) {
  const int L = square.Left, T = square.Top;
  const int h = (3 * T) / 13;
  const int step = FittingLineStep(canvas, square, d, extraLines, h, pageHeight);
  canvas.SetBrushClear();
  canvas.SetFont({"Arial", (7 * h) / 10, true});
  canvas.TextOut(L, T - (5 * h) / 2, "Tandor");
  canvas.SetFont({"Arial", (3 * h) / 5, true});
  canvas.TextOut(L, T - (5 * h) / 2 + h, PrintedFileName(fileName));
  WriteTextBlock(canvas, square, d, extraLines, step);
}

void DrawPrintedPage(Canvas &canvas, int pageWidth, int pageHeight, LocusSolvers &locus,
                     LocusMethod method, Glob &glob, const PageAdditions &additions) {
  const PixelRect sq = PageLayout::For(pageWidth, pageHeight).Square;
  canvas.SetClipRect(sq);
  canvas.SetBrush(White);
  locus.Draw(method, canvas, sq, false, glob);
  if (additions.OverLocus)
    additions.OverLocus(canvas, sq);
  canvas.ClearClip();
  canvas.SetPen(Black, std::max(1, PenWidthFor(sq)), PenMode::Copy);
  canvas.MoveTo(sq.Left, sq.Top);
  canvas.LineTo(sq.Right, sq.Top);
  canvas.LineTo(sq.Right, sq.Bottom);
  canvas.LineTo(sq.Left, sq.Bottom);
  canvas.LineTo(sq.Left, sq.Top);
  PrintData(canvas, sq, glob.DataLines, glob.FileName, pageHeight, additions.Lines);
}

} // namespace tandor
