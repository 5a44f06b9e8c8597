// The linear case bound to the compiled coordinate functions. Kept apart from LinearCase.cpp so
// that code using plain C++ functions does not pull in the compiler.

#include "formula/MapFunctions.h"
#include "solvers/LinearCase.h"

namespace tandor {

namespace {

double EvaluateCompiled(void *formula, const double *values) {
  return static_cast<const TOCFunctDDDoubleSafe *>(formula)->Evaluate(values);
}

} // namespace

void TraceLinearLocus(TImplicitCurveLine3D &tracer, MapFunctions &map, Glob &glob) {
  LinearCase problem(glob, PlaneFunction(&map[1], &EvaluateCompiled),
                     PlaneFunction(&map[2], &EvaluateCompiled));
  TraceLinearLocus(tracer, problem, glob);
  map.Evaluations += problem.FunctionEvaluations / 2; // in points of D, as EvaluateMap counts
}

} // namespace tandor
