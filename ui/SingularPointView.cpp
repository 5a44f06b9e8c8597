// SingularPointView: the search after a run, the marks in the picture, the count and the mark
// under the mouse in the status bar, the marks and the count on a printed page.

#include "ui/SingularPointView.h"

#include <QPainter>
#include <QStatusBar>

#include "analysis/SingularPointMarks.h"
#include "ui/QtCanvas.h"

namespace tandor {

void SingularPointView::AfterRun(bool searched, const LocusSolvers &solvers, LocusMethod method,
                                 const Glob &glob, MapFunctions &map, RunControl &control) {
  Searched = searched;
  Low = glob.DomainLow;
  High = glob.DomainHigh;
  Rect = glob.PictureRect;
  if (searched)
    Analysis.Analyse(solvers, method, glob, map, control);
  else
    Analysis.Stopped();
  // Shares the pixels until the marks are drawn: a picture without points costs no copy.
  LocusOnly = Picture;
  if (Visible)
    DrawMarks();
}

bool SingularPointView::HaveMarks() const {
  const SingularPoints &p = Points();
  return Searched && (!p.CrossCaps.empty() || !p.Triples.empty());
}

void SingularPointView::DrawMarks() {
  if (!HaveMarks())
    return;
  QPainter painter(&Picture);
  QtCanvas canvas(painter);
  DrawSingularPoints(canvas, Rect, Low, High, Points());
}

void SingularPointView::SetShown(bool shown) {
  if (shown == Visible)
    return;
  Visible = shown;
  if (LocusOnly.isNull())
    return; // no run yet
  Picture = LocusOnly;
  if (Visible)
    DrawMarks();
}

QString SingularPointView::CountText() const {
  if (!Visible || !Searched || !Points().Complete)
    return {};
  return QString::fromStdString(tandor::CountText(Points()));
}

void SingularPointView::ShowCount(QStatusBar &bar) const {
  const QString count = CountText();
  if (!count.isEmpty())
    bar.showMessage(count);
}

QString SingularPointView::MarkTextAt(int x, int y) const {
  if (!Visible || !Searched)
    return {};
  const std::optional<Mark> mark = MarkAt(x, y, Rect, Low, High, Points());
  return mark ? QString::fromStdString(MarkText(*mark)) : QString();
}

void SingularPointView::DrawMarksInto(Canvas &canvas, const PixelRect &rect) const {
  if (Visible && HaveMarks())
    DrawSingularPoints(canvas, rect, Low, High, Points());
}

std::vector<std::string> SingularPointView::PageLines() const {
  const QString count = CountText();
  if (count.isEmpty())
    return {};
  return {count.toStdString()};
}

} // namespace tandor
