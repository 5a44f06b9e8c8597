// TOCFunctDDDoubleSafe: the compile pipeline run stage by stage, and the calls into its code.

#include "formula/FormulaCompiler.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "formula/CompileContext.h"
#include "formula/ExecutableBlock.h"
#include "formula/FunctionCodes.h"
#include "formula/InputError.h"
#include "formula/ValueReuse.h"

namespace tandor {

namespace {

constexpr std::string_view AllowedLetters = "PQRSTUVWXYZ";
// Operand indices are single bytes below the marker.
constexpr std::size_t MaxLetters = 253;

bool IsAllowedLetter(char c) {
  return AllowedLetters.find(c) != std::string_view::npos;
}

StageResult SetVariables(CompileContext &context, std::string_view variables) {
  context.VariableLetters = variables.empty() ? std::string(AllowedLetters) : UpperCase(variables);
  context.Formula.VariableCount = static_cast<int32_t>(context.VariableLetters.size());
  for (char c : context.VariableLetters)
    if (!IsAllowedLetter(c))
      return CompilerMessages::VariablesOutOfRange;
  return {};
}

StageResult SetParameterLetters(CompileContext &context, std::string_view parameters) {
  context.ParameterLetters = UpperCase(parameters);
  context.Formula.ParameterCount = static_cast<int32_t>(context.ParameterLetters.size());
  for (char c : context.ParameterLetters)
    if (context.VariableLetters.find(c) != std::string::npos || !IsAllowedLetter(c))
      return CompilerMessages::ParameterNamedAsVariable;
  return {};
}

} // namespace

StageResult PrepareCompile(CompileContext &context, std::string_view variables,
                           std::string_view parameters) {
  StageResult failure = SetVariables(context, variables);
  if (failure.empty())
    failure = SetParameterLetters(context, parameters);
  if (!failure.empty())
    return failure;
  context.Letters = context.VariableLetters + context.ParameterLetters;
  // Letters beyond this could not be told apart from the marker in one index byte.
  if (context.Letters.size() > MaxLetters)
    return CompilerMessages::TooManyConstants;
  TOCFunctDDDoubleSafe &f = context.Formula;
  f.Constants.assign(f.ParameterCount + 8, 0.0);
  context.ConstantCount = static_cast<uint8_t>(f.ParameterCount);
  return {};
}

namespace {

// Parsing no longer recurses, but its time grows with the nesting, and absurd nesting (typed,
// or grown by chains of powers) is refused anyway.
constexpr int MaxNesting = 5000;
// The evaluators keep the values waiting for an operator beyond the eight x87 registers on the
// machine stack, eight bytes each: the limit keeps that within 256 KB, small beside a worker
// thread's stack. Only long chains of powers (u^u^u^...) reach it; nesting stops at MaxNesting.
constexpr int MaxEvaluationDepth = 1 << 15;

int NestingDepth(std::string_view tokens) {
  int depth = 0, deepest = 0;
  for (std::size_t i = 0; i < tokens.size(); i += TokenLength(tokens, i)) {
    depth += tokens[i] == '(' ? 1 : tokens[i] == ')' ? -1 : 0;
    deepest = std::max(deepest, depth);
  }
  return deepest;
}

// Steps 6 to 9 of a compile: text to postfix. linear is cleared when the recognition fails.
StageResult TranslateFormula(CompileContext &context, bool &linear) {
  StageResult failure = NormaliseFormula(context);
  if (failure.empty())
    failure = TokeniseFormula(context);
  // A text that was not tokenised may still hold bytes that look like operand pairs (the raw
  // formula can contain anything): it is never read as a linear form.
  if (linear && !failure.empty()) {
    context.Formula.LinearTerms = LinearTermRecords{};
    linear = false;
  } else if (linear) {
    linear = CheckLinearForm(context.WorkText, context.Formula.LinearTerms).empty();
  }
  if (!failure.empty())
    return failure;
  if (failure = CheckSyntax(context.WorkText); !failure.empty())
    return failure;
  // Expansion only deepens the nesting: refusing first spares it a text it would scan in
  // quadratic time.
  if (NestingDepth(context.WorkText) > MaxNesting)
    return CompilerMessages::Parentheses;
  ExpandIntegerPowers(context);
  if (NestingDepth(context.WorkText) > MaxNesting)
    return CompilerMessages::Parentheses;
  context.Formula.Postfix.clear();
  ParseSum(context.WorkText, context.Formula.Postfix);
  if (context.Formula.MaxStackDepth() > MaxEvaluationDepth)
    return CompilerMessages::Parentheses;
  return {};
}

std::string NumberText(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.17g", value);
  return buffer;
}

std::string IndexedName(char letter, int index) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%c%d", letter, index);
  return buffer;
}

} // namespace

