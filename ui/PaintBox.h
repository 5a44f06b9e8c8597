#pragma once
// A white box that leaves its painting and its mouse moves to the window that owns it, as the
// picture and the parameter square need.

#include <QMouseEvent>
#include <QPainter>
#include <QWidget>
#include <functional>

namespace tandor {

class PaintBox final : public QWidget {
public:
  PaintBox(QWidget *parent, int left, int top, int width, int height);

  std::function<void(QPainter &)> OnPaint;
  std::function<void(Qt::MouseButtons buttons, int x, int y)> OnMouseMove;
  std::function<void()> OnMouseLeave;

protected:
  void paintEvent(QPaintEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;
  void leaveEvent(QEvent *event) override;
};

} // namespace tandor
