// AtlasLayout, the tile labels and DrawAtlas.

#include "analysis/AtlasDrawing.h"

#include <cstdio>

namespace tandor {

AtlasLayout::AtlasLayout(const AtlasRequest &request)
    : Columns(request.Columns), Rows(request.Rows), Side(request.TileSide) {}

PixelRect AtlasLayout::Cell(int index) const {
  const int left = (index % Columns) * CellWidth(), top = (index / Columns) * CellHeight();
  return {left, top, left + CellWidth(), top + CellHeight()};
}

PixelRect AtlasLayout::Picture(int index) const {
  const PixelRect cell = Cell(index);
  return {cell.Left + Pad, cell.Top + Pad, cell.Left + Pad + Side, cell.Top + Pad + Side};
}

std::optional<int> AtlasLayout::TileAt(int x, int y) const {
  if (x < 0 || y < 0 || x >= Width() || y >= Height())
    return std::nullopt;
  return (y / CellHeight()) * Columns + x / CellWidth();
}

std::string TileLabelParameters(const AtlasTile &tile) {
  char text[64];
  std::snprintf(text, sizeof text, "p %.4g  q %.4g", tile.Pq[0], tile.Pq[1]);
  return text;
}

std::string TileLabelCounts(const AtlasTile &tile) {
  if (!tile.Refusal.empty())
    return "not computed";
  std::string text =
      "C " + std::to_string(tile.CrossCaps) + ", T " + std::to_string(tile.TriplePoints);
  return tile.SingularCurve ? text + " curve" : text;
}

Rgb StratumTint(int stratum, bool refused) {
  static constexpr Rgb Tints[] = {
      {234, 242, 255}, {255, 238, 222}, {228, 248, 228}, {250, 232, 250}, {255, 250, 214},
      {222, 246, 246}, {244, 236, 226}, {236, 236, 252}, {252, 228, 232}, {232, 244, 222}};
  if (refused)
    return {224, 224, 224};
  return Tints[static_cast<std::size_t>(stratum) % std::size(Tints)];
}

void DrawAtlas(Canvas &canvas, const AtlasFile &atlas) {
  const AtlasLayout layout(atlas.Request);
  canvas.SetBrush(White);
  canvas.FillRect({0, 0, layout.Width(), layout.Height()});
  const std::vector<int> strata = StratumNumbers(atlas.Tiles);
  for (std::size_t k = 0; k < atlas.Tiles.size(); ++k) {
    const AtlasTile &tile = atlas.Tiles[k];
    const PixelRect cell = layout.Cell(tile.Index);
    canvas.SetBrush(StratumTint(strata[k], !tile.Refusal.empty()));
    canvas.FillRect(cell);
    const PixelRect picture = layout.Picture(tile.Index);
    canvas.SetBrush(White);
    canvas.FillRect(picture);
    for (int y = 0; y < tile.Picture.Side(); ++y)
      for (int x = 0; x < tile.Picture.Side(); ++x)
        if (tile.Picture.Ink(x, y))
          canvas.SetPixel(picture.Left + x, picture.Top + y, tile.Ink);
    canvas.SetBrushClear();
    canvas.SetFont({"Arial", 10, false});
    canvas.TextOut(picture.Left, picture.Bottom + 2, TileLabelParameters(tile));
    canvas.TextOut(picture.Left, picture.Bottom + 14, TileLabelCounts(tile));
  }
}

} // namespace tandor
