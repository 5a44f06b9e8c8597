// The value-and-derivative evaluator: Postfix translated into forward-mode x87 code. Values
// live on the x87 stack as in the value evaluator; the derivative of level d lives in the double
// DerivativeSlots[d].

#include <exception>
#include <limits>

#include "formula/EvaluatorPlan.h"
#include "formula/ExecutableBlock.h"
#include "formula/OCFunctDDDoubleSafe.h"
#include "formula/X87Sequences.h"

namespace tandor {

namespace {

using namespace evaluator;

#ifdef TANDOR_X87_MACHINE_CODE

using namespace Xbyak::util;
using x87::ConstantsBase;
using x87::SlotsBase;
using x87::ValuesBase;

constexpr std::size_t BytesPerToken = 256;

class DerivativeProgram : public x87::Emitter {
public:
  explicit DerivativeProgram(const TOCFunctDDDoubleSafe &f)
      : Emitter(BytesPerToken * (f.Postfix.size() + 2)), F(f) {}

  void Generate() {
    LoadBases(F.Constants.data(), F.DerivativeSlots.data());
    const std::string &postfix = F.Postfix;
    for (std::size_t i = 0; i < postfix.size(); ++i) {
      const auto token = static_cast<unsigned char>(postfix[i]);
      if (token == OperandMarker || token == '1' || token == 'p')
        Operand(token, token == OperandMarker ? static_cast<unsigned char>(postfix[++i]) : 0);
      else if (IsBinaryOperator(token))
        Binary(token);
      else if (token == '#')
        Negate();
      else
        Function(token);
    }
    ret();
  }

private:
  Xbyak::Address Slot(int level) const { return qword[SlotsBase + 8 * level]; }

  void Operand(unsigned char token, int k) {
    EnsureFree(RegistersToReserve(token, Pass::Derivative));
    ++Level;
    if (token == OperandMarker) {
      const OperandSource source = DecodeOperand(k, F.VariableCount);
      if (source.kind == OperandSource::Variable) {
        fld(qword[ValuesBase + 8 * (source.index + F.VariableCount)]);
        fstp(Slot(Level));
        fld(qword[ValuesBase + 8 * source.index]);
      } else {
        fldz();
        fstp(Slot(Level));
        fld(qword[ConstantsBase + 8 * source.index]);
      }
    } else {
      fldz();
      fstp(Slot(Level));
      if (token == '1')
        fld1();
      else
        fldpi();
    }
    --FreeRegisters;
  }

  void Binary(unsigned char op) {
    if (FreeRegisters == 7)
      ReloadSpilled();
    EnsureFree(RegistersToReserve(op, Pass::Derivative));
    switch (op) {
    case '+':
    case '-':
      if (op == '+')
        faddp(st1, st0);
      else
        fsubp(st1, st0);
      fld(Slot(Level - 1));
      fld(Slot(Level));
      if (op == '+')
        faddp(st1, st0);
      else
        fsubp(st1, st0);
      fstp(Slot(Level - 1));
      break;
    case '*':
      Product();
      break;
    default:
      Quotient();
    }
    ++FreeRegisters;
    --Level;
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
    Xbyak::Label divide, end;
    fldz();
    fcomip(st0, st1);
    jne(divide);
    fstp(st0);
    LoadGuard(&GuardConstants::HugeValue);
    fmulp(st1, st0);
    fldz();
    fstp(Slot(Level - 1));
    jmp(end);
    L(divide);
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
    L(end);
  }

