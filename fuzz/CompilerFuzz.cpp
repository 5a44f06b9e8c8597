// Arbitrary bytes as a formula, compiled as a coordinate function (variables u, v, parameters p,
// q) and as a constant. A failed compile must answer one of the compiler's fixed messages and
// leave nothing to evaluate; a successful one must give a sound postfix program whose machine
// code agrees with the reference evaluator, value and derivative, and whose value program
// agrees with the derivative program's value, wherever the oracle finds the result settled.

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <string_view>

#include "formula/CompileContext.h"
#include "formula/EvaluatorPlan.h"
#include "formula/FormulaCompiler.h"
#include "formula/InputError.h"
#include "fuzz/EvaluatorOracle.h"
#include "fuzz/FuzzCheck.h"

namespace tandor::fuzzing {
namespace {

struct Point {
  std::array<double, 4> Values; // u, v, du, dv
  std::array<double, 2> Parameters;
};

// Ordinary points, and the origin, where quotients, logarithms and roots meet their guards.
constexpr std::array<Point, 4> Points{{
    {{0.5, -0.25, 1, 0}, {1, 0}},
    {{1.75, 2.5, 0.3, -0.7}, {0.3, -2}},
    {{-3, 0.125, 0, 1}, {-1.5, 3.14159}},
    {{0, 0, 1, 1}, {0, 1}},
}};

bool IsCompilerMessage(std::string_view message) {
  namespace M = CompilerMessages;
  for (const std::string_view known :
       {M::VariablesOutOfRange, M::ParameterNamedAsVariable, M::NothingWritten,
        M::CharacterNotAllowed, M::Parentheses, M::MiswrittenNumber, M::MiswrittenName,
        M::TooManyConstants, M::SyntaxDefect})
    if (message == known)
      return true;
  return false;
}

class CompilerCase {
public:
  explicit CompilerCase(std::string_view text) : Text(text) {}

  void Run() {
    TOCFunctDDDoubleSafe reused;
    CheckConstant(reused);
    CheckCoordinate(reused);
  }

private:
  std::string Where(const TOCFunctDDDoubleSafe &f) const {
    return "formula \"" + Escaped(Text) + "\", postfix " + f.PostfixText();
  }

  void CheckCoordinate(TOCFunctDDDoubleSafe &reused) {
    TOCFunctDDDoubleSafe f;
    bool linear = true;
    std::string message;
    f.Compile(Text, "uv", "pq", linear, message);
    if (!CheckOutcome(f, message))
      return;
    CheckRecompileAlike(f, reused);
    f.GenerateDerivativeCode();
    for (const Point &point : Points) {
      SetParameters(f, point.Parameters);
      CompareAt(f, point.Values.data());
    }
    if (linear)
      CheckLinear(f);
  }

  // Failure: a fixed message and no evaluator. Success: a program the evaluators can run, in
  // machine code.
  bool CheckOutcome(const TOCFunctDDDoubleSafe &f, const std::string &message) const {
    if (!message.empty()) {
      Require(IsCompilerMessage(message), [&] {
        return "formula \"" + Escaped(Text) + "\" failed with the unknown message \"" +
               Escaped(message) + "\"";
      });
      Require(!f.IsCompiled() && std::isnan(f.Evaluate(Unused.data())), [&] {
        return "formula \"" + Escaped(Text) + "\" failed (" + message + ") but can be evaluated";
      });
      return false;
    }
    Require(f.IsCompiled() && f.UsesMachineCode(), [&] { return Where(f) + ": no machine code"; });
    Require(evaluator::IsWellFormed(f.Postfix, f.VariableCount, f.Constants.size()),
            [&] { return Where(f) + ": the postfix program is not well formed"; });
    return true;
  }

  // An object compiled before (here: the same text as a constant, which may have failed) must
  // end where a fresh one does.
  void CheckRecompileAlike(const TOCFunctDDDoubleSafe &fresh, TOCFunctDDDoubleSafe &reused) const {
    bool linear = false;
    std::string message;
    reused.Compile(Text, "uv", "pq", linear, message);
    Require(
        message.empty() && reused.Postfix == fresh.Postfix && reused.Constants == fresh.Constants,
        [&] { return Where(fresh) + ": a reused object compiles it to " + reused.PostfixText(); });
  }

