#include "ui/QtCanvas.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPen>
#include <QPolygon>
#include <cstdlib>

namespace tandor {

namespace {

QString FallbackFamily(const QString &name) {
  const QString n = name.toLower();
  if (n.contains("times"))
    return "Liberation Serif";
  if (n.contains("courier"))
    return "Liberation Mono";
  return "Liberation Sans"; // Arial, Helvetica, MS Sans Serif, Tahoma
}

} // namespace

QFont MakeFont(const FontSpec &spec) {
  const QString name = QString::fromStdString(spec.Name);
  QFont font;
  font.setFamilies({name, FallbackFamily(name)});
  font.setPixelSize(spec.Height > 0 ? spec.Height : 1);
  font.setBold(spec.Bold);
  return font;
}

QtCanvas::QtCanvas(QPainter &painter) : Painter(painter) {
  Painter.setRenderHint(QPainter::Antialiasing, false);
  Painter.setRenderHint(QPainter::TextAntialiasing, true);
}

void QtCanvas::SetBrush(Rgb colour) {
  BrushColour = colour;
  BrushClear = false;
}

void QtCanvas::SetBrushClear() {
  BrushClear = true;
}

void QtCanvas::FillRect(const PixelRect &r) {
  if (BrushClear)
    return;
  Painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  Painter.fillRect(QRect(r.Left, r.Top, r.Width(), r.Height()), ToQColor(BrushColour));
  ApplyPenMode();
}

void QtCanvas::SetPen(Rgb colour, int width, PenMode mode) {
  PenColour = colour;
  PenWidth = width;
  Mode = mode;
  ApplyPenMode();
}

void QtCanvas::ApplyPenMode() {
  Painter.setCompositionMode(Mode == PenMode::Xor ? QPainter::RasterOp_SourceXorDestination
                                                  : QPainter::CompositionMode_SourceOver);
}

void QtCanvas::MoveTo(int x, int y) {
  Current = QPoint(x, y);
}

void QtCanvas::LineTo(int x, int y) {
  const QPoint from = Current;
  Current = QPoint(x, y);
  if (PenWidth > 1) {
    Painter.setPen(QPen(ToQColor(PenColour), PenWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    Painter.drawLine(from, Current);
    return;
  }
  // A thin raster line leaves out its end pixel, so polylines and exclusive-or drawing touch
  // each pixel once.
  QPolygon points;
  int x0 = from.x(), y0 = from.y();
  const int dx = std::abs(x - x0), dy = -std::abs(y - y0);
  const int sx = x0 < x ? 1 : -1, sy = y0 < y ? 1 : -1;
  int err = dx + dy;
  while (x0 != x || y0 != y) {
    points << QPoint(x0, y0);
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x0 += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y0 += sy;
    }
  }
  if (points.isEmpty())
    return;
  Painter.setPen(QPen(ToQColor(PenColour), 1));
  Painter.drawPoints(points);
}

void QtCanvas::Ellipse(int left, int top, int right, int bottom) {
  Painter.setPen(QPen(ToQColor(PenColour), PenWidth < 1 ? 1 : PenWidth));
  if (BrushClear)
    Painter.setBrush(Qt::NoBrush);
  else
    Painter.setBrush(ToQColor(BrushColour));
  Painter.drawEllipse(QRect(left, top, right - left - 1, bottom - top - 1));
  Painter.setBrush(Qt::NoBrush);
}

void QtCanvas::SetPixel(int x, int y, Rgb colour) {
  Painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  Painter.setPen(QPen(ToQColor(colour), 1));
  Painter.drawPoint(x, y);
  ApplyPenMode();
}

void QtCanvas::SetFont(const FontSpec &font) {
  Painter.setFont(MakeFont(font));
}

void QtCanvas::TextOut(int x, int y, std::string_view text) {
  const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  Painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  Painter.setPen(QPen(Qt::black));
  Painter.drawText(x, y + QFontMetrics(Painter.font()).ascent(), s);
  ApplyPenMode();
}

int QtCanvas::TextWidth(std::string_view text) {
  const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  return QFontMetrics(Painter.font()).horizontalAdvance(s);
}

void QtCanvas::SetClipRect(const PixelRect &r) {
  Painter.setClipRect(QRect(r.Left, r.Top, r.Width(), r.Height()), Qt::IntersectClip);
}

void QtCanvas::ClearClip() {
  Painter.setClipping(false);
}

} // namespace tandor
