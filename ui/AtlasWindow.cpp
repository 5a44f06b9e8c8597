// AtlasWindow and AtlasView: the parameter atlas's window.

#include "ui/AtlasWindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <thread>

#include "analysis/AtlasDrawing.h"
#include "formula/InputError.h"
#include "ui/QtCanvas.h"

namespace tandor {

AtlasWindow::AtlasWindow(QWidget *parent) : QWidget(parent, Qt::Window) {
  setWindowTitle(QStringLiteral("Parameter Atlas"));
  setObjectName(QStringLiteral("AtlasWindow"));
  auto *layout = new QVBoxLayout(this);
  auto *row = new QHBoxLayout;
  auto spin = [this](int value) {
    auto *box = new QSpinBox(this);
    box->setRange(2, 16);
    box->setValue(value);
    return box;
  };
  ColumnsBox = spin(6);
  RowsBox = spin(6);
  row->addWidget(new QLabel(QStringLiteral("Grid"), this));
  row->addWidget(ColumnsBox);
  row->addWidget(new QLabel(QStringLiteral("x"), this));
  row->addWidget(RowsBox);
  ComputeButton = new QPushButton(QStringLiteral("Compute"), this);
  CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
  CancelButton->setEnabled(false);
  row->addWidget(ComputeButton);
  row->addWidget(CancelButton);
  StatusLabel = new QLabel(this);
  row->addWidget(StatusLabel, 1);
  layout->addLayout(row);
  View = new AtlasView(this);
  View->setMinimumSize(200, 200);
  layout->addWidget(View, 1);
  resize(660, 720);

  Timer = new QTimer(this);
  Timer->setInterval(100);
  connect(Timer, &QTimer::timeout, this, [this] { Poll(); });
  connect(ComputeButton, &QPushButton::clicked, this, [this] { Compute(Problem, Method); });
  connect(CancelButton, &QPushButton::clicked, this, [this] { Cancel(); });
  View->OnClick = [this](int x, int y) {
    const std::optional<int> index = AtlasLayout(Shown.Request).TileAt(x, y);
    if (!index || !OnTileChosen)
      return;
    for (const AtlasTile &tile : Shown.Tiles)
      if (tile.Index == *index)
        OnTileChosen(tile.Pq);
  };
}

AtlasWindow::~AtlasWindow() {
  // No worker may outlive the window that owns its progress.
  Cancel();
}

void AtlasWindow::Compute(const DataLineArray &problem, int method) {
  Cancel();
  Problem = problem;
  Method = method;
  Shown = {};
  Shown.Request.Lines = problem;
  Shown.Request.Method = method;
  Shown.Request.Columns = ColumnsBox->value();
  Shown.Request.Rows = RowsBox->value();
  Progress = std::make_unique<AtlasProgress>();
  const int jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  Running =
      std::async(std::launch::async, [request = Shown.Request, jobs, progress = Progress.get()] {
        return ComputeAtlas(request, jobs, *progress);
      });
  ComputeButton->setEnabled(false);
  CancelButton->setEnabled(true);
  StatusLabel->setText(QStringLiteral("0 of %1 tiles").arg(Shown.Request.TileCount()));
  Redraw();
  Timer->start();
}

void AtlasWindow::Cancel() {
  if (!Running.valid())
    return;
  Progress->Cancel = true;
  Finish();
  StatusLabel->setText(StatusLabel->text() + QStringLiteral(", cancelled"));
}

void AtlasWindow::Poll() {
  if (!Running.valid())
    return;
  if (Running.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
    Finish();
    return;
  }
  StatusLabel->setText(
      QStringLiteral("%1 of %2 tiles").arg(Progress->Done.load()).arg(Shown.Request.TileCount()));
}

void AtlasWindow::Finish() {
  Timer->stop();
  try {
    Shown.Tiles = Running.get();
    StatusLabel->setText(
        QStringLiteral("%1 of %2 tiles").arg(Shown.Tiles.size()).arg(Shown.Request.TileCount()));
  } catch (const std::exception &e) {
    StatusLabel->setText(QString::fromUtf8(e.what()));
  }
  Running = {};
  ComputeButton->setEnabled(true);
  CancelButton->setEnabled(false);
  Redraw();
}

void AtlasWindow::Redraw() {
  const AtlasLayout layout(Shown.Request);
  View->Image = QImage(layout.Width(), layout.Height(), QImage::Format_RGB32);
  View->Image.fill(Qt::white);
  {
    QPainter painter(&View->Image);
    QtCanvas canvas(painter);
    DrawAtlas(canvas, Shown);
  }
  View->update();
}

QRect AtlasView::Target() const {
  if (Image.isNull())
    return {};
  const QSize size = Image.size().scaled(this->size(), Qt::KeepAspectRatio);
  return {QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size};
}

void AtlasView::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  if (!Image.isNull()) {
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(Target(), Image);
  }
}

void AtlasView::mousePressEvent(QMouseEvent *event) {
  const QRect target = Target();
  if (!OnClick || target.isEmpty() || event->button() != Qt::LeftButton)
    return;
  const QPointF at = event->position() - QPointF(target.topLeft());
  OnClick(static_cast<int>(at.x() * Image.width() / target.width()),
          static_cast<int>(at.y() * Image.height() / target.height()));
}

} // namespace tandor
