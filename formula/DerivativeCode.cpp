// The value-and-derivative evaluator: Postfix translated into forward-mode x87 code.

#include <limits>

#include "formula/ExecutableBlock.h"
#include "formula/OCFunctDDDoubleSafe.h"

namespace tandor {

void TOCFunctDDDoubleSafe::GenerateDerivativeCode() {
  DerivativeCode.clear();
  DerivativeEntry = nullptr;
  DerivativeBlock.reset();
}

DerivativeResult TOCFunctDDDoubleSafe::EvaluateWithDerivative(const double *values) {
  if (DerivativeEntry == nullptr) {
    if (!Compiled)
      return {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN()};
    return EvaluateWithDerivativeReference(values);
  }
  const long double value = DerivativeEntry(values, 2 * VariableCount - 1);
  return {static_cast<double>(value), DerivativeSlots[1]};
}

} // namespace tandor
