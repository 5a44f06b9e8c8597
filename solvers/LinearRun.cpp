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

PlaneFunction CompiledFunction(const TOCFunctDDDoubleSafe &formula) {
  return {const_cast<TOCFunctDDDoubleSafe *>(&formula), &EvaluateCompiled};
}

void TraceLinearLocus(TImplicitCurveLine3D &tracer, MapFunctions &map, Glob &glob) {
  LinearCase problem(glob, CompiledFunction(map[1]), CompiledFunction(map[2]));
  TraceLinearLocus(tracer, problem, glob);
  map.Evaluations += problem.FunctionEvaluations / 2; // in points of D, as EvaluateMap counts
}

} // namespace tandor
