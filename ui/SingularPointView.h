#pragma once
// SingularPointView: the singular points in the window (View > Singular Points). After every run
// it searches the run's result, draws the marks into the picture over the locus, and gives the
// count for the status bar, the text of the mark under the mouse and what a printed page adds.

#include <QImage>
#include <QString>
#include <string>
#include <vector>

#include "analysis/RunAnalysis.h"
#include "solvers/PrintedPage.h"

class QStatusBar;

namespace tandor {

class SingularPointView {
public:
  // picture is the window's picture, which the marks are drawn into.
  explicit SingularPointView(QImage &picture) : Picture(picture) {}

  // After a run whose locus is in the picture: the search (none when the run was stopped or
  // computed nothing), then the marks. Stop during the search ends it with the points verified
  // so far marked and no count.
  void AfterRun(bool searched, const LocusSolvers &solvers, LocusMethod method, const Glob &glob,
                MapFunctions &map, RunControl &control);

  // View > Singular Points: the marks come off the picture or go back on, and the count with
  // them.
  void SetShown(bool shown);
  bool Shown() const { return Visible; }

  // The count for the status bar; empty while the marks are hidden and after a search that did
  // not finish.
  QString CountText() const;
  // Puts the count in the status bar, when there is one to show.
  void ShowCount(QStatusBar &bar) const;
  // What the mark under the pixel (x, y) of the picture is, with its (u, v) and (x, y, z); empty
  // where there is no mark shown.
  QString MarkTextAt(int x, int y) const;

  // The marks over a drawing of the locus in another rectangle (a printed page's square, an
  // export of another size), and the count for under a printed page's text; nothing while the
  // marks are hidden.
  void DrawMarksInto(Canvas &canvas, const PixelRect &rect) const;
  std::vector<std::string> PageLines() const;

  const SingularPoints &Points() const { return Analysis.Result(); }

private:
  void DrawMarks();
  bool HaveMarks() const;

  QImage &Picture;
  QImage LocusOnly; // the picture as the method drew it, without marks
  SingularPointAnalysis Analysis;
  Vector2 Low{}, High{}; // D of the run that found the points
  PixelRect Rect{0, 0, 400, 400};
  bool Searched = false;
  bool Visible = true;
};

} // namespace tandor
