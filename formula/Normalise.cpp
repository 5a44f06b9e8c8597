// NormaliseFormula (Normaliser): the typed text put in one spelling before tokenising.

#include "formula/CompileContext.h"

namespace tandor {

namespace {

bool IsBlankLike(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The state of the normalising scan: what was written last and what was read last.
struct Normaliser {
  std::string Out;
  char Last = '(';
  char Previous = '(';
  int Depth = 0;

  void Write(char c) {
    Out += c;
    Last = c;
  }
  // Only a blank separates two numbers or two names; a tab or line break does not.
  bool NeedsProductBeforeDigit() const {
    return Last == ')' || IsLetter(Last) || (IsDigit(Last) && Previous == ' ');
  }
  bool NeedsProductBeforeLetter() const {
    return Last == ')' || IsDigit(Last) || (IsLetter(Last) && Previous == ' ');
  }
  // The exponent of the number just written (E, sign, digits), copied as it stands: no '*'
  // before the E or the digits, and its minus is no unary minus.
  void WriteExponent(std::string_view exponent) {
    Out += exponent;
    Last = Previous = exponent.back();
  }
  // False for a character outside the language.
  bool Read(char c);
};

bool Normaliser::Read(char c) {
  switch (c) {
  case '^':
    Write('^');
    return true;
  case '.':
  case ',':
  case '\'':
    Write('.');
    return true;
  case '(':
  case '[':
  case '{':
    if (Last == ')' || IsDigit(Last))
      Out += '*';
    Write('(');
    ++Depth;
    return true;
  case ')':
  case ']':
  case '}':
    Write(')');
    --Depth;
    return true;
  case '*':
    if (Last == '*') {
      Out.back() = '^';
      Last = '^';
    } else {
      Write('*');
    }
    return true;
  case '+':
    if (Last != '(')
      Write('+');
    return true;
  case '-':
    Write(Last == '(' ? '#' : '-');
    return true;
  case '/':
  case '\\':
    Write('/');
    return true;
  default:
    break;
  }
  if (IsBlankLike(c))
    return true;
  if (IsDigit(c)) {
    if (NeedsProductBeforeDigit())
      Out += '*';
    Write(c);
    return true;
  }
  if (IsLetter(c)) {
    if (NeedsProductBeforeLetter())
      Out += '*';
    Write(c);
    return true;
  }
  return false;
}

} // namespace

StageResult NormaliseFormula(CompileContext &context) {
  context.UpperText = UpperCase(context.WorkText);
  if (context.UpperText.empty())
    return CompilerMessages::NothingWritten;
  const std::string_view text = context.UpperText;
  Normaliser n;
  n.Out.reserve(text.size() * 2);
  for (std::size_t i = 0; i < text.size() && n.Depth >= 0;) {
    // An exponent follows the last digit of its number directly, as in 1E-6 or 2.5e+300.
    const std::size_t exponent = IsDigit(n.Previous) ? ExponentLength(text.substr(i)) : 0;
    if (exponent > 0) {
      n.WriteExponent(text.substr(i, exponent));
      i += exponent;
      continue;
    }
    if (!n.Read(text[i]))
      return CompilerMessages::CharacterNotAllowed;
    n.Previous = text[i++];
  }
  if (n.Depth != 0)
    return CompilerMessages::Parentheses;
  if (n.Out.empty())
    return CompilerMessages::NothingWritten;
  context.WorkText = std::move(n.Out);
  return {};
}

} // namespace tandor
