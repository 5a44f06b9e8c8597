// PaintBox: a box that hands its painting and mouse moves to its owner.

#include "ui/PaintBox.h"

namespace tandor {

PaintBox::PaintBox(QWidget *parent, int left, int top, int width, int height) : QWidget(parent) {
  setGeometry(left, top, width, height);
  setAttribute(Qt::WA_OpaquePaintEvent);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, Qt::white);
  setPalette(palette);
  // Moves without a button matter too: the picture shows siblings under a free mouse.
  setMouseTracking(true);
}

void PaintBox::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  if (OnPaint)
    OnPaint(painter);
  else
    painter.fillRect(rect(), Qt::white);
}

void PaintBox::mouseMoveEvent(QMouseEvent *event) {
  if (OnMouseMove) {
    const QPoint p = event->position().toPoint();
    OnMouseMove(event->buttons(), p.x(), p.y());
  }
}

void PaintBox::leaveEvent(QEvent *) {
  if (OnMouseLeave)
    OnMouseLeave();
}

} // namespace tandor
