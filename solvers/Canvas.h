#pragma once
// The few drawing operations the draw routines need. The window and tandor-cli implement it on
// a QPainter (ui/QtCanvas); tests record the calls.

#include <string>
#include <string_view>

#include "base/PixelRect.h"
#include "base/Rgb.h"

namespace tandor {

enum class PenMode { Copy, Xor };

struct FontSpec {
  std::string Name; // a family name; the canvas substitutes a metric-compatible one if missing
  int Height = 13;  // character height in pixels
  bool Bold = false;
  friend bool operator==(const FontSpec &, const FontSpec &) = default;
};

class Canvas {
public:
  virtual ~Canvas() = default;

  virtual void SetBrush(Rgb colour) = 0;            // a solid brush
  virtual void SetBrushClear() = 0;                 // no fill
  virtual void FillRect(const PixelRect &rect) = 0; // with the current brush
  virtual void SetPen(Rgb colour, int width, PenMode mode = PenMode::Copy) = 0;
  virtual void MoveTo(int x, int y) = 0;
  // From the current position to (x, y), which becomes the current position. Like the classic
  // raster line it leaves out the end pixel itself.
  virtual void LineTo(int x, int y) = 0;
  virtual void Ellipse(int left, int top, int right, int bottom) = 0; // pen outline, brush inside
  virtual void SetPixel(int x, int y, Rgb colour) = 0;
  virtual void SetFont(const FontSpec &font) = 0;
  virtual void TextOut(int x, int y, std::string_view text) = 0; // (x, y) is the top-left corner
  virtual int TextWidth(std::string_view text) = 0;
  virtual void SetClipRect(const PixelRect &rect) = 0;
  virtual void ClearClip() = 0;
};

// A canvas that draws nothing: for running a drawing only for what it measures or collects. The
// few calls such a canvas cares for are overridden by the ones built on it.
class NullCanvas : public Canvas {
public:
  void SetBrush(Rgb) override {}
  void SetBrushClear() override {}
  void FillRect(const PixelRect &) override {}
  void SetPen(Rgb, int, PenMode) override {}
  void MoveTo(int, int) override {}
  void LineTo(int, int) override {}
  void Ellipse(int, int, int, int) override {}
  void SetPixel(int, int, Rgb) override {}
  void SetFont(const FontSpec &) override {}
  void TextOut(int, int, std::string_view) override {}
  int TextWidth(std::string_view) override { return 0; }
  void SetClipRect(const PixelRect &) override {}
  void ClearClip() override {}
};

} // namespace tandor
