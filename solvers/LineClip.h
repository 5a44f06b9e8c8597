#pragma once
// Lines cut to what can be seen. The drawing routines keep every line they hand to a canvas
// within a margin around their rectangle, and the raster canvas lays only the pixels of a line
// that fall on its picture: a line from -2^31 to 2^31 costs what its visible part costs, and no
// coordinate arithmetic can overflow.

#include <cstdint>

#include "solvers/Canvas.h"

namespace tandor {

struct LineSegment {
  int x1, y1, x2, y2;
  friend bool operator==(const LineSegment &, const LineSegment &) = default;
};

// The part of s within rect grown by margin on every side (inclusive bounds): s itself when both
// its ends lie within, otherwise the cut part with its new ends rounded to whole pixels; false
// when no part of s comes within.
bool ClipToRect(const LineSegment &s, const PixelRect &rect, int margin, LineSegment &out);

// How far beyond its rectangle a drawing routine lets a line run: as far as the rectangle is
// large, so that every line of an ordinary picture reaches the canvas as it is.
int DrawingMargin(const PixelRect &rect);

// Moves to the start of s and draws it, cut to rect grown by DrawingMargin; nothing when no part
// of s comes near rect.
void DrawSegment(Canvas &canvas, const PixelRect &rect, const LineSegment &s);

// The thin raster line from (x0, y0) to (x1, y1) leaves out its end pixel and, along its major
// axis, takes at step k the pixel whose minor offset is floor((2 k minor + major) / (2 major)),
// ties rounding up: the pixels of the classic integer line walk. Calls plot(x, y) for those of
// them inside clip (left and top inclusive, right and bottom exclusive), in the walk's order,
// in time proportional to their number.
template <class Plot>
void ForEachRasterPixel(int x0, int y0, int x1, int y1, const PixelRect &clip, Plot &&plot);

// ---- Implementation ----

namespace raster {

__extension__ using Wide = __int128; // products of two 33-bit numbers and a bit more

// The smallest integer >= n / d for d > 0.
inline int64_t CeilDiv(Wide n, Wide d) {
  const Wide q = n / d;
  return static_cast<int64_t>(q + ((n % d != 0 && n > 0) ? 1 : 0));
}

// The range [first, last] of steps k in [0, length) whose offset origin + sign k lies in
// [low, high].
inline bool StepRange(int64_t origin, int sign, int64_t length, int64_t low, int64_t high,
                      int64_t &first, int64_t &last) {
  int64_t a = sign > 0 ? low - origin : origin - high;
  int64_t b = sign > 0 ? high - origin : origin - low;
  first = a > 0 ? a : 0;
  last = b < length - 1 ? b : length - 1;
  return first <= last;
}

} // namespace raster

template <class Plot>
void ForEachRasterPixel(int x0, int y0, int x1, int y1, const PixelRect &clip, Plot &&plot) {
  using raster::Wide;
  const int64_t dx = x1 >= x0 ? int64_t(x1) - x0 : int64_t(x0) - x1;
  const int64_t dy = y1 >= y0 ? int64_t(y1) - y0 : int64_t(y0) - y1;
  if (dx == 0 && dy == 0)
    return;
  const bool xMajor = dx >= dy;
  const int64_t major = xMajor ? dx : dy, minor = xMajor ? dy : dx;
  const int majorSign = (xMajor ? x1 > x0 : y1 > y0) ? 1 : -1;
  const int minorSign = (xMajor ? y1 > y0 : x1 > x0) ? 1 : -1;
  const int64_t majorOrigin = xMajor ? x0 : y0, minorOrigin = xMajor ? y0 : x0;
  const int64_t majorLow = xMajor ? clip.Left : clip.Top;
  const int64_t majorHigh = int64_t(xMajor ? clip.Right : clip.Bottom) - 1;
  const int64_t minorLow = xMajor ? clip.Top : clip.Left;
  const int64_t minorHigh = int64_t(xMajor ? clip.Bottom : clip.Right) - 1;

  int64_t first = 0, last = 0;
  if (!raster::StepRange(majorOrigin, majorSign, major, majorLow, majorHigh, first, last))
    return;
  // The minor offsets m(k) that are visible, as a range of steps: m(k) >= lo exactly when
  // 2 minor k >= 2 major lo - major, and m(k) <= hi exactly when 2 minor k < 2 major hi + major.
  const int64_t lo = minorSign > 0 ? minorLow - minorOrigin : minorOrigin - minorHigh;
  const int64_t hi = minorSign > 0 ? minorHigh - minorOrigin : minorOrigin - minorLow;
  if (minor == 0) {
    if (lo > 0 || hi < 0)
      return;
  } else {
    const int64_t from = raster::CeilDiv(Wide(2) * major * lo - major, Wide(2) * minor);
    const int64_t to = raster::CeilDiv(Wide(2) * major * hi + major, Wide(2) * minor) - 1;
    first = from > first ? from : first;
    last = to < last ? to : last;
    if (first > last)
      return;
  }
  // m(first) and the remainder of its division, then one step at a time.
  const Wide numerator = Wide(2) * minor * first + major;
  int64_t m = static_cast<int64_t>(numerator / (Wide(2) * major));
  int64_t remainder = static_cast<int64_t>(numerator % (Wide(2) * major));
  for (int64_t k = first; k <= last; ++k) {
    const int64_t p = majorOrigin + majorSign * k, q = minorOrigin + minorSign * m;
    if (xMajor)
      plot(static_cast<int>(p), static_cast<int>(q));
    else
      plot(static_cast<int>(q), static_cast<int>(p));
    remainder += 2 * minor;
    if (remainder >= 2 * major) {
      remainder -= 2 * major;
      ++m;
    }
  }
}

} // namespace tandor
