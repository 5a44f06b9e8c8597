// The reference evaluator: the postfix program run in plain long double arithmetic, step for
// step as the generated x87 sequences run it. It is the evaluator wherever no machine code can
// be made, and the oracle the machine code is tested against, so it follows the sequences'
// operation order, their comparisons (an unordered comparison takes the jump the flags give),
// their constants (FLDPI, FLDL2E, FLDLN2 in extended precision; the guard constants as doubles)
// and the rounding to double of every value the register allocation spills.

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "formula/EvaluatorPlan.h"
#include "formula/FormulaCompiler.h"
#include "formula/ValueReuse.h"

namespace tandor {

namespace {

using Real = long double;
using namespace evaluator;

constexpr Real Pi = 3.141592653589793238462643383279502884L;    // FLDPI
constexpr Real Log2E = 1.442695040888963407359924681001892137L; // FLDL2E
constexpr Real Ln2 = 0.693147180559945309417232121458176568L;   // FLDLN2
constexpr Real Huge = Guards.HugeValue;
constexpr Real Tiny = Guards.TinyValue;
constexpr Real Limit = Guards.ExpLimit;
constexpr Real QuietNaN = std::numeric_limits<Real>::quiet_NaN();

// FCOMIP compares ST(0) (top) with ST(1); an unordered pair sets ZF, PF and CF.
bool JumpBelow(Real top, Real other) {
  return !(top >= other);
} // CF
bool JumpBelowEqual(Real top, Real other) {
  return !(top > other);
} // CF or ZF
bool JumpAbove(Real top, Real other) {
  return top > other;
} // neither
bool JumpAboveEqual(Real top, Real other) {
  return top >= other;
} // not CF
bool JumpEqual(Real top, Real other) {
  return !(top < other || top > other);
} // ZF

// The reduction repeats the partial remainder until it is complete, so it is the exact fmod.
Real ReduceByTwoPi(Real x) {
  return std::fmod(x, Pi + Pi);
}
Real ReduceByPi(Real x) {
  return std::fmod(x, Pi);
}

Real NaturalLog(Real x) {
  return std::log2(x) * Ln2;
} // FYL2X with 1, times FLDLN2

Real SafeLn(Real x) {
  return JumpBelow(0, x) ? NaturalLog(x) : -Limit;
}

Real SafeExp2(Real y) {
  if (JumpBelow(Limit, std::fabs(y)))
    return JumpBelow(0, y) ? Huge : Tiny;
  const Real whole = std::nearbyint(y);
  return std::exp2(y - whole) * std::ldexp(Real(1), static_cast<int>(whole));
}

Real SafeExp(Real x) {
  return SafeExp2(x * Log2E);
}

Real SafeDivide(Real a, Real b) {
  return JumpEqual(0, b) ? a * Huge : a / b;
}

Real HalveByScale(Real x) {
  return std::ldexp(x, -1);
} // FSCALE by -1

Real ValueOfFunction(FunctionCode code, Real x) {
  switch (code) {
  case FunctionCode::Cos:
    return std::cos(ReduceByTwoPi(x));
  case FunctionCode::Sin:
    return std::sin(ReduceByTwoPi(x));
  case FunctionCode::Exp:
    return SafeExp(x);
  case FunctionCode::Square:
    return x * x;
  case FunctionCode::Sqrt:
    return JumpBelow(0, x) ? std::sqrt(x) : 0;
  case FunctionCode::Ln:
    return SafeLn(x);
  case FunctionCode::Tan:
    return std::tan(ReduceByPi(x));
  case FunctionCode::Sinh: {
    const Real e = SafeExp(x);
    return HalveByScale(e - 1 / e);
  }
  case FunctionCode::Cosh: {
    const Real e = SafeExp(x);
    return HalveByScale(e + 1 / e);
  }
  case FunctionCode::Tanh: {
    const Real e = SafeExp(x);
    const Real square = e * e;
    return (square - 1) / (square + 1);
  }
  case FunctionCode::ArcSin:
    if (JumpBelow(1, std::fabs(x)))
      return JumpBelow(0, x) ? Real(Guards.HalfPi) : -Real(Guards.HalfPi);
    return std::atan2(x, std::sqrt(1 - x * x));
  case FunctionCode::ArcCos:
    if (JumpBelow(1, std::fabs(x)))
      return JumpBelow(0, x) ? 0 : Pi;
    return std::atan2(std::sqrt(1 - x * x), x);
  case FunctionCode::ArcTan:
    return std::atan2(x, Real(1));
  case FunctionCode::Abs:
    return std::fabs(x);
  case FunctionCode::Cot: {
    const Real r = ReduceByPi(x);
    return SafeDivide(std::cos(r), std::sin(r));
  }
  case FunctionCode::ArcCosh:
    if (JumpAbove(1, x))
      return 0;
    return NaturalLog(x + std::sqrt(x * x - 1));
  case FunctionCode::ArcTanh:
    if (JumpBelowEqual(1, std::fabs(x)))
      return JumpAbove(0, x) ? -Huge : Huge;
    return HalveByScale(NaturalLog((x + 1) / (1 - x)));
  case FunctionCode::ArcSinh: {
    const bool keepSign = JumpBelowEqual(0, x);
    const Real a = std::fabs(x);
    const Real result = NaturalLog(a + std::sqrt(a * a + 1));
    return keepSign ? result : -result;
  }
  default:
    return QuietNaN;
  }
}

struct ValueAndSlope {
  Real value;
  Real factor; // f'(x), multiplied by the slot x' afterwards
};

ValueAndSlope DerivativeOfFunction(FunctionCode code, Real x) {
  switch (code) {
  case FunctionCode::Cos: {
    const Real r = ReduceByTwoPi(x);
    return {std::cos(r), -std::sin(r)};
  }
  case FunctionCode::Sin: {
    const Real r = ReduceByTwoPi(x);
    return {std::sin(r), std::cos(r)};
  }
  case FunctionCode::Exp: {
    const Real e = SafeExp(x);
    return {e, e};
  }
  case FunctionCode::Square:
    return {x * x, x + x};
  case FunctionCode::Tan: {
    const Real t = std::tan(ReduceByPi(x));
    return {t, 1 + t * t};
  }
  case FunctionCode::Sinh:
  case FunctionCode::Cosh: {
    const Real e = SafeExp(x);
    const Real half = HalveByScale(e);
    const Real minusHalfInverse = HalveByScale(-1 / e);
    const Real sum = half + minusHalfInverse;
    const Real difference = half - minusHalfInverse;
    return code == FunctionCode::Sinh ? ValueAndSlope{sum, difference}
                                      : ValueAndSlope{difference, sum};
  }
  case FunctionCode::Tanh: {
    const Real e = SafeExp(x);
    const Real square = e * e;
    const Real t = (square - 1) / (square + 1);
    return {t, 1 - t * t};
  }
  case FunctionCode::ArcSin:
  case FunctionCode::ArcCos: {
    if (JumpBelowEqual(1, std::fabs(x))) {
      if (code == FunctionCode::ArcSin)
        return {JumpBelow(0, x) ? HalveByScale(Pi) : -HalveByScale(Pi), 0};
      return {JumpBelow(0, x) ? 0 : Pi, 0};
    }
    const Real root = std::sqrt(1 - x * x);
    const Real inverse = 1 / root;
    if (code == FunctionCode::ArcSin)
      return {std::atan2(x, root), inverse};
    return {std::atan2(root, x), -inverse};
  }
  case FunctionCode::ArcTan:
    return {std::atan2(x, Real(1)), 1 / (x * x + 1)};
  case FunctionCode::Cot: {
    const Real r = ReduceByPi(x);
    if (JumpEqual(0, r))
      return {0, 0};
    const Real c = 1 / std::tan(r);
    return {c, -(c * c + 1)};
  }
  case FunctionCode::ArcCosh: {
    if (JumpAboveEqual(1, x))
      return {0, 0};
    const Real root = std::sqrt(x * x - 1);
    return {NaturalLog(x + root), 1 / root};
  }
  case FunctionCode::ArcTanh: {
    if (JumpBelowEqual(1, std::fabs(x)))
      return {JumpAbove(0, x) ? -Huge : Huge, 0};
    const Real plus = x + 1;
    const Real minus = 1 - x;
    const Real product = minus * plus;
    return {HalveByScale(NaturalLog(plus / minus)), -(-1 / product)};
  }
  case FunctionCode::ArcSinh: {
    const bool keepSign = JumpBelowEqual(0, x);
    const Real a = std::fabs(x);
    const Real root = std::sqrt(a * a + 1);
    const Real result = NaturalLog(a + root);
    return {keepSign ? result : -result, 1 / root};
  }
  default:
    return {QuietNaN, QuietNaN};
  }
}

// x -> f(x) and its slot dx -> f'(x) dx as the derivative code computes them: sqrt, ln and abs
// write the slot themselves, the other functions multiply it by f'(x).
void ApplyWithSlope(FunctionCode code, Real &x, double &dx) {
  switch (code) {
  case FunctionCode::Abs:
    if (!JumpBelowEqual(0, x)) {
      x = -x;
      dx = -dx;
    }
    return;
  case FunctionCode::Sqrt:
  case FunctionCode::Ln: {
    const bool root = code == FunctionCode::Sqrt;
    if (JumpBelow(0, x)) {
      const Real r = std::sqrt(x);
      dx = static_cast<double>(root ? Real(dx) / (r + r) : Real(dx) / x);
      x = root ? r : NaturalLog(x);
    } else {
      x = root ? 0 : -Limit;
      dx = 0;
    }
    return;
  }
  default: {
    const ValueAndSlope result = DerivativeOfFunction(code, x);
    x = result.value;
    dx = static_cast<double>(result.factor * Real(dx));
  }
  }
}

// The evaluation stack as the generated code holds it: the top values in the eight x87
// registers, the older ones on the machine stack as doubles.
class SimulatedStack {
public:
  explicit SimulatedStack(int capacity) {
    if (capacity > static_cast<int>(Inline.size())) {
      Heap.resize(static_cast<std::size_t>(capacity));
      Values = Heap.data();
    }
  }

