// The Descent tracer as a method of the Draw-It run.

#include "solvers/FTandorR2R3.h"
#include "solvers/LocusRun.h"

namespace tandor {

namespace {

class DescentSolver final : public LocusMethodSolver {
public:
  void Compute(Glob &glob, MapFunctions &map, RunControl &control) override {
    Evaluate.Map = &map;
    Tracer->TraceLocus(Evaluate, glob.DomainLow, RunTolerance, glob.DomainHigh, glob.CoarseCount,
                       RunFineCount, static_cast<double>(glob.PixelLength), control);
  }
  void Draw(Canvas &canvas, const PixelRect &rect, bool screen, Glob &glob) override {
    Tracer->DrawLocus(canvas, rect, screen, glob.DomainLow, glob.DomainHigh);
  }
  bool FindSibling(int x, int row, int &siblingX, int &siblingY) const override {
    return Tracer->FindSibling(x, row, siblingX, siblingY);
  }
  const std::vector<TracePoint> *TracePoints(const Glob &) const override {
    return &Tracer->TraceList;
  }

private:
  struct EvaluateMap {
    MapFunctions *Map = nullptr;
    void operator()(double &x, double &y, double &z, double u, double v) const {
      Map->EvaluateMap(x, y, z, u, v);
    }
  };
  EvaluateMap Evaluate;
  // On the heap: the sample table alone is some 220 KB.
  std::unique_ptr<TTandorR2R3> Tracer = std::make_unique<TTandorR2R3>();
};

} // namespace

std::unique_ptr<LocusMethodSolver> MakeDescentSolver() {
  return std::make_unique<DescentSolver>();
}

} // namespace tandor
