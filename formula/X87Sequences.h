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
#include <span>
#include <utility>
#include <vector>

#include "formula/ExecutableBlock.h"
#include "formula/FormulaCompiler.h"

namespace tandor::x87 {

// EmitCode: places emitted bytes in executable memory; code keeps the bytes, block the memory.
// Returns the entry, or null when bytes is empty or the system refuses executable memory.
EvaluatorEntry EmitCode(std::vector<uint8_t> bytes, std::vector<uint8_t> &code,
                        std::unique_ptr<ExecutableBlock> &block);

// The evaluator that Program generates for f, placed by EmitCode; null, with code empty, when f
// cannot run or no machine code can be made here. Defined at the end of this header.
template <class Program>
EvaluatorEntry GenerateCode(const TOCFunctDDDoubleSafe &f, bool runnable,
                            std::vector<uint8_t> &code, std::unique_ptr<ExecutableBlock> &block);

} // namespace tandor::x87

#ifdef TANDOR_X87_MACHINE_CODE

#include <cstddef>
#include <string_view>

#include <xbyak/xbyak.h>

#include "formula/EvaluatorPlan.h"
#include "formula/ValueReuse.h"

namespace tandor::x87 {

// Registers fixed for the whole evaluator: rdi holds the values (first argument), and three
// base registers, loaded once at entry, hold the addresses the code reads through.
inline const Xbyak::Reg64 &ValuesBase = Xbyak::util::rdi;
inline const Xbyak::Reg64 &ConstantsBase = Xbyak::util::rdx;
inline const Xbyak::Reg64 &GuardsBase = Xbyak::util::rcx;
inline const Xbyak::Reg64 &SlotsBase = Xbyak::util::r8;
// Where a routine for several formulas stores their values (its second argument).
inline const Xbyak::Reg64 &ResultsBase = Xbyak::util::rsi;
// The frame of saved subexpressions, on the machine stack below the caller's.
inline const Xbyak::Reg64 &FrameBase = Xbyak::util::r9;

// A saved or folded value takes 32 bytes: the 80-bit value, then at 16 the slope as a double.
inline constexpr int ReuseRecordBytes = 32;
inline constexpr int ReuseSlopeOffset = 16;

class Emitter : public Xbyak::CodeGenerator {
public:
  explicit Emitter(std::size_t capacity);

  // The evaluator's entry: the base registers the program needs. The stack is untouched.
  void LoadBases(const double *constants, const double *slots);
  // The constants of the formula whose code follows.
  void LoadConstantsBase(const double *constants);
  // x -> (nothing), x stored at address as a double.
  void StoreResult(const Xbyak::Address &address);
  // -> c: one of the guard constants.
  void LoadGuard(const double evaluator::GuardConstants::*constant);
  // -> values[index].
  void LoadVariable(int index);
  // -> 1, pi, or the variable or constant that the operand pair with index k names.
  void LoadOperand(unsigned char token, int k, int variableCount);

  // Runs the steps of a plan over postfix through program, whose Operand, Binary, Negate and
  // Function emit each token's sequence and whose Load and Save move the values of the plan;
  // the register reservations and spills are made here, so that both evaluators spill at the
  // same points, and a subexpression loaded instead of computed spills what it would have.
  template <class Program>
  void Translate(Program &program, std::string_view postfix,
                 std::span<const evaluator::ReuseStep> steps, evaluator::Pass pass);
  // The frame for the plan's saved values; Close releases it and returns, then places the
  // folded values after the code.
  void OpenFrame(int slots);
  void Close(std::span<const evaluator::FoldedNumber> folded);
  Xbyak::Address SavedValue(int slot) const;
  Xbyak::Address SavedSlope(int slot) const;
  Xbyak::Address FoldedValue(int index) const;
  Xbyak::Address FoldedSlope(int index) const;
  // x -> x, with x kept in the slot at full precision.
  void SaveTop(int slot);
  // -> the 80-bit value at address; and x -> (nothing), x stored there in 80 bits.
  void LoadExtended(const Xbyak::Address &address);
  void StoreExtended(const Xbyak::Address &address);

