// The value evaluator: Postfix translated into straight-line x87 code, one sequence per token.

#include "formula/EvaluatorPlan.h"
#include "formula/FormulaCompiler.h"
#include "formula/ValueReuse.h"
#include "formula/X87Sequences.h"

namespace tandor {

namespace {

using namespace evaluator;

class ValueProgram;

#ifdef TANDOR_X87_MACHINE_CODE

using namespace Xbyak::util;

// Longest sequence of one token, spills included, with room to spare.
constexpr std::size_t BytesPerToken = 192;

class ValueProgram : public x87::Emitter {
public:
  explicit ValueProgram(const TOCFunctDDDoubleSafe &f)
      : Emitter(BytesPerToken * (f.Postfix.size() + 2) +
                x87::ReuseRecordBytes * (f.Reuse()->Plan.FoldedValues.size() + 1)),
        F(f) {}

  void Generate() {
    const ReusePlan &plan = F.Reuse()->Plan;
    const TOCFunctDDDoubleSafe *formula = &F;
    const std::vector<FoldedNumber> folded = FoldByMachineCode({&formula, 1}, plan, Pass::Value);
    LoadBases(F.Constants.data(), nullptr);
    OpenFrame(plan.SlotCount);
    Translate(*this, F.Postfix, plan.Steps[0], Pass::Value);
    Close(folded);
  }

private:
  friend class x87::Emitter;

  // -> the operand.
  void Operand(unsigned char token, int k) { LoadOperand(token, k, F.VariableCount); }

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
  void Load(const ReuseStep &step) {
    LoadExtended(step.kind == ReuseStep::LoadSaved ? SavedValue(step.Index)
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
    LoadGuard(&GuardConstants::HalfPi);
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

  const TOCFunctDDDoubleSafe &F;
};

#endif

} // namespace

void TOCFunctDDDoubleSafe::GenerateValueCode() {
  ++CodeGeneration;
  // The derivative evaluator refers to the slots about to be resized: it is stale from here on.
  DerivativeEntry = nullptr;
  DerivativeBlock.reset();
  DerivativeCode.clear();
  DerivativeSlots.assign(static_cast<std::size_t>(MaxStackDepth()) + 1, 0.0);

  const bool runnable = IsWellFormed(Postfix, VariableCount, Constants.size());
  ReuseState.reset();
  if (runnable) {
    auto reuse = std::make_unique<FormulaReuse>();
    reuse->ForPostfix = Postfix;
    const PlanInput input = PlanInputOf(*this);
    reuse->Plan = MakeReusePlan({&input, 1}, ReuseSubexpressions);
    reuse->ReferenceValues = FoldByReference(*this, reuse->Plan, Pass::Value);
    ReuseState = std::move(reuse);
  }
  ValueEntry = x87::GenerateCode<ValueProgram>(*this, runnable, ValueCode, ValueBlock);
}

} // namespace tandor
