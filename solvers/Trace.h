#pragma once
// What the three curve tracers store and what their drawings hand to the sibling display.

#include <cstdint>
#include <vector>

#include "base/Vectors.h"

namespace tandor {

// (u1, v1, u2, v2): two points of D; a zero of the pair residual is a double point and its
// sibling.
using PointPair = Vector4;

struct TracePoint {
  int32_t PieceStart = 0; // 1 opens a polyline, 0 continues it
  PointPair Pair{};
};

struct SiblingEntry {
  int16_t CentreX = 0;
  int16_t HalfWidth = 0;
  int16_t SiblingX = 0;
  int16_t SiblingY = 0;
  friend bool operator==(const SiblingEntry &, const SiblingEntry &) = default;
};

// One list per pixel row of the drawing rectangle.
using SiblingTable = std::vector<std::vector<SiblingEntry>>;

} // namespace tandor
