// The value evaluator: Postfix translated into straight-line x87 code, one sequence per token.

#include "formula/EvaluatorPlan.h"
#include "formula/FormulaCompiler.h"
#include "formula/ValueProgram.h"
#include "formula/ValueReuse.h"
#include "formula/X87Sequences.h"

namespace tandor {

namespace {

using namespace evaluator;

#ifdef TANDOR_X87_MACHINE_CODE
using x87::ValueProgram;
#else
class ValueProgram;
#endif

} // namespace

void TOCFunctDDDoubleSafe::GenerateValueCode() {
  ++CodeGeneration;
  // The derivative evaluator refers to the slots about to be resized: it is stale from here on.
  DerivativeEntry = nullptr;
  DerivativeBlock.reset();
  DerivativeCode.clear();
  DerivativeSlots.assign(static_cast<std::size_t>(MaxStackDepth()) + 1, 0.0);

  const bool runnable = IsWellFormed(Postfix, VariableCount, Constants.size());
  ReuseState.reset();
  if (runnable) {
    auto reuse = std::make_unique<FormulaReuse>();
    reuse->ForPostfix = Postfix;
    const PlanInput input = PlanInputOf(*this);
    reuse->Plan = MakeReusePlan({&input, 1}, ReuseSubexpressions);
    reuse->ReferenceValues = FoldByReference(*this, reuse->Plan, Pass::Value);
    ReuseState = std::move(reuse);
  }
  ValueEntry = x87::GenerateCode<ValueProgram>(*this, runnable, ValueCode, ValueBlock);
}

} // namespace tandor
