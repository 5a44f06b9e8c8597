#include <gtest/gtest.h>

#include <cmath>

#include "FrontTestSupport.h"

namespace tandor {
namespace {

using test::StageRun;

struct TokenCase {
  std::string Typed;
  std::string Tokens; // readable token string, or the message
  std::string Variables = "uv";
  std::string Parameters = "pq";
};

class TokeniseTable : public ::testing::TestWithParam<TokenCase> {};

TEST_P(TokeniseTable, GivesTheExpectedTokensOrMessage) {
  const TokenCase &c = GetParam();
  EXPECT_EQ(StageRun(c.Typed, c.Variables, c.Parameters).Tokenise().Result(), c.Tokens)
      << "typed: " << c.Typed;
}

// With "uv" and "pq": u, v, p, q are operands 1 to 4, the first number constant is 5.
INSTANTIATE_TEST_SUITE_P(
    Names, TokeniseTable,
    ::testing::Values(TokenCase{"U+u", "{1}+{1}"}, TokenCase{"uv", "{1}*{2}"},
                      TokenCase{"u v", "{1}*{2}"}, TokenCase{"pu", "{3}*{1}"},
                      TokenCase{"qv", "{4}*{2}"}, TokenCase{"PIU", "p*{1}"},
                      TokenCase{"pip", "p*{3}"}, TokenCase{"ppi", "{3}*p"},
                      TokenCase{"pipi", "p*p"}, TokenCase{"SIN(u)", "B({1})"},
                      TokenCase{"sen(u)", "B({1})"}, TokenCase{"Sin (u)", "B({1})"},
                      TokenCase{"sinh(u)", "H({1})"}, TokenCase{"sqrt(u)", "E({1})"},
                      TokenCase{"sqr(u)", "D({1})"}, TokenCase{"ucos(v)", "{1}*A({2})"},
                      TokenCase{"psh(u)", "{3}*H({1})"}, TokenCase{"upi(v)", "{1}*p*({2})"},
                      TokenCase{"u(v+1)", "{1}*({2}+1)"}, TokenCase{"uv(u)", "{1}*{2}*({1})"},
                      TokenCase{"sinu(v)", "Some function or variable was miswritten."},
                      TokenCase{"sin", "Some function or variable was miswritten."},
                      TokenCase{"sin u", "Some function or variable was miswritten."},
                      TokenCase{"u + a", "Some function or variable was miswritten."},
                      // An exponent belongs to its number; apart from it E is no letter.
                      TokenCase{"0.13e-12", "{5}"},
                      TokenCase{"0.13 e-12", "Some function or variable was miswritten."},
                      // With the default letters P to Z a function name still wins over letters.
                      TokenCase{"sh(u)", "H({6})", "", ""},
                      TokenCase{"sh", "Some function or variable was miswritten.", "", ""},
                      TokenCase{"pi", "p", "", ""}, TokenCase{"p", "{1}", "", ""},
                      TokenCase{"zp", "{11}*{1}", "", ""}, TokenCase{"xy", "{1}*{2}", "xy", ""},
                      TokenCase{"w", "{3}", "uvw", "pq"}));

INSTANTIATE_TEST_SUITE_P(Numbers, TokeniseTable,
                         ::testing::Values(TokenCase{"2u", "{5}*{1}"}, TokenCase{"2 3", "{5}*{6}"},
                                           TokenCase{"1.0+1", "1+1"}, TokenCase{"1+001.000", "1+1"},
                                           TokenCase{"2.50+2.5", "{5}+{5}"},
                                           TokenCase{"2.5*3+2.5", "{5}*{6}+{5}"},
                                           TokenCase{"0+0.0", "{5}+{5}"}, TokenCase{"007", "{5}"},
                                           TokenCase{".5", "There is a miswritten number."},
                                           TokenCase{".87", "There is a miswritten number."},
                                           TokenCase{"1.2.3", "There is a miswritten number."},
                                           TokenCase{"2.", "There is a miswritten number."},
                                           TokenCase{"u+2..", "There is a miswritten number."},
                                           TokenCase{"cos(pi/sqrt(5))", "A(p/E({12}))", "", ""}));

TEST(Tokenise, NumbersAreReadWithTheirExactDecimalValue) {
  StageRun run("3.2u + 0.1 + 123456789.125 + 2'5");
  run.Tokenise();
  ASSERT_EQ(run.Message, "");
  const std::vector<double> &c = run.Formula.Constants;
  EXPECT_EQ(c[3], 3.2);
  EXPECT_EQ(c[4], 0.1);
  EXPECT_EQ(c[5], 123456789.125);
  EXPECT_EQ(c[6], 2.5);
  EXPECT_EQ(run.Context.ConstantCount, 6);
}

TEST(Tokenise, NumbersBeyondTheRangeOfADoubleSaturate) {
  StageRun huge(std::string(400, '9'));
  huge.Tokenise();
  EXPECT_EQ(huge.Formula.Constants[3], INFINITY);
  StageRun tiny("0." + std::string(400, '0') + "1");
  tiny.Tokenise();
  EXPECT_EQ(tiny.Formula.Constants[3], 0.0);
}

// Distinct numbers besides 1 fill the operand indices up to 253.
struct LimitCase {
  std::string Variables;
  std::string Parameters;
  int MostNumbers;
};

class ConstantLimit : public ::testing::TestWithParam<LimitCase> {};

std::string SumOfNumbers(int count) {
  std::string text = "0";
  for (int n = 2; n <= count; ++n)
    text.append("+").append(std::to_string(n));
  return text;
}

TEST_P(ConstantLimit, OneNumberTooManyIsRefused) {
  const LimitCase &c = GetParam();
  EXPECT_EQ(StageRun(SumOfNumbers(c.MostNumbers), c.Variables, c.Parameters).Tokenise().Message,
            "");
  EXPECT_EQ(StageRun(SumOfNumbers(c.MostNumbers + 1), c.Variables, c.Parameters).Tokenise().Message,
            "I cannot cope with so much constants.");
}

INSTANTIATE_TEST_SUITE_P(Letters, ConstantLimit,
                         ::testing::Values(LimitCase{"uv", "pq", 249}, LimitCase{"", "", 242},
                                           LimitCase{"u", "", 252}));

TEST(Tokenise, RepeatedNumbersDoNotCountAgainstTheLimit) {
  std::string text = SumOfNumbers(249);
  for (int n = 2; n <= 249; ++n)
    text.append("+").append(std::to_string(n)).append(".0");
  EXPECT_EQ(StageRun(text).Tokenise().Message, "");
}

struct SpellingCase {
  const char *Spelling;
  char Code;
};

TEST(FindFunction, KnowsEveryWrittenSpellingAndNothingElse) {
  const SpellingCase spellings[] = {
      {"COS", 'A'},     {"SIN", 'B'},    {"SEN", 'B'},     {"EXP", 'C'},     {"SQR", 'D'},
      {"SQRT", 'E'},    {"LN", 'F'},     {"LOG", 'F'},     {"TG", 'G'},      {"TAN", 'G'},
      {"SH", 'H'},      {"SINH", 'H'},   {"CH", 'I'},      {"COSH", 'I'},    {"TH", 'J'},
      {"TANH", 'J'},    {"ARCSEN", 'K'}, {"ASEN", 'K'},    {"ARCSIN", 'K'},  {"ASIN", 'K'},
      {"ARCCOS", 'L'},  {"ACOS", 'L'},   {"ARCOS", 'L'},   {"ARCTG", 'M'},   {"ARCTAN", 'M'},
      {"ATAN", 'M'},    {"ABS", 'N'},    {"COTG", 'O'},    {"COTAN", 'O'},   {"COT", 'O'},
      {"ARGCH", 'P'},   {"ACOSH", 'P'},  {"ARCCOSH", 'P'}, {"ARGCOSH", 'P'}, {"ARCTANH", 'Q'},
      {"ARGTANH", 'Q'}, {"ARGTH", 'Q'},  {"ATANH", 'Q'},   {"ARCSINH", 'R'}, {"ASINH", 'R'},
      {"ARGSH", 'R'},   {"ARGSINH", 'R'}};
  for (const SpellingCase &s : spellings) {
    EXPECT_EQ(FindFunction(s.Spelling), s.Code) << s.Spelling;
    // Typed in lower case and followed by its argument, each is the function alone.
    std::string typed = s.Spelling;
    for (char &c : typed)
      c = static_cast<char>(c - 'A' + 'a');
    EXPECT_EQ(StageRun(typed + "(u)").Tokenise().Result(), std::string(1, s.Code) + "({1})")
        << typed;
  }
  for (const char *other : {"", "CO", "SINN", "ARCSH", "LG", "sin", "SQRTT"})
    EXPECT_EQ(FindFunction(other), 0) << other;
}

} // namespace
} // namespace tandor
