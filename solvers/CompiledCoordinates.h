#pragma once
// Binds the coordinate-function seam to the compiled x, y, z of MapFunctions. The derivative
// code of each function must have been generated after its last compile.

#include <cstdint>

#include "formula/MapFunctions.h"
#include "solvers/CoordinateEvaluator.h"

namespace tandor {

class CompiledCoordinates {
public:
  CompiledCoordinates() = default;
  explicit CompiledCoordinates(MapFunctions &functions) : Functions(&functions) {}
  void Bind(MapFunctions &functions) { Functions = &functions; }

  double Value(int c, double u, double v) {
    ++ValueEvaluations;
    const double uv[2] = {u, v};
    return (*Functions)[c].Evaluate(uv);
  }

  ValueAndDerivative WithDerivative(int c, double u, double v, double du, double dv) {
    ++DerivativeEvaluations;
    const double values[4] = {u, v, du, dv};
    const DerivativeResult r = (*Functions)[c].EvaluateWithDerivative(values);
    return {r.value, r.derivative};
  }

  // Statistics only: single-function evaluations of each kind.
  uint64_t ValueEvaluations = 0;
  uint64_t DerivativeEvaluations = 0;

private:
  MapFunctions *Functions = nullptr;
};

} // namespace tandor
