// The value evaluator: Postfix translated into straight-line x87 code.

#include "formula/ExecutableBlock.h"
#include "formula/OCFunctDDDoubleSafe.h"

namespace tandor {

void TOCFunctDDDoubleSafe::GenerateValueCode() {
  // The derivative evaluator refers to the slots being resized: it is stale from here on.
  DerivativeEntry = nullptr;
  DerivativeBlock.reset();
  DerivativeSlots.assign(static_cast<std::size_t>(MaxStackDepth()) + 1, 0.0);
  ValueCode.clear();
  ValueEntry = nullptr;
  ValueBlock.reset();
}

} // namespace tandor
