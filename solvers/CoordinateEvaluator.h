#pragma once
// CoordinateEvaluator: a non-owning reference to the three coordinate functions of F taken one at
// a time: the value F_c(u, v), and the value with the directional derivative
// du * dF_c/du + dv * dF_c/dv. The program binds it to the compiled functions
// (solvers/CompiledCoordinates.h), tests to plain C++ maps with analytic derivatives. Two routine
// references to the same object: no allocation, one indirect call per evaluation.

#include <type_traits>

#include "base/RoutineRef.h"

namespace tandor {

struct ValueAndDerivative {
  double Value = 0.0;
  double Derivative = 0.0;
};

class CoordinateEvaluator {
public:
  CoordinateEvaluator() = default;

  // F needs double Value(int c, double u, double v) and
  // ValueAndDerivative WithDerivative(int c, double u, double v, double du, double dv),
  // c = 0, 1, 2 for x, y, z.
  template <class F>
  requires(!std::is_same_v<std::remove_cvref_t<F>, CoordinateEvaluator>)
      CoordinateEvaluator(F &f) // NOLINT: implicit on purpose, it is a reference
      : ValueCall(static_cast<void *>(&f),
                  [](void *context, int c, double u, double v) {
                    return static_cast<F *>(context)->Value(c, u, v);
                  }),
        DerivativeCall(static_cast<void *>(&f),
                       [](void *context, int c, double u, double v, double du, double dv) {
                         return static_cast<F *>(context)->WithDerivative(c, u, v, du, dv);
                       }) {}

  double Value(int c, double u, double v) const { return ValueCall(c, u, v); }
  ValueAndDerivative WithDerivative(int c, double u, double v, double du, double dv) const {
    return DerivativeCall(c, u, v, du, dv);
  }
  explicit operator bool() const { return static_cast<bool>(ValueCall); }

private:
  RoutineRef<double(int, double, double)> ValueCall;
  RoutineRef<ValueAndDerivative(int, double, double, double, double)> DerivativeCall;
};

} // namespace tandor
