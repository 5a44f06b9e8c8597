#pragma once
// The instruction sequences both evaluators share, each emitted by one helper, the register
// bookkeeping of the x87 stack during generation, and the walk over Postfix that drives it.
// The machine code exists only on x86-64, where it runs; building with TANDOR_NO_MACHINE_CODE
// defined leaves every formula on the reference evaluator.

#if defined(__x86_64__) && !defined(TANDOR_NO_MACHINE_CODE)
#define TANDOR_X87_MACHINE_CODE 1
#endif

#include <cstdint>
#include <memory>
#include <vector>

#include "formula/ExecutableBlock.h"
#include "formula/FormulaCompiler.h"

namespace tandor::x87 {

// Places emitted bytes in executable memory: code keeps the bytes, block the memory. Returns
// the entry, or null when bytes is empty or the system refuses executable memory.
EvaluatorEntry Install(std::vector<uint8_t> bytes, std::vector<uint8_t> &code,
                       std::unique_ptr<ExecutableBlock> &block);

} // namespace tandor::x87

#ifdef TANDOR_X87_MACHINE_CODE

#include <cstddef>
#include <string_view>

#include <xbyak/xbyak.h>

#include "formula/EvaluatorPlan.h"

namespace tandor::x87 {

// Registers fixed for the whole evaluator: rdi holds the values (first argument), and three
// base registers, loaded once at entry, hold the addresses the code reads through.
inline const Xbyak::Reg64 &ValuesBase = Xbyak::util::rdi;
inline const Xbyak::Reg64 &ConstantsBase = Xbyak::util::rdx;
inline const Xbyak::Reg64 &GuardsBase = Xbyak::util::rcx;
inline const Xbyak::Reg64 &SlotsBase = Xbyak::util::r8;

class Emitter : public Xbyak::CodeGenerator {
public:
  explicit Emitter(std::size_t capacity);

  // The evaluator's entry: the base registers the program needs.
  void LoadBases(const double *constants, const double *slots);
  void LoadGuard(const double evaluator::GuardConstants::*constant);
  void LoadVariable(int index);
  // Pushes 1, pi, or the variable or constant that the operand pair with index k names.
  void LoadOperand(unsigned char token, int k, int variableCount);

  // Runs the whole of Postfix through program, whose Operand, Binary, Negate and Function
  // emit each token's sequence; the register reservations and spills are made here, so that
  // both evaluators spill at the same points. Ends with the return.
  template <class Program>
  void Translate(Program &program, std::string_view postfix, evaluator::Pass pass);

  void ReduceByTwoPi();
  void ReduceByPi();
  void SafeDivide();
  void SafeLn();
  // The logarithm's substitute where x <= 0 (or is not a number): -ExpLimit.
  void LoadLnOfNonPositive();
  void SafeExp2();
  void SafeExp();
  void NaturalLog();
  void ArcTangent();
  void HyperbolicTangent();
  // Scales x by 1/2 exactly.
  void Halve();
  // With x on top: pushes 1 - x^2, or its root, above x.
  void OneMinusSquare();
  void RootOfOneMinusSquare();
  // The same for sqrt(x^2 - 1) and sqrt(x^2 + 1).
  void RootOfSquareMinusOne();
  void RootOfSquarePlusOne();
  // x on top becomes 1 + x with 1 - x above it.
  void OnePlusAndOneMinus();

  // Flags of 1 against |x|, x kept: jb takes |x| > 1, jbe |x| >= 1 (both take NaN).
  void CompareOneWithMagnitude();
  // Flags of 0 against x, x dropped: jb takes x > 0, ja x < 0.
  void CompareZeroWithTopAndDrop();
  // The substitutes for x beyond the unit interval, x on top: arccos is 0 above 1 and pi
  // below -1; artanh is 1e24 above and -1e24 below.
  void ArcCosineBeyondOne();
  void ArcTanhBeyondOne();

  // x on top: positive runs where x > 0; elsewhere x is dropped and otherwise runs.
  template <class Positive, class Otherwise>
  void IfPositive(Positive positive, Otherwise otherwise);
  // a below b: divide runs where b is not 0; where it is (or is not a number), b is dropped,
  // a becomes a*1e24 and afterGuard runs.
  template <class Divide, class AfterGuard> void GuardDivisor(Divide divide, AfterGuard afterGuard);

  std::vector<uint8_t> Bytes() const;

private:
  // Keeps k registers free, spilling the oldest values to the machine stack.
  void EnsureFree(int k);
  void SpillBottom();
  void ReloadSpilled();
  int FreeRegisters = 8;

  void ReduceByModulusOnTop();
  template <class LoadBound> void CompareBoundWithMagnitude(LoadBound loadBound);
};

template <class Program>
void Emitter::Translate(Program &program, std::string_view postfix, evaluator::Pass pass) {
  for (std::size_t i = 0; i < postfix.size(); ++i) {
    const auto token = static_cast<unsigned char>(postfix[i]);
    const bool binary = evaluator::IsBinaryOperator(token);
    // Only the right operand is in a register: the left one comes back first.
    if (binary && FreeRegisters == 7)
      ReloadSpilled();
    EnsureFree(evaluator::RegistersToReserve(token, pass));
    if (token == OperandMarker || token == '1' || token == 'p') {
      program.Operand(token, token == OperandMarker ? static_cast<unsigned char>(postfix[++i]) : 0);
      --FreeRegisters;
    } else if (binary) {
      program.Binary(token);
      ++FreeRegisters;
    } else if (token == '#') {
      program.Negate();
    } else {
      program.Function(static_cast<FunctionCode>(token));
    }
  }
  ret();
}

template <class Positive, class Otherwise>
void Emitter::IfPositive(Positive positive, Otherwise otherwise) {
  Xbyak::Label isPositive, end;
  fldz();
  fcomip(st0, st1);
  jb(isPositive);
  fstp(st0);
  otherwise();
  jmp(end);
  L(isPositive);
  positive();
  L(end);
}

template <class Divide, class AfterGuard>
void Emitter::GuardDivisor(Divide divide, AfterGuard afterGuard) {
  Xbyak::Label nonZero, end;
  fldz();
  fcomip(st0, st1);
  jne(nonZero);
  fstp(st0);
  LoadGuard(&evaluator::GuardConstants::HugeValue);
  fmulp(st1, st0);
  afterGuard();
  jmp(end);
  L(nonZero);
  divide();
  L(end);
}

// The machine code of Program for f, or nothing when it cannot be made.
template <class Program> std::vector<uint8_t> Emit(const TOCFunctDDDoubleSafe &f) {
  try {
    Program program(f);
    program.Generate();
    return program.Bytes();
  } catch (...) {
    return {};
  }
}

} // namespace tandor::x87

#endif