  // x -> x mod 2 pi, exactly (the argument range of FSIN, FCOS and FSINCOS).
  void ReduceByTwoPi();
  // x -> x mod pi, exactly (for FPTAN).
  void ReduceByPi();
  // a b -> a / b, or a * 1e24 where b is 0.
  void SafeDivide();
  // x -> ln x, or -ExpLimit where x <= 0 (or is not a number).
  void SafeLn();
  // -> -ExpLimit: the logarithm's substitute.
  void LoadLnOfNonPositive();
  // y -> 2^y, or 1e24 above the limit and 1e-24 below it.
  void SafeExp2();
  // x -> e^x, guarded as SafeExp2.
  void SafeExp();
  // x -> ln x, unguarded.
  void NaturalLog();
  // x -> arctan x.
  void ArcTangent();
  // x -> tanh x, as (e^2x - 1) / (e^2x + 1).
  void HyperbolicTangent();
  // x -> x / 2, exactly.
  void Halve();
  // x -> -1 x/2: Halve with its scale kept below.
  void HalveKeepingScale();
  // -> -1, the scale by which FSCALE halves.
  void LoadMinusOne();
  // x -> 1 / x.
  void Reciprocal();
  // x -> x x^2.
  void PushSquare();
  // x -> x 1-x^2, and x -> x sqrt(1-x^2).
  void OneMinusSquare();
  void RootOfOneMinusSquare();
  // x -> x sqrt(x^2-1), and x -> x sqrt(x^2+1).
  void RootOfSquareMinusOne();
  void RootOfSquarePlusOne();
  // x -> 1+x 1-x.
  void OnePlusAndOneMinus();
  // x -> 0 0: a value and its slope where the function is flat or undefined.
  void ReplaceByTwoZeros();

  // x -> x, flags of 1 against |x|: jb takes |x| > 1, jbe |x| >= 1 (both take NaN).
  void CompareOneWithMagnitude();
  // x -> x, flags of 0 against x: jb takes x > 0, ja x < 0.
  void CompareZeroWithTop();
  // x -> x, flags of 1 against x: ja takes x < 1, jae x <= 1 (neither takes NaN).
  void CompareOneWithTop();
  // x -> (nothing), flags of 0 against x.
  void CompareZeroWithTopAndDrop();
  // x -> |x| sqrt(x^2+1), flags of 0 against x: jbe keeps the sign of a result of x >= 0.
  void MagnitudeAndRootOfSquarePlusOne();
  // The substitutes for x beyond the unit interval, x -> f: arccos is 0 above 1 and pi below
  // -1; artanh is 1e24 above and -1e24 below.
  void ArcCosineBeyondOne();
  void ArcTanhBeyondOne();

  // x -> positive's result where x > 0; elsewhere x is dropped and otherwise pushes instead.
  template <class Positive, class Otherwise>
  void IfPositive(Positive positive, Otherwise otherwise);
  // a b -> divide's result where b is not 0; where it is (or is not a number), b is dropped, a
  // becomes a*1e24 and afterGuard runs.
  template <class Divide, class AfterGuard> void GuardDivisor(Divide divide, AfterGuard afterGuard);

  std::vector<uint8_t> Bytes() const;

private:
  // Keeps k registers free, spilling the oldest values to the machine stack.
  void EnsureFree(int k);
  // The oldest value in a register goes to the machine stack, rounded to double.
  void SpillBottom();
  // b -> a b, with a the value last spilled.
  void ReloadSpilled();
  int FreeRegisters = 8;
  int FrameBytes = 0;
  Xbyak::Label FoldedData;

  void ExtendedOperation(const Xbyak::Address &address, int field);
  // m x -> x mod m.
  void ReduceByModulusOnTop();
  // x -> x, flags of the bound loadBound pushes against |x|.
  template <class LoadBound> void CompareBoundWithMagnitude(LoadBound loadBound);
};

template <class Program>
void Emitter::Translate(Program &program, std::string_view postfix,
                        std::span<const evaluator::ReuseStep> steps, evaluator::Pass pass) {
  using evaluator::ReuseStep;
  for (const ReuseStep &step : steps) {
    if (step.kind != ReuseStep::Token) {
      for (int s = evaluator::SkippedSpills(postfix, step.Begin, step.End, FreeRegisters, pass);
           s > 0; --s)
        SpillBottom();
      program.Load(step);
      --FreeRegisters;
      continue;
    }
    std::size_t i = step.Begin;
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
    if (step.SaveTo >= 0)
      program.Save(step.SaveTo);
  }
}

template <class Positive, class Otherwise>
void Emitter::IfPositive(Positive positive, Otherwise otherwise) {
  Xbyak::Label isPositive, end;
  CompareZeroWithTop();
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
  CompareZeroWithTop();
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

namespace tandor::x87 {

template <class Program>
EvaluatorEntry GenerateCode([[maybe_unused]] const TOCFunctDDDoubleSafe &f,
                            [[maybe_unused]] bool runnable, std::vector<uint8_t> &code,
                            std::unique_ptr<ExecutableBlock> &block) {
  std::vector<uint8_t> bytes;
#ifdef TANDOR_X87_MACHINE_CODE
  if (runnable)
    bytes = Emit<Program>(f);
#endif
  return EmitCode(std::move(bytes), code, block);
}

} // namespace tandor::x87