TOCFunctDDDoubleSafe::TOCFunctDDDoubleSafe() = default;
TOCFunctDDDoubleSafe::~TOCFunctDDDoubleSafe() = default;

void TOCFunctDDDoubleSafe::Compile(std::string_view formula, std::string_view variables,
                                   std::string_view parameters, bool &linear,
                                   std::string &message) {
  // The old evaluators read the Constants that are replaced below: drop them first, so that a
  // failed compile leaves an object that answers NaN instead of reading freed memory.
  ++CodeGeneration;
  ValueEntry = nullptr;
  DerivativeEntry = nullptr;
  ValueBlock.reset();
  DerivativeBlock.reset();
  Compiled = false;
  Postfix.clear();
  Constants.clear();
  ParameterCount = 0;

  message.clear();
  FormulaText = std::string(formula);
  CompileContext context(*this);
  context.WorkText = FormulaText;
  StageResult failure = PrepareCompile(context, variables, parameters);
  if (!failure.empty()) {
    linear = false;
    message = failure;
    return;
  }
  failure = TranslateFormula(context, linear);
  if (!failure.empty()) {
    Postfix.clear();
    message = failure;
    return;
  }
  GenerateValueCode();
  Compiled = true;
}

double TOCFunctDDDoubleSafe::EvaluateWithoutMachineCode(const double *values) const {
  if (!Compiled)
    return std::numeric_limits<double>::quiet_NaN();
  return static_cast<double>(EvaluateReference(values));
}

std::string TOCFunctDDDoubleSafe::PostfixText() const {
  std::string text;
  const auto operandName = [this](int k) -> std::string {
    if (k <= VariableCount) {
      if (VariableCount == 2)
        return k == 1 ? "u" : "v";
      if (VariableCount == static_cast<int>(AllowedLetters.size()))
        return std::string(1, static_cast<char>(AllowedLetters[k - 1] - 'A' + 'a'));
      return IndexedName('x', k);
    }
    const int j = k - VariableCount;
    if (j <= ParameterCount)
      return ParameterCount <= 2 ? std::string(j == 1 ? "p" : "q") : IndexedName('a', j);
    return j < static_cast<int>(Constants.size()) ? NumberText(Constants[j]) : "?";
  };
  for (std::size_t i = 0; i < Postfix.size(); i += TokenLength(Postfix, i)) {
    const unsigned char c = static_cast<unsigned char>(Postfix[i]);
    if (!text.empty())
      text += ' ';
    if (c == OperandMarker && i + 1 < Postfix.size())
      text += operandName(static_cast<unsigned char>(Postfix[i + 1]));
    else if (c == 'p')
      text += "pi";
    else if (c == '#')
      text += "neg";
    else if (IsFunctionCode(c))
      text += RowOf(c).Name;
    else
      text += static_cast<char>(c);
  }
  return text;
}

void SetParameters(TOCFunctDDDoubleSafe &formula, std::span<const double> values) {
  const std::size_t count = values.size();
  if (count < 1 || count > static_cast<std::size_t>(formula.ParameterCount) ||
      count >= formula.Constants.size())
    return;
  for (std::size_t j = 1; j <= count; ++j)
    formula.Constants[j] = values[j - 1];
}

namespace {

bool UsesVariables(const TOCFunctDDDoubleSafe &formula) {
  const std::string &postfix = formula.Postfix;
  for (std::size_t i = 0; i < postfix.size(); i += TokenLength(postfix, i))
    if (static_cast<unsigned char>(postfix[i]) == OperandMarker && i + 1 < postfix.size() &&
        static_cast<unsigned char>(postfix[i + 1]) <= formula.VariableCount)
      return true;
  return false;
}

} // namespace

double EvaluateConstant(std::string_view text) {
  TOCFunctDDDoubleSafe formula;
  bool linear = false;
  std::string message;
  formula.Compile(text, "", "", linear, message);
  if (!message.empty())
    throw InputError(message);
  if (UsesVariables(formula))
    throw InputError("A constant may not use the letters p to z (pi excepted).");
  // No variable is read; the array only keeps the evaluator's view of its values defined.
  std::array<double, AllowedLetters.size()> unused;
  unused.fill(std::numeric_limits<double>::quiet_NaN());
  return formula.Evaluate(unused.data());
}

} // namespace tandor
