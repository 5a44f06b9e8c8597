// QtCanvas: Canvas on a QPainter.

#include "ui/QtCanvas.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPaintDevice>
#include <QPen>
#include <QPolygon>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "solvers/LineClip.h"

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

QFont MakeFont(const FontSpec &wanted) {
  const QString name = QString::fromStdString(wanted.Name);
  QFont font;
  font.setFamilies({name, FallbackFamily(name)});
  font.setPixelSize(wanted.Height > 0 ? wanted.Height : 1);
  font.setBold(wanted.Bold);
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
  const PixelRect visible = VisibleRect();
  if (PenWidth > 1) {
    LineSegment cut;
    if (!ClipToRect({from.x(), from.y(), x, y}, visible, PenWidth, cut))
      return;
    Painter.setPen(QPen(ToQColor(PenColour), PenWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    Painter.drawLine(QPoint(cut.x1, cut.y1), QPoint(cut.x2, cut.y2));
    return;
  }
  // A thin raster line leaves out its end pixel, so polylines and exclusive-or drawing touch
  // each pixel once. Only its pixels on the device are laid, however far off its ends lie.
  QPolygon points;
  ForEachRasterPixel(from.x(), from.y(), x, y, visible,
                     [&points](int px, int py) { points << QPoint(px, py); });
  if (points.isEmpty())
    return;
  Painter.setPen(QPen(ToQColor(PenColour), 1));
  Painter.drawPoints(points);
}

// The device's area in the painter's coordinates, a pixel wider on every side.
PixelRect QtCanvas::VisibleRect() const {
  const QPaintDevice *device = Painter.device();
  if (device == nullptr)
    return {};
  QRectF area(0, 0, device->width(), device->height());
  bool invertible = true;
  const QTransform toLogical = Painter.combinedTransform().inverted(&invertible);
  if (invertible)
    area = toLogical.mapRect(area);
  auto toInt = [](double v) { return static_cast<int>(std::clamp(v, -1e9, 1e9)); };
  return {toInt(std::floor(area.left()) - 1), toInt(std::floor(area.top()) - 1),
          toInt(std::ceil(area.right()) + 1), toInt(std::ceil(area.bottom()) + 1)};
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
