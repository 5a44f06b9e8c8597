#pragma once
// AtlasWindow: View > Parameter Atlas..., the whole (p, q) square at a glance. The atlas of the
// problem in force is computed on every core by worker threads while the window stays live (it
// counts the tiles done, and Cancel ends the workers); the atlas is shown scaled to the window,
// and a click on a tile moves the main window's parameters there.

#include <QImage>
#include <QWidget>
#include <functional>
#include <future>
#include <memory>

#include "analysis/AtlasJson.h"

class QLabel;
class QPushButton;
class QSpinBox;
class QTimer;

namespace tandor {

class AtlasView;

class AtlasWindow final : public QWidget {
public:
  explicit AtlasWindow(QWidget *parent = nullptr);
  ~AtlasWindow() override;

  // Starts the atlas of the problem (its thirteen lines) with the main window's method; a
  // computation under way is cancelled first.
  void Compute(const DataLineArray &problem, int method);
  void Cancel();
  bool Busy() const { return Running.valid(); }

  // A click on a finished tile: its (p, q).
  std::function<void(const Vector2 &)> OnTileChosen;

  const AtlasFile &Atlas() const { return Shown; }
  QSpinBox *ColumnsBox = nullptr, *RowsBox = nullptr;
  QPushButton *ComputeButton = nullptr, *CancelButton = nullptr;
  QLabel *StatusLabel = nullptr;
  AtlasView *View = nullptr;

private:
  void Poll();
  void Finish();
  void Redraw();

  DataLineArray Problem{};
  int Method = 0;
  AtlasFile Shown;
  std::unique_ptr<AtlasProgress> Progress;
  std::future<std::vector<AtlasTile>> Running;
  QTimer *Timer = nullptr;
};

// The atlas picture, scaled to the widget with its proportions kept.
class AtlasView final : public QWidget {
public:
  explicit AtlasView(QWidget *parent) : QWidget(parent) {}
  QImage Image;
  std::function<void(int x, int y)> OnClick; // in the picture's pixels
  // Where the picture stands in the widget.
  QRect Target() const;

protected:
  void paintEvent(QPaintEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
};

} // namespace tandor
