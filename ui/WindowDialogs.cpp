// QtWindowDialogs: the window's questions asked with Qt's dialogs.

#include "ui/WindowDialogs.h"

#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

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

void QtWindowDialogs::ShowError(QWidget *parent, const QString &message) {
  QMessageBox::critical(parent, QStringLiteral("Error"), message);
}

} // namespace tandor
