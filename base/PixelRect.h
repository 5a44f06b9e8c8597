#pragma once
// PixelRect: a rectangle of pixels, as the picture, the parameter square and a printed page
// place things.

namespace tandor {

// left/top inclusive, right/bottom exclusive, as a window rectangle.
struct PixelRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  friend bool operator==(const PixelRect &, const PixelRect &) = default;
};

} // namespace tandor
