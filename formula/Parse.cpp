// CheckSyntax and the Parser: the token string checked and turned into postfix.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "formula/CompileContext.h"

namespace tandor {

namespace {

constexpr uint8_t Bit(TokenKind k) {
  return static_cast<uint8_t>(1u << static_cast<int>(k));
}

// The classes allowed to follow each class, indexed by TokenKind.
constexpr std::array<uint8_t, 7> AllowedNext{
    /* Open */ Bit(TokenKind::Open) | Bit(TokenKind::Negate) | Bit(TokenKind::Operand) |
        Bit(TokenKind::Function),
    /* Close */ Bit(TokenKind::Close) | Bit(TokenKind::Operator),
    /* Operator */ Bit(TokenKind::Open) | Bit(TokenKind::Operand) | Bit(TokenKind::Function),
    /* Negate */ Bit(TokenKind::Open) | Bit(TokenKind::Operand) | Bit(TokenKind::Function),
    /* Operand */ Bit(TokenKind::Close) | Bit(TokenKind::Operator),
    /* Function */ Bit(TokenKind::Open),
    /* Other */ 0,
};

bool Allowed(TokenKind previous, TokenKind next) {
  return (AllowedNext[static_cast<int>(previous)] & Bit(next)) != 0;
}

bool InSet(char c, std::string_view set) {
  return set.find(c) != std::string_view::npos;
}

bool IsOperandPair(std::string_view s) {
  return s.size() == 2 && static_cast<unsigned char>(s[0]) == OperandMarker;
}

// Repeated powers of powers grow the text geometrically (u^3^3^3...); past this size a power
// is left to the exp-ln form so that no formula can exhaust memory or time.
constexpr std::size_t MaxExpandedLength = 1 << 14;

std::size_t ExpandedLength(std::size_t baseLength, uint64_t m) {
  if (m == 0)
    return 1;
  if (m == 1)
    return baseLength;
  return ExpandedLength(baseLength, m / 2) + 3 + (m % 2 == 1 ? 1 + baseLength : 0);
}

} // namespace

StageResult CheckSyntax(std::string_view tokens) {
  TokenKind previous = TokenKind::Open;
  for (std::size_t i = 0; i < tokens.size(); i += TokenLength(tokens, i)) {
    const unsigned char c = static_cast<unsigned char>(tokens[i]);
    const bool lonelyMarker = c == OperandMarker && i + 1 == tokens.size();
    const TokenKind kind = lonelyMarker ? TokenKind::Other : TokenClass(c);
    if (!Allowed(previous, kind))
      return CompilerMessages::SyntaxDefect;
    previous = kind;
  }
  if (!Allowed(previous, TokenKind::Close))
    return CompilerMessages::SyntaxDefect;
  return {};
}

ScanStop ScanForward(std::size_t start, std::string_view tokens, std::string_view set) {
  int depth = 0;
  for (std::size_t i = start; i < tokens.size(); i += TokenLength(tokens, i)) {
    const char c = tokens[i];
    if (static_cast<unsigned char>(c) == OperandMarker)
      continue;
    if (c == '(') {
      ++depth;
    } else if (c == ')') {
      if (--depth < 0)
        return {i - 1, c};
    } else if (depth == 0 && InSet(c, set)) {
      return {i - 1, c};
    }
  }
  return {tokens.size() - 1, 0};
}

std::size_t ScanBackward(std::size_t end, std::string_view tokens, std::string_view set) {
  int depth = 0;
  std::size_t i = end + 1;
  while (i > 0) {
    --i;
    if (i > 0 && static_cast<unsigned char>(tokens[i - 1]) == OperandMarker) {
      --i; // an index byte belongs to the operand before it
      continue;
    }
    const char c = tokens[i];
    if (c == ')') {
      ++depth;
    } else if (c == '(') {
      if (--depth < 0)
        return i + 1;
    } else if (depth == 0 && InSet(c, set)) {
      return i + 1;
    }
  }
  return 0;
}

IntegerPower IntegerExponent(std::string_view exponent, const CompileContext &context) {
  const TOCFunctDDDoubleSafe &f = context.Formula;
  if (exponent.size() >= 2 && exponent.front() == '(' && exponent.back() == ')' &&
      !(exponent.size() >= 2 &&
        static_cast<unsigned char>(exponent[exponent.size() - 2]) == OperandMarker))
    exponent = exponent.substr(1, exponent.size() - 2);
  bool negative = false;
  if (!exponent.empty() && exponent.front() == '#') {
    negative = true;
    exponent.remove_prefix(1);
  }
  IntegerPower power;
  if (exponent == "1") {
    power = {true, 1};
  } else if (IsOperandPair(exponent)) {
    const int index = static_cast<unsigned char>(exponent[1]);
    if (index <= f.VariableCount + f.ParameterCount)
      return {};
    const double value = f.Constants[index - f.VariableCount];
    if (value != std::nearbyint(value) || value < std::numeric_limits<int32_t>::min() ||
        value > std::numeric_limits<int32_t>::max())
      return {};
    power = {true, static_cast<int64_t>(value)};
  } else {
    return {};
  }
  if (negative)
    power.N = -power.N;
  return power;
}

std::string PowerBySquares(std::string_view base, int64_t n) {
  const int64_t m = n < 0 ? -n : n;
  if (m == 0)
    return "1";
  if (m == 1)
    return std::string(base);
  std::string result = "D(" + PowerBySquares(base, m / 2) + ")";
  if (m % 2 == 1) {
    result += '*';
    result += base;
  }
  return result;
}

void ExpandIntegerPowers(CompileContext &context) {
  std::string &text = context.WorkText;
  if (text.size() < 3)
    return;
  std::size_t i = TokenLength(text, 0);
  // No expansion makes the text longer than the bound, so a text at the bound stays as it is;
  // leaving at once spares scanning every exponent of a long text.
  while (i < text.size() && text.size() < MaxExpandedLength) {
    if (text[i] != '^' || i + 1 >= text.size()) {
      i += TokenLength(text, i);
      continue;
    }
    const ScanStop exponentEnd = ScanForward(i + 1, text, "+-*/^");
    const std::size_t e = exponentEnd.End;
    const IntegerPower power =
        IntegerExponent(std::string_view(text).substr(i + 1, e - i), context);
    // The base stops at '^' only through the exponent it belongs to: an earlier, unexpanded
    // power is part of the base, so that a^b^2 stays (a^b)^2 as the parser groups it.
    const std::size_t b = power.IsInteger ? ScanBackward(i - 1, text, "+-*/#") : i;
    const std::size_t baseLength = i - b;
    const uint64_t m = power.N < 0 ? -power.N : power.N;
    const std::size_t expandedSize =
        text.size() - (e + 1 - b) + ExpandedLength(baseLength, m) + (power.N < 0 ? 5 : 2);
    if (!power.IsInteger || expandedSize > MaxExpandedLength) {
      ++i;
      continue;
    }
    const bool reciprocal = power.N < 0;
    std::string replacement = reciprocal ? "(1/(" : "(";
    replacement += PowerBySquares(std::string_view(text).substr(b, baseLength), power.N);
    replacement += reciprocal ? "))" : ")";
    text.replace(b, e + 1 - b, replacement);
    i = b + replacement.size();
  }
}

namespace {

enum class ParseLevel : uint8_t { Sum, Product, Power, Primary, Emit };

// Work still to do: a token string to parse at a level, or postfix text to append.
struct ParseTask {
  ParseLevel Level;
  std::string_view Text;
};

constexpr std::string_view PowerTokens = "F*C";

constexpr std::size_t NoPartner = std::numeric_limits<std::size_t>::max();

// The recursive descent ParseSum -> ParseProduct -> ParsePower -> ParsePrimary -> ParseSum, run on
// a stack of pending work held on the heap: each level of parentheses costs a few tasks there and
// nothing on the machine stack, so nesting is as safe on a small worker thread, or under a
// sanitizer's large frames, as on the main thread. The postfix output is appended in the order
// the recursion would append it; a task's parts are therefore pushed last part first.
class Parser {
public:
  explicit Parser(std::string &out) : Out(out) {}

