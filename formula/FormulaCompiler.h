#pragma once
// A compiled formula: typed text -> tokens -> postfix -> guarded x87 evaluators.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tandor {

// Token alphabet shared by every stage after tokenisation.
inline constexpr unsigned char OperandMarker = 255;

// One record per variable (u, then v) of a recognised linear form a*u + b*v.
struct LinearTerm {
  int32_t Kind = 0;    // 0: coefficient 1; 3: p; 4: q; 5..7: a number constant of the formula
  int32_t Sign = 1;    // -1 when the term is subtracted
  int32_t Present = 0; // number of terms in this variable
};
using LinearTermRecords = std::array<LinearTerm, 2>;

struct DerivativeResult {
  double value = 0.0;
  double derivative = 0.0;
};

// The System V ABI returns long double in ST(0), which is exactly where the x87 code leaves
// its result.
using EvaluatorEntry = long double (*)(const double *values, int lastIndex);

class ExecutableBlock; // a block of machine code, written first and then made read+execute
struct FormulaReuse;   // what the evaluators compute once: ValueReuse.h

class TOCFunctDDDoubleSafe {
public:
  TOCFunctDDDoubleSafe();
  ~TOCFunctDDDoubleSafe();
  TOCFunctDDDoubleSafe(const TOCFunctDDDoubleSafe &) = delete;
  TOCFunctDDDoubleSafe &operator=(const TOCFunctDDDoubleSafe &) = delete;

  // Never throws. message is empty on success, otherwise one of the compiler's fixed texts.
  // On entry linear asks for the linear-form recognition; on return it tells whether the
  // formula is linear proper (false stays false). LinearTerms holds the recognised terms.
  void Compile(std::string_view formula, std::string_view variables, std::string_view parameters,
               bool &linear, std::string &message);

  // Value at the given variable values (VariableCount doubles). An object without a valid
  // evaluator (never compiled, or its last compile failed) answers a quiet NaN.
  double Evaluate(const double *values) const {
    if (ValueEntry != nullptr)
      return static_cast<double>(ValueEntry(values, VariableCount - 1));
    return EvaluateWithoutMachineCode(values);
  }

  // Translates Postfix into the value evaluator (x87 machine code where it can be made) and
  // sizes DerivativeSlots; the last step of a successful Compile.
  void GenerateValueCode();
  // The same for the value-and-derivative evaluator; run after every successful Compile.
  void GenerateDerivativeCode();
  // values holds the VariableCount variable values and then their directions.
  DerivativeResult EvaluateWithDerivative(const double *values);

  // The reference evaluator: the same postfix program, guards and substitute values in plain
  // C++ long double. It runs wherever no machine code could be made, and is the tests' oracle.
  long double EvaluateReference(const double *values) const;
  DerivativeResult EvaluateWithDerivativeReference(const double *values) const;

  bool IsCompiled() const { return Compiled; }
  bool UsesMachineCode() const { return ValueEntry != nullptr; }
  // The postfix program in a readable spelling, e.g. "u v * 2 +".
  std::string PostfixText() const;

  // Fields.
  std::string FormulaText;
  std::vector<double> DerivativeSlots; // index 0 unused; must not move once code refers to it
  std::vector<uint8_t> ValueCode;
  std::vector<uint8_t> DerivativeCode;
  int32_t ParameterCount = 0;
  std::string Postfix;           // bytes of the token alphabet, without ( ) ^
  std::vector<double> Constants; // index 0 unused; 1..ParameterCount parameters, then numbers
  int32_t VariableCount = 0;
  EvaluatorEntry ValueEntry = nullptr;
  EvaluatorEntry DerivativeEntry = nullptr;

  LinearTermRecords LinearTerms{}; // written by the linear-form recognition

  // Repeated subexpressions computed once and constant ones folded at compile time, to the same
  // bits; false generates the evaluators token by token (the tests compare the two).
  bool ReuseSubexpressions = true;
  // Counts the value code generations, so that code built from this formula's evaluator (the
  // map routine) can tell it is stale.
  uint64_t CodeGeneration = 0;
  const FormulaReuse *Reuse() const { return ReuseState.get(); }

  // Largest depth of the evaluation stack that Postfix reaches.
  int MaxStackDepth() const;

private:
  double EvaluateWithoutMachineCode(const double *values) const;

  bool Compiled = false;
  std::unique_ptr<ExecutableBlock> ValueBlock;
  std::unique_ptr<ExecutableBlock> DerivativeBlock;
  std::unique_ptr<FormulaReuse> ReuseState;
};

// Gives the formula new parameter values (p first, q second) without recompiling. Does nothing
// when values is empty or longer than the formula's ParameterCount.
void SetParameters(TOCFunctDDDoubleSafe &formula, std::span<const double> values);

// The value of a formula without variables. Throws InputError with the compiler's message when
// the text does not compile, or when it names a letter p..z, which a constant cannot hold.
double EvaluateConstant(std::string_view text);

} // namespace tandor
