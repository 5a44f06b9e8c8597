// ExportActions and PictureTypeOf: the window's picture and locus written to files or the
// clipboard.

#include "ui/ExportActions.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QWidget>

#include "problem/FileReplacement.h"
#include "solvers/LocusCsv.h"
#include "ui/PictureFiles.h"

namespace tandor {

std::optional<PictureType> PictureTypeOf(const QString &path) {
  if (path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive))
    return PictureType::Png;
  if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive))
    return PictureType::Svg;
  return std::nullopt;
}

ExportActions::ExportActions(QWidget &window, Glob &glob, LocusSolvers &locus,
                             WindowDialogs &dialogs)
    : Window(window), G(glob), Locus(locus), Dialogs(dialogs) {}

void ExportActions::DrawPicture(Canvas &canvas, const PixelRect &rect) {
  Locus.Draw(Locus.LastMethod, canvas, rect, false, G);
  if (DrawOver)
    DrawOver(canvas, rect);
}

QImage ExportActions::PictureImage(int size) {
  auto draw = [this](Canvas &canvas, const PixelRect &rect) { DrawPicture(canvas, rect); };
  return DrawPictureImage(size, draw);
}

void ExportActions::ExportPicture() {
  if (!Ready())
    return;
  const PictureTarget target = Dialogs.AskPictureFile(&Window);
  if (!target.Path.isEmpty())
    WritePicture(target);
}

void ExportActions::WritePicture(const PictureTarget &target) {
  const std::optional<PictureType> type = PictureTypeOf(target.Path);
  if (!type) {
    Dialogs.ShowError(&Window,
                      QStringLiteral("%1: a picture is written as .png or .svg").arg(target.Path));
    return;
  }
  if (target.Size < 1 || target.Size > MaxPictureSize) {
    Dialogs.ShowError(&Window, QStringLiteral("%1: the size must be a whole number from 1 to %2")
                                   .arg(target.Path)
                                   .arg(MaxPictureSize));
    return;
  }
  auto draw = [this](Canvas &canvas, const PixelRect &rect) { DrawPicture(canvas, rect); };
  try {
    if (*type == PictureType::Png)
      WritePngPicture(target.Path.toStdString(), target.Size, draw);
    else
      WriteSvgPicture(target.Path.toStdString(), target.Size, draw);
  } catch (const FileError &e) {
    Dialogs.ShowError(&Window, QString::fromUtf8(e.what()));
  }
}

void ExportActions::ExportLocus() {
  if (!Ready())
    return;
  const LocusMethodSolver *solver = Locus.Solver(Locus.LastMethod);
  if (solver == nullptr)
    return;
  const QString path = Dialogs.AskLocusFile(&Window);
  if (path.isEmpty())
    return;
  try {
    WriteLocusCsv(*solver, path.toStdString());
  } catch (const FileError &e) {
    Dialogs.ShowError(&Window, QString::fromUtf8(e.what()));
  }
}

void ExportActions::CopyPicture() {
  if (!Ready())
    return;
  QGuiApplication::clipboard()->setImage(PictureImage(G.PictureRect.Width()));
}

} // namespace tandor
