#pragma once
// The drawing, sibling display and result of the two D x D tracers, as methods of the run.

#include <memory>

#include "solvers/LocusRun.h"
#include "solvers/PairTracer.h"

namespace tandor {

template <class TracerType> class PairTracerSolver : public LocusMethodSolver {
public:
  void Draw(Canvas &canvas, const PixelRect &rect, bool screen, Glob &glob,
            RunControl *control) override {
    Tracer->DrawLocus(canvas, rect, screen, glob.DomainLow, glob.DomainHigh, control);
  }
  bool FindSibling(int x, int row, int &siblingX, int &siblingY) const override {
    return Tracer->FindSibling(x, row, siblingX, siblingY);
  }
  const std::vector<TracePoint> *TracePoints() const override { return &Tracer->TraceList; }

protected:
  // On the heap: the sample table alone is some 220 KB.
  std::unique_ptr<TracerType> Tracer = std::make_unique<TracerType>();
};

} // namespace tandor
