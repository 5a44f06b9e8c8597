// The tokeniser: numbers, names and functions of the normalised text made into tokens and
// operand slots.

#include <algorithm>
#include <charconv>
#include <limits>
#include <vector>

#include "formula/CompileContext.h"

namespace tandor {

namespace {

// Operand indices must stay below the marker byte and fit the 8-bit constant counter.
constexpr int OperandLimit = 254;

// Cap on the magnitude of a decimal exponent while it is read: far beyond any double.
constexpr long long ExponentCap = 1'000'000'000;

long long ExponentValue(std::string_view exponent) {
  long long value = 0;
  for (char c : exponent.substr(exponent.find_first_of("0123456789")))
    value = std::min(value * 10 + (c - '0'), ExponentCap);
  return exponent.find('-') != std::string_view::npos ? -value : value;
}

// A number whose value does not fit a double: overflow is infinite, underflow is zero. The
// decimal exponent of its first significant digit tells which.
double OutOfRangeValue(std::string_view mantissa, std::string_view exponent) {
  const std::size_t first = mantissa.find_first_not_of("0.");
  if (first == std::string_view::npos)
    return 0.0;
  const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
  long long scale = first < point ? static_cast<long long>(point - first) - 1
                                  : -static_cast<long long>(first - point);
  if (!exponent.empty())
    scale += ExponentValue(exponent);
  return scale > 0 ? std::numeric_limits<double>::infinity() : 0.0;
}

void WriteOperand(std::string &out, int index) {
  out += static_cast<char>(OperandMarker);
  out += static_cast<char>(index);
}

// Writes the number constant of value, reusing an equal slot of Constants when there is one.
StageResult WriteNumber(CompileContext &context, double value, std::string &out) {
  TOCFunctDDDoubleSafe &f = context.Formula;
  if (value == 1.0) {
    out += '1';
    return {};
  }
  for (int j = f.ParameterCount + 1; j <= context.ConstantCount; ++j) {
    if (f.Constants[j] == value) {
      WriteOperand(out, j + f.VariableCount);
      return {};
    }
  }
  if (context.ConstantCount + 1 + f.VariableCount >= OperandLimit)
    return CompilerMessages::TooManyConstants;
  ++context.ConstantCount;
  if (f.Constants.size() <= context.ConstantCount)
    f.Constants.resize(context.ConstantCount + 10, 0.0);
  f.Constants[context.ConstantCount] = value;
  WriteOperand(out, context.ConstantCount + f.VariableCount);
  return {};
}

} // namespace

// The data file writes numbers in the general format, 1E-6 or -2.5E300, so the reader must take
// them back. Giving "E" a meaning after a number changes no text that compiles without it:
// normalisation puts '*' between a digit and a letter, so E would begin a name; when a digit or
// a sign follows the E, that name is the single letter E, and it cannot be followed by '('. E is
// neither a variable nor a parameter (both are letters from P to Z), nor the I of PI, so that
// name was always refused with "Some function or variable was miswritten.". Texts such as 2e,
// 2exp(u) or 2 e keep their meaning (and their message).
std::size_t ExponentLength(std::string_view text) {
  if (text.empty() || text[0] != 'E')
    return 0;
  std::size_t i = 1;
  if (i < text.size() && (text[i] == '+' || text[i] == '-'))
    ++i;
  const std::size_t digits = i;
  while (i < text.size() && IsDigit(text[i]))
    ++i;
  return i > digits ? i : 0;
}

NumberRead ReadNumber(std::string_view text) {
  NumberRead read;
  int points = 0;
  while (read.Length < text.size() && (IsDigit(text[read.Length]) || text[read.Length] == '.')) {
    if (text[read.Length] == '.')
      ++points;
    ++read.Length;
  }
  const std::string_view mantissa = text.substr(0, read.Length);
  if (mantissa.empty() || points > 1 || mantissa.back() == '.') {
    read.Failure = CompilerMessages::MiswrittenNumber;
    return read;
  }
  const std::size_t exponentLength = ExponentLength(text.substr(read.Length));
  read.Length += exponentLength;
  // The exponent is whole and comes once: 1E5.5 and 1E5E5 are no numbers.
  if (exponentLength > 0 && read.Length < text.size() &&
      (text[read.Length] == '.' || text[read.Length] == 'E')) {
    read.Failure = CompilerMessages::MiswrittenNumber;
    return read;
  }
  const std::string_view run = text.substr(0, read.Length);
  // from_chars reads '.' as the decimal point whatever the locale.
  const auto [end, error] =
      std::from_chars(run.data(), run.data() + run.size(), read.Value, std::chars_format::general);
  if (error == std::errc::result_out_of_range)
    read.Value = OutOfRangeValue(mantissa, run.substr(mantissa.size()));
  return read;
}

char FindFunction(std::string_view spelling) {
  for (const WrittenFunction &f : WrittenFunctions)
    if (f.Spelling == spelling)
      return f.Code;
  return 0;
}

namespace {

// Turns the letters of a name into operands (and pi), joined by '*'; empty when a letter
// belongs to no variable or parameter. The name is read from its last letter so that "PI"
// is recognised before a lone P.
std::string LettersToOperands(std::string_view prefix, std::string_view letters) {
  std::vector<std::string> pieces;
  std::size_t i = prefix.size();
  while (i > 0) {
    const char c = prefix[i - 1];
    const std::size_t k = letters.find(c);
    if (k != std::string_view::npos) {
      pieces.push_back({static_cast<char>(OperandMarker), static_cast<char>(k + 1)});
      i -= 1;
    } else if (c == 'I' && i >= 2 && prefix[i - 2] == 'P') {
      pieces.push_back("p");
      i -= 2;
    } else {
      return {};
    }
  }
  std::string tokens;
  for (auto piece = pieces.rbegin(); piece != pieces.rend(); ++piece) {
    if (!tokens.empty())
      tokens += '*';
    tokens += *piece;
  }
  return tokens;
}

} // namespace

std::string SplitLetters(std::string_view name, bool &followed, std::string_view letters) {
  std::string_view prefix = name;
  std::string tail;
  if (followed && name.size() > 1) {
    std::size_t start = 0;
    char code = 0;
    for (; start < name.size() && code == 0; ++start)
      code = FindFunction(name.substr(start));
    if (code == 0) {
      followed = false;
    } else {
      --start;
      if (start == 0)
        return std::string(1, code);
      prefix = name.substr(0, start);
      tail = {'*', code};
    }
  } else {
    followed = false;
  }
  std::string tokens = LettersToOperands(prefix, letters);
  if (tokens.empty())
    return tokens;
  return tokens + tail;
}

StageResult TokeniseFormula(CompileContext &context) {
  const std::string_view text = context.WorkText;
  std::string out;
  out.reserve(text.size() * 2);
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '.')
      return CompilerMessages::MiswrittenNumber;
    if (IsDigit(c)) {
      const NumberRead number = ReadNumber(text.substr(i));
      if (!number.Failure.empty())
        return number.Failure;
      if (StageResult failure = WriteNumber(context, number.Value, out); !failure.empty())
        return failure;
      i += number.Length;
    } else if (IsLetter(c)) {
      std::size_t end = i;
      while (end < text.size() && IsLetter(text[end]))
        ++end;
      bool followed = end < text.size() && text[end] == '(';
      const std::string tokens = SplitLetters(text.substr(i, end - i), followed, context.Letters);
      if (tokens.empty())
        return CompilerMessages::MiswrittenName;
      out += tokens;
      if (end < text.size() && text[end] == '(' && !followed)
        out += '*';
      i = end;
    } else {
      out += c;
      ++i;
    }
  }
  context.WorkText = std::move(out);
  return {};
}

} // namespace tandor
