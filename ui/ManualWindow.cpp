// TManual1: the manual window.

#include "ui/ManualWindow.h"

#include <QCloseEvent>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>

#include "ui/QtCanvas.h"

// The manual lives in a resource of a static library, which must be registered by hand.
static void RegisterManualResource() {
  Q_INIT_RESOURCE(tandor);
}

namespace tandor {

namespace {

// Client area of a window whose outer size is 423 x 492, with a 4-pixel border and a 23-pixel
// caption bar.
constexpr int StartWidth = 423 - 2 * 4;
constexpr int StartHeight = 492 - 2 * 4 - 23;
constexpr QRect StartText(8, 88, 400, 365);

QLabel *MakeLabel(QWidget *parent, int left, int top, const QString &text, const FontSpec &font,
                  QColor colour) {
  auto *label = new QLabel(text, parent);
  label->setFont(MakeFont(font));
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, colour);
  label->setPalette(palette);
  label->move(left, top);
  label->adjustSize();
  return label;
}

} // namespace

QString TManual1::ManualText() {
  RegisterManualResource();
  QFile file(QStringLiteral(":/tandor/Manual.txt"));
  if (!file.open(QIODevice::ReadOnly))
    return {};
  return QString::fromUtf8(file.readAll());
}

TManual1::TManual1() {
  setAttribute(Qt::WA_DeleteOnClose);
  // Only the main window's closing ends the program.
  setAttribute(Qt::WA_QuitOnClose, false);
  setWindowTitle(QStringLiteral("Tandor Manual"));
  setFont(MakeFont({"MS Sans Serif", 11, false}));
  resize(StartWidth, StartHeight);
  move(135, 251);

  const QColor navy(0, 0, 128);
  titleLabel = MakeLabel(this, 8, 8, QStringLiteral("Tandor"), {"MS Sans Serif", 19, true},
                         QColor(128, 0, 0));
  NPLabel = MakeLabel(this, 144, 14, QStringLiteral("Version 1.0.0, December 2026"),
                      {"Tahoma", 13, true}, navy);
  Label2 = MakeLabel(this, 8, 36, QStringLiteral("Double points of maps from R^2 to R^3"),
                     {"Tahoma", 15, true}, navy);
  Label1 = MakeLabel(this, 8, 68, QStringLiteral("Manual:"), {"Tahoma", 15, true}, Qt::black);

  RichEdit1 = new QPlainTextEdit(this);
  RichEdit1->setGeometry(StartText);
  RichEdit1->setFont(MakeFont({"Courier New", 11, false}));
  RichEdit1->setReadOnly(true);
  RichEdit1->setLineWrapMode(QPlainTextEdit::NoWrap);
  RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  RichEdit1->setTabChangesFocus(true);
  RichEdit1->setPlainText(ManualText());
  RichEdit1->setFocus();
}

void TManual1::OnCloseManual(bool &canClose) {
  canClose = true;
}

void TManual1::closeEvent(QCloseEvent *event) {
  bool canClose = true;
  OnCloseManual(canClose);
  if (canClose)
    event->accept(); // WA_DeleteOnClose frees the window once this event is over
  else
    event->ignore();
}

void TManual1::resizeEvent(QResizeEvent *event) {
  // The text keeps its distance to all four sides; the labels stay where they are.
  QWidget::resizeEvent(event);
  RichEdit1->setGeometry(StartText.left(), StartText.top(),
                         width() - (StartWidth - StartText.width()),
                         height() - (StartHeight - StartText.height()));
}

} // namespace tandor