  void EnsureFree(int k) {
    while (FreeRegisters < k) {
      Real &bottom = Values[Depth - (8 - FreeRegisters)];
      bottom = static_cast<double>(bottom);
      ++FreeRegisters;
    }
  }
  // The oldest register values go to the machine stack, as the spills made for a subexpression
  // that is loaded instead of computed.
  void SpillOldest(int count) {
    for (; count > 0; --count) {
      Real &bottom = Values[Depth - (8 - FreeRegisters)];
      bottom = static_cast<double>(bottom);
      ++FreeRegisters;
    }
  }
  int FreeRegisterCount() const { return FreeRegisters; }
  void Push(Real value) {
    Values[Depth++] = value;
    --FreeRegisters;
  }
  // Before a binary operator: the left operand comes back when only the right one is held.
  void ReloadIfSpilled() {
    if (FreeRegisters == 7)
      --FreeRegisters;
  }
  Real Pop() {
    ++FreeRegisters;
    return Values[--Depth];
  }
  Real &Top() { return Values[Depth - 1]; }
  int Size() const { return Depth; }

private:
  std::array<Real, 32> Inline; // left uninitialised: every slot is written before it is read
  std::vector<Real> Heap;
  Real *Values = Inline.data();
  int Depth = 0;
  int FreeRegisters = 8;
};

bool ReadOperand(const TOCFunctDDDoubleSafe &f, int k, const double *values, Real &value,
                 double *direction) {
  if (k < 1)
    return false;
  const OperandSource source = DecodeOperand(k, f.VariableCount);
  if (source.kind == OperandSource::Variable) {
    value = values[source.index];
    if (direction != nullptr)
      *direction = values[source.index + f.VariableCount];
    return true;
  }
  if (static_cast<std::size_t>(source.index) >= f.Constants.size())
    return false;
  value = f.Constants[static_cast<std::size_t>(source.index)];
  if (direction != nullptr)
    *direction = 0;
  return true;
}

Real BinaryValue(unsigned char op, Real a, Real b) {
  switch (op) {
  case '+':
    return a + b;
  case '-':
    return a - b;
  case '*':
    return a * b;
  default:
    return SafeDivide(a, b);
  }
}

} // namespace

int TOCFunctDDDoubleSafe::MaxStackDepth() const {
  int depth = 0;
  int deepest = 0;
  for (std::size_t i = 0; i < Postfix.size(); ++i) {
    const auto token = static_cast<unsigned char>(Postfix[i]);
    if (token == OperandMarker) {
      ++i;
      deepest = std::max(deepest, ++depth);
    } else if (token == '1' || token == 'p') {
      deepest = std::max(deepest, ++depth);
    } else if (IsBinaryOperator(token)) {
      --depth;
    }
  }
  return deepest;
}

namespace {

struct ReferenceResult {
  Real Value = QuietNaN;
  double Slope = std::numeric_limits<double>::quiet_NaN();
  bool Ok = false;
};

// One run of the reference evaluator: the stack, the derivative slots and the saved values.
class ReferenceRun {
public:
  ReferenceRun(const TOCFunctDDDoubleSafe &f, const double *values, Pass pass, int slots)
      : F(f), Values(values), ThePass(pass), Stack(f.MaxStackDepth()) {
    const std::size_t depth = static_cast<std::size_t>(f.MaxStackDepth());
    if (depth > InlineSlopes.size()) {
      HeapSlopes.resize(depth);
      Slopes = HeapSlopes.data();
    }
    Saved.resize(static_cast<std::size_t>(slots));
  }

