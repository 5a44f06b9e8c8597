#pragma once
// ValueProgram: the value evaluator's code generator, one x87 sequence per token of Postfix, for
// one formula or for the three coordinates of a map in one routine.

#include <span>
#include <vector>

#include "formula/FormulaCompiler.h"
#include "formula/ValueReuse.h"
#include "formula/X87Sequences.h"

namespace tandor::x87 {

#ifdef TANDOR_X87_MACHINE_CODE

using namespace Xbyak::util;

// Longest sequence of one token, spills included, with room to spare.
inline constexpr std::size_t ValueBytesPerToken = 192;

class ValueProgram : public Emitter {
public:
  explicit ValueProgram(const TOCFunctDDDoubleSafe &f)
      : Emitter(Capacity(f.Postfix.size() + 2, f.Reuse()->Plan)), F(&f) {}
  ValueProgram(std::span<const TOCFunctDDDoubleSafe *const> formulas,
               const evaluator::ReusePlan &plan)
      : Emitter(Capacity(TokenBytes(formulas), plan)), F(formulas[0]) {}

  // The evaluator of one formula: its value is left on the x87 stack for the caller.
  void Generate() {
    const evaluator::ReusePlan &plan = F->Reuse()->Plan;
    const std::vector<evaluator::FoldedNumber> folded =
        evaluator::FoldByMachineCode({&F, 1}, plan, evaluator::Pass::Value);
    LoadBases(F->Constants.data(), nullptr);
    OpenFrame(plan.SlotCount);
    Translate(*this, F->Postfix, plan.Steps[0], evaluator::Pass::Value);
    Close(folded);
  }

  // One routine for several formulas at the same values (the coordinates of a map), sharing
  // one frame: formula k's value is stored, rounded to double, at results[k] (the second
  // argument's register).
  void GenerateTogether(std::span<const TOCFunctDDDoubleSafe *const> formulas,
                        const evaluator::ReusePlan &plan) {
    const std::vector<evaluator::FoldedNumber> folded =
        evaluator::FoldByMachineCode(formulas, plan, evaluator::Pass::Value);
    LoadBases(nullptr, nullptr);
    OpenFrame(plan.SlotCount);
    for (std::size_t k = 0; k < formulas.size(); ++k) {
      F = formulas[k];
      LoadConstantsBase(F->Constants.data());
      Translate(*this, F->Postfix, plan.Steps[k], evaluator::Pass::Value);
      StoreResult(Xbyak::util::qword[ResultsBase + 8 * k]);
    }
    Close(folded);
  }

private:
  friend class Emitter;

  static std::size_t TokenBytes(std::span<const TOCFunctDDDoubleSafe *const> formulas) {
    std::size_t bytes = 0;
    for (const TOCFunctDDDoubleSafe *f : formulas)
      bytes += f->Postfix.size() + 2;
    return bytes;
  }
  static std::size_t Capacity(std::size_t tokenBytes, const evaluator::ReusePlan &plan) {
    return ValueBytesPerToken * tokenBytes + ReuseRecordBytes * (plan.FoldedValues.size() + 1);
  }

  // -> the operand.
  void Operand(unsigned char token, int k) { LoadOperand(token, k, F->VariableCount); }

  // a b -> a op b.
  void Binary(unsigned char op) {
    switch (op) {
    case '+':
      faddp(st1, st0);
      break;
    case '-':
      fsubp(st1, st0);
      break;
    case '*':
      fmulp(st1, st0);
      break;
    default:
      SafeDivide();
    }
  }

  // x -> -x.
  void Negate() { fchs(); }

  // -> the subexpression's value, computed before or folded.
  void Load(const evaluator::ReuseStep &step) {
    LoadExtended(step.kind == evaluator::ReuseStep::LoadSaved ? SavedValue(step.Index)
                                                              : FoldedValue(step.Index));
  }

  // x -> x, kept for its later occurrences.
  void Save(int slot) { SaveTop(slot); }

