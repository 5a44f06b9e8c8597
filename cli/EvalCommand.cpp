// tandor-cli eval (RunEvalCommand): one formula compiled, evaluated and described.

#include "cli/EvalCommand.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "formula/FormulaCompiler.h"
#include "formula/InputError.h"

namespace tandor {

const char *const EvalUsage =
    "usage: tandor-cli eval [--at U,V] [--dir DU,DV] [-p P] [-q Q] [--linear] [--postfix] FORMULA";

namespace {

const char *const EvalHelp =
    "\n"
    "Compiles FORMULA and prints its value with 17 significant digits.\n"
    "\n"
    "  (no --at)      FORMULA is a constant (no letters p to z except in pi): value <number>\n"
    "  --at U,V       compile FORMULA in the variables u, v and the parameters p, q and\n"
    "                 evaluate it at (U, V): value <number>\n"
    "  --dir DU,DV    also the derivative along (DU, DV): derivative <number>\n"
    "  -p P, -q Q     the parameter values (default 0)\n"
    "  --linear       also whether FORMULA is a*u + b*v: linear yes|no; after yes a line\n"
    "                 terms u <Kind> <Sign> <Present> v <Kind> <Sign> <Present>\n"
    "                 (Kind 0: coefficient 1, 3: p, 4: q, 5..7: the 1st..3rd number)\n"
    "  --postfix      also the compiled program: postfix <tokens>, where u v are the\n"
    "                 variables, p q the parameters (p..z without --at), pi is pi, numbers\n"
    "                 are written in full, + - * / are binary operators, neg is unary minus\n"
    "                 and cos sin exp sqr sqrt ln tan sinh cosh tanh arcsin arccos arctan\n"
    "                 abs cot arccosh arctanh arcsinh apply a function to the value before\n"
    "  --             ends the options (for a FORMULA that begins with '-')\n"
    "\n"
    "A formula that does not compile prints the compiler's message on stderr (status 1).\n"
    "Wrong usage exits with status 2.\n";

struct EvalOptions {
  std::optional<std::array<double, 2>> At;
  std::optional<std::array<double, 2>> Direction;
  std::optional<double> P;
  std::optional<double> Q;
  bool Linear = false;
  bool ShowPostfix = false;
  bool Help = false;
  std::optional<std::string> Formula;
};

std::optional<double> ParseNumber(std::string_view text) {
  if (text.starts_with('+'))
    text.remove_prefix(1);
  double value = 0.0;
  const char *end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end)
    return std::nullopt;
  return value;
}

std::optional<std::array<double, 2>> ParsePair(std::string_view text) {
  const std::size_t comma = text.find(',');
  if (comma == std::string_view::npos)
    return std::nullopt;
  const auto first = ParseNumber(text.substr(0, comma));
  const auto second = ParseNumber(text.substr(comma + 1));
  if (!first || !second)
    return std::nullopt;
  return std::array<double, 2>{*first, *second};
}

// Fills options from the words after "eval"; false on wrong usage, with the reason in why.
bool ParseOptions(int argc, char **argv, EvalOptions &options, std::string &why) {
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view word = argv[i];
    const bool hasValue = i + 1 < argc;
    if (!optionsEnded && word == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && (word == "--help" || word == "-h")) {
      options.Help = true;
    } else if (!optionsEnded && (word == "--at" || word == "--dir")) {
      const auto pair = hasValue ? ParsePair(argv[++i]) : std::nullopt;
      if (!pair) {
        why = std::string(word) + " needs two numbers separated by a comma";
        return false;
      }
      (word == "--at" ? options.At : options.Direction) = pair;
    } else if (!optionsEnded && (word == "-p" || word == "-q")) {
      const auto value = hasValue ? ParseNumber(argv[++i]) : std::nullopt;
      if (!value) {
        why = std::string(word) + " needs a number";
        return false;
      }
      (word == "-p" ? options.P : options.Q) = value;
    } else if (!optionsEnded && word == "--linear") {
      options.Linear = true;
    } else if (!optionsEnded && word == "--postfix") {
      options.ShowPostfix = true;
    } else if (!optionsEnded && word.starts_with("--")) {
      why = "unknown option " + std::string(word);
      return false;
    } else if (options.Formula) {
      why = "only one FORMULA may be given";
      return false;
    } else {
      options.Formula = std::string(word);
    }
  }
  if (options.Help)
    return true;
  if (!options.Formula) {
    why = "FORMULA is missing";
    return false;
  }
  if (!options.At && (options.Direction || options.P || options.Q || options.Linear)) {
    why = "--dir, -p, -q and --linear need --at";
    return false;
  }
  return true;
}

std::string Number(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.17g", value);
  return buffer;
}

int EvaluateConstantFormula(const EvalOptions &options, std::ostream &out, std::ostream &err) {
  double value = 0.0;
  try {
    value = EvaluateConstant(*options.Formula);
  } catch (const InputError &error) {
    err << error.what() << '\n';
    return 1;
  }
  out << "value " << Number(value) << '\n';
  if (options.ShowPostfix) {
    TOCFunctDDDoubleSafe formula;
    bool linear = false;
    std::string message;
    formula.Compile(*options.Formula, "", "", linear, message);
    out << "postfix " << formula.PostfixText() << '\n';
  }
  return 0;
}

void WriteLinear(const TOCFunctDDDoubleSafe &formula, bool linear, std::ostream &out) {
  out << "linear " << (linear ? "yes" : "no") << '\n';
  if (!linear)
    return;
  const LinearTerm &u = formula.LinearTerms[0];
  const LinearTerm &v = formula.LinearTerms[1];
  out << "terms u " << u.Kind << ' ' << u.Sign << ' ' << u.Present << " v " << v.Kind << ' '
      << v.Sign << ' ' << v.Present << '\n';
}

int EvaluateAtPoint(const EvalOptions &options, std::ostream &out, std::ostream &err) {
  TOCFunctDDDoubleSafe formula;
  bool linear = options.Linear;
  std::string message;
  formula.Compile(*options.Formula, "uv", "pq", linear, message);
  if (!message.empty()) {
    err << message << '\n';
    return 1;
  }
  const std::array<double, 2> pq{options.P.value_or(0.0), options.Q.value_or(0.0)};
  SetParameters(formula, pq);
  const std::array<double, 2> &at = *options.At;
  out << "value " << Number(formula.Evaluate(at.data())) << '\n';
  if (options.Direction) {
    formula.GenerateDerivativeCode();
    const std::array<double, 4> values{at[0], at[1], (*options.Direction)[0],
                                       (*options.Direction)[1]};
    out << "derivative " << Number(formula.EvaluateWithDerivative(values.data()).derivative)
        << '\n';
  }
  if (options.Linear)
    WriteLinear(formula, linear, out);
  if (options.ShowPostfix)
    out << "postfix " << formula.PostfixText() << '\n';
  return 0;
}

} // namespace

int RunEvalCommand(int argc, char **argv, std::ostream &out, std::ostream &err) {
  EvalOptions options;
  std::string why;
  if (!ParseOptions(argc, argv, options, why)) {
    err << "tandor-cli eval: " << why << '\n' << EvalUsage << '\n';
    return 2;
  }
  if (options.Help) {
    out << EvalUsage << '\n' << EvalHelp;
    return 0;
  }
  return options.At ? EvaluateAtPoint(options, out, err)
                    : EvaluateConstantFormula(options, out, err);
}

} // namespace tandor