  void CompareAt(TOCFunctDDDoubleSafe &f, const double *values) const {
    const Sample machine = MachineSample(f, values);
    const Sample reference = ReferenceSample(f, values);
    if (Close(reference.Value, machine.Value, Tolerance) &&
        Close(reference.PassValue, machine.PassValue, Tolerance) &&
        Close(reference.Derivative, machine.Derivative, Tolerance) &&
        Close(machine.Value, machine.PassValue, Tolerance))
      return;
    // Something differs: the oracle tells whether it may.
    const EvaluatorOracle oracle(f);
    const Verdict verdict = oracle.Judge(values);
    const auto account = [&](const char *what, double expected, double actual) {
      char numbers[512];
      std::snprintf(numbers, sizeof numbers,
                    " at u=%.17g v=%.17g du=%.17g dv=%.17g p=%.17g q=%.17g: %s %.17g, expected "
                    "%.17g",
                    values[0], values[1], values[2], values[3], f.Constants[1], f.Constants[2],
                    what, actual, expected);
      return Where(f) + numbers;
    };
    if (verdict.ValueSettled)
      Require(Close(reference.Value, machine.Value, Tolerance),
              [&] { return account("machine value", reference.Value, machine.Value); });
    if (verdict.PassValueSettled)
      Require(Close(reference.PassValue, machine.PassValue, Tolerance), [&] {
        return account("derivative program's value", reference.PassValue, machine.PassValue);
      });
    if (verdict.DerivativeSettled)
      Require(Close(reference.Derivative, machine.Derivative, Tolerance),
              [&] { return account("derivative", reference.Derivative, machine.Derivative); });
    if (verdict.AgreementSettled && !Close(machine.Value, machine.PassValue, Tolerance))
      Require(oracle.ExplainsDisagreement(values), [&] {
        return account("derivative program's value against the value program", machine.Value,
                       machine.PassValue);
      });
  }

  // Linear proper means a u + b v: the value at any point follows from the values at (1, 0)
  // and (0, 1).
  void CheckLinear(TOCFunctDDDoubleSafe &f) const {
    for (const Point &point : Points) {
      SetParameters(f, point.Parameters);
      const double e1[2] = {1, 0}, e2[2] = {0, 1};
      const double a = f.Evaluate(e1), b = f.Evaluate(e2);
      // A coefficient beyond the range of a double (1E400 v) is infinite by the text itself.
      if (!std::isfinite(a) || !std::isfinite(b))
        continue;
      const double u = point.Values[0], v = point.Values[1];
      const double expected = a * u + b * v;
      const double actual = f.Evaluate(point.Values.data());
      Require(std::isfinite(actual) && Close(expected, actual, 1e-12), [&] {
        char numbers[256];
        std::snprintf(numbers, sizeof numbers,
                      ": recognised as linear, yet a=%.17g b=%.17g and at (%g, %g) %.17g", a, b, u,
                      v, actual);
        return Where(f) + numbers;
      });
    }
  }

  // As a bound: EvaluateConstant answers exactly when the text compiles without variables, and
  // then what the program computes.
  void CheckConstant(TOCFunctDDDoubleSafe &f) {
    bool linear = false;
    std::string message;
    f.Compile(Text, "", "", linear, message);
    const bool compiled = CheckOutcome(f, message);
    bool usesLetters = false;
    const std::string &p = f.Postfix;
    for (std::size_t i = 0; compiled && i < p.size(); i += TokenLength(p, i))
      usesLetters = usesLetters || (static_cast<unsigned char>(p[i]) == OperandMarker &&
                                    static_cast<unsigned char>(p[i + 1]) <= f.VariableCount);
    double constant = 0;
    bool answered = true;
    try {
      constant = EvaluateConstant(Text);
    } catch (const InputError &) {
      answered = false;
    }
    Require(answered == (compiled && !usesLetters), [&] {
      return "constant \"" + Escaped(Text) + "\": " +
             (answered ? "evaluated although it does not compile or names a letter"
                       : "refused although it compiles without letters");
    });
    if (!answered)
      return;
    const double again = f.Evaluate(Unused.data());
    Require(std::bit_cast<uint64_t>(constant) == std::bit_cast<uint64_t>(again), [&] {
      return "constant \"" + Escaped(Text) + "\": EvaluateConstant differs from the program";
    });
    f.GenerateDerivativeCode();
    CompareAt(f, Unused.data());
  }

  std::string Text;
  // The variables a constant names are never read; NaN shows it if they were.
  std::array<double, 2 * 11> Unused = [] {
    std::array<double, 2 * 11> a;
    a.fill(std::numeric_limits<double>::quiet_NaN());
    return a;
  }();
};

} // namespace
} // namespace tandor::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
  tandor::fuzzing::CompilerCase(std::string_view(reinterpret_cast<const char *>(data), size)).Run();
  return 0;
}
