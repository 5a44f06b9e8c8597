// The drawing of the triangle method's result (CalcDib::DrawTriangleLocus).

#include <climits>
#include <cstddef>

#include "solvers/LineClip.h"
#include "solvers/TraceDrawing.h"
#include "solvers/TriangleIntersection.h"

namespace tandor {

namespace {

// Trunc toward zero; values beyond the int range (or NaN) go to the extreme ints.
int TruncToPixel(double x) {
  if (!(x > static_cast<double>(INT_MIN) - 1.0))
    return INT_MIN;
  if (!(x < static_cast<double>(INT_MAX) + 1.0))
    return INT_MAX;
  return static_cast<int>(x);
}

} // namespace

void CalcDib::DrawTriangleLocus(Canvas &canvas, const PixelRect &rect, const Vector2 &low,
                                const Vector2 &high, RunControl *control) const {
  canvas.FillRect(rect);
  canvas.SetPen(LocusColour, PenWidthFor(rect), PenMode::Copy);
  const double sx = (rect.Right - rect.Left) / (high[0] - low[0]);
  const double sy = (rect.Top - rect.Bottom) / (high[1] - low[1]);
  const double ox = rect.Left - sx * low[0];
  const double oy = rect.Top - sy * high[1];
  const int margin = DrawingMargin(rect);
  std::size_t drawn = 0;
  for (const TLocusSegment &s : Segments()) {
    if (control != nullptr && ++drawn % DrawPollInterval == 0 &&
        control->ProcessEventsAndCheckStop())
      return;
    const int x2 = TruncToPixel(sx * s.u2 + ox), y2 = TruncToPixel(sy * s.v2 + oy);
    const LineSegment line{TruncToPixel(sx * s.u1 + ox), TruncToPixel(sy * s.v1 + oy), x2, y2};
    DrawSegment(canvas, rect, line);
    // The line leaves out its end pixel; one far off the picture is not there to be set.
    LineSegment end;
    if (ClipToRect({x2, y2, x2, y2}, rect, margin, end))
      canvas.SetPixel(x2, y2, LocusColour);
  }
}

} // namespace tandor
