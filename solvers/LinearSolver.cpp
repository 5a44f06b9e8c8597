// The linear-case tracer as a method of the Draw-It run.

#include "solvers/FSpImplicitCurveLine3D.h"
#include "solvers/LinearCase.h"
#include "solvers/LocusRun.h"

namespace tandor {

namespace {

class LinearSolver final : public LocusMethodSolver {
public:
  // The linear case runs to its end: control is never asked.
  void Compute(Glob &glob, MapFunctions &map, RunControl &) override {
    TraceLinearLocus(Tracer, map, glob);
  }
  void Draw(Canvas &canvas, const PixelRect &rect, bool screen, Glob &glob,
            RunControl *control) override {
    DrawLinearLocus(glob, canvas, rect, screen, control);
    if (screen)
      SiblingSource = &glob;
  }
  bool FindSibling(int x, int row, int &siblingX, int &siblingY) const override {
    return SiblingSource != nullptr &&
           FindLinearSibling(*SiblingSource, x, row, siblingX, siblingY);
  }
  const std::vector<TracePoint> *TracePoints(const Glob &glob) const override {
    return &glob.LinearTrace;
  }

private:
  TImplicitCurveLine3D Tracer;
  const Glob *SiblingSource = nullptr; // the state whose LinearSiblingRows the screen drawing built
};

} // namespace

std::unique_ptr<LocusMethodSolver> MakeLinearSolver() {
  return std::make_unique<LinearSolver>();
}

} // namespace tandor
