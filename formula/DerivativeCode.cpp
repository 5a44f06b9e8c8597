// The value-and-derivative evaluator: Postfix translated into forward-mode x87 code. Values
// live on the x87 stack as in the value evaluator; the derivative of level d lives in the double
// DerivativeSlots[d]. In the stack effects below, x' is the slot of the value x.

#include <limits>

#include "formula/EvaluatorPlan.h"
#include "formula/FormulaCompiler.h"
#include "formula/ValueReuse.h"
#include "formula/X87Sequences.h"

namespace tandor {

namespace {

using namespace evaluator;

class DerivativeProgram;

#ifdef TANDOR_X87_MACHINE_CODE

using namespace Xbyak::util;
using x87::SlotsBase;

constexpr std::size_t BytesPerToken = 256;

class DerivativeProgram : public x87::Emitter {
public:
  explicit DerivativeProgram(const TOCFunctDDDoubleSafe &f)
      : Emitter(BytesPerToken * (f.Postfix.size() + 2) +
                x87::ReuseRecordBytes * (f.Reuse()->Plan.FoldedValues.size() + 1)),
        F(f) {}

  void Generate() {
    const ReusePlan &plan = F.Reuse()->Plan;
    const TOCFunctDDDoubleSafe *formula = &F;
    const std::vector<FoldedNumber> folded =
        FoldByMachineCode({&formula, 1}, plan, Pass::Derivative);
    LoadBases(F.Constants.data(), F.DerivativeSlots.data());
    OpenFrame(plan.SlotCount);
    Translate(*this, F.Postfix, plan.Steps[0], Pass::Derivative);
    Close(folded);
  }

private:
  friend class x87::Emitter;

  Xbyak::Address Slot(int level) const { return qword[SlotsBase + 8 * level]; }

  // -> the operand, with its slot: a variable's direction, 0 for the rest (written first).
  void Operand(unsigned char token, int k) {
    ++Level;
    const OperandSource source = DecodeOperand(k, F.VariableCount);
    if (token == OperandMarker && source.kind == OperandSource::Variable)
      LoadVariable(source.index + F.VariableCount);
    else
      fldz();
    fstp(Slot(Level));
    LoadOperand(token, k, F.VariableCount);
  }

  // a b -> a op b, with (a op b)' in a's slot.
  void Binary(unsigned char op) {
    switch (op) {
    case '+':
    case '-':
      SumOrDifference(op);
      break;
    case '*':
      Product();
      break;
    default:
      Quotient();
    }
    --Level;
  }

  // a b -> a op b, and the same operation on the slots: a' op b' into a's.
  void SumOrDifference(unsigned char op) {
    const auto combine = [this, op] {
      if (op == '+')
        faddp(st1, st0);
      else
        fsubp(st1, st0);
    };
    combine();
    fld(Slot(Level - 1));
    fld(Slot(Level));
    combine();
    fstp(Slot(Level - 1));
  }

  // a b -> a*b with a*b' + b*a' in the left slot.
  void Product() {
    fld(st0);
    fmul(st0, st2);
    fxch(st2);
    MultiplyBySlot(Level);
    fld(Slot(Level - 1));
    fmulp(st2, st0);
    faddp(st1, st0);
    fstp(Slot(Level - 1));
  }

  // a b -> a*(1/b) with a'/b - a*b'/b^2 in the left slot; a*1e24 and 0 when b is 0.
  void Quotient() {
    GuardDivisor([this] { DivideWithSlope(); },
                 [this] {
                   fldz();
                   fstp(Slot(Level - 1));
                 });
  }

  // a b -> a*(1/b) with a'/b - a*b'/b^2 in the left slot; b is not 0.
  void DivideWithSlope() {
    Reciprocal();
    fld(st0);
    fmul(st0, st2);
    fxch(st2);
    fld(Slot(Level - 1));
    fmul(st0, st2);
    fxch(st2);
    fmul(st0, st0);
    fmulp(st1, st0);
    MultiplyBySlot(Level);
    fsubp(st1, st0);
    fstp(Slot(Level - 1));
  }

  // -> the subexpression's value, computed before or folded, with its slope in the new slot.
  void Load(const ReuseStep &step) {
    ++Level;
    const bool saved = step.kind == ReuseStep::LoadSaved;
    mov(rax, saved ? SavedSlope(step.Index) : FoldedSlope(step.Index));
    mov(Slot(Level), rax);
    LoadExtended(saved ? SavedValue(step.Index) : FoldedValue(step.Index));
  }

