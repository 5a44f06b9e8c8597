#pragma once
// Every question the main window asks a person, behind one small interface so that tests can
// answer them. QtWindowDialogs asks with the ordinary Qt dialogs.

#include <QString>

class QPrinter;
class QWidget;

namespace tandor {

// "All Files" must show every file; here names need not hold a dot, so its pattern is * where
// *.* would hide files such as "surface".
inline const QString TandorFileFilter = QStringLiteral("Tandor File (*.tdr);;All Files (*)");

// Where File > Export Picture writes: a .png of Size x Size pixels, or a .svg.
struct PictureTarget {
  QString Path; // empty when cancelled
  int Size = 400;
};

class WindowDialogs {
public:
  enum class Answer { Yes, No, Dismissed };

  virtual ~WindowDialogs() = default;
  // An existing file to open; empty when cancelled.
  virtual QString AskOpenFileName(QWidget *parent) = 0;
  // A file to save into, ".tdr" added when no suffix was typed; empty when cancelled.
  virtual QString AskSaveFileName(QWidget *parent) = 0;
  virtual Answer AskYesNo(QWidget *parent, const QString &question) = 0;
  // Lets the user choose a printer (or a PDF file) and the copies; false when cancelled.
  virtual bool SetUpPrinter(QWidget *parent, QPrinter &printer) = 0;
  virtual void ShowError(QWidget *parent, const QString &message) = 0;
  // A file for the picture, its type chosen by the filter (or the suffix typed) and, for a PNG,
  // its size in pixels.
  virtual PictureTarget AskPictureFile(QWidget *parent) = 0;
  // A file for the locus, ".csv" added when no suffix was typed; empty when cancelled.
  virtual QString AskLocusFile(QWidget *parent) = 0;
};

class QtWindowDialogs final : public WindowDialogs {
public:
  QString AskOpenFileName(QWidget *parent) override;
  QString AskSaveFileName(QWidget *parent) override;
  Answer AskYesNo(QWidget *parent, const QString &question) override;
  bool SetUpPrinter(QWidget *parent, QPrinter &printer) override;
  void ShowError(QWidget *parent, const QString &message) override;
  PictureTarget AskPictureFile(QWidget *parent) override;
  QString AskLocusFile(QWidget *parent) override;
};

} // namespace tandor
