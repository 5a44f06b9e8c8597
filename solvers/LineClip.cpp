// ClipToRect and DrawSegment: segments cut to the rectangle a canvas can show, with a margin.

#include "solvers/LineClip.h"

#include <cmath>

namespace tandor {

namespace {

bool Within(double x, double y, double left, double top, double right, double bottom) {
  return left <= x && x <= right && top <= y && y <= bottom;
}

// Liang-Barsky: narrows [t0, t1] to where p t <= q holds.
bool Narrow(double p, double q, double &t0, double &t1) {
  if (p == 0)
    return q >= 0;
  const double t = q / p;
  if (p < 0) {
    if (t > t1)
      return false;
    if (t > t0)
      t0 = t;
  } else {
    if (t < t0)
      return false;
    if (t < t1)
      t1 = t;
  }
  return true;
}

} // namespace

bool ClipToRect(const LineSegment &s, const PixelRect &rect, int margin, LineSegment &out) {
  const double left = double(rect.Left) - margin, top = double(rect.Top) - margin;
  const double right = double(rect.Right) + margin, bottom = double(rect.Bottom) + margin;
  const double x1 = s.x1, y1 = s.y1, x2 = s.x2, y2 = s.y2;
  if (Within(x1, y1, left, top, right, bottom) && Within(x2, y2, left, top, right, bottom)) {
    out = s;
    return true;
  }
  const double dx = x2 - x1, dy = y2 - y1;
  double t0 = 0, t1 = 1;
  if (!(Narrow(-dx, x1 - left, t0, t1) && Narrow(dx, right - x1, t0, t1) &&
        Narrow(-dy, y1 - top, t0, t1) && Narrow(dy, bottom - y1, t0, t1)))
    return false;
  // The cut ends lie within the grown rectangle, so they round to ints that fit.
  auto at = [&](double t, double from, double d, double low, double high) {
    return static_cast<int>(std::lrint(std::fmin(std::fmax(from + t * d, low), high)));
  };
  out = {at(t0, x1, dx, left, right), at(t0, y1, dy, top, bottom), at(t1, x1, dx, left, right),
         at(t1, y1, dy, top, bottom)};
  return true;
}

int DrawingMargin(const PixelRect &rect) {
  const int64_t w = int64_t(rect.Right) - rect.Left, h = int64_t(rect.Bottom) - rect.Top;
  const int64_t size = w > h ? w : h;
  return static_cast<int>(size < 1 ? 1 : size > (1 << 24) ? (1 << 24) : size);
}

void DrawSegment(Canvas &canvas, const PixelRect &rect, const LineSegment &s) {
  LineSegment cut;
  if (!ClipToRect(s, rect, DrawingMargin(rect), cut))
    return;
  canvas.MoveTo(cut.x1, cut.y1);
  canvas.LineTo(cut.x2, cut.y2);
}

} // namespace tandor
