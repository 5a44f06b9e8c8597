#pragma once
// TileBitmap and BitmapCanvas: a small one-bit picture of L for a tile of the parameter atlas,
// drawn through the methods' own drawing routines, so that every method's picture comes out as
// the window would draw it, only smaller. One bit per pixel keeps a 16 x 16 atlas of a triangle
// run small enough to travel in a JSON part file.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "solvers/Canvas.h"

namespace tandor {

class TileBitmap {
public:
  explicit TileBitmap(int size = 0) : Size(size), Bits(static_cast<std::size_t>(size) * size) {}
  int Side() const { return Size; }
  bool Ink(int x, int y) const {
    return Inside(x, y) && Bits[static_cast<std::size_t>(y) * Size + x] != 0;
  }
  void Set(int x, int y) {
    if (Inside(x, y))
      Bits[static_cast<std::size_t>(y) * Size + x] = 1;
  }
  std::size_t InkCount() const;

  // Rows top to bottom, eight pixels to a byte (most significant first), in base64.
  std::string Encoded() const;
  // False when the text is not the encoding of a size x size bitmap.
  static bool Decode(std::string_view text, int size, TileBitmap &out);

  friend bool operator==(const TileBitmap &, const TileBitmap &) = default;

private:
  bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < Size && y < Size; }
  int Size = 0;
  std::vector<uint8_t> Bits;
};

// A canvas that inks every pixel a line or a point of any colour covers; fills and text leave
// no ink (the white background and the picture's labels are not L).
class BitmapCanvas final : public NullCanvas {
public:
  explicit BitmapCanvas(TileBitmap &bitmap) : Bitmap(bitmap) {}
  void SetPen(Rgb colour, int, PenMode) override { Pen = colour; }
  void MoveTo(int x, int y) override { X = x, Y = y; }
  void LineTo(int x, int y) override;
  void SetPixel(int x, int y, Rgb colour) override {
    Inked(colour);
    Bitmap.Set(x, y);
  }

  // The colour of the first ink: the method's colour, for drawing the bitmap again.
  Rgb InkColour = Black;

private:
  void Inked(Rgb colour) {
    if (!HasInk)
      InkColour = colour, HasInk = true;
  }
  TileBitmap &Bitmap;
  int X = 0, Y = 0;
  Rgb Pen = Black;
  bool HasInk = false;
};

} // namespace tandor
