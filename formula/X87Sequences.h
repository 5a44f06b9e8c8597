#pragma once
// The instruction sequences both evaluators share, each emitted by one helper, and the register
// bookkeeping of the x87 stack during generation. Only on x86-64, where the machine code runs;
// building with TANDOR_NO_MACHINE_CODE defined leaves every formula on the reference evaluator.

#if defined(__x86_64__) && !defined(TANDOR_NO_MACHINE_CODE)
#define TANDOR_X87_MACHINE_CODE 1
#endif

#ifdef TANDOR_X87_MACHINE_CODE

#include <cstddef>
#include <cstdint>
#include <vector>

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

  void ReduceByTwoPi();
  void ReduceByPi();
  void SafeDivide();
  void SafeLn();
  void SafeExp2();
  void SafeExp();
  void NaturalLog();

  // Keeps k registers free, spilling the oldest values to the machine stack.
  void EnsureFree(int k);
  void SpillBottom();
  void ReloadSpilled();
  int FreeRegisters = 8;

  std::vector<uint8_t> Bytes() const;

private:
  void ReduceByModulusOnTop();
};

} // namespace tandor::x87

#endif
