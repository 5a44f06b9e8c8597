#pragma once
// ExportActions: File > Export Picture..., File > Export Locus... and Edit > Copy Picture. The
// result on the screen goes out through the writers tandor-cli uses, so a picture, a drawing or
// a CSV file from the window equals the command line's for the same problem.

#include <QString>
#include <functional>
#include <optional>

#include "base/PixelRect.h"
#include "problem/Glob.h"
#include "solvers/Canvas.h"
#include "solvers/LocusRun.h"
#include "ui/WindowDialogs.h"

class QImage;
class QWidget;

namespace tandor {

enum class PictureType { Png, Svg };

// By the file's suffix, whatever its case; none for any other suffix.
std::optional<PictureType> PictureTypeOf(const QString &path);

class ExportActions {
public:
  ExportActions(QWidget &window, Glob &glob, LocusSolvers &locus, WindowDialogs &dialogs);

  // Each does nothing before the first drawing and during a run; a failure shows the file and
  // the reason, and leaves any old file as it was.
  void ExportPicture();
  void ExportLocus();
  void CopyPicture();

  // The picture of the last drawing, whatever the fields now hold, filling rect: the printer's
  // drawing, which leaves the sibling rows of the screen alone, and what DrawOver adds.
  void DrawPicture(Canvas &canvas, const PixelRect &rect);
  // Drawn over the locus in every picture that goes out (the marks of the singular points).
  std::function<void(Canvas &, const PixelRect &)> DrawOver;
  QImage PictureImage(int size);

private:
  bool Ready() const { return G.Drawn && !G.Running; }
  void WritePicture(const PictureTarget &target);

  QWidget &Window;
  Glob &G;
  LocusSolvers &Locus;
  WindowDialogs &Dialogs;
};

} // namespace tandor
