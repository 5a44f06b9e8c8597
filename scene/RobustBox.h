#pragma once
// Box3, RobustBox, ReachFromCentre: the box that the view frames: per axis, the 1st to the 99th
// percentile of the finite vertices, so that one huge value (a pole, a guard's 1e24) does not
// shrink the rest of the surface to a dot.

#include <span>
#include <vector>

#include "base/Vectors.h"

namespace tandor {

struct Box3 {
  Vector3 Low{0.0, 0.0, 0.0};
  Vector3 High{0.0, 0.0, 0.0};
  bool Empty = true;

  Vector3 Centre() const;
  // Half the diagonal; 1 for an empty box or a single point, so that a camera always has
  // something to keep its distance from.
  double Radius() const;
};

inline constexpr double LowPercentile = 0.01;
inline constexpr double HighPercentile = 0.99;

// points whose flag in usable is false are left out. scratch holds the values of one axis
// while they are ordered; it keeps its room between calls.
Box3 RobustBox(std::span<const Vector3> points, std::span<const unsigned char> usable,
               std::vector<double> &scratch);

// How far the surface reaches from the box's centre: the farthest usable point, leaving out
// those beyond twice the box's radius (the outliers the box left out). The camera keeps it all
// in view, so that the tips that the percentiles cut are not cut from the picture too.
double ReachFromCentre(std::span<const Vector3> points, std::span<const unsigned char> usable,
                       const Box3 &box);

} // namespace tandor