  // x -> x, kept with its slope for its later occurrences.
  void Save(int slot) {
    SaveTop(slot);
    mov(rax, Slot(Level));
    mov(SavedSlope(slot), rax);
  }

  // x -> -x, and x' -> -x'.
  void Negate() {
    fchs();
    NegateSlot();
  }

  // x' -> -x'; the stack is untouched.
  void NegateSlot() {
    fld(Slot(Level));
    fchs();
    fstp(Slot(Level));
  }

  // y -> y * (the slot of level).
  void MultiplyBySlot(int level) {
    fld(Slot(level));
    fmulp(st1, st0);
  }

  // f(x) f'(x) -> f(x), with f'(x) x' in the slot.
  void TimesSlot() {
    MultiplyBySlot(Level);
    fstp(Slot(Level));
  }

  // x -> f(x), with f'(x) x' in the slot. Most sequences leave f(x) with f'(x) above it for
  // TimesSlot; sqrt, ln and abs write their slot themselves.
  void Function(FunctionCode code) {
    switch (code) {
    case FunctionCode::Cos:
      ReduceByTwoPi();
      fsincos();
      fxch(st1);
      fchs();
      break;
    case FunctionCode::Sin:
      ReduceByTwoPi();
      fsincos();
      break;
    case FunctionCode::Exp:
      SafeExp();
      fld(st0);
      break;
    case FunctionCode::Square:
      PushSquare();
      fxch(st1);
      fadd(st0, st0);
      break;
    case FunctionCode::Sqrt:
      SquareRoot();
      return;
    case FunctionCode::Ln:
      Logarithm();
      return;
    case FunctionCode::Tan:
      ReduceByPi();
      fptan();
      fld(st1);
      fmul(st0, st0);
      faddp(st1, st0);
      break;
    case FunctionCode::Sinh:
    case FunctionCode::Cosh:
      Hyperbolic(code);
      break;
    case FunctionCode::Tanh:
      HyperbolicTangent();
      OneMinusSquare();
      break;
    case FunctionCode::ArcSin:
    case FunctionCode::ArcCos:
      ArcSineOrCosine(code);
      break;
    case FunctionCode::ArcTan:
      ArcTangentWithSlope();
      break;
    case FunctionCode::Abs:
      Absolute();
      return;
    case FunctionCode::Cot:
      Cotangent();
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
    TimesSlot();
  }

  // x -> f(x), x' -> x' / g for sqrt and ln, where positive turns x into f(x) g; where x <= 0
  // the value is what otherwise pushes and the slope 0.
  template <class Positive, class Otherwise>
  void SlopeByDivision(Positive positive, Otherwise otherwise) {
    IfPositive(
        [&] {
          positive();
          fld(Slot(Level));
          fdivrp(st1, st0);
        },
        [&] {
          otherwise();
          fldz();
        });
    fstp(Slot(Level));
  }

  // x -> sqrt x, x' -> x' / (2 sqrt x); 0 and 0 where x <= 0.
  void SquareRoot() {
    SlopeByDivision(
        [this] {
          fsqrt();
          fld(st0);
          fadd(st0, st0);
        },
        [this] { fldz(); });
  }

  // x -> ln x, x' -> x' / x; -ExpLimit and 0 where x <= 0.
  void Logarithm() {
    SlopeByDivision(
        [this] {
          fld(st0);
          NaturalLog();
          fxch(st1);
        },
        [this] { LoadLnOfNonPositive(); });
  }

  // x -> sinh x cosh x, or x -> cosh x sinh x: e/2 and -1/(2e) by scaling, then their sum
  // and difference.
  void Hyperbolic(FunctionCode code) {
    SafeExp();
    LoadMinusOne();
    fld(st1);
    fdivr(st0, st1);
    fscale();
    fxch(st2);
    fscale();
    fstp(st1);
    fld(st0);
    fadd(st0, st2);
    if (code == FunctionCode::Sinh) {
      fxch(st2);
      fsubp(st1, st0);
    } else {
      fxch(st1);
      fsubrp(st2, st0);
    }
  }

  // x -> arcsin x 1/sqrt(1-x^2), or x -> arccos x -1/sqrt(1-x^2); beyond the open unit interval
  // the substitute values with slope 0.
  void ArcSineOrCosine(FunctionCode code) {
    Xbyak::Label out, positive, multiply;
    CompareOneWithMagnitude();
    jbe(out);
    RootOfOneMinusSquare();
    fld1();
    fdiv(st0, st1);
    if (code == FunctionCode::ArcSin) {
      fxch(st2);
      fxch(st1);
    } else {
      fchs();
      fxch(st2);
    }
    fpatan();
    fxch(st1);
    jmp(multiply);
    L(out);
    if (code == FunctionCode::ArcSin) {
      CompareZeroWithTopAndDrop();
      LoadMinusOne();
      fldpi();
      fscale();
      fstp(st1);
      jb(positive);
      fchs();
      L(positive);
    } else {
      ArcCosineBeyondOne();
    }
    fldz();
    L(multiply);
  }

  // x -> arctan x 1/(1+x^2).
  void ArcTangentWithSlope() {
    fld(st0);
    ArcTangent();
    fxch(st1);
    fmul(st0, st0);
    fld1();
    fadd(st1, st0);
    fdivrp(st1, st0);
  }

  // x -> |x|, x' -> -x' where x < 0.
  void Absolute() {
    Xbyak::Label end;
    CompareZeroWithTop();
    jbe(end);
    fchs();
    NegateSlot();
    L(end);
  }

  // x -> cot x -(1+cot^2 x); 0 and 0 where x is a multiple of pi.
  void Cotangent() {
    Xbyak::Label zero, multiply;
    ReduceByPi();
    CompareZeroWithTop();
    je(zero);
    fptan();
    fdivr(st1, st0);
    fxch(st1);
    PushSquare();
    faddp(st2, st0);
    fxch(st1);
    fchs();
    jmp(multiply);
    L(zero);
    ReplaceByTwoZeros();
    L(multiply);
  }

  // x -> arcosh x 1/sqrt(x^2-1); 0 and 0 where x <= 1.
  void HyperbolicArcCosine() {
    Xbyak::Label out, multiply;
    CompareOneWithTop();
    jae(out);
    RootOfSquareMinusOne();
    fld(st0);
    faddp(st2, st0);
    fxch(st1);
    NaturalLog();
    fxch(st1);
    Reciprocal();
    jmp(multiply);
    L(out);
    ReplaceByTwoZeros();
    L(multiply);
  }

  // x -> artanh x 1/(1-x^2); beyond the open unit interval +-1e24 with slope 0.
  void HyperbolicArcTangent() {
    Xbyak::Label out, multiply;
    CompareOneWithMagnitude();
    jbe(out);
    OnePlusAndOneMinus();
    fld(st0);
    fmul(st0, st2);
    fxch(st2);
    fdivrp(st1, st0);
    NaturalLog();
    HalveKeepingScale();
    fxch(st2);
    fdivp(st1, st0);
    fchs();
    jmp(multiply);
    L(out);
    ArcTanhBeyondOne();
    fldz();
    L(multiply);
  }

  // x -> arsinh x 1/sqrt(x^2+1). sign(x) ln(|x| + sqrt(x^2 + 1)), as the value evaluator
  // computes it: for x far below 0,
  // x + sqrt(x^2 + 1) cancels to nothing. The flags of the first comparison survive the
  // arithmetic and decide the sign; the slope 1/sqrt(x^2 + 1) is even.
  void HyperbolicArcSine() {
    Xbyak::Label keepSign;
    MagnitudeAndRootOfSquarePlusOne();
    fld(st0);
    fxch(st2);
    faddp(st1, st0);
    NaturalLog();
    jbe(keepSign);
    fchs();
    L(keepSign);
    fxch(st1);
    Reciprocal();
  }

  const TOCFunctDDDoubleSafe &F;
  int Level = 0;
};

#endif

} // namespace

void TOCFunctDDDoubleSafe::GenerateDerivativeCode() {
  const bool runnable = DerivativeSlots.size() == static_cast<std::size_t>(MaxStackDepth()) + 1 &&
                        IsWellFormed(Postfix, VariableCount, Constants.size()) &&
                        ReuseState != nullptr && ReuseState->ForPostfix == Postfix;
  if (runnable)
    ReuseState->ReferenceDerivatives = FoldByReference(*this, ReuseState->Plan, Pass::Derivative);
  DerivativeEntry =
      x87::GenerateCode<DerivativeProgram>(*this, runnable, DerivativeCode, DerivativeBlock);
}

DerivativeResult TOCFunctDDDoubleSafe::EvaluateWithDerivative(const double *values) {
  if (DerivativeEntry != nullptr) {
    const long double value = DerivativeEntry(values, 2 * VariableCount - 1);
    return {static_cast<double>(value), DerivativeSlots[1]};
  }
  if (!Compiled)
    return {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN()};
  return EvaluateWithDerivativeReference(values);
}

} // namespace tandor
