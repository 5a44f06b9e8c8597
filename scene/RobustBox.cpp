// RobustBox and ReachFromCentre over the surface's finite vertices.

#include "scene/RobustBox.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "scene/SceneMaths.h"

namespace tandor {

Vector3 Box3::Centre() const {
  return 0.5 * (Low + High);
}

double Box3::Radius() const {
  const double r = 0.5 * Length(High - Low);
  return Empty || !(r > 0.0) || !std::isfinite(r) ? 1.0 : r;
}

namespace {

// The value at the given fraction of the ordered values; nth_element keeps it linear.
double Percentile(std::vector<double> &values, double fraction) {
  const double position = fraction * static_cast<double>(values.size() - 1);
  const auto k = static_cast<std::ptrdiff_t>(std::lround(position));
  std::nth_element(values.begin(), values.begin() + k, values.end());
  return values[static_cast<std::size_t>(k)];
}

} // namespace

Box3 RobustBox(std::span<const Vector3> points, std::span<const unsigned char> usable,
               std::vector<double> &scratch) {
  Box3 box;
  for (int axis = 0; axis < 3; ++axis) {
    scratch.clear();
    for (std::size_t i = 0; i < points.size(); ++i)
      if (usable[i])
        scratch.push_back(points[i][axis]);
    if (scratch.empty())
      return Box3{};
    box.Low[axis] = Percentile(scratch, LowPercentile);
    box.High[axis] = Percentile(scratch, HighPercentile);
  }
  box.Empty = false;
  return box;
}

double ReachFromCentre(std::span<const Vector3> points, std::span<const unsigned char> usable,
                       const Box3 &box) {
  const Vector3 centre = box.Centre();
  const double limit = 2.0 * box.Radius();
  double reach = 0.0;
  for (std::size_t i = 0; i < points.size(); ++i)
    if (usable[i]) {
      const double d = Length(points[i] - centre);
      if (d <= limit && d > reach)
        reach = d;
    }
  return reach > 0.0 ? reach : box.Radius();
}

} // namespace tandor
