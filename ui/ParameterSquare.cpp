// ParameterSquare: pixel <-> (p, q).

#include "ui/ParameterSquare.h"

#include <algorithm>
#include <cmath>

namespace tandor {

namespace {

// The parameter at fraction of the way from low to high, computed as the drag always has; across
// a range wider than the largest double that overflows, and the point is then taken between the
// ends without their difference, so that no infinite p or q reaches the methods or a data file.
double PointOfRange(double computed, double low, double high, double fraction) {
  if (std::isfinite(computed))
    return computed;
  return std::clamp(low * (1 - fraction) + high * fraction, low, high);
}

} // namespace

bool ParameterSquare::Inside(int x, int y) const {
  return 0 < x && x < Square.Width() && 0 < y && y < Square.Height();
}

Vector2 ParameterSquare::ValueAt(int x, int y) const {
  const double width = Square.Width(), height = Square.Height();
  const double p =
      PointOfRange(Low[0] + (High[0] - Low[0]) * x / width, Low[0], High[0], x / width);
  const double q =
      PointOfRange(High[1] - (High[1] - Low[1]) * y / height, Low[1], High[1], 1 - y / height);
  return {p, q};
}

std::optional<std::array<int, 2>> ParameterSquare::PixelOf(const Vector2 &value) const {
  const double width = Square.Width(), height = Square.Height();
  const double pSpan = High[0] - Low[0];
  const double qSpan = High[1] - Low[1];
  const double x = std::nearbyint((value[0] - Low[0]) * width / pSpan);
  const double y = height - std::nearbyint((value[1] - Low[1]) * height / qSpan);
  if (!std::isfinite(x) || !std::isfinite(y))
    return std::nullopt;
  return std::array<int, 2>{static_cast<int>(std::clamp(x, -1e6, 1e6)),
                            static_cast<int>(std::clamp(y, -1e6, 1e6))};
}

} // namespace tandor
