// SurfaceWindow and QtSurfaceDialogs: the "3D View" window, its menus and its export.

#include "ui/SurfaceWindow.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QImage>
#include <QInputDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSaveFile>
#include <new>

#include "ui/SurfaceView.h"

namespace tandor {

namespace {

constexpr int MaxPictureSide = 16384;

QImage ToImage(const RgbaImage &picture) {
  const QImage view(picture.Pixels.data(), picture.Width, picture.Height, 4 * picture.Width,
                    QImage::Format_RGBA8888);
  return view.convertToFormat(QImage::Format_RGB32); // a copy that owns its pixels
}

} // namespace

QSize ParsePictureSize(const QString &text) {
  static const QRegularExpression pattern(
      QStringLiteral(R"(^\s*(\d{1,6})\s*(?:[xX]\s*(\d{1,6}))?\s*$)"));
  const QRegularExpressionMatch match = pattern.match(text);
  if (!match.hasMatch())
    return {};
  const int width = match.captured(1).toInt();
  const int height = match.captured(2).isEmpty() ? width : match.captured(2).toInt();
  if (width < 1 || height < 1 || width > MaxPictureSide || height > MaxPictureSide)
    return {};
  return {width, height};
}

SurfaceDialogs::ExportChoice QtSurfaceDialogs::AskExport(QWidget *parent, QSize current) {
  QFileDialog dialog(parent, QStringLiteral("Export 3D View"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilter(QStringLiteral("PNG Picture (*.png);;All Files (*)"));
  dialog.setDefaultSuffix(QStringLiteral("png"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return {};
  const QString path = dialog.selectedFiles().first();
  QString text = QStringLiteral("%1 x %2").arg(current.width()).arg(current.height());
  for (;;) {
    bool ok = false;
    text = QInputDialog::getText(parent, QStringLiteral("Export 3D View"),
                                 QStringLiteral("Size in pixels (width x height):"),
                                 QLineEdit::Normal, text, &ok);
    if (!ok)
      return {};
    const QSize size = ParsePictureSize(text);
    if (size.isValid())
      return {path, size};
    ShowError(parent, QStringLiteral("The size must be one or two whole numbers from 1 to %1, "
                                     "such as 800 x 600.")
                          .arg(MaxPictureSide));
  }
}

void QtSurfaceDialogs::ShowError(QWidget *parent, const QString &message) {
  QMessageBox::critical(parent, QStringLiteral("Error"), message);
}

SurfaceWindow::SurfaceWindow(std::unique_ptr<SurfaceDialogs> dialogs)
    : Dialogs(dialogs ? std::move(dialogs) : std::make_unique<QtSurfaceDialogs>()) {
  setWindowTitle(QStringLiteral("3D View"));
  setObjectName(QStringLiteral("SurfaceWindow"));
  // The main window alone decides when the program ends.
  setAttribute(Qt::WA_QuitOnClose, false);
  const QString missing = SurfaceView::MissingOpenGl();
  if (missing.isEmpty()) {
    View = new SurfaceView(this);
  } else {
    // A view outside the window, never shown, for the main window to talk to: an OpenGL widget
    // inside it would make the window itself want OpenGL.
    Unshown = std::make_unique<SurfaceView>();
    View = Unshown.get();
  }
  View->setObjectName(QStringLiteral("SurfaceView"));
  BuildMenus();
  if (missing.isEmpty()) {
    setCentralWidget(View);
  } else {
    auto *notice = new QLabel(QStringLiteral("The 3D view cannot be shown: %1.").arg(missing));
    notice->setObjectName(QStringLiteral("SurfaceNotice"));
    notice->setAlignment(Qt::AlignCenter);
    notice->setWordWrap(true);
    notice->setMinimumSize(SurfaceWindow::StartSize, SurfaceWindow::StartSize);
    setCentralWidget(notice);
    Export1->setEnabled(false);
  }
  resize(StartSize, StartSize + menuBar()->sizeHint().height());
}

SurfaceWindow::~SurfaceWindow() = default;

void SurfaceWindow::BuildMenus() {
  QMenu *file = menuBar()->addMenu(QStringLiteral("File"));
  Export1 = file->addAction(QStringLiteral("Export 3D View..."), this, &SurfaceWindow::OnExport);
  file->addSeparator();
  Close1 = file->addAction(QStringLiteral("Close"), this, &QWidget::close);
  Close1->setShortcut(QKeySequence::Close);

  QMenu *view = menuBar()->addMenu(QStringLiteral("View"));
  auto addToggle = [&](const char *caption, bool &option) {
    QAction *item = view->addAction(QString::fromUtf8(caption));
    item->setCheckable(true);
    item->setChecked(option);
    connect(item, &QAction::toggled, this, [this, &option](bool on) {
      option = on;
      View->update();
    });
    return item;
  };
  Wireframe1 = addToggle("Wireframe", View->Options.Wireframe);
  Wireframe1->setShortcut(QKeySequence(Qt::Key_W));
  Axes1 = addToggle("Axes", View->Options.Axes);
  view->addSeparator();
  ResetView1 = view->addAction(QStringLiteral("Reset View"), View, &SurfaceView::ResetView);
  ResetView1->setShortcut(QKeySequence(Qt::Key_Home));
}

void SurfaceWindow::OnExport() {
  const qreal ratio = View->devicePixelRatioF();
  const QSize current(qRound(View->width() * ratio), qRound(View->height() * ratio));
  const SurfaceDialogs::ExportChoice choice = Dialogs->AskExport(this, current);
  if (choice.Path.isEmpty())
    return;
  const QString problem = ExportView(choice.Path, choice.Size);
  if (!problem.isEmpty())
    Dialogs->ShowError(this, problem);
}

QString SurfaceWindow::ExportView(const QString &path, QSize size) {
  QImage image;
  try {
    image = ToImage(View->RenderPicture(size.width(), size.height()));
  } catch (const SceneError &e) {
    return QStringLiteral("Cannot export the 3D view: %1").arg(QString::fromStdString(e.what()));
  } catch (const std::bad_alloc &) {
    return QStringLiteral("Cannot export the 3D view: there is not enough memory for a picture "
                          "of %1 x %2 pixels")
        .arg(size.width())
        .arg(size.height());
  }
  // Written beside the target and renamed over it: an old picture stays whole until the new
  // one is complete.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit())
    return QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
  return {};
}

void SurfaceWindow::closeEvent(QCloseEvent *event) {
  event->accept();
  if (OnClosed)
    OnClosed();
}

} // namespace tandor