  // The token at Postfix[i]; i moves past an operand's index. False where Postfix is malformed.
  bool Token(std::size_t &i) {
    const auto token = static_cast<unsigned char>(F.Postfix[i]);
    if (token == OperandMarker || token == '1' || token == 'p') {
      Real value = token == '1' ? 1 : Pi;
      double slope = 0;
      if (token == OperandMarker && (i + 1 >= F.Postfix.size() ||
                                     !ReadOperand(F, static_cast<unsigned char>(F.Postfix[++i]),
                                                  Values, value, Derivative() ? &slope : nullptr)))
        return false;
      Stack.EnsureFree(RegistersToReserve(token, ThePass));
      Push(value, slope);
    } else if (IsBinaryOperator(token)) {
      if (Stack.Size() < 2)
        return false;
      Stack.ReloadIfSpilled();
      Stack.EnsureFree(RegistersToReserve(token, ThePass));
      if (Derivative())
        BinaryWithSlope(token);
      else {
        const Real b = Stack.Pop();
        Stack.Top() = BinaryValue(token, Stack.Top(), b);
      }
    } else if (token == '#' || IsFunctionCode(token)) {
      if (Stack.Size() < 1)
        return false;
      Stack.EnsureFree(RegistersToReserve(token, ThePass));
      Unary(token);
    } else {
      return false;
    }
    return true;
  }

