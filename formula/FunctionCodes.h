#pragma once
// FunctionCode and FunctionTable: the eighteen functions of the formula language, one row each.
// A row gives the code letter that stands for the function in the tokens and in Postfix, the
// spellings a user may type (`WrittenFunctions` lists them all), the name PostfixText shows,
// and the free x87 registers the function's step needs in each evaluator. Every switch over
// functions is written against FunctionCode.

#include <array>
#include <cstddef>
#include <string_view>

namespace tandor {

enum class FunctionCode : unsigned char {
  Cos = 'A',
  Sin = 'B',
  Exp = 'C',
  Square = 'D', // typed SQR
  Sqrt = 'E',
  Ln = 'F',
  Tan = 'G',
  Sinh = 'H',
  Cosh = 'I',
  Tanh = 'J',
  ArcSin = 'K',
  ArcCos = 'L',
  ArcTan = 'M',
  Abs = 'N',
  Cot = 'O',
  ArcCosh = 'P',
  ArcTanh = 'Q',
  ArcSinh = 'R',
};

inline constexpr unsigned char FirstFunctionCode = 'A';
inline constexpr unsigned char LastFunctionCode = 'R';

constexpr bool IsFunctionCode(unsigned char token) {
  return token >= FirstFunctionCode && token <= LastFunctionCode;
}

struct FunctionRow {
  FunctionCode Code;
  std::string_view Name;
  std::array<const char *, 4> Spellings; // null after the last
  // Free registers the step needs before its sequence runs, in the value evaluator (V) and in
  // the value-and-derivative evaluator (D): the deepest point any path of the sequence reaches
  // above its operand (Peak), and what the instruction tables reserve (Reservation).
  int ValuePeak, DerivativePeak;
  int ValueReservation, DerivativeReservation;
};

// clang-format off
inline constexpr std::array<FunctionRow, 18> FunctionTable{{
//                                                                               peak  reserve
//  code                    name       spellings                                 V  D   V  D
    {FunctionCode::Cos,     "cos",     {"COS"},                                  1, 2,  1, 2},
    {FunctionCode::Sin,     "sin",     {"SIN", "SEN"},                           1, 2,  1, 2},
    // the safe exponential needs |y| and the limit above y
    {FunctionCode::Exp,     "exp",     {"EXP"},                                  2, 2,  1, 2},
    {FunctionCode::Square,  "sqr",     {"SQR"},                                  0, 2,  0, 2},
    {FunctionCode::Sqrt,    "sqrt",    {"SQRT"},                                 1, 2,  1, 2},
    {FunctionCode::Ln,      "ln",      {"LN", "LOG"},                            1, 2,  1, 2},
    {FunctionCode::Tan,     "tan",     {"TG", "TAN"},                            1, 2,  1, 2},
    {FunctionCode::Sinh,    "sinh",    {"SH", "SINH"},                           2, 2,  2, 2},
    {FunctionCode::Cosh,    "cosh",    {"CH", "COSH"},                           2, 2,  2, 2},
    {FunctionCode::Tanh,    "tanh",    {"TH", "TANH"},                           2, 2,  2, 2},
    {FunctionCode::ArcSin,  "arcsin",  {"ARCSEN", "ASEN", "ARCSIN", "ASIN"},     2, 2,  2, 2},
    {FunctionCode::ArcCos,  "arccos",  {"ARCCOS", "ACOS", "ARCOS"},              2, 2,  2, 2},
    {FunctionCode::ArcTan,  "arctan",  {"ARCTG", "ARCTAN", "ATAN"},              1, 2,  1, 2},
    {FunctionCode::Abs,     "abs",     {"ABS"},                                  0, 1,  0, 2},
    {FunctionCode::Cot,     "cot",     {"COTG", "COTAN", "COT"},                 2, 2,  2, 2},
    {FunctionCode::ArcCosh, "arccosh", {"ARGCH", "ACOSH", "ARCCOSH", "ARGCOSH"}, 2, 2,  2, 2},
    {FunctionCode::ArcTanh, "arctanh", {"ARCTANH", "ARGTANH", "ARGTH", "ATANH"}, 2, 2,  2, 2},
    {FunctionCode::ArcSinh, "arcsinh", {"ARCSINH", "ASINH", "ARGSH", "ARGSINH"}, 2, 2,  2, 2},
}};
// clang-format on

// The row of a code; code must be a function code.
constexpr const FunctionRow &RowOf(unsigned char code) {
  return FunctionTable[code - FirstFunctionCode];
}
constexpr const FunctionRow &RowOf(FunctionCode code) {
  return RowOf(static_cast<unsigned char>(code));
}

struct WrittenFunction {
  std::string_view Spelling;
  char Code;
};

namespace detail {
constexpr std::size_t SpellingCount() {
  std::size_t n = 0;
  for (const FunctionRow &row : FunctionTable)
    for (const char *s : row.Spellings)
      n += s != nullptr ? 1 : 0;
  return n;
}
} // namespace detail

// Every spelling with its code, in the order of the table.
inline constexpr std::array<WrittenFunction, detail::SpellingCount()> WrittenFunctions = [] {
  std::array<WrittenFunction, detail::SpellingCount()> all{};
  std::size_t k = 0;
  for (const FunctionRow &row : FunctionTable)
    for (const char *s : row.Spellings)
      if (s != nullptr)
        all[k++] = {s, static_cast<char>(row.Code)};
  return all;
}();
static_assert(WrittenFunctions.size() == 42);

// The table's rows stand at their codes' places, so RowOf can index it.
static_assert([] {
  for (std::size_t i = 0; i < FunctionTable.size(); ++i)
    if (static_cast<unsigned char>(FunctionTable[i].Code) != FirstFunctionCode + i)
      return false;
  return FunctionTable.size() == LastFunctionCode - FirstFunctionCode + 1u;
}());

} // namespace tandor
