#pragma once
// ReusePlan: which parts of Postfix an evaluator computes once. A subexpression written more
// than once (cos(u) in the Klein bottle, u*v) is computed where it first occurs, kept at full
// x87 precision in a slot of the evaluator's frame, and loaded from there where it occurs again;
// a subexpression without variables or parameters (-2/15, 2pi) is computed at compile time, by
// the very code that would compute it at run time, and loaded as that 80-bit number.
//
// Why this changes no bit: the value of a subexpression depends only on its own tokens. Spills
// take the oldest register first, so the values below a subexpression leave the registers before
// any of its own, and how many of its own values are rounded to double is set by its own depth
// alone. What does depend on the context is which values *below* it are spilled while it runs;
// where a subexpression is skipped, the plan's walk makes exactly those spills (SkippedSpills).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formula/EvaluatorPlan.h"

namespace tandor::evaluator {

// Frame slots and folded constants beyond these are not made: the frame lives on the machine
// stack, and past a thousand shared values a formula gains nothing from one more.
inline constexpr int MaxReuseSlots = 1024;

struct ReuseStep {
  enum Kind : uint8_t {
    Token,      // run the token at Begin as the tables say
    LoadSaved,  // the subexpression [Begin, End) was computed before: load slot Index
    LoadFolded, // the subexpression [Begin, End) is constant: load folded value Index
  } kind = Token;
  uint32_t Begin = 0, End = 0; // bytes of Postfix
  int32_t Index = -1;          // the slot or folded value read
  int32_t SaveTo = -1;         // Token only: the slot that keeps the value this token completes
};

// One postfix program as the plan sees it: operands are told apart by what they load, so that
// the same number written in two formulas (different slots of different Constants) is one value.
struct PlanInput {
  std::string_view Postfix;
  int VariableCount = 0;
  int ParameterCount = 0;
  std::span<const double> Constants;
};

struct ReusePlan {
  // Per program, in the order given; every byte of its Postfix is covered once, in order.
  std::vector<std::vector<ReuseStep>> Steps;
  int SlotCount = 0;
  // The subexpression each folded value stands for: program and byte range.
  struct Folded {
    int Program;
    uint32_t Begin, End;
  };
  std::vector<Folded> FoldedValues;

  bool ReusesNothing() const { return SlotCount == 0 && FoldedValues.empty(); }
};

// The plan of programs evaluated one after the other in one frame (one formula, or the three
// coordinates of a map). With reuse false every step is a Token.
ReusePlan MakeReusePlan(std::span<const PlanInput> programs, bool reuse);

// Spills of the values below a subexpression that running [begin, end) of postfix would make,
// with freeRegisters free when it starts.
int SkippedSpills(std::string_view postfix, std::size_t begin, std::size_t end, int freeRegisters,
                  Pass pass);

// A folded subexpression as one evaluator computes it: the 80-bit value and, in the derivative
// pass, the slope the derivative code leaves in its slot.
struct FoldedNumber {
  long double Value = 0;
  double Slope = 0;
};

// The folded values of plan for the programs of formulas (one per program), computed by running
// each subexpression through the evaluator of the pass, machine code or reference.
std::vector<FoldedNumber> FoldByMachineCode(std::span<const TOCFunctDDDoubleSafe *const> formulas,
                                            const ReusePlan &plan, Pass pass);
std::vector<FoldedNumber> FoldByReference(const TOCFunctDDDoubleSafe &formula,
                                          const ReusePlan &plan, Pass pass);

PlanInput PlanInputOf(const TOCFunctDDDoubleSafe &formula);

} // namespace tandor::evaluator

namespace tandor {

// A formula's plan and what its reference evaluator folded; made with the value code.
struct FormulaReuse {
  std::string ForPostfix; // the plan holds for this Postfix only
  evaluator::ReusePlan Plan;
  std::vector<evaluator::FoldedNumber> ReferenceValues, ReferenceDerivatives;
};

} // namespace tandor
