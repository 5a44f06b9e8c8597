// PixelMapping and the trace drawing: stored point pairs as pixels, segments and sibling rows.

#include "solvers/TraceDrawing.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "solvers/LineClip.h"

namespace tandor {

namespace {

int16_t ToPixel(long double value) {
  constexpr long double lo = std::numeric_limits<int16_t>::min();
  constexpr long double hi = std::numeric_limits<int16_t>::max();
  if (!(value > lo)) // NaN lands on the low edge as well
    return std::numeric_limits<int16_t>::min();
  if (value > hi)
    return std::numeric_limits<int16_t>::max();
  return static_cast<int16_t>(std::lrint(value));
}

} // namespace

PixelMapping::PixelMapping(const PixelRect &rect, const Vector2 &low, const Vector2 &high) {
  const double W = rect.Width(), H = rect.Height();
  sx = W / (high[0] - low[0]);
  sy = -H / (high[1] - low[1]);
  ox = rect.Left - sx * low[0];
  oy = rect.Top - sy * high[1];
}

int16_t PixelMapping::RoundX(double u) const {
  return ToPixel(static_cast<long double>(sx) * u + ox);
}
int16_t PixelMapping::RoundY(double v) const {
  return ToPixel(static_cast<long double>(sy) * v + oy);
}

int PenWidthFor(const PixelRect &rect) {
  return static_cast<int>(std::lrint(rect.Width() / 500.0));
}

void AddSiblingSpans(SiblingTable &rows, int rowLimit, const PixelSegment &A,
                     const PixelSegment &B) {
  auto add = [&](const PixelSegment &self, const PixelSegment &other) {
    const auto midX = static_cast<int16_t>((self.x1 + self.x2) / 2);
    const auto midY = static_cast<int16_t>((self.y1 + self.y2) / 2);
    const auto centreX = static_cast<int16_t>((other.x1 + other.x2) / 2);
    // A segment across the whole 16-bit range would give 32768, which wraps to a negative width.
    const auto halfWidth =
        static_cast<int16_t>(std::min(std::abs((other.x1 - other.x2) / 2) + 1, 32767));
    const int step = other.y2 >= other.y1 ? 1 : -1;
    for (int y = other.y1;; y += step) {
      if (y >= 0 && y < rowLimit && y < static_cast<int>(rows.size()))
        rows[y].push_back({centreX, halfWidth, midX, midY});
      if (y == other.y2)
        break;
    }
  };
  add(A, B);
  add(B, A);
}

void DrawTrace(Canvas &canvas, const PixelRect &rect, const std::vector<TracePoint> &trace,
               Rgb colour, const Vector2 &domainLow, const Vector2 &domainHigh, SiblingTable *rows,
               RunControl *control) {
  const int H = rect.Height();
  if (rows != nullptr) {
    // An upside-down rectangle must not turn into a huge table. Rows are emptied rather than
    // replaced, so a drag that redraws on every move reuses their storage.
    rows->resize(static_cast<std::size_t>(H > 0 ? H : 0) + 1);
    for (auto &row : *rows)
      row.clear();
  }
  const PixelMapping map(rect, domainLow, domainHigh);
  canvas.FillRect(rect);
  canvas.SetPen(colour, PenWidthFor(rect), PenMode::Copy);
  for (std::size_t i = 1; i < trace.size(); ++i) {
    if (control != nullptr && i % DrawPollInterval == 0 && control->ProcessEventsAndCheckStop())
      return;
    if (trace[i].PieceStart == 1)
      continue;
    const PointPair &a = trace[i - 1].Pair;
    const PointPair &b = trace[i].Pair;
    const PixelSegment first{map.RoundX(a[0]), map.RoundY(a[1]), map.RoundX(b[0]),
                             map.RoundY(b[1])};
    const PixelSegment second{map.RoundX(a[2]), map.RoundY(a[3]), map.RoundX(b[2]),
                              map.RoundY(b[3])};
    DrawSegment(canvas, rect, {first.x1, first.y1, first.x2, first.y2});
    DrawSegment(canvas, rect, {second.x1, second.y1, second.x2, second.y2});
    if (rows != nullptr)
      AddSiblingSpans(*rows, H, first, second);
  }
}

bool FindSiblingInRows(const SiblingTable &rows, int x, int row, int &siblingX, int &siblingY) {
  if (row < 0 || row >= static_cast<int>(rows.size()))
    return false;
  for (const SiblingEntry &e : rows[row]) {
    if (std::abs(x - e.CentreX) <= e.HalfWidth) {
      siblingX = e.SiblingX;
      siblingY = e.SiblingY;
      return true;
    }
  }
  return false;
}

} // namespace tandor