  void Run(ParseLevel level, std::string_view s) {
    PairParentheses(s);
    Pending.push_back({level, s});
    while (!Pending.empty()) {
      const ParseTask task = Pending.back();
      Pending.pop_back();
      Step(task);
    }
  }

private:
  // Partner[i] is the index of the ')' that closes the '(' at i, over the whole text.
  void PairParentheses(std::string_view whole) {
    Whole = whole;
    Partner.assign(whole.size(), NoPartner);
    std::vector<std::size_t> open;
    for (std::size_t i = 0; i < whole.size(); i += TokenLength(whole, i)) {
      if (whole[i] == '(') {
        open.push_back(i);
      } else if (whole[i] == ')' && !open.empty()) {
        Partner[open.back()] = i;
        open.pop_back();
      }
    }
  }

  // ScanForward on a part of the text, jumping over each parenthesised group instead of walking
  // through it: every token is read by its own level only, so the parse stays linear however
  // deep the nesting. Where a group is not closed inside s, nothing stops the scan, as there.
  ScanStop Scan(std::size_t start, std::string_view s, std::string_view set) const {
    const std::size_t offset = static_cast<std::size_t>(s.data() - Whole.data());
    for (std::size_t i = start; i < s.size(); i += TokenLength(s, i)) {
      const char c = s[i];
      if (static_cast<unsigned char>(c) == OperandMarker)
        continue;
      if (c == '(') {
        const std::size_t close = Partner[offset + i];
        if (close == NoPartner || close - offset >= s.size())
          break;
        i = close - offset; // the step leaves the group's ')'
      } else if (c == ')' || InSet(c, set)) {
        return {i - 1, c};
      }
    }
    return {s.size() - 1, 0};
  }

