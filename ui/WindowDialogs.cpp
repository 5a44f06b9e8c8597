// QtWindowDialogs: the window's questions asked with Qt's dialogs.

#include "ui/WindowDialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

#include "ui/PictureFiles.h"

namespace tandor {

namespace {

// Qt takes the only button of the rejecting kind, No, as the box's escape button: Escape and the
// close button of the box's frame would answer No and throw the unsaved work away. Here they
// answer nothing, and the question counts as not answered.
class QuestionBox final : public QMessageBox {
public:
  using QMessageBox::QMessageBox;

protected:
  void keyPressEvent(QKeyEvent *event) override {
    if (event->matches(QKeySequence::Cancel)) {
      reject();
      return;
    }
    QMessageBox::keyPressEvent(event);
  }
  void closeEvent(QCloseEvent *event) override { QDialog::closeEvent(event); }
};

} // namespace

QString QtWindowDialogs::AskOpenFileName(QWidget *parent) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilter(TandorFileFilter);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return {};
  return dialog.selectedFiles().first();
}

QString QtWindowDialogs::AskSaveFileName(QWidget *parent) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilter(TandorFileFilter);
  dialog.setDefaultSuffix(QStringLiteral("tdr"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return {};
  return dialog.selectedFiles().first();
}

WindowDialogs::Answer QtWindowDialogs::AskYesNo(QWidget *parent, const QString &question) {
  QuestionBox box(QMessageBox::Question, QStringLiteral("Confirm"), question,
                  QMessageBox::Yes | QMessageBox::No, parent);
  box.exec();
  const QAbstractButton *clicked = box.clickedButton();
  if (clicked == box.button(QMessageBox::Yes))
    return Answer::Yes;
  if (clicked == box.button(QMessageBox::No))
    return Answer::No;
  return Answer::Dismissed;
}

bool QtWindowDialogs::SetUpPrinter(QWidget *parent, QPrinter &printer) {
  QPrintDialog dialog(&printer, parent);
  dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
  return dialog.exec() == QDialog::Accepted;
}

PictureTarget QtWindowDialogs::AskPictureFile(QWidget *parent) {
  static const QString Png = QStringLiteral("PNG Picture (*.png)");
  static const QString Svg = QStringLiteral("SVG Drawing (*.svg)");
  QFileDialog dialog(parent, QStringLiteral("Export Picture"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters({Png, Svg});
  dialog.setDefaultSuffix(QStringLiteral("png"));
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString &f) {
    dialog.setDefaultSuffix(f == Svg ? QStringLiteral("svg") : QStringLiteral("png"));
  });
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return {};
  PictureTarget target{dialog.selectedFiles().first(), 400};
  if (!target.Path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive))
    return target;
  bool ok = false;
  target.Size = QInputDialog::getInt(parent, QStringLiteral("Export Picture"),
                                     QStringLiteral("Width and height in pixels:"), 400, 1,
                                     MaxPictureSize, 100, &ok);
  return ok ? target : PictureTarget{};
}

QString QtWindowDialogs::AskLocusFile(QWidget *parent) {
  QFileDialog dialog(parent, QStringLiteral("Export Locus"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilter(QStringLiteral("CSV File (*.csv);;All Files (*)"));
  dialog.setDefaultSuffix(QStringLiteral("csv"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return {};
  return dialog.selectedFiles().first();
}

void QtWindowDialogs::ShowError(QWidget *parent, const QString &message) {
  QMessageBox::critical(parent, QStringLiteral("Error"), message);
}

} // namespace tandor
