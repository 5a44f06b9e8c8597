#pragma once
// The working state of one Compile call and the stages that transform it.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "formula/FormulaCompiler.h"
#include "formula/FunctionCodes.h"

namespace tandor {

// The compiler's fixed texts; the user sees them exactly as they stand.
namespace CompilerMessages {
inline constexpr std::string_view VariablesOutOfRange =
    "The allowed variables must be in the range 'p' to 'z'";
inline constexpr std::string_view ParameterNamedAsVariable =
    "No parameter may be named as any variable";
inline constexpr std::string_view NothingWritten = "Perhaps you forgot to write something.";
inline constexpr std::string_view CharacterNotAllowed = "You did use a character not allowed.";
inline constexpr std::string_view Parentheses = "Check, please, the parentheses.";
inline constexpr std::string_view MiswrittenNumber = "There is a miswritten number.";
inline constexpr std::string_view MiswrittenName = "Some function or variable was miswritten.";
inline constexpr std::string_view TooManyConstants = "I cannot cope with so much constants.";
inline constexpr std::string_view SyntaxDefect = "There is a sintax defect in the formula.";
} // namespace CompilerMessages

// Failures of the linear-form recognition; they only make the formula non-linear.
namespace LinearMessages {
inline constexpr std::string_view BadSyntax = "Bad syntax in linear expression on u,v";
inline constexpr std::string_view BadCoefficient = "Bad coefficient in linear expression on u,v";
} // namespace LinearMessages

// The text is upper-cased before it is read, so letters are capitals from then on.
constexpr bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
constexpr bool IsLetter(char c) {
  return c >= 'A' && c <= 'Z';
}

inline std::string UpperCase(std::string_view text) {
  std::string upper(text);
  for (char &c : upper)
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
  return upper;
}

enum class TokenKind : uint8_t { Open, Close, Operator, Negate, Operand, Function, Other };

// Class of a single byte; the operand marker stands for its whole pair.
constexpr TokenKind TokenClass(unsigned char c) {
  switch (c) {
  case '(':
    return TokenKind::Open;
  case ')':
    return TokenKind::Close;
  case '+':
  case '-':
  case '*':
  case '/':
  case '^':
    return TokenKind::Operator;
  case '#':
    return TokenKind::Negate;
  case '1':
  case 'p':
  case OperandMarker:
    return TokenKind::Operand;
  default:
    // After tokenising, the only capitals left are function codes.
    return IsLetter(static_cast<char>(c)) ? TokenKind::Function : TokenKind::Other;
  }
}

// Everything one Compile call works on; nothing of it outlives the call.
struct CompileContext {
  explicit CompileContext(TOCFunctDDDoubleSafe &formula) : Formula(formula) {}

  TOCFunctDDDoubleSafe &Formula; // receives Constants, counts and LinearTerms
  std::string WorkText;
  std::string UpperText;
  std::string VariableLetters;
  std::string ParameterLetters;
  std::string Letters;
  uint8_t ConstantCount = 0;
};

// An empty view means success; otherwise one of the fixed messages above.
using StageResult = std::string_view;

// Letters, counts and a fresh Constants for the formula, before the text is read.
StageResult PrepareCompile(CompileContext &context, std::string_view variables,
                           std::string_view parameters);
StageResult NormaliseFormula(CompileContext &context);
StageResult TokeniseFormula(CompileContext &context);

struct NumberRead {
  StageResult Failure;
  double Value = 0.0;
  std::size_t Length = 0; // bytes of the run of digits and points, and of its exponent
};
NumberRead ReadNumber(std::string_view text);
// Bytes of the exponent "E", an optional sign and digits at the start of text; 0 when text does
// not start with one.
std::size_t ExponentLength(std::string_view text);
// Empty on failure; followed is cleared unless the name ends in a function spelling.
std::string SplitLetters(std::string_view name, bool &followed, std::string_view letters);
// The code letter of a spelling, or 0 when there is none.
char FindFunction(std::string_view spelling);

StageResult CheckSyntax(std::string_view tokens);

struct ScanStop {
  std::size_t End; // index of the last byte before the stop (the last index if nothing stopped)
  char Stop;       // the stop token, or 0 when nothing stopped the scan
};
ScanStop ScanForward(std::size_t start, std::string_view tokens, std::string_view set);
std::size_t ScanBackward(std::size_t end, std::string_view tokens, std::string_view set);

struct IntegerPower {
  bool IsInteger = false;
  int64_t N = 0;
};
IntegerPower IntegerExponent(std::string_view exponent, const CompileContext &context);
std::string PowerBySquares(std::string_view base, int64_t n);
void ExpandIntegerPowers(CompileContext &context);

void ParseSum(std::string_view s, std::string &out);
void ParseProduct(std::string_view s, std::string &out);
void ParsePower(std::string_view s, std::string &out);
void ParsePrimary(std::string_view s, std::string &out);

StageResult CheckLinearForm(std::string_view tokens, LinearTermRecords &terms);

// Bytes of the token that starts at i (an operand pair is two).
inline std::size_t TokenLength(std::string_view s, std::size_t i) {
  return static_cast<unsigned char>(s[i]) == OperandMarker && i + 1 < s.size() ? 2 : 1;
}

} // namespace tandor
