// The value-and-derivative evaluator: Postfix translated into forward-mode x87 code. Values
// live on the x87 stack as in the value evaluator; the derivative of level d lives in the double
// DerivativeSlots[d].

#include <limits>

#include "formula/EvaluatorPlan.h"
#include "formula/OCFunctDDDoubleSafe.h"
#include "formula/X87Sequences.h"

namespace tandor {

namespace {

using namespace evaluator;

#ifdef TANDOR_X87_MACHINE_CODE

using namespace Xbyak::util;
using x87::SlotsBase;

constexpr std::size_t BytesPerToken = 256;

class DerivativeProgram : public x87::Emitter {
public:
  explicit DerivativeProgram(const TOCFunctDDDoubleSafe &f)
      : Emitter(BytesPerToken * (f.Postfix.size() + 2)), F(f) {}

  void Generate() {
    LoadBases(F.Constants.data(), F.DerivativeSlots.data());
    Translate(*this, F.Postfix, Pass::Derivative);
  }

private:
  friend class x87::Emitter;

  Xbyak::Address Slot(int level) const { return qword[SlotsBase + 8 * level]; }

  // The operand's derivative goes to its slot first: a variable's direction, 0 for the rest.
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

  // The same operation on the values and on their derivatives.
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
    fld(Slot(Level));
    fmulp(st1, st0);
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

  void DivideWithSlope() {
    fld1();
    fdivrp(st1, st0);
    fld(st0);
    fmul(st0, st2);
    fxch(st2);
    fld(Slot(Level - 1));
    fmul(st0, st2);
    fxch(st2);
    fmul(st0, st0);
    fmulp(st1, st0);
    fld(Slot(Level));
    fmulp(st1, st0);
    fsubp(st1, st0);
    fstp(Slot(Level - 1));
  }

  void Negate() {
    fchs();
    NegateSlot();
  }

  void NegateSlot() {
    fld(Slot(Level));
    fchs();
    fstp(Slot(Level));
  }

  // f'(x) on top of f(x) becomes f'(x)*x' in the slot.
  void TimesSlot() {
    fld(Slot(Level));
    fmulp(st1, st0);
    fstp(Slot(Level));
  }

  void Function(unsigned char code) {
    switch (code) {
    case 'A':
      ReduceByTwoPi();
      fsincos();
      fxch(st1);
      fchs();
      break;
    case 'B':
      ReduceByTwoPi();
      fsincos();
      break;
    case 'C':
      SafeExp();
      fld(st0);
      break;
    case 'D':
      fld(st0);
      fmul(st0, st0);
      fxch(st1);
      fadd(st0, st0);
      break;
    case 'E':
      SquareRoot();
      return;
    case 'F':
      Logarithm();
      return;
    case 'G':
      ReduceByPi();
      fptan();
      fld(st1);
      fmul(st0, st0);
      faddp(st1, st0);
      break;
    case 'H':
    case 'I':
      Hyperbolic(code);
      break;
    case 'J':
      HyperbolicTangent();
      OneMinusSquare();
      break;
    case 'K':
    case 'L':
      ArcSineOrCosine(code);
      break;
    case 'M':
      ArcTangentWithSlope();
      break;
    case 'N':
      Absolute();
      return;
    case 'O':
      Cotangent();
      break;
    case 'P':
      HyperbolicArcCosine();
      break;
    case 'Q':
      HyperbolicArcTangent();
      break;
    case 'R':
      HyperbolicArcSine();
      break;
    }
    TimesSlot();
  }

  // sqrt and ln: the slope is x' divided by what positive leaves above the value; where x <= 0
  // the value is what otherwise loads and the slope 0.
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

  void SquareRoot() {
    SlopeByDivision(
        [this] {
          fsqrt();
          fld(st0);
          fadd(st0, st0);
        },
        [this] { fldz(); });
  }

  void Logarithm() {
    SlopeByDivision(
        [this] {
          fld(st0);
          NaturalLog();
          fxch(st1);
        },
        [this] { LoadLnOfNonPositive(); });
  }

