#include "analysis/SingularPointMarks.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace tandor {

namespace {

// How much larger than the 400-pixel picture the drawing is; never smaller.
double ScaleOf(const PixelRect &rect) {
  return std::max(1.0, rect.Width() / 400.0);
}

int Scaled(int size, const PixelRect &rect) {
  return static_cast<int>(std::lround(size * ScaleOf(rect)));
}

void DrawDisc(Canvas &canvas, const Pixel &p, int r) {
  canvas.Ellipse(p.X - r, p.Y - r, p.X + r + 1, p.Y + r + 1);
}

void DrawTriangle(Canvas &canvas, const Pixel &p, int h) {
  // Pointing up, about as tall as wide, centred on the point.
  const int top = p.Y - h, base = p.Y + (3 * h + 2) / 4;
  canvas.MoveTo(p.X, top);
  canvas.LineTo(p.X + h, base);
  canvas.LineTo(p.X - h, base);
  canvas.LineTo(p.X, top);
  canvas.SetPixel(p.X, top, Black); // the raster line leaves out its end pixel
}

// Six significant digits, '.' whatever the locale. A coordinate that Newton's method left at
// 1e-17 instead of 0 shows as 0: the points are exact to about 1e-13 of D, not better.
std::string Shown(double value) {
  const double v = std::fabs(value) < 5e-13 ? 0.0 : value;
  char buffer[32];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::general, 6);
  return std::string(buffer, end.ptr);
}

std::string Counted(std::size_t n, const char *one, const char *many) {
  if (n == 0)
    return std::string("no ") + many;
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

Pixel PixelOf(const Vector2 &uv, const PixelRect &rect, const Vector2 &low, const Vector2 &high) {
  const double x = rect.Left + (uv[0] - low[0]) * rect.Width() / (high[0] - low[0]);
  const double y = rect.Top + (high[1] - uv[1]) * rect.Height() / (high[1] - low[1]);
  return {static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y))};
}

void DrawSingularPoints(Canvas &canvas, const PixelRect &rect, const Vector2 &low,
                        const Vector2 &high, const SingularPoints &points) {
  const int pen = std::max(1, static_cast<int>(std::lround(rect.Width() / 500.0)));
  canvas.SetPen(Black, pen, PenMode::Copy);
  canvas.SetBrush(Black);
  for (const CrossCap &c : points.CrossCaps)
    DrawDisc(canvas, PixelOf(c.Point, rect, low, high), Scaled(MarkRadius, rect));
  for (const TriplePoint &t : points.Triples)
    for (const Vector2 &p : t.Points)
      DrawTriangle(canvas, PixelOf(p, rect, low, high), Scaled(TriangleHalfWidth, rect));
}

std::optional<Mark> MarkAt(int x, int y, const PixelRect &rect, const Vector2 &low,
                           const Vector2 &high, const SingularPoints &points) {
  std::optional<Mark> best;
  double bestDistance = 0;
  auto consider = [&](MarkKind kind, const Vector2 &point, const Vector3 &image, int reach) {
    const Pixel p = PixelOf(point, rect, low, high);
    const double d = std::hypot(p.X - x, p.Y - y);
    if (d <= reach && (!best || d < bestDistance)) {
      best = Mark{kind, point, image};
      bestDistance = d;
    }
  };
  // A pixel beyond the drawn mark still counts: a mark is small under a mouse.
  for (const CrossCap &c : points.CrossCaps)
    consider(MarkKind::CrossCap, c.Point, c.Image, Scaled(MarkRadius, rect) + 1);
  for (const TriplePoint &t : points.Triples)
    for (const Vector2 &p : t.Points)
      consider(MarkKind::TriplePoint, p, t.Image, Scaled(TriangleHalfWidth, rect) + 1);
  return best;
}

std::string MarkText(const Mark &mark) {
  const Vector2 &p = mark.Point;
  const Vector3 &f = mark.Image;
  return std::string(mark.Kind == MarkKind::CrossCap ? "cross-cap" : "triple point") +
         " at (u, v) = (" + Shown(p[0]) + ", " + Shown(p[1]) + "), (x, y, z) = (" + Shown(f[0]) +
         ", " + Shown(f[1]) + ", " + Shown(f[2]) + ")";
}

std::string CountText(const SingularPoints &points) {
  const std::size_t c = points.CrossCaps.size(), t = points.Triples.size();
  std::string text;
  if (points.SingularCurve)
    text = "a curve of singular points, ";
  if (c == 0 && t == 0 && !points.SingularCurve)
    return "no cross-caps or triple points";
  if (!(points.SingularCurve && c == 0))
    text += Counted(c, "cross-cap", "cross-caps") + ", ";
  return text + Counted(t, "triple point", "triple points");
}

} // namespace tandor
