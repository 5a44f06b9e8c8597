// The gradual-descent tracer as a method of the Draw-It run.

#include "solvers/CompiledCoordinates.h"
#include "solvers/FImplicitCurve4D.h"
#include "solvers/LocusRun.h"

namespace tandor {

namespace {

class GradualSolver final : public LocusMethodSolver {
public:
  GradualSolver() { Tracer->BindEvaluators(Evaluate, Coordinates); }

  void Compute(Glob &glob, MapFunctions &map, RunControl &control) override {
    Evaluate.Map = &map;
    Coordinates.Bind(map);
    Tracer->TraceLocus(glob.DomainLow, glob.DomainHigh, RunTolerance, glob.CoarseCount,
                       static_cast<double>(glob.PixelLength), control);
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
  CompiledCoordinates Coordinates;
  // On the heap: the sample table and the visit grid are some 380 KB.
  std::unique_ptr<TImplicitCurve4D> Tracer = std::make_unique<TImplicitCurve4D>();
};

} // namespace

std::unique_ptr<LocusMethodSolver> MakeGradualSolver() {
  return std::make_unique<GradualSolver>();
}

} // namespace tandor