  // e/2 and -1/(2e) by scaling, then their sum and difference: sinh with cosh as its slope,
  // cosh with sinh.
  void Hyperbolic(unsigned char code) {
    SafeExp();
    fld1();
    fchs();
    fld(st1);
    fdivr(st0, st1);
    fscale();
    fxch(st2);
    fscale();
    fstp(st1);
    fld(st0);
    fadd(st0, st2);
    if (code == 'H') {
      fxch(st2);
      fsubp(st1, st0);
    } else {
      fxch(st1);
      fsubrp(st2, st0);
    }
  }

  void ArcSineOrCosine(unsigned char code) {
    Xbyak::Label out, positive, multiply;
    CompareOneWithMagnitude();
    jbe(out);
    RootOfOneMinusSquare();
    fld1();
    fdiv(st0, st1);
    if (code == 'K') {
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
    if (code == 'K') {
      CompareZeroWithTopAndDrop();
      fld1();
      fchs();
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

  void ArcTangentWithSlope() {
    fld(st0);
    ArcTangent();
    fxch(st1);
    fmul(st0, st0);
    fld1();
    fadd(st1, st0);
    fdivrp(st1, st0);
  }

  void Absolute() {
    Xbyak::Label end;
    fldz();
    fcomip(st0, st1);
    jbe(end);
    fchs();
    NegateSlot();
    L(end);
  }

  void Cotangent() {
    Xbyak::Label zero, multiply;
    ReduceByPi();
    fldz();
    fcomip(st0, st1);
    je(zero);
    fptan();
    fdivr(st1, st0);
    fxch(st1);
    fld(st0);
    fmul(st0, st0);
    faddp(st2, st0);
    fxch(st1);
    fchs();
    jmp(multiply);
    L(zero);
    fstp(st0);
    fldz();
    fldz();
    L(multiply);
  }

  void HyperbolicArcCosine() {
    Xbyak::Label out, multiply;
    fld1();
    fcomip(st0, st1);
    jae(out);
    RootOfSquareMinusOne();
    fld(st0);
    faddp(st2, st0);
    fxch(st1);
    NaturalLog();
    fxch(st1);
    fld1();
    fdivrp(st1, st0);
    jmp(multiply);
    L(out);
    fstp(st0);
    fldz();
    fldz();
    L(multiply);
  }

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
    fld1();
    fchs();
    fxch(st1);
    fscale();
    fxch(st2);
    fdivp(st1, st0);
    fchs();
    jmp(multiply);
    L(out);
    ArcTanhBeyondOne();
    fldz();
    L(multiply);
  }

  // sign(x) ln(|x| + sqrt(x^2 + 1)), as the value evaluator computes it: for x far below 0,
  // x + sqrt(x^2 + 1) cancels to nothing. The flags of the first comparison survive the
  // arithmetic and decide the sign; the slope 1/sqrt(x^2 + 1) is even.
  void HyperbolicArcSine() {
    Xbyak::Label keepSign;
    fldz();
    fcomip(st0, st1);
    fabs();
    RootOfSquarePlusOne();
    fld(st0);
    fxch(st2);
    faddp(st1, st0);
    NaturalLog();
    jbe(keepSign);
    fchs();
    L(keepSign);
    fxch(st1);
    fld1();
    fdivrp(st1, st0);
  }

  const TOCFunctDDDoubleSafe &F;
  int Level = 0;
};

#endif

std::vector<uint8_t> EmitDerivativeCode([[maybe_unused]] const TOCFunctDDDoubleSafe &f) {
#ifdef TANDOR_X87_MACHINE_CODE
  return x87::Emit<DerivativeProgram>(f);
#else
  return {};
#endif
}

} // namespace

void TOCFunctDDDoubleSafe::GenerateDerivativeCode() {
  const bool runnable = DerivativeSlots.size() == static_cast<std::size_t>(MaxStackDepth()) + 1 &&
                        IsWellFormed(Postfix, VariableCount, Constants.size());
  DerivativeEntry = x87::Install(runnable ? EmitDerivativeCode(*this) : std::vector<uint8_t>{},
                                 DerivativeCode, DerivativeBlock);
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
