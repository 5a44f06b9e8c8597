// PointOfPixel and PointerReadout: the picture's pixel as a point of D, and its readout.

#include "ui/PointerReadout.h"

#include <cstdio>

namespace tandor {

namespace {

std::string FourDigits(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.4g", value);
  return buffer;
}

std::string Pair(const Vector2 &point) {
  return "u = " + FourDigits(point[0]) + ", v = " + FourDigits(point[1]);
}

} // namespace

Vector2 PointOfPixel(const PixelRect &rect, const Vector2 &low, const Vector2 &high, int x, int y) {
  const double fx = (x - rect.Left) / static_cast<double>(rect.Width());
  const double fy = (y - rect.Top) / static_cast<double>(rect.Height());
  return {low[0] + (high[0] - low[0]) * fx, high[1] - (high[1] - low[1]) * fy};
}

std::string PointerReadout(const Vector2 &point, const std::optional<Vector2> &sibling) {
  std::string text = Pair(point);
  if (sibling)
    text += "   sibling: " + Pair(*sibling);
  return text;
}

} // namespace tandor
