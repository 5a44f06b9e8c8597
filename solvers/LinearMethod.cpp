// LinearMethod: the linear-case tracer as a method of the Draw-It run, bound to the compiled
// coordinate functions.

#include "formula/MapFunctions.h"
#include "solvers/LinearCase.h"
#include "solvers/LinearCaseTracer.h"
#include "solvers/LocusRun.h"

namespace tandor {

namespace {

double EvaluateCompiled(void *formula, const double *values) {
  return static_cast<const TOCFunctDDDoubleSafe *>(formula)->Evaluate(values);
}

class LinearMethod final : public LocusMethodSolver {
public:
  explicit LinearMethod(LinearResult &result) : Result(result) {}

  // The linear case runs to its end: control is never asked.
  void Compute(Glob &glob, MapFunctions &map, RunControl &) override {
    TraceLinearLocus(Tracer, map, glob, Result);
  }
  void Draw(Canvas &canvas, const PixelRect &rect, bool screen, Glob &glob,
            RunControl *control) override {
    DrawLinearLocus(glob, Result, canvas, rect, screen, control);
  }
  bool FindSibling(int x, int row, int &siblingX, int &siblingY) const override {
    return FindLinearSibling(Result, x, row, siblingX, siblingY);
  }
  const std::vector<TracePoint> *TracePoints() const override { return &Result.LinearTrace; }

private:
  TImplicitCurveLine3D Tracer;
  LinearResult &Result;
};

} // namespace

PlaneFunction CompiledFunction(const TOCFunctDDDoubleSafe &formula) {
  return {const_cast<TOCFunctDDDoubleSafe *>(&formula), &EvaluateCompiled};
}

void TraceLinearLocus(TImplicitCurveLine3D &tracer, MapFunctions &map, const Glob &glob,
                      LinearResult &result) {
  LinearCase problem(glob, result, CompiledFunction(map[1]), CompiledFunction(map[2]));
  TraceLinearLocus(tracer, problem, glob);
  map.Evaluations += problem.FunctionEvaluations / 2; // in points of D, as EvaluateMap counts
}

std::unique_ptr<LocusMethodSolver> MakeLinearSolver(LinearResult &result) {
  return std::make_unique<LinearMethod>(result);
}

} // namespace tandor
