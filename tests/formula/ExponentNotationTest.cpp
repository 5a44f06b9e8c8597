// Numbers with an exponent, 1E-6 or -2.5e+300, as the data file writes them: read as one number
// constant, while every text that compiled before means what it meant.

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <random>

#include "FrontTestSupport.h"
#include "formula/FormulaCompiler.h"

namespace tandor {
namespace {

using test::StageRun;

struct NotationCase {
  std::string Typed;
  std::string Normalised; // or the message
  std::string Tokens;     // or the message
};

class ExponentNotation : public ::testing::TestWithParam<NotationCase> {};

TEST_P(ExponentNotation, NormalisesAndTokenises) {
  const NotationCase &c = GetParam();
  EXPECT_EQ(StageRun(c.Typed).Normalise().Result(), c.Normalised) << c.Typed;
  EXPECT_EQ(StageRun(c.Typed).Tokenise().Result(), c.Tokens) << c.Typed;
}

constexpr const char *BadName = "Some function or variable was miswritten.";
constexpr const char *BadNumber = "There is a miswritten number.";

// With "uv" and "pq" the first number constant is operand 5.
INSTANTIATE_TEST_SUITE_P(
    Texts, ExponentNotation,
    ::testing::Values(
        NotationCase{"1E-6", "1E-6", "{5}"}, NotationCase{"1e-6", "1E-6", "{5}"},
        NotationCase{"-2.5E+300", "#2.5E+300", "#{5}"}, NotationCase{"1E15u", "1E15*U", "{5}*{1}"},
        NotationCase{"2,5e3(v)", "2.5E3*(V)", "{5}*({2})"}, NotationCase{"1E0", "1E0", "1"},
        NotationCase{"1e5 3", "1E5*3", "{5}*{6}"}, NotationCase{"u2e3", "U*2E3", "{1}*{5}"},
        NotationCase{"u^1e1", "U^1E1", "{1}^{5}"}, NotationCase{"1e-6-u", "1E-6-U", "{5}-{1}"},
        // An E that is no exponent is the letter it always was.
        NotationCase{"2exp(u)", "2*EXP(U)", "{5}*C({1})"}, NotationCase{"2e", "2*E", BadName},
        NotationCase{"2 e5", "2*E*5", BadName}, NotationCase{"2e u", "2*E*U", BadName},
        NotationCase{"2e+u", "2*E+U", BadName}, NotationCase{"2e-(3)", "2*E-(3)", BadName},
        NotationCase{"2\te5", "2*E*5", BadName}, NotationCase{"2e 5", "2*E*5", BadName},
        NotationCase{"ue5", "UE*5", BadName}, NotationCase{"(2)e5", "(2)*E*5", BadName},
        // A mantissa or exponent that is no number.
        NotationCase{"1.E5", "1.E*5", BadNumber}, NotationCase{".5E3", ".5E3", BadNumber},
        NotationCase{"1.2.3E4", "1.2.3E4", BadNumber}, NotationCase{"1E5.5", "1E5.5", BadNumber},
        NotationCase{"1E5E5", "1E5E5", BadNumber}));

TEST(ExponentNotation, NumbersTakeTheirNearestDouble) {
  const struct {
    const char *Text;
    double Value;
  } cases[] = {
      {"1E-6", 1e-6},
      {"2.5E+300", 2.5e300},
      {"9.99999999999999E-6", 9.99999999999999e-6},
      {"1.79769313486231E308", 1.79769313486231e308},
      {"4.94065645841247E-324", std::numeric_limits<double>::denorm_min()},
      {"1E400", std::numeric_limits<double>::infinity()},
      {"0.001E311", 1e308},
      {"1000E-310", 1e-307},
      {"1E-400", 0.0},
      {"123456789E-340", 0.0},
      {"123456789E-330", 123456789E-330},
      {"0.0000000001E-320", 0.0},
      {"1E99999999999999999999", std::numeric_limits<double>::infinity()},
      {"0E99999999999999999999", 0.0},
  };
  for (const auto &c : cases) {
    StageRun run(c.Text);
    run.Tokenise();
    ASSERT_EQ(run.Message, "") << c.Text;
    EXPECT_EQ(run.Formula.Constants[3], c.Value) << c.Text;
  }
}

// What a blank before the E makes of a text is what the text meant before exponents were read:
// normalisation wrote '*' between the digit and the E either way.
std::string WithoutExponents(const std::string &text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i > 0 && (text[i] == 'e' || text[i] == 'E') && text[i - 1] >= '0' && text[i - 1] <= '9')
      out += ' ';
    out += text[i];
  }
  return out;
}

// The postfix program of a text, or nothing when it does not compile.
std::optional<std::string> ProgramOf(const std::string &text) {
  TOCFunctDDDoubleSafe f;
  bool linear = false;
  std::string message;
  f.Compile(text, "uv", "pq", linear, message);
  if (!message.empty())
    return std::nullopt;
  return f.PostfixText();
}

TEST(ExponentNotation, EveryTextThatCompiledBeforeKeepsItsMeaning) {
  const std::string pieces[] = {
      "2", "1.5", "0",      "e",     "E",  "exp(u)", "xp(v)", "-",   "+",   "*",      "^",
      "u", "v",   " ",      "(",     ")",  "3",      "e5",    "e-2", "E+1", "sin(u)", "pi",
      "p", "q",   "sen(v)", "(u+1)", "\t", ",5",     "e-u",   "e+(", "ee3", "5e",     "asen(u)"};
  std::mt19937 random(20261208);
  int keptMeaning = 0, newNumbers = 0;
  for (int n = 0; n < 200000; ++n) {
    std::string text;
    for (int k = 1 + static_cast<int>(random() % 7); k > 0; --k)
      text += pieces[random() % std::size(pieces)];
    const std::string old = WithoutExponents(text);
    if (old == text)
      continue;
    const std::optional<std::string> before = ProgramOf(old);
    const std::optional<std::string> now = ProgramOf(text);
    if (before) {
      // It compiled: the same program, operand for operand.
      EXPECT_EQ(now, before) << "[" << text << "]";
      ++keptMeaning;
    } else if (now) {
      ++newNumbers;
    }
  }
  // The corpus reaches both kinds of text.
  EXPECT_GT(keptMeaning, 400);
  EXPECT_GT(newNumbers, 1000);
}

// The evaluator sees one constant: the same double as the decimal text, at both signs.
TEST(ExponentNotation, ConstantFormulasOfWrittenNumbers) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> exponent(-300, 300);
  for (int n = 0; n < 2000; ++n) {
    const double magnitude = std::pow(10.0, exponent(random));
    char text[40];
    const auto written = std::to_chars(text, text + sizeof text, n % 2 ? -magnitude : magnitude,
                                       std::chars_format::scientific, 14);
    *written.ptr = '\0';
    double expected = 0;
    std::from_chars(text, written.ptr, expected);
    EXPECT_EQ(EvaluateConstant(text), expected) << text;
  }
}

} // namespace
} // namespace tandor
