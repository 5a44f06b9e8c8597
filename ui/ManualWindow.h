#pragma once
// The manual window: the user manual as read-only fixed-pitch text. Several may be open at once,
// none of them blocks the main window.

#include <QWidget>

class QLabel;
class QPlainTextEdit;

namespace tandor {

class TManual1 final : public QWidget {
  Q_OBJECT

public:
  TManual1();

  void OnCloseManual(bool &canClose);
  static QString ManualText();

  QLabel *titleLabel = nullptr;
  QLabel *NPLabel = nullptr;
  QLabel *Label2 = nullptr;
  QLabel *Label1 = nullptr;
  QPlainTextEdit *RichEdit1 = nullptr;

protected:
  void closeEvent(QCloseEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;
};

} // namespace tandor