  // A subexpression not computed here: the spills its run would have made below it, then its
  // value.
  void Load(const ReuseStep &step, const FoldedNumber &number) {
    Stack.SpillOldest(
        SkippedSpills(F.Postfix, step.Begin, step.End, Stack.FreeRegisterCount(), ThePass));
    Push(number.Value, number.Slope);
  }
  void Save(int slot) {
    Saved[static_cast<std::size_t>(slot)] = {Stack.Top(),
                                             Derivative() ? Slopes[Stack.Size() - 1] : 0};
  }
  const FoldedNumber &SavedValue(int slot) const { return Saved[static_cast<std::size_t>(slot)]; }

  ReferenceResult Result() {
    if (Stack.Size() != 1)
      return {};
    return {Stack.Top(), Derivative() ? Slopes[0] : 0, true};
  }

private:
  bool Derivative() const { return ThePass == Pass::Derivative; }

  void Push(Real value, double slope) {
    if (Derivative())
      Slopes[Stack.Size()] = slope;
    Stack.Push(value);
  }

  void Unary(unsigned char token) {
    Real &x = Stack.Top();
    if (!Derivative()) {
      x = token == '#' ? -x : ValueOfFunction(static_cast<FunctionCode>(token), x);
      return;
    }
    double &dx = Slopes[Stack.Size() - 1];
    if (token == '#') {
      x = -x;
      dx = -dx;
    } else {
      ApplyWithSlope(static_cast<FunctionCode>(token), x, dx);
    }
  }