  void Step(const ParseTask &task) {
    switch (task.Level) {
    case ParseLevel::Sum:
      LeftToRight(task.Text, "+-", ParseLevel::Product);
      break;
    case ParseLevel::Product:
      LeftToRight(task.Text, "*/", ParseLevel::Power);
      break;
    case ParseLevel::Power:
      Power(task.Text);
      break;
    case ParseLevel::Primary:
      Primary(task.Text);
      break;
    case ParseLevel::Emit:
      Out += task.Text;
      break;
    }
  }

  // Operands separated by operators of one precedence, grouped to the left: each operand's
  // postfix, then the operator that joins it to what came before.
  void LeftToRight(std::string_view s, std::string_view operators, ParseLevel operand) {
    if (s.empty())
      return;
    const std::size_t first = Pending.size();
    ScanStop stop = Scan(0, s, operators);
    Pending.push_back({operand, s.substr(0, stop.End + 1)});
    while (stop.Stop != 0) {
      const std::size_t op = stop.End + 1;
      const std::size_t start = stop.End + 2;
      stop = Scan(start, s, operators);
      Pending.push_back({operand, s.substr(start, stop.End + 1 - start)});
      Pending.push_back({ParseLevel::Emit, s.substr(op, 1)});
    }
    std::reverse(Pending.begin() + static_cast<std::ptrdiff_t>(first), Pending.end());
  }

  // a^b^c groups to the left, ((a^b)^c), and each power is exp(exponent * ln base) with the
  // exponent computed first: the pieces come out last to first, then one "F*C" per '^'.
  void Power(std::string_view s) {
    if (s.empty())
      return;
    if (s.front() == '#') {
      Pending.push_back({ParseLevel::Emit, s.substr(0, 1)});
      s.remove_prefix(1);
    }
    const std::size_t firstPiece = Pending.size();
    for (std::size_t start = 0;;) {
      const ScanStop stop = Scan(start, s, "^");
      Pending.push_back({ParseLevel::Primary, s.substr(start, stop.End + 1 - start)});
      if (stop.Stop == 0)
        break;
      start = stop.End + 2;
    }
    const std::size_t powers = Pending.size() - firstPiece - 1;
    Pending.insert(Pending.begin() + static_cast<std::ptrdiff_t>(firstPiece), powers,
                   ParseTask{ParseLevel::Emit, PowerTokens});
  }

  void Primary(std::string_view s) {
    if (s.empty())
      return;
    const unsigned char c = static_cast<unsigned char>(s.front());
    if (c == '(') {
      Pending.push_back({ParseLevel::Sum, s.substr(1, s.size() - 2)});
    } else if (TokenClass(c) == TokenKind::Function && s.size() >= 3) {
      Pending.push_back({ParseLevel::Emit, s.substr(0, 1)});
      Pending.push_back({ParseLevel::Sum, s.substr(2, s.size() - 3)});
    } else {
      Out += s;
    }
  }

  std::string &Out;
  std::vector<ParseTask> Pending;
  std::string_view Whole;
  std::vector<std::size_t> Partner;
};

} // namespace

void ParseSum(std::string_view s, std::string &out) {
  Parser(out).Run(ParseLevel::Sum, s);
}

void ParseProduct(std::string_view s, std::string &out) {
  Parser(out).Run(ParseLevel::Product, s);
}

void ParsePower(std::string_view s, std::string &out) {
  Parser(out).Run(ParseLevel::Power, s);
}

void ParsePrimary(std::string_view s, std::string &out) {
  Parser(out).Run(ParseLevel::Primary, s);
}

} // namespace tandor
