#pragma once
// The printed page (PageLayout, PrintData, DrawPrintedPage): its layout, the locus in its framed
// square, the title and file line, and the problem's text written with long formulas broken at
// sensible places. Written against Canvas so the same code prints on a QPrinter and draws in
// tandor-cli and in tests on any canvas.

#include <span>
#include <string>
#include <string_view>

#include "base/RoutineRef.h"
#include "problem/Glob.h"
#include "solvers/Canvas.h"
#include "solvers/LocusRun.h"

namespace tandor {

// Where things go on a page of width W and height H (printer pixels).
struct PageLayout {
  PixelRect Square; // the picture of D, framed
  int LineStep = 0;
  static PageLayout For(int pageWidth, int pageHeight);
};

// The file line: "Untitled" without a file, else the name without folder and ".tdr" ending.
std::string PrintedFileName(std::string_view fileName);

// Writes text from x = square.Left, breaking it into lines that end before x = square.Right -
// square.Left. The head (up to and including the character after the first '=', else '<', else
// '>') stands on the first line; later lines are indented by its width. On return y is the top
// of the last line written.
void WriteBrokenText(Canvas &canvas, std::string_view text, int &y, const PixelRect &square,
                     int lineStep);

// The title, the file line and the text block of the problem in dataLines, placed around the
// square of a PageLayout; extraLines follow the block, one line step apart. Given the page's
// height, a text block that would run past it is set smaller until it ends on the page.
void PrintData(Canvas &canvas, const PixelRect &square, const DataLineArray &dataLines,
               std::string_view fileName, int pageHeight = 0,
               std::span<const std::string> extraLines = {});

// What the layers above the solvers add to a page, which this code cannot know: a drawing over
// the locus (clipped to the square, before the frame) and lines after the problem's text.
struct PageAdditions {
  RoutineRef<void(Canvas &, const PixelRect &)> OverLocus;
  std::span<const std::string> Lines;
};

// One page of pageWidth x pageHeight (printer pixels): the result of method drawn into the
// page's square on white, as on a printer (no sibling rows), the additions drawn over it, the
// square framed in black, then the problem's text (the DataLines and FileName of glob) by
// PrintData with the additions' lines.
void DrawPrintedPage(Canvas &canvas, int pageWidth, int pageHeight, LocusSolvers &locus,
                     LocusMethod method, Glob &glob, const PageAdditions &additions = {});

} // namespace tandor
