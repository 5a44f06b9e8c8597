// Emitter: the x87 instruction sequences both evaluators share.

#include "formula/X87Sequences.h"

#include <utility>

namespace tandor::x87 {

EvaluatorEntry EmitCode(std::vector<uint8_t> bytes, std::vector<uint8_t> &code,
                        std::unique_ptr<ExecutableBlock> &block) {
  code = std::move(bytes);
  block = code.empty() ? nullptr : ExecutableBlock::Create(code);
  if (block == nullptr)
    return nullptr;
  return reinterpret_cast<EvaluatorEntry>(const_cast<void *>(block->Entry()));
}

} // namespace tandor::x87

#ifdef TANDOR_X87_MACHINE_CODE

#include <cstddef>
#include <cstring>

namespace tandor::x87 {

using namespace Xbyak::util;
using evaluator::DecodeOperand;
using evaluator::GuardConstants;
using evaluator::Guards;
using evaluator::OperandSource;

Emitter::Emitter(std::size_t capacity) : Xbyak::CodeGenerator(capacity, Xbyak::DontSetProtectRWE) {}

void Emitter::LoadBases(const double *constants, const double *slots) {
  if (constants != nullptr)
    mov(ConstantsBase, reinterpret_cast<std::size_t>(constants));
  if (slots != nullptr)
    mov(SlotsBase, reinterpret_cast<std::size_t>(slots));
  mov(GuardsBase, reinterpret_cast<std::size_t>(&Guards));
}

void Emitter::LoadConstantsBase(const double *constants) {
  mov(ConstantsBase, reinterpret_cast<std::size_t>(constants));
}

void Emitter::StoreResult(const Xbyak::Address &address) {
  fstp(address);
  ++FreeRegisters;
}

void Emitter::LoadGuard(const double GuardConstants::*constant) {
  const auto offset =
      reinterpret_cast<std::size_t>(&(Guards.*constant)) - reinterpret_cast<std::size_t>(&Guards);
  fld(qword[GuardsBase + offset]);
}

void Emitter::LoadVariable(int index) {
  fld(qword[ValuesBase + 8 * index]);
}

void Emitter::LoadOperand(unsigned char token, int k, int variableCount) {
  if (token == '1') {
    fld1();
  } else if (token == 'p') {
    fldpi();
  } else {
    const OperandSource source = DecodeOperand(k, variableCount);
    if (source.kind == OperandSource::Variable)
      LoadVariable(source.index);
    else
      fld(qword[ConstantsBase + 8 * source.index]);
  }
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
  GuardDivisor([this] { fdivp(st1, st0); }, [] {});
}

void Emitter::NaturalLog() {
  fld1();
  fxch(st1);
  fyl2x();
  fldln2();
  fmulp(st1, st0);
}

void Emitter::LoadLnOfNonPositive() {
  LoadGuard(&GuardConstants::ExpLimit);
  fchs();
}

void Emitter::SafeLn() {
  IfPositive([this] { NaturalLog(); }, [this] { LoadLnOfNonPositive(); });
}

template <class LoadBound> void Emitter::CompareBoundWithMagnitude(LoadBound loadBound) {
  fld(st0);
  fabs();
  loadBound();
  fcomip(st0, st1);
  fstp(st0);
}

void Emitter::CompareOneWithMagnitude() {
  CompareBoundWithMagnitude([this] { fld1(); });
}

void Emitter::CompareZeroWithTop() {
  fldz();
  fcomip(st0, st1);
}

void Emitter::CompareOneWithTop() {
  fld1();
  fcomip(st0, st1);
}

void Emitter::CompareZeroWithTopAndDrop() {
  CompareZeroWithTop();
  fstp(st0);
}

void Emitter::MagnitudeAndRootOfSquarePlusOne() {
  CompareZeroWithTop();
  fabs();
  RootOfSquarePlusOne();
}

// Beyond the limit the power is left to the guard constants instead of FSCALE, which would
// overflow or lose the result.
void Emitter::SafeExp2() {
  Xbyak::Label big, positive, end;
  CompareBoundWithMagnitude([this] { LoadGuard(&GuardConstants::ExpLimit); });
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
  CompareZeroWithTopAndDrop();
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

void Emitter::ArcTangent() {
  fld1();
  fpatan();
}

void Emitter::HyperbolicTangent() {
  SafeExp();
  fmul(st0, st0);
  fld1();
  fsubr(st0, st1);
  fxch(st1);
  fld1();
  faddp(st1, st0);
  fdivp(st1, st0);
}

void Emitter::LoadMinusOne() {
  fld1();
  fchs();
}

void Emitter::HalveKeepingScale() {
  LoadMinusOne();
  fxch(st1);
  fscale();
}

void Emitter::Halve() {
  HalveKeepingScale();
  fstp(st1);
}

void Emitter::Reciprocal() {
  fld1();
  fdivrp(st1, st0);
}

void Emitter::PushSquare() {
  fld(st0);
  fmul(st0, st0);
}

void Emitter::ReplaceByTwoZeros() {
  fstp(st0);
  fldz();
  fldz();
}

void Emitter::OneMinusSquare() {
  PushSquare();
  fld1();
  fsubrp(st1, st0);
}

void Emitter::RootOfOneMinusSquare() {
  OneMinusSquare();
  fsqrt();
}

void Emitter::RootOfSquareMinusOne() {
  PushSquare();
  fld1();
  fsubp(st1, st0);
  fsqrt();
}

void Emitter::RootOfSquarePlusOne() {
  PushSquare();
  fld1();
  faddp(st1, st0);
  fsqrt();
}

void Emitter::OnePlusAndOneMinus() {
  fld(st0);
  fld1();
  faddp(st1, st0);
  fxch(st1);
  fld1();
  fsubrp(st1, st0);
}

void Emitter::ArcCosineBeyondOne() {
  Xbyak::Label aboveOne, end;
  CompareZeroWithTopAndDrop();
  jb(aboveOne);
  fldpi();
  jmp(end);
  L(aboveOne);
  fldz();
  L(end);
}

void Emitter::ArcTanhBeyondOne() {
  Xbyak::Label belowMinusOne, end;
  CompareZeroWithTopAndDrop();
  ja(belowMinusOne);
  LoadGuard(&GuardConstants::HugeValue);
  jmp(end);
  L(belowMinusOne);
  LoadGuard(&GuardConstants::MinusHugeValue);
  L(end);
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

void Emitter::OpenFrame(int slots) {
  if (slots <= 0)
    return;
  FrameBytes = slots * ReuseRecordBytes;
  sub(rsp, FrameBytes);
  mov(FrameBase, rsp);
}

void Emitter::Close(std::span<const evaluator::FoldedNumber> folded) {
  if (FrameBytes > 0)
    add(rsp, FrameBytes);
  ret();
  if (folded.empty())
    return;
  align(16);
  L(FoldedData);
  for (const evaluator::FoldedNumber &number : folded) {
    uint8_t record[ReuseRecordBytes] = {};
    std::memcpy(record, &number.Value, 10);
    std::memcpy(record + ReuseSlopeOffset, &number.Slope, sizeof number.Slope);
    for (const uint8_t byte : record)
      db(byte);
  }
}

// The 80-bit values are addressed through a dword frame: xbyak spells no FLD m80 or FSTP m80,
// so they are emitted as FILD m32 (DB /0) with the ModRM reg field set to /5 or /7.
Xbyak::Address Emitter::SavedValue(int slot) const {
  return dword[FrameBase + ReuseRecordBytes * slot];
}

Xbyak::Address Emitter::SavedSlope(int slot) const {
  return qword[FrameBase + ReuseRecordBytes * slot + ReuseSlopeOffset];
}

Xbyak::Address Emitter::FoldedValue(int index) const {
  return dword[rip + FoldedData + ReuseRecordBytes * index];
}

Xbyak::Address Emitter::FoldedSlope(int index) const {
  return qword[rip + FoldedData + (ReuseRecordBytes * index + ReuseSlopeOffset)];
}

void Emitter::ExtendedOperation(const Xbyak::Address &address, int field) {
  const std::size_t start = getSize();
  fild(address);
  const std::size_t opcode = (getCode()[start] & 0xF0) == 0x40 ? start + 1 : start;
  rewrite(opcode + 1, getCode()[opcode + 1] | (field << 3), 1);
}

void Emitter::LoadExtended(const Xbyak::Address &address) {
  ExtendedOperation(address, 5);
}

void Emitter::StoreExtended(const Xbyak::Address &address) {
  ExtendedOperation(address, 7);
}

// A free register keeps the value while a copy is stored; without one the value makes the round
// trip through its slot, which loses nothing at 80 bits.
void Emitter::SaveTop(int slot) {
  if (FreeRegisters >= 1) {
    fld(st0);
    StoreExtended(SavedValue(slot));
  } else {
    StoreExtended(SavedValue(slot));
    LoadExtended(SavedValue(slot));
  }
}

std::vector<uint8_t> Emitter::Bytes() const {
  return {getCode(), getCode() + getSize()};
}

} // namespace tandor::x87

#endif