  void BinaryWithSlope(unsigned char token) {
    const Real db = Slopes[Stack.Size() - 1];
    double &da = Slopes[Stack.Size() - 2];
    const Real b = Stack.Pop();
    const Real a = Stack.Top();
    switch (token) {
    case '+':
      Stack.Top() = a + b;
      da = static_cast<double>(Real(da) + db);
      break;
    case '-':
      Stack.Top() = a - b;
      da = static_cast<double>(Real(da) - db);
      break;
    case '*':
      Stack.Top() = b * a;
      da = static_cast<double>(a * db + b * Real(da));
      break;
    default:
      if (JumpEqual(0, b)) {
        Stack.Top() = a * Huge;
        da = 0;
      } else {
        const Real inverse = 1 / b;
        Stack.Top() = inverse * a;
        da = static_cast<double>(Real(da) * inverse - a * (inverse * inverse) * db);
      }
    }
  }

  const TOCFunctDDDoubleSafe &F;
  const double *Values;
  Pass ThePass;
  SimulatedStack Stack;
  std::array<double, 32> InlineSlopes; // written before read, like the stack
  std::vector<double> HeapSlopes;
  double *Slopes = InlineSlopes.data(); // the derivative of each level, a double as in memory
  std::vector<FoldedNumber> Saved;
};

ReferenceResult RunTokens(const TOCFunctDDDoubleSafe &f, const double *values, Pass pass) {
  ReferenceRun run(f, values, pass, 0);
  for (std::size_t i = 0; i < f.Postfix.size(); ++i)
    if (!run.Token(i))
      return {};
  return run.Result();
}

ReferenceResult RunPlan(const TOCFunctDDDoubleSafe &f, const double *values, Pass pass,
                        const ReusePlan &plan, const std::vector<FoldedNumber> &folded) {
  ReferenceRun run(f, values, pass, plan.SlotCount);
  for (const ReuseStep &step : plan.Steps[0]) {
    if (step.kind == ReuseStep::LoadSaved) {
      run.Load(step, run.SavedValue(step.Index));
    } else if (step.kind == ReuseStep::LoadFolded) {
      run.Load(step, folded[static_cast<std::size_t>(step.Index)]);
    } else {
      std::size_t i = step.Begin;
      if (!run.Token(i))
        return {};
      if (step.SaveTo >= 0)
        run.Save(step.SaveTo);
    }
  }
  return run.Result();
}

ReferenceResult Run(const TOCFunctDDDoubleSafe &f, const double *values, Pass pass) {
  const FormulaReuse *reuse = f.Reuse();
  if (reuse == nullptr || reuse->ForPostfix != f.Postfix || reuse->Plan.Steps.size() != 1)
    return RunTokens(f, values, pass);
  const auto &folded = pass == Pass::Value ? reuse->ReferenceValues : reuse->ReferenceDerivatives;
  if (folded.size() != reuse->Plan.FoldedValues.size())
    return RunTokens(f, values, pass);
  return RunPlan(f, values, pass, reuse->Plan, folded);
}

} // namespace

long double TOCFunctDDDoubleSafe::EvaluateReference(const double *values) const {
  return Run(*this, values, Pass::Value).Value;
}

DerivativeResult TOCFunctDDDoubleSafe::EvaluateWithDerivativeReference(const double *values) const {
  const ReferenceResult r = Run(*this, values, Pass::Derivative);
  if (!r.Ok)
    return {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN()};
  return {static_cast<double>(r.Value), r.Slope};
}

namespace evaluator {

std::vector<FoldedNumber> FoldByReference(const TOCFunctDDDoubleSafe &formula,
                                          const ReusePlan &plan, Pass pass) {
  std::vector<FoldedNumber> folded;
  TOCFunctDDDoubleSafe part;
  part.VariableCount = formula.VariableCount;
  part.ParameterCount = formula.ParameterCount;
  part.Constants = formula.Constants;
  for (const ReusePlan::Folded &f : plan.FoldedValues) {
    part.Postfix = formula.Postfix.substr(f.Begin, f.End - f.Begin);
    const ReferenceResult r = RunTokens(part, nullptr, pass);
    folded.push_back({r.Value, r.Slope});
  }
  return folded;
}

} // namespace evaluator

} // namespace tandor