  void Negate() {
    EnsureFree(RegistersToReserve('#', Pass::Derivative));
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
    EnsureFree(RegistersToReserve(code, Pass::Derivative));
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
      break;
    case 'K':
    case 'L':
      ArcSineOrCosine(code);
      break;
    case 'M':
      ArcTangent();
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

  void SquareRoot() {
    Xbyak::Label root, store;
    fldz();
    fcomip(st0, st1);
    jb(root);
    fstp(st0);
    fldz();
    fldz();
    jmp(store);
    L(root);
    fsqrt();
    fld(st0);
    fadd(st0, st0);
    fld(Slot(Level));
    fdivrp(st1, st0);
    L(store);
    fstp(Slot(Level));
  }

  void Logarithm() {
    Xbyak::Label log, store;
    fldz();
    fcomip(st0, st1);
    jb(log);
    fstp(st0);
    LoadGuard(&GuardConstants::ExpLimit);
    fchs();
    fldz();
    jmp(store);
    L(log);
    fld(st0);
    NaturalLog();
    fxch(st1);
    fld(Slot(Level));
    fdivrp(st1, st0);
    L(store);
    fstp(Slot(Level));
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

  void HyperbolicTangent() {
    SafeExp();
    fmul(st0, st0);
    fld1();
    fsubr(st0, st1);
    fxch(st1);
    fld1();
    faddp(st1, st0);
    fdivp(st1, st0);
    fld(st0);
    fmul(st0, st0);
    fld1();
    fsubrp(st1, st0);
  }

  void ArcSineOrCosine(unsigned char code) {
    Xbyak::Label out, positive, zero, valueDone, multiply;
    fld(st0);
    fabs();
    fld1();
    fcomip(st0, st1);
    fstp(st0);
    jbe(out);
    fld(st0);
    fmul(st0, st0);
    fld1();
    fsubrp(st1, st0);
    fsqrt();
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
    fldz();
    fcomip(st0, st1);
    fstp(st0);
    if (code == 'K') {
      fld1();
      fchs();
      fldpi();
      fscale();
      fstp(st1);
      jb(positive);
      fchs();
      L(positive);
    } else {
      jb(zero);
      fldpi();
      jmp(valueDone);
      L(zero);
      fldz();
      L(valueDone);
    }
    fldz();
    L(multiply);
  }

  void ArcTangent() {
    fld(st0);
    fld1();
    fpatan();
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
    fld(st0);
    fmul(st0, st0);
    fld1();
    fsubp(st1, st0);
    fsqrt();
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
    Xbyak::Label out, negative, slope, multiply;
    fld(st0);
    fabs();
    fld1();
    fcomip(st0, st1);
    fstp(st0);
    jbe(out);
    fld(st0);
    fld1();
    faddp(st1, st0);
    fxch(st1);
    fld1();
    fsubrp(st1, st0);
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
    fldz();
    fcomip(st0, st1);
    fstp(st0);
    ja(negative);
    LoadGuard(&GuardConstants::HugeValue);
    jmp(slope);
    L(negative);
    LoadGuard(&GuardConstants::MinusHugeValue);
    L(slope);
    fldz();
    L(multiply);
  }

  void HyperbolicArcSine() {
    fld(st0);
    fmul(st0, st0);
    fld1();
    faddp(st1, st0);
    fsqrt();
    fld(st0);
    fxch(st2);
    faddp(st1, st0);
    NaturalLog();
    fxch(st1);
    fld1();
    fdivrp(st1, st0);
  }

  const TOCFunctDDDoubleSafe &F;
  int Level = 0;
};

std::vector<uint8_t> EmitDerivativeCode(const TOCFunctDDDoubleSafe &f) {
  try {
    DerivativeProgram program(f);
    program.Generate();
    return program.Bytes();
  } catch (const std::exception &) {
    return {};
  } catch (...) {
    return {};
  }
}

#else

std::vector<uint8_t> EmitDerivativeCode(const TOCFunctDDDoubleSafe &) {
  return {};
}

#endif

} // namespace

void TOCFunctDDDoubleSafe::GenerateDerivativeCode() {
  DerivativeEntry = nullptr;
  DerivativeCode.clear();
  std::unique_ptr<ExecutableBlock> block;
  const bool slotsSized = DerivativeSlots.size() == static_cast<std::size_t>(MaxStackDepth()) + 1;
  if (slotsSized && IsWellFormed(Postfix, VariableCount, Constants.size())) {
    DerivativeCode = EmitDerivativeCode(*this);
    if (!DerivativeCode.empty())
      block = ExecutableBlock::Create(DerivativeCode);
  }
  if (block != nullptr)
    DerivativeEntry = reinterpret_cast<EvaluatorEntry>(const_cast<void *>(block->Entry()));
  DerivativeBlock = std::move(block);
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
