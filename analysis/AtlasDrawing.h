#pragma once
// AtlasLayout and DrawAtlas: the atlas as one picture, tile by tile in the grid's order, each on
// the pale tint of its stratum with its picture of L and a label of (p, q) and its counts.
// Through Canvas, so the CLI's PNG, the window and the tests draw the same.

#include <optional>
#include <string>

#include "analysis/AtlasJson.h"
#include "solvers/Canvas.h"

namespace tandor {

struct AtlasLayout {
  explicit AtlasLayout(const AtlasRequest &request);
  static constexpr int Pad = 4, LabelHeight = 28;
  int Columns, Rows, Side;
  int CellWidth() const { return Side + 2 * Pad; }
  int CellHeight() const { return Side + 2 * Pad + LabelHeight; }
  int Width() const { return Columns * CellWidth(); }
  int Height() const { return Rows * CellHeight(); }
  PixelRect Cell(int index) const;
  PixelRect Picture(int index) const;
  // The tile under a point of the whole picture, if any.
  std::optional<int> TileAt(int x, int y) const;
};

// "p 0.1667  q 0.5236" and "C 2, T 1" (with " curve" where Fu x Fv vanishes along a curve).
std::string TileLabelParameters(const AtlasTile &tile);
std::string TileLabelCounts(const AtlasTile &tile);

// The pale tint of a stratum.
Rgb StratumTint(int stratum, bool refused);

void DrawAtlas(Canvas &canvas, const AtlasFile &atlas);

} // namespace tandor
