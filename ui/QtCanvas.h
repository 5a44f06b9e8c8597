#pragma once
// Canvas on a QPainter, for the window, its printing and tandor-cli's pictures. QtGui only.

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QPoint>

#include "solvers/Canvas.h"

namespace tandor {

// A QFont for the family a control names, falling back to the metric-compatible
// Liberation family when the named one is not installed. Height is the character height in pixels.
QFont MakeFont(const FontSpec &wanted);

inline QColor ToQColor(Rgb c) {
  return QColor(c.r, c.g, c.b);
}

class QtCanvas final : public Canvas {
public:
  explicit QtCanvas(QPainter &painter);

  void SetBrush(Rgb colour) override;
  void SetBrushClear() override;
  void FillRect(const PixelRect &rect) override;
  void SetPen(Rgb colour, int width, PenMode mode) override;
  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  void Ellipse(int left, int top, int right, int bottom) override;
  void SetPixel(int x, int y, Rgb colour) override;
  void SetFont(const FontSpec &font) override;
  void TextOut(int x, int y, std::string_view text) override;
  int TextWidth(std::string_view text) override;
  void SetClipRect(const PixelRect &rect) override;
  void ClearClip() override;

private:
  void ApplyPenMode();
  PixelRect VisibleRect() const;

  QPainter &Painter;
  QPoint Current;
  Rgb PenColour = Black;
  int PenWidth = 1;
  PenMode Mode = PenMode::Copy;
  Rgb BrushColour = White;
  bool BrushClear = false;
};

} // namespace tandor
