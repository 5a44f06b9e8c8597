// CheckLinearForm: whether a postfix program is a u + b v + c, and its terms when it is.

#include "formula/CompileContext.h"

namespace tandor {

// Reads the token string from right to left, one term "[sign] [coefficient *] variable" at a
// time. Positions count from 1 as in the term layout; byte(i) is the i-th byte.
StageResult CheckLinearForm(std::string_view tokens, LinearTermRecords &terms) {
  terms = LinearTermRecords{};
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(tokens[i - 1]); };
  if (tokens.size() < 2)
    return LinearMessages::BadSyntax;
  std::size_t i = tokens.size();
  for (;;) {
    const unsigned char d = byte(i);
    if ((d != 1 && d != 2) || i < 2 || byte(i - 1) != OperandMarker)
      return LinearMessages::BadSyntax;
    LinearTerm &term = terms[d - 1];
    ++term.Present;
    --i;
    if (i > 3 && byte(i - 1) == '*') {
      const unsigned char c = byte(i - 2);
      if (byte(i - 3) != OperandMarker || c < 3 || c > 7)
        return LinearMessages::BadCoefficient;
      term.Kind = c;
      i -= 3;
    }
    if (i > 1) {
      --i;
      const unsigned char sign = byte(i);
      if (sign == '#' || sign == '-')
        term.Sign = -1;
      else if (sign == '+')
        term.Sign = 1;
      else
        return LinearMessages::BadSyntax;
    }
    if (i <= 1)
      return {};
    --i;
  }
}

} // namespace tandor
