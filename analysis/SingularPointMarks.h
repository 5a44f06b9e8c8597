#pragma once
// The singular points in a drawing of D: a filled black disc on each cross-cap and an open black
// triangle on each point of a triple point, drawn after the locus by whoever draws it (the
// picture, the printed page, the exports); the mark under a pixel and its text; the count in
// words.

#include <optional>
#include <string>

#include "analysis/SingularPoints.h"
#include "solvers/Canvas.h"

namespace tandor {

enum class MarkKind { CrossCap, TriplePoint };

// Sizes in a 400-pixel drawing; a larger drawing (a printed page) scales them.
inline constexpr int MarkRadius = 3;
inline constexpr int TriangleHalfWidth = 4;

// The pixel of a point of D in rect, by the picture's convention (uMin at the left edge, vMax at
// the top), rounded to the nearest pixel.
struct Pixel {
  int X = 0, Y = 0;
  friend bool operator==(const Pixel &, const Pixel &) = default;
};
Pixel PixelOf(const Vector2 &uv, const PixelRect &rect, const Vector2 &low, const Vector2 &high);

void DrawSingularPoints(Canvas &canvas, const PixelRect &rect, const Vector2 &low,
                        const Vector2 &high, const SingularPoints &points);

// The mark under the pixel (x, y) of a drawing in rect, the nearest if marks overlap.
struct Mark {
  MarkKind Kind = MarkKind::CrossCap;
  Vector2 Point{}; // in D
  Vector3 Image{};
};
std::optional<Mark> MarkAt(int x, int y, const PixelRect &rect, const Vector2 &low,
                           const Vector2 &high, const SingularPoints &points);

// What the status bar says of the mark under the mouse: "cross-cap at (u, v) = (0.707107, 0),
// (x, y, z) = (0.707107, 0, 0)", or "triple point at ..." for a point of a triple point.
std::string MarkText(const Mark &mark);

// "2 cross-caps, 1 triple point", "1 cross-cap, no triple points", "no cross-caps or triple
// points"; a curve of singular points is named first.
std::string CountText(const SingularPoints &points);

} // namespace tandor
