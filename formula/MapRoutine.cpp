// MapRoutine::Make: the plan over the three coordinate functions and its code.

#include "formula/MapRoutine.h"

#include "formula/ValueProgram.h"
#include "formula/ValueReuse.h"
#include "formula/X87Sequences.h"

namespace tandor {

namespace {

// Every function has machine code made with reuse: then the routine can be made, and gives the
// same bits as their evaluators.
bool CanShare(const std::array<TOCFunctDDDoubleSafe, 3> &functions) {
  for (const TOCFunctDDDoubleSafe &f : functions)
    if (!f.UsesMachineCode() || !f.ReuseSubexpressions || f.Reuse() == nullptr ||
        f.Reuse()->ForPostfix != f.Postfix)
      return false;
  return true;
}

} // namespace

void MapRoutine::Make(const std::array<TOCFunctDDDoubleSafe, 3> &functions) {
  for (std::size_t k = 0; k < 3; ++k) {
    MadeFrom[k] = &functions[k];
    Generations[k] = functions[k].CodeGeneration;
  }
  Entry = nullptr;
  std::vector<uint8_t> bytes;
#ifdef TANDOR_X87_MACHINE_CODE
  if (CanShare(functions)) {
    const std::array<const TOCFunctDDDoubleSafe *, 3> formulas{&functions[0], &functions[1],
                                                               &functions[2]};
    std::array<evaluator::PlanInput, 3> inputs;
    for (std::size_t k = 0; k < 3; ++k)
      inputs[k] = evaluator::PlanInputOf(functions[k]);
    const evaluator::ReusePlan plan = evaluator::MakeReusePlan(inputs, true);
    try {
      x87::ValueProgram program(formulas, plan);
      program.GenerateTogether(formulas, plan);
      bytes = program.Bytes();
    } catch (...) {
      bytes.clear();
    }
  }
#endif
  x87::EmitCode(std::move(bytes), Code, Block);
  if (Block != nullptr)
    Entry = reinterpret_cast<MapEntry>(const_cast<void *>(Block->Entry()));
}

} // namespace tandor
