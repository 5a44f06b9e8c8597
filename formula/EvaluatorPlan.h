#pragma once
// What the two evaluators share besides the instruction sequences themselves: the guard
// constants, the number of free x87 registers each step reserves, and the walk over Postfix.
// The machine-code generators and the reference evaluator read the same tables, so they spill
// at the same points and round the same values to double.

#include <cstdint>
#include <numbers>
#include <string_view>

#include "formula/FormulaCompiler.h"
#include "formula/FunctionCodes.h"

namespace tandor::evaluator {

// The guard constants live in static storage: generated code reads them through their
// addresses for the life of the program.
struct GuardConstants {
  double HugeValue = 1e24;
  double MinusHugeValue = -1e24;
  double TinyValue = 1e-24;
  double ExpLimit = 75.0;
  double HalfPi = std::numbers::pi / 2;
};
inline constexpr GuardConstants Guards{};

enum class Pass { Value, Derivative };

// Free registers a step needs before its sequence runs: the deepest point any path of the
// sequence reaches above the operands it starts with. A function's figures are in its row.
constexpr int RegisterPeak(unsigned char token, Pass pass) {
  const bool derivative = pass == Pass::Derivative;
  if (IsFunctionCode(token))
    return derivative ? RowOf(token).DerivativePeak : RowOf(token).ValuePeak;
  switch (token) {
  case '+':
  case '-':
  case '#':
    return derivative ? 1 : 0;
  case '*':
    return derivative ? 2 : 0;
  case '/':
    return derivative ? 2 : 1;
  default: // operands
    return 1;
  }
}

// The reservation of the instruction tables: every function of the derivative pass reserves two,
// the value pass one or two. Where a table reserves less than the sequence reaches (exp in the
// value pass), the peak wins; where it reserves more, the table's figure is kept so the spill
// points, and with them the roundings to double, stay those of the tables.
constexpr int TableReservation(unsigned char token, Pass pass) {
  const bool derivative = pass == Pass::Derivative;
  if (IsFunctionCode(token))
    return derivative ? RowOf(token).DerivativeReservation : RowOf(token).ValueReservation;
  switch (token) {
  case '+':
  case '-':
  case '#':
    return derivative ? 1 : 0;
  case '*':
    return derivative ? 2 : 0;
  case '/':
    return derivative ? 2 : 1;
  default: // operands
    return 1;
  }
}

constexpr int RegistersToReserve(unsigned char token, Pass pass) {
  const int peak = RegisterPeak(token, pass);
  const int table = TableReservation(token, pass);
  return peak > table ? peak : table;
}

constexpr bool IsBinaryOperator(unsigned char token) {
  return token == '+' || token == '-' || token == '*' || token == '/';
}

// Where an operand of Postfix takes its value from.
struct OperandSource {
  enum Kind { Variable, Constant } kind = Variable;
  int index = 0; // element of values for a variable, slot of Constants otherwise
};

inline OperandSource DecodeOperand(int k, int variableCount) {
  if (k <= variableCount)
    return {OperandSource::Variable, k - 1};
  return {OperandSource::Constant, k - variableCount};
}

// A Postfix program that the evaluators can run safely: operand indices inside the arrays, no
// operator without its operands, exactly one value left. Anything else gets no machine code and
// evaluates to NaN.
inline bool IsWellFormed(std::string_view postfix, int variableCount, std::size_t constantCount) {
  int depth = 0;
  for (std::size_t i = 0; i < postfix.size(); ++i) {
    const auto token = static_cast<unsigned char>(postfix[i]);
    if (token == OperandMarker) {
      if (i + 1 >= postfix.size())
        return false;
      const int k = static_cast<unsigned char>(postfix[++i]);
      if (k < 1)
        return false;
      const OperandSource source = DecodeOperand(k, variableCount);
      if (source.kind == OperandSource::Constant &&
          static_cast<std::size_t>(source.index) >= constantCount)
        return false;
      ++depth;
    } else if (token == '1' || token == 'p') {
      ++depth;
    } else if (IsBinaryOperator(token)) {
      if (depth < 2)
        return false;
      --depth;
    } else if (token == '#' || IsFunctionCode(token)) {
      if (depth < 1)
        return false;
    } else {
      return false;
    }
  }
  return depth == 1;
}

} // namespace tandor::evaluator
