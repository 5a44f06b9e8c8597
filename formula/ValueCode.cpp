// The value evaluator: Postfix translated into straight-line x87 code, one sequence per token.

#include <exception>

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
using x87::ValuesBase;

// Longest sequence of one token, spills included, with room to spare.
constexpr std::size_t BytesPerToken = 192;

class ValueProgram : public x87::Emitter {
public:
  explicit ValueProgram(const TOCFunctDDDoubleSafe &f)
      : Emitter(BytesPerToken * (f.Postfix.size() + 2)), F(f) {}

  void Generate() {
    LoadBases(F.Constants.data(), nullptr);
    const std::string &postfix = F.Postfix;
    for (std::size_t i = 0; i < postfix.size(); ++i) {
      const auto token = static_cast<unsigned char>(postfix[i]);
      if (token == OperandMarker || token == '1' || token == 'p')
        Operand(token, token == OperandMarker ? static_cast<unsigned char>(postfix[++i]) : 0);
      else if (IsBinaryOperator(token))
        Binary(token);
      else if (token == '#')
        fchs();
      else
        Function(token);
    }
    ret();
  }

private:
  void Operand(unsigned char token, int k) {
    EnsureFree(RegistersToReserve(token, Pass::Value));
    if (token == '1') {
      fld1();
    } else if (token == 'p') {
      fldpi();
    } else {
      const OperandSource source = DecodeOperand(k, F.VariableCount);
      if (source.kind == OperandSource::Variable)
        fld(qword[ValuesBase + 8 * source.index]);
      else
        fld(qword[ConstantsBase + 8 * source.index]);
    }
    --FreeRegisters;
  }

  void Binary(unsigned char op) {
    if (FreeRegisters == 7)
      ReloadSpilled();
    EnsureFree(RegistersToReserve(op, Pass::Value));
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
    ++FreeRegisters;
  }