  // x -> f(x)
  void Function(FunctionCode code) {
    switch (code) {
    case FunctionCode::Cos:
      ReduceByTwoPi();
      fcos();
      break;
    case FunctionCode::Sin:
      ReduceByTwoPi();
      fsin();
      break;
    case FunctionCode::Exp:
      SafeExp();
      break;
    case FunctionCode::Square:
      fmul(st0, st0);
      break;
    case FunctionCode::Sqrt:
      IfPositive([this] { fsqrt(); }, [this] { fldz(); });
      break;
    case FunctionCode::Ln:
      SafeLn();
      break;
    case FunctionCode::Tan:
      ReduceByPi();
      fptan();
      fstp(st0);
      break;
    case FunctionCode::Sinh:
    case FunctionCode::Cosh:
      Hyperbolic(code);
      break;
    case FunctionCode::Tanh:
      HyperbolicTangent();
      break;
    case FunctionCode::ArcSin:
      ArcSine();
      break;
    case FunctionCode::ArcCos:
      ArcCosine();
      break;
    case FunctionCode::ArcTan:
      ArcTangent();
      break;
    case FunctionCode::Abs:
      fabs();
      break;
    case FunctionCode::Cot:
      ReduceByPi();
      fsincos();
      fxch(st1);
      SafeDivide();
      break;
    case FunctionCode::ArcCosh:
      HyperbolicArcCosine();
      break;
    case FunctionCode::ArcTanh:
      HyperbolicArcTangent();
      break;
    case FunctionCode::ArcSinh:
      HyperbolicArcSine();
      break;
    }
  }

  // x -> sinh x, as (e - 1/e) / 2, or cosh x, as (e + 1/e) / 2.
  void Hyperbolic(FunctionCode code) {
    SafeExp();
    fld(st0);
    Reciprocal();
    if (code == FunctionCode::Sinh)
      fsubp(st1, st0);
    else
      faddp(st1, st0);
    Halve();
  }

  // x -> arcsin x, or pi/2 above 1 and -pi/2 below -1.
  void ArcSine() {
    Xbyak::Label out, end;
    CompareOneWithMagnitude();
    jb(out);
    RootOfOneMinusSquare();
    fpatan();
    jmp(end);
    L(out);
    CompareZeroWithTopAndDrop();
    LoadGuard(&evaluator::GuardConstants::HalfPi);
    jb(end);
    fchs();
    L(end);
  }

  // x -> arccos x, or 0 above 1 and pi below -1.
  void ArcCosine() {
    Xbyak::Label out, end;
    CompareOneWithMagnitude();
    jb(out);
    RootOfOneMinusSquare();
    fxch(st1);
    fpatan();
    jmp(end);
    L(out);
    ArcCosineBeyondOne();
    L(end);
  }

  // x -> arcosh x, or 0 below 1.
  void HyperbolicArcCosine() {
    Xbyak::Label low, end;
    CompareOneWithTop();
    ja(low);
    RootOfSquareMinusOne();
    faddp(st1, st0);
    NaturalLog();
    jmp(end);
    L(low);
    fstp(st0);
    fldz();
    L(end);
  }

  // x -> artanh x, or 1e24 from 1 on and -1e24 from -1 down.
  void HyperbolicArcTangent() {
    Xbyak::Label out, end;
    CompareOneWithMagnitude();
    jbe(out);
    OnePlusAndOneMinus();
    fdivp(st1, st0);
    NaturalLog();
    Halve();
    jmp(end);
    L(out);
    ArcTanhBeyondOne();
    L(end);
  }

  // x -> arsinh x, as sign(x) ln(|x| + sqrt(x^2 + 1)). The flags of the first comparison
  // survive the arithmetic and decide the sign at the end.
  void HyperbolicArcSine() {
    Xbyak::Label end;
    MagnitudeAndRootOfSquarePlusOne();
    faddp(st1, st0);
    NaturalLog();
    jbe(end);
    fchs();
    L(end);
  }

  const TOCFunctDDDoubleSafe *F;
};

#endif

} // namespace tandor::x87
