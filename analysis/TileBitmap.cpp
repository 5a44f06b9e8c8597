// TileBitmap and BitmapCanvas: the tiles' one-bit pictures, their line drawing and encoding.

#include "analysis/TileBitmap.h"

#include <algorithm>
#include <cstdlib>

namespace tandor {

namespace {

constexpr char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int AlphabetIndex(char c) {
  const char *at = std::find(Alphabet, Alphabet + 64, c);
  return at == Alphabet + 64 ? -1 : static_cast<int>(at - Alphabet);
}

} // namespace

std::size_t TileBitmap::InkCount() const {
  return static_cast<std::size_t>(std::count(Bits.begin(), Bits.end(), uint8_t{1}));
}

std::string TileBitmap::Encoded() const {
  std::vector<uint8_t> bytes((Bits.size() + 7) / 8, 0);
  for (std::size_t i = 0; i < Bits.size(); ++i)
    if (Bits[i])
      bytes[i / 8] |= static_cast<uint8_t>(0x80u >> (i % 8));
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    uint32_t group = 0;
    for (std::size_t k = 0; k < 3; ++k)
      group = (group << 8) | (k < n ? bytes[i + k] : 0u);
    for (std::size_t k = 0; k < 4; ++k)
      text.push_back(k <= n ? Alphabet[(group >> (18 - 6 * k)) & 63u] : '=');
  }
  return text;
}

bool TileBitmap::Decode(std::string_view text, int size, TileBitmap &out) {
  if (size <= 0 || size > 4096)
    return false;
  TileBitmap bitmap(size);
  const std::size_t byteCount = (bitmap.Bits.size() + 7) / 8;
  if (text.size() != (byteCount + 2) / 3 * 4)
    return false;
  std::vector<uint8_t> bytes;
  bytes.reserve(byteCount + 2);
  for (std::size_t i = 0; i < text.size(); i += 4) {
    uint32_t group = 0;
    int pad = 0;
    for (std::size_t k = 0; k < 4; ++k) {
      const char c = text[i + k];
      int value = 0;
      if (c == '=') {
        ++pad;
      } else if (pad > 0 || (value = AlphabetIndex(c)) < 0) {
        return false;
      }
      group = (group << 6) | static_cast<uint32_t>(value);
    }
    for (int k = 0; k < 3 - pad; ++k)
      bytes.push_back(static_cast<uint8_t>(group >> (16 - 8 * k)));
  }
  if (bytes.size() != byteCount)
    return false;
  for (std::size_t i = 0; i < bitmap.Bits.size(); ++i)
    bitmap.Bits[i] = (bytes[i / 8] >> (7 - i % 8)) & 1u;
  out = std::move(bitmap);
  return true;
}

// The classic raster line, which leaves out its end pixel as the canvas's LineTo does; a line
// wholly to one side of the tile is skipped rather than walked.
void BitmapCanvas::LineTo(int x, int y) {
  const int side = Bitmap.Side();
  const bool outside =
      (X < 0 && x < 0) || (Y < 0 && y < 0) || (X >= side && x >= side) || (Y >= side && y >= side);
  if (!outside && (X != x || Y != y)) {
    Inked(Pen);
    const long long dx = std::llabs(static_cast<long long>(x) - X);
    const long long dy = -std::llabs(static_cast<long long>(y) - Y);
    const int sx = X < x ? 1 : -1, sy = Y < y ? 1 : -1;
    long long error = dx + dy;
    long long cx = X, cy = Y;
    while (cx != x || cy != y) {
      Bitmap.Set(static_cast<int>(cx), static_cast<int>(cy));
      const long long twice = 2 * error;
      if (twice >= dy) {
        error += dy;
        cx += sx;
      }
      if (twice <= dx) {
        error += dx;
        cy += sy;
      }
    }
  }
  X = x;
  Y = y;
}

} // namespace tandor
