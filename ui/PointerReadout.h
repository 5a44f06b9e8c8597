#pragma once
// PointerReadout: what the status bar says of the point under the mouse in the picture, its
// (u, v) and its sibling's, with four significant digits. Plain C++ so tests read it directly.

#include <optional>
#include <string>

#include "base/PixelRect.h"
#include "base/Vectors.h"

namespace tandor {

// The point of D at the centre of pixel (x, y) of a picture of D in rect, v growing upward: the
// inverse of the drawing's mapping.
Vector2 PointOfPixel(const PixelRect &rect, const Vector2 &low, const Vector2 &high, int x, int y);

// "u = 0.1235, v = -1.000" and, with a sibling, "   sibling: u = ..., v = ...".
std::string PointerReadout(const Vector2 &point, const std::optional<Vector2> &sibling);

} // namespace tandor
