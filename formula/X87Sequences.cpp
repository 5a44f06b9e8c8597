#include "formula/X87Sequences.h"

#ifdef TANDOR_X87_MACHINE_CODE

#include <cstddef>

namespace tandor::x87 {

using namespace Xbyak::util;
using evaluator::GuardConstants;
using evaluator::Guards;

Emitter::Emitter(std::size_t capacity) : Xbyak::CodeGenerator(capacity, Xbyak::DontSetProtectRWE) {}

void Emitter::LoadBases(const double *constants, const double *slots) {
  if (constants != nullptr)
    mov(ConstantsBase, reinterpret_cast<std::size_t>(constants));
  if (slots != nullptr)
    mov(SlotsBase, reinterpret_cast<std::size_t>(slots));
  mov(GuardsBase, reinterpret_cast<std::size_t>(&Guards));
}

void Emitter::LoadGuard(const double GuardConstants::*constant) {
  const auto offset =
      reinterpret_cast<std::size_t>(&(Guards.*constant)) - reinterpret_cast<std::size_t>(&Guards);
  fld(qword[GuardsBase + offset]);
}

// FPREM reduces by at most 2^63 times the modulus per step; the step is repeated until the
// status word says the remainder is complete, so that arguments of any size reduce exactly and
// the sine, cosine and tangent instructions never see an argument out of their range.
void Emitter::ReduceByModulusOnTop() {
  Xbyak::Label partial;
  L(partial);
  fprem();
  fnstsw(ax);
  test(ah, 4);
  jnz(partial);
  fstp(st1);
}

void Emitter::ReduceByTwoPi() {
  fldpi();
  fadd(st0, st0);
  fxch(st1);
  ReduceByModulusOnTop();
}

void Emitter::ReduceByPi() {
  fldpi();
  fxch(st1);
  ReduceByModulusOnTop();
}

void Emitter::SafeDivide() {
  Xbyak::Label divide, end;
  fldz();
  fcomip(st0, st1);
  jne(divide);
  fstp(st0);
  LoadGuard(&GuardConstants::HugeValue);
  fmulp(st1, st0);
  jmp(end);
  L(divide);
  fdivp(st1, st0);
  L(end);
}

void Emitter::NaturalLog() {
  fld1();
  fxch(st1);
  fyl2x();
  fldln2();
  fmulp(st1, st0);
}

void Emitter::SafeLn() {
  Xbyak::Label log, end;
  fldz();
  fcomip(st0, st1);
  jb(log);
  fstp(st0);
  LoadGuard(&GuardConstants::ExpLimit);
  fchs();
  jmp(end);
  L(log);
  NaturalLog();
  L(end);
}

void Emitter::SafeExp2() {
  Xbyak::Label big, positive, end;
  fld(st0);
  fabs();
  LoadGuard(&GuardConstants::ExpLimit);
  fcomip(st0, st1);
  fstp(st0);
  jb(big);
  fld(st0);
  frndint();
  fxch(st1);
  fsub(st0, st1);
  f2xm1();
  fld1();
  faddp(st1, st0);
  fxch(st1);
  fld1();
  fscale();
  fstp(st1);
  fmulp(st1, st0);
  jmp(end);
  L(big);
  fldz();
  fcomip(st0, st1);
  fstp(st0);
  jb(positive);
  LoadGuard(&GuardConstants::TinyValue);
  jmp(end);
  L(positive);
  LoadGuard(&GuardConstants::HugeValue);
  L(end);
}

void Emitter::SafeExp() {
  fldl2e();
  fmulp(st1, st0);
  SafeExp2();
}

void Emitter::EnsureFree(int k) {
  while (FreeRegisters < k)
    SpillBottom();
}

// The oldest register value goes to the machine stack, rounded to double; the others keep
// their order.
void Emitter::SpillBottom() {
  const int bottom = 7 - FreeRegisters;
  if (bottom >= 1)
    fxch(Xbyak::Fpu(bottom));
  sub(rsp, 8);
  fstp(qword[rsp]);
  if (bottom >= 2) {
    fld(Xbyak::Fpu(bottom - 1));
    ffree(Xbyak::Fpu(bottom));
  }
  ++FreeRegisters;
}

// The most recently spilled value comes back as the left operand below the top.
void Emitter::ReloadSpilled() {
  fld(qword[rsp]);
  add(rsp, 8);
  fxch(st1);
  --FreeRegisters;
}

std::vector<uint8_t> Emitter::Bytes() const {
  return {getCode(), getCode() + getSize()};
}

} // namespace tandor::x87

#endif
