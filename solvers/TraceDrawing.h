#pragma once
// Drawing of a stored trace of point pairs, shared by the three curve tracers, and the sibling
// table that the picture's mouse display reads.

#include <cstddef>
#include <vector>

#include "solvers/Canvas.h"
#include "solvers/RunControl.h"
#include "solvers/Trace.h"

namespace tandor {

// Maps D onto a drawing rectangle: uMin to the left edge, uMax to the right, vMax to the top.
struct PixelMapping {
  PixelMapping(const PixelRect &rect, const Vector2 &domainLow, const Vector2 &domainHigh);
  double sx, sy, ox, oy;
  // Rounded to nearest, ties to even, kept in 16 bits.
  int16_t RoundX(double u) const;
  int16_t RoundY(double v) const;
};

// Round(rect width / 500), ties to even: 1 on the 400-pixel picture, wider on a printed page.
int PenWidthFor(const PixelRect &rect);

struct PixelSegment {
  int16_t x1, y1, x2, y2;
};

// Sibling entries of one traced step: every row crossed by one half's segment points at the
// midpoint of the other half's segment. Rows outside 0 <= y < rowLimit get nothing.
void AddSiblingSpans(SiblingTable &rows, int rowLimit, const PixelSegment &A,
                     const PixelSegment &B);

// Fills rect with the canvas's current brush, then draws for every record that continues a
// polyline the segment from the record before it, first halves and then second halves. With
// rows given (the screen drawing) the sibling table is rebuilt for the rectangle. With control
// given, a long drawing polls it every DrawPollInterval records and ends where a stop is asked.
void DrawTrace(Canvas &canvas, const PixelRect &rect, const std::vector<TracePoint> &trace,
               Rgb colour, const Vector2 &domainLow, const Vector2 &domainHigh, SiblingTable *rows,
               RunControl *control = nullptr);

// Records or segments drawn between two polls of a drawing: some 60 ms on a raster canvas.
inline constexpr std::size_t DrawPollInterval = 65536;

// The first entry of the row, in insertion order, whose span covers x.
bool FindSiblingInRows(const SiblingTable &rows, int x, int row, int &siblingX, int &siblingY);

} // namespace tandor
