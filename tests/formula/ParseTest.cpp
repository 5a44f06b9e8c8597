#include <gtest/gtest.h>

#include <cmath>

#include "FrontTestSupport.h"

namespace tandor {
namespace {

using test::PostfixOf;
using test::StageRun;

constexpr const char *Sintax = "There is a sintax defect in the formula.";

struct SyntaxCase {
  std::string Typed;
  std::string Message; // empty when the formula passes
};

class SyntaxTable : public ::testing::TestWithParam<SyntaxCase> {};

TEST_P(SyntaxTable, AcceptsOnlyLegalSuccessions) {
  const SyntaxCase &c = GetParam();
  TOCFunctDDDoubleSafe f;
  bool linear = false;
  std::string message;
  f.Compile(c.Typed, "uv", "pq", linear, message);
  EXPECT_EQ(message, c.Message) << "typed: " << c.Typed;
}

INSTANTIATE_TEST_SUITE_P(
    Successions, SyntaxTable,
    ::testing::Values(SyntaxCase{"u - - v", Sintax}, SyntaxCase{"2 * - 3", Sintax},
                      SyntaxCase{"u ^ - 2", Sintax}, SyntaxCase{"-(-u)", ""},
                      SyntaxCase{"2*(-3)", ""}, SyntaxCase{"u+", Sintax}, SyntaxCase{"u^", Sintax},
                      SyntaxCase{"()", Sintax}, SyntaxCase{"sin()", Sintax},
                      SyntaxCase{"-", Sintax}, SyntaxCase{"u(", "Check, please, the parentheses."},
                      SyntaxCase{"*u", Sintax}, SyntaxCase{"(*u)", Sintax},
                      SyntaxCase{"(u)(v)", ""}, SyntaxCase{"sin(u)(v)", ""}, SyntaxCase{"u**2", ""},
                      SyntaxCase{"u***2", Sintax},
                      SyntaxCase{"sin u", "Some function or variable was miswritten."},
                      // A leading plus is dropped, so nothing is left.
                      SyntaxCase{"+", "Perhaps you forgot to write something."}));

TEST(CheckSyntax, TreatsIndexBytesAsPartOfTheirOperand) {
  // Index bytes that spell '(' or '+' must not be read as tokens of their own.
  EXPECT_EQ(CheckSyntax(test::Tokens("{40}*{43}")), "");
  EXPECT_EQ(CheckSyntax(test::Tokens("({41}+{94})")), "");
  EXPECT_EQ(CheckSyntax(test::Tokens("{40}{41}")), Sintax);
  EXPECT_EQ(CheckSyntax(std::string(1, static_cast<char>(OperandMarker))), Sintax);
  EXPECT_EQ(CheckSyntax("u"), Sintax); // a byte outside the token alphabet
}

struct ExpansionCase {
  std::string Typed;
  std::string Expanded; // readable; u is {1}, v is {2}, p is {3}, numbers from {5}
};

class ExpansionTable : public ::testing::TestWithParam<ExpansionCase> {};

TEST_P(ExpansionTable, RewritesIntegerPowersAsSquares) {
  const ExpansionCase &c = GetParam();
  EXPECT_EQ(StageRun(c.Typed).Expand().Result(), c.Expanded) << "typed: " << c.Typed;
}

INSTANTIATE_TEST_SUITE_P(
    Powers, ExpansionTable,
    ::testing::Values(ExpansionCase{"u^2", "(D({1}))"}, ExpansionCase{"u^3", "(D({1})*{1})"},
                      ExpansionCase{"u^4", "(D(D({1})))"}, ExpansionCase{"u^5", "(D(D({1}))*{1})"},
                      ExpansionCase{"u^0", "(1)"}, ExpansionCase{"u^(-2)", "(1/(D({1})))"},
                      ExpansionCase{"(u+1)^2", "(D(({1}+1)))"},
                      ExpansionCase{"sin(u)^2", "(D(B({1})))"}, ExpansionCase{"-u^2", "#(D({1}))"},
                      ExpansionCase{"2u^3", "{5}*(D({1})*{1})"}, ExpansionCase{"u^1", "({1})"},
                      ExpansionCase{"u^2.0", "(D({1}))"}, ExpansionCase{"u^(2)", "(D({1}))"},
                      ExpansionCase{"u^(-1)", "(1/({1}))"},
                      ExpansionCase{"u^2^3", "(D((D({1})))*(D({1})))"},
                      // Not integer constants: the power stays.
                      ExpansionCase{"u^p", "{1}^{3}"}, ExpansionCase{"u^2.5", "{1}^{5}"},
                      ExpansionCase{"u^(1+1)", "{1}^(1+1)"}, ExpansionCase{"u^v", "{1}^{2}"},
                      ExpansionCase{"2^u", "{5}^{1}"}, ExpansionCase{"u^((2))", "{1}^(({5}))"},
                      ExpansionCase{"u^3000000000", "{1}^{5}"},
                      // An unexpanded power before an integer one belongs to the base: (u^v)^2.
                      ExpansionCase{"u^v^2", "(D({1}^{2}))"},
                      ExpansionCase{"2u^v^2", "{5}*(D({1}^{2}))"},
                      ExpansionCase{"u*v^2+1", "{1}*(D({2}))+1"}));

TEST(Scan, StopsAtDepthZeroOrAtTheEnclosingParenthesis) {
  const std::string t = test::Tokens("{1}+({2}-1)*{40}^2)");
  const ScanStop plus = ScanForward(0, t, "+-");
  EXPECT_EQ(plus.End, 1u);
  EXPECT_EQ(plus.Stop, '+');
  const ScanStop close = ScanForward(3, t, "+-");
  EXPECT_EQ(close.Stop, ')');
  EXPECT_EQ(close.End, t.size() - 2);
  const ScanStop none = ScanForward(0, test::Tokens("{41}*{43}"), "+-");
  EXPECT_EQ(none.Stop, 0);
  EXPECT_EQ(none.End, 4u);
  // Backward from the last byte of {40} stops after '*'; index bytes are never tokens.
  const std::size_t at40 = t.size() - 4;
  EXPECT_EQ(ScanBackward(at40, t, "+-*/#"), at40 - 1);
  const std::string group = test::Tokens("({41}^{40})");
  EXPECT_EQ(ScanBackward(group.size() - 1, group, "+-*/#"), 0u);
  EXPECT_EQ(ScanBackward(4, test::Tokens("(u^{40}"), "+-*/#"), 1u);
}

struct PostfixCase {
  std::string Typed;
  std::string Postfix;
  std::string Variables = "uv";
};

class PostfixTable : public ::testing::TestWithParam<PostfixCase> {};

TEST_P(PostfixTable, ParsesIntoThePostfixProgram) {
  const PostfixCase &c = GetParam();
  EXPECT_EQ(PostfixOf(c.Typed, c.Variables, c.Variables.empty() ? "" : "pq"), c.Postfix)
      << "typed: " << c.Typed;
}

// With no variables given the letters p to z are the variables, so w can be used.
INSTANTIATE_TEST_SUITE_P(
    Examples, PostfixTable,
    ::testing::Values(PostfixCase{"u + v*w", "u v w * +", ""},
                      PostfixCase{"(u + v)*w", "u v + w *", ""}, PostfixCase{"-u*v", "u neg v *"},
                      PostfixCase{"-(u*v)", "u v * neg"}, PostfixCase{"u^2", "u sqr"},
                      PostfixCase{"sin(u)^2", "u sin sqr"}, PostfixCase{"2^u", "u 2 ln * exp"},
                      PostfixCase{"u^v^w", "w v u ln * exp ln * exp", ""},
                      PostfixCase{"pi u", "pi u *"}, PostfixCase{"u - v + w", "u v - w +", ""},
                      PostfixCase{"u / v * w", "u v / w *", ""}));

INSTANTIATE_TEST_SUITE_P(
    More, PostfixTable,
    ::testing::Values(PostfixCase{"u^3", "u sqr u *"}, PostfixCase{"u^(-2)", "1 u sqr /"},
                      PostfixCase{"-u^2", "u sqr neg"}, PostfixCase{"2u^3", "2 u sqr u * *"},
                      PostfixCase{"u^0", "1"}, PostfixCase{"u^1", "u"},
                      PostfixCase{"u^2.0", "u sqr"}, PostfixCase{"u^v^2", "v u ln * exp sqr"},
                      PostfixCase{"3.2 u + q v", "3.2000000000000002 u * q v * +"},
                      PostfixCase{"-(-u)", "u neg neg"}, PostfixCase{"u-v-u", "u v - u -"},
                      PostfixCase{"u/v/u", "u v / u /"}, PostfixCase{"ucos(v)", "u v cos *"},
                      PostfixCase{"((u))", "u"}, PostfixCase{"sqrt(abs(u v))", "u v * abs sqrt"},
                      PostfixCase{"v(u+v^4- pv^2)", "v u v sqr sqr + p v sqr * - *"},
                      PostfixCase{"arcsinh(u)+argth(v)+acosh(u)+cotg(v)",
                                  "u arcsinh v arctanh + u arccosh + v cot +"},
                      PostfixCase{"ln(u)tg(v)th(u)ch(v)sh(u)asin(v)acos(u)atan(v)",
                                  "u ln v tan * u tanh * v cosh * u sinh * v arcsin * u arccos * "
                                  "v arctan *"}));

double ValueAt(const std::string &text, double u, double v) {
  TOCFunctDDDoubleSafe f;
  bool linear = false;
  std::string message;
  f.Compile(text, "uv", "pq", linear, message);
  EXPECT_EQ(message, "") << text;
  const double uv[2] = {u, v};
  return f.Evaluate(uv);
}

TEST(Parse, SpellingsOfASquareAgree) {
  for (double u : {-3.5, -1.0, 0.0, 0.25, 7.0}) {
    const double square = ValueAt("u*u", u, 0);
    EXPECT_EQ(ValueAt("u^2", u, 0), square);
    EXPECT_EQ(ValueAt("sqr(u)", u, 0), square);
    EXPECT_EQ(ValueAt("u^2.0", u, 0), square);
    EXPECT_EQ(ValueAt("u**2", u, 0), square);
  }
}

TEST(Parse, PowerValues) {
  EXPECT_EQ(ValueAt("0^0", 0, 0), 1.0);
  EXPECT_EQ(ValueAt("u^3", -2, 0), -8.0);
  EXPECT_EQ(ValueAt("u^(-2)", 2, 0), 0.25);
  EXPECT_EQ(ValueAt("-u^2", 3, 0), -9.0);
  EXPECT_EQ(ValueAt("u^2^3", -2, 0), 64.0);
  EXPECT_NEAR(ValueAt("u^v^2", 2, 3), 64.0, 1e-12);
  // Not an integer exponent: exp(y ln x) with ln of a non-positive number answering -75.
  EXPECT_NEAR(ValueAt("(-8)^(1/3)", 0, 0), std::exp(-25.0), 1e-20);
}

} // namespace
} // namespace tandor
