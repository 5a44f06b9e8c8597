#include "fuzz/EvaluatorOracle.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "formula/CompileContext.h"
#include "formula/EvaluatorPlan.h"
#include "formula/FunctionCodes.h"

namespace tandor::fuzzing {

namespace {

// Instructions whose results the x87 and the C library compute differently: the sine, cosine
// and tangent, the exponentials (F2XM1), the logarithms (FYL2X) and the arc functions (FPATAN).
bool IsInexactFunction(unsigned char code) {
  return IsFunctionCode(code) && code != 'D' && code != 'E' && code != 'N';
}

bool IsTrigonometric(unsigned char code) {
  return code == 'A' || code == 'B' || code == 'G' || code == 'O';
}

// Patterns 0 and 1 move every site up or down together; 2 and 3 mix the signs, so that two
// sites that cancel each other move apart.
bool MovesUp(int site, int pattern) {
  if (pattern < 2)
    return pattern == 0;
  uint64_t h = static_cast<uint64_t>(site) * 0x9E3779B97F4A7C15ull + static_cast<uint64_t>(pattern);
  h ^= h >> 31;
  h *= 0xBF58476D1CE4E5B9ull;
  h ^= h >> 29;
  return (h & 1) != 0;
}

constexpr int PatternCount = 8;
// Past this a unit in the last place of a double moves a trigonometric argument by a thousandth
// of a radian: its sine is then anybody's guess, the copies' included.
constexpr long double AdriftArgument = 0x1p42L;
constexpr double ScaleUp = 1 + 0x1p-51;
constexpr double ScaleDown = 1 - 0x1p-52;
constexpr long double Pi = 3.141592653589793238462643383279502884L; // FLDPI

int HighestConstantSlot(const TOCFunctDDDoubleSafe &f) {
  int highest = f.ParameterCount;
  const std::string &p = f.Postfix;
  for (std::size_t i = 0; i < p.size(); i += TokenLength(p, i))
    if (static_cast<unsigned char>(p[i]) == OperandMarker && i + 1 < p.size())
      highest = std::max(highest, static_cast<unsigned char>(p[i + 1]) - f.VariableCount);
  return highest;
}

} // namespace

Sample MachineSample(TOCFunctDDDoubleSafe &f, const double *values) {
  const DerivativeResult d = f.EvaluateWithDerivative(values);
  return {f.Evaluate(values), d.value, d.derivative};
}

Sample ReferenceSample(const TOCFunctDDDoubleSafe &f, const double *values) {
  const DerivativeResult d = f.EvaluateWithDerivativeReference(values);
  return {static_cast<double>(f.EvaluateReference(values)), d.value, d.derivative};
}

bool Close(double expected, double actual, double tolerance) {
  if (std::isnan(expected) || std::isnan(actual))
    return std::isnan(expected) && std::isnan(actual);
  if (std::isinf(expected) || std::isinf(actual))
    return expected == actual;
  return std::fabs(actual - expected) <= tolerance * (1 + std::fabs(expected));
}

EvaluatorOracle::EvaluatorOracle(const TOCFunctDDDoubleSafe &f) : Formula(f) {
  // Each result starts where its first operand started: follow the starts on a stack.
  const std::string &p = f.Postfix;
  std::vector<std::size_t> stack;
  Starts.assign(p.size(), 0);
  for (std::size_t i = 0; i < p.size(); i += TokenLength(p, i)) {
    const auto token = static_cast<unsigned char>(p[i]);
    if (evaluator::IsBinaryOperator(token) && stack.size() >= 2)
      stack.pop_back();
    else if (token == OperandMarker || token == '1' || token == 'p')
      stack.push_back(i);
    Starts[i] = stack.empty() ? 0 : stack.back();
  }
  UpSlot = HighestConstantSlot(f) + 1;
  DownSlot = UpSlot + 1;
  // An operand's index is one byte.
  if (DownSlot + f.VariableCount > 255)
    return;
  for (int pattern = 0; pattern < PatternCount; ++pattern) {
    InexactCopies.push_back(Copy(Sites::Inexact, pattern));
    EveryCopies.push_back(Copy(Sites::Every, pattern));
  }
}

std::unique_ptr<TOCFunctDDDoubleSafe> EvaluatorOracle::Program(std::string postfix) const {
  auto program = std::make_unique<TOCFunctDDDoubleSafe>();
  program->VariableCount = Formula.VariableCount;
  program->ParameterCount = Formula.ParameterCount;
  program->Constants = Formula.Constants;
  program->Constants.resize(static_cast<std::size_t>(DownSlot) + 1);
  program->Constants[UpSlot] = ScaleUp;
  program->Constants[DownSlot] = ScaleDown;
  program->Postfix = std::move(postfix);
  return program;
}

long double EvaluatorOracle::ValueOf(std::size_t start, std::size_t end,
                                     const double *values) const {
  const auto part = Program(Formula.Postfix.substr(start, end - start));
  for (int j = 1; j <= Formula.ParameterCount; ++j)
    part->Constants[j] = Formula.Constants[j];
  return part->EvaluateReference(values);
}

bool EvaluatorOracle::TrigonometryAdrift(const double *values) const {
  const std::string &p = Formula.Postfix;
  std::size_t previous = 0;
  for (std::size_t i = 0; i < p.size(); previous = i, i += TokenLength(p, i))
    if (IsTrigonometric(static_cast<unsigned char>(p[i])) && i > 0 &&
        !(std::fabs(ValueOf(Starts[previous], i, values)) < AdriftArgument))
      return true;
  return false;
}

bool EvaluatorOracle::ExplainsDisagreement(const double *values) const {
  const std::string &p = Formula.Postfix;
  std::size_t previous = 0;
  for (std::size_t i = 0; i < p.size(); previous = i, i += TokenLength(p, i)) {
    const auto token = static_cast<unsigned char>(p[i]);
    if (token == 'O' && i > 0) {
      // A multiple of pi approached from below reduces to next to pi.
      const long double x = ValueOf(Starts[previous], i, values);
      const long double r = std::fabs(std::fmod(x, Pi));
      const long double near = 1e-15L * (1 + std::fabs(x));
      if (!(r > near && Pi - r > near))
        return true;
    }
    const long double x = ValueOf(Starts[i], i + TokenLength(p, i), values);
    const long double magnitude = std::fabs(x);
    if (magnitude > std::numeric_limits<double>::max() ||
        (magnitude != 0 && magnitude < std::numeric_limits<double>::min()))
      return true;
  }
  return false;
}

std::unique_ptr<TOCFunctDDDoubleSafe> EvaluatorOracle::Copy(Sites sites, int pattern) const {
  auto copy = Program({});
  const auto operand = [&](int slot) {
    copy->Postfix += static_cast<char>(OperandMarker);
    copy->Postfix += static_cast<char>(slot + Formula.VariableCount);
  };
  int site = 0;
  const auto scale = [&] {
    operand(MovesUp(site++, pattern) ? UpSlot : DownSlot);
    copy->Postfix += '*';
  };
  const std::string &p = Formula.Postfix;
  for (std::size_t i = 0; i < p.size(); i += TokenLength(p, i)) {
    const auto token = static_cast<unsigned char>(p[i]);
    if (IsFunctionCode(token) && IsTrigonometric(token))
      scale();
    copy->Postfix.append(p, i, TokenLength(p, i));
    const bool function = IsFunctionCode(token);
    if ((function && (sites == Sites::Every || IsInexactFunction(token))) ||
        (sites == Sites::Every && evaluator::IsBinaryOperator(token)))
      scale();
  }
  return copy;
}

bool EvaluatorOracle::AllSettled(const std::vector<std::unique_ptr<TOCFunctDDDoubleSafe>> &copies,
                                 const double *values, const Sample &reference, bool withDerivative,
                                 Verdict &verdict) const {
  constexpr double settled = Tolerance / 4;
  bool value = true;
  for (const auto &copy : copies) {
    for (int j = 1; j <= Formula.ParameterCount; ++j)
      copy->Constants[j] = Formula.Constants[j];
    value = value &&
            Close(reference.Value, static_cast<double>(copy->EvaluateReference(values)), settled);
    if (withDerivative) {
      const DerivativeResult d = copy->EvaluateWithDerivativeReference(values);
      verdict.PassValueSettled =
          verdict.PassValueSettled && Close(reference.PassValue, d.value, settled);
      verdict.DerivativeSettled =
          verdict.DerivativeSettled && Close(reference.Derivative, d.derivative, settled);
    }
  }
  return value;
}

Verdict EvaluatorOracle::Judge(const double *values) const {
  Verdict verdict;
  verdict.Reference = ReferenceSample(Formula, values);
  if (!CanPerturb() || TrigonometryAdrift(values))
    return verdict;
  verdict.PassValueSettled = verdict.DerivativeSettled = true;
  verdict.ValueSettled = AllSettled(InexactCopies, values, verdict.Reference, true, verdict);
  verdict.AgreementSettled =
      verdict.ValueSettled && AllSettled(EveryCopies, values, verdict.Reference, false, verdict);
  return verdict;
}

} // namespace tandor::fuzzing