  void Function(unsigned char code) {
    EnsureFree(RegistersToReserve(code, Pass::Value));
    switch (code) {
    case 'A':
      ReduceByTwoPi();
      fcos();
      break;
    case 'B':
      ReduceByTwoPi();
      fsin();
      break;
    case 'C':
      SafeExp();
      break;
    case 'D':
      fmul(st0, st0);
      break;
    case 'E':
      SquareRoot();
      break;
    case 'F':
      SafeLn();
      break;
    case 'G':
      ReduceByPi();
      fptan();
      fstp(st0);
      break;
    case 'H':
    case 'I':
      Hyperbolic(code);
      break;
    case 'J':
      HyperbolicTangent();
      break;
    case 'K':
      ArcSine();
      break;
    case 'L':
      ArcCosine();
      break;
    case 'M':
      fld1();
      fpatan();
      break;
    case 'N':
      fabs();
      break;
    case 'O':
      ReduceByPi();
      fsincos();
      fxch(st1);
      SafeDivide();
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
  }

  void SquareRoot() {
    Xbyak::Label root, end;
    fldz();
    fcomip(st0, st1);
    jb(root);
    fstp(st0);
    fldz();
    jmp(end);
    L(root);
    fsqrt();
    L(end);
  }

  // (e - 1/e) / 2 for sinh, (e + 1/e) / 2 for cosh.
  void Hyperbolic(unsigned char code) {
    SafeExp();
    fld(st0);
    fld1();
    fdivrp(st1, st0);
    if (code == 'H')
      fsubp(st1, st0);
    else
      faddp(st1, st0);
    fld1();
    fchs();
    fxch(st1);
    fscale();
    fstp(st1);
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
  }

  // Leaves sqrt(1 - x^2) on top of x; the caller has already left |x| > 1 aside.
  void RootOfOneMinusSquare() {
    fld(st0);
    fmul(st0, st0);
    fld1();
    fsubrp(st1, st0);
    fsqrt();
  }

  // Jumps to out when |x| > 1 (or x is not a number); x stays on top.
  void JumpIfOutsideUnitInterval(Xbyak::Label &out) {
    fld(st0);
    fabs();
    fld1();
    fcomip(st0, st1);
    fstp(st0);
    jb(out);
  }

  void ArcSine() {
    Xbyak::Label out, end;
    JumpIfOutsideUnitInterval(out);
    RootOfOneMinusSquare();
    fpatan();
    jmp(end);
    L(out);
    fldz();
    fcomip(st0, st1);
    fstp(st0);
    LoadGuard(&GuardConstants::HalfPi);
    jb(end);
    fchs();
    L(end);
  }

  void ArcCosine() {
    Xbyak::Label out, zero, end;
    JumpIfOutsideUnitInterval(out);
    RootOfOneMinusSquare();
    fxch(st1);
    fpatan();
    jmp(end);
    L(out);
    fldz();
    fcomip(st0, st1);
    fstp(st0);
    jb(zero);
    fldpi();
    jmp(end);
    L(zero);
    fldz();
    L(end);
  }

  void HyperbolicArcCosine() {
    Xbyak::Label low, end;
    fld1();
    fcomip(st0, st1);
    ja(low);
    fld(st0);
    fmul(st0, st0);
    fld1();
    fsubp(st1, st0);
    fsqrt();
    faddp(st1, st0);
    NaturalLog();
    jmp(end);
    L(low);
    fstp(st0);
    fldz();
    L(end);
  }

  void HyperbolicArcTangent() {
    Xbyak::Label out, negative, end;
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
    fdivp(st1, st0);
    NaturalLog();
    fld1();
    fchs();
    fxch(st1);
    fscale();
    fstp(st1);
    jmp(end);
    L(out);
    fldz();
    fcomip(st0, st1);
    fstp(st0);
    ja(negative);
    LoadGuard(&GuardConstants::HugeValue);
    jmp(end);
    L(negative);
    LoadGuard(&GuardConstants::MinusHugeValue);
    L(end);
  }

  // The flags of the first comparison survive the arithmetic and decide the sign at the end.
  void HyperbolicArcSine() {
    Xbyak::Label end;
    fldz();
    fcomip(st0, st1);
    fabs();
    fld(st0);
    fmul(st0, st0);
    fld1();
    faddp(st1, st0);
    fsqrt();
    faddp(st1, st0);
    NaturalLog();
    jbe(end);
    fchs();
    L(end);
  }

  const TOCFunctDDDoubleSafe &F;
};

// The machine code of the value evaluator, or nothing when it cannot be made.
std::vector<uint8_t> EmitValueCode(const TOCFunctDDDoubleSafe &f) {
  try {
    ValueProgram program(f);
    program.Generate();
    return program.Bytes();
  } catch (const std::exception &) {
    return {};
  } catch (...) {
    return {};
  }
}

#else

std::vector<uint8_t> EmitValueCode(const TOCFunctDDDoubleSafe &) {
  return {};
}

#endif

} // namespace

void TOCFunctDDDoubleSafe::GenerateValueCode() {
  // The derivative evaluator refers to the slots about to be resized: it is stale from here on.
  DerivativeEntry = nullptr;
  DerivativeBlock.reset();
  DerivativeCode.clear();
  DerivativeSlots.assign(static_cast<std::size_t>(MaxStackDepth()) + 1, 0.0);

  ValueEntry = nullptr;
  ValueCode.clear();
  std::unique_ptr<ExecutableBlock> block;
  if (IsWellFormed(Postfix, VariableCount, Constants.size())) {
    ValueCode = EmitValueCode(*this);
    if (!ValueCode.empty())
      block = ExecutableBlock::Create(ValueCode);
  }
  if (block != nullptr)
    ValueEntry = reinterpret_cast<EvaluatorEntry>(const_cast<void *>(block->Entry()));
  ValueBlock = std::move(block);
}

} // namespace tandor
