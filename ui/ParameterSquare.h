#pragma once
// ParameterSquare: the geometry of the parameter square (Parametros), pixel <-> (p, q) both ways.
// p grows to the right across the square, q upward. Plain C++: the window asks it, tests too.

#include <array>
#include <optional>

#include "base/PixelRect.h"
#include "base/Vectors.h"

namespace tandor {

class ParameterSquare {
public:
  // The square's pixels and the ranges of p and q (ParamLow, ParamHigh).
  ParameterSquare(const PixelRect &square, const Vector2 &low, const Vector2 &high)
      : Square(square), Low(low), High(high) {}

  // Strictly inside: 0 < x < width and 0 < y < height, where a drag may put the circle.
  bool Inside(int x, int y) const;

  // (p, q) at the pixel (x, y). Across a range wider than the largest double the difference of
  // the ends overflows; the point is then taken between the ends without it, so that (p, q)
  // stays finite.
  Vector2 ValueAt(int x, int y) const;

  // The pixel of (p, q), rounded to the nearest, halves to even, and kept within a million
  // pixels; none when it is not a number (an empty range, say).
  std::optional<std::array<int, 2>> PixelOf(const Vector2 &value) const;

private:
  PixelRect Square;
  Vector2 Low, High;
};

} // namespace tandor
