#include <gtest/gtest.h>

#include "FrontTestSupport.h"

namespace tandor {
namespace {

struct LinearCase {
  std::string Typed;
  bool Linear;
  LinearTerm U; // Kind, Sign, Present; checked only when Linear
  LinearTerm V;
};

class LinearTable : public ::testing::TestWithParam<LinearCase> {};

TEST_P(LinearTable, RecognisesSumsOfCoefficientTimesVariable) {
  const LinearCase &c = GetParam();
  TOCFunctDDDoubleSafe f;
  bool linear = true;
  std::string message;
  f.Compile(c.Typed, "uv", "pq", linear, message);
  ASSERT_EQ(message, "") << c.Typed;
  ASSERT_EQ(linear, c.Linear) << c.Typed;
  if (!c.Linear)
    return;
  for (int d = 0; d < 2; ++d) {
    const LinearTerm &want = d == 0 ? c.U : c.V;
    const LinearTerm &got = f.LinearTerms[d];
    EXPECT_EQ(got.Kind, want.Kind) << c.Typed << " variable " << d + 1;
    EXPECT_EQ(got.Sign, want.Sign) << c.Typed << " variable " << d + 1;
    EXPECT_EQ(got.Present, want.Present) << c.Typed << " variable " << d + 1;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Accepted, LinearTable,
    ::testing::Values(LinearCase{"u", true, {0, 1, 1}, {0, 1, 0}},
                      LinearCase{"pu - qv", true, {3, 1, 1}, {4, -1, 1}},
                      LinearCase{"3.2 u + q v", true, {5, 1, 1}, {4, 1, 1}},
                      LinearCase{"- 2 v", true, {0, 1, 0}, {5, -1, 1}},
                      LinearCase{"v - u", true, {0, -1, 1}, {0, 1, 1}},
                      LinearCase{"-u+v", true, {0, -1, 1}, {0, 1, 1}},
                      LinearCase{"2*u+3.5*v", true, {5, 1, 1}, {6, 1, 1}},
                      // Repeated variables are all counted; the leftmost term writes last.
                      LinearCase{"u + v + u", true, {0, 1, 2}, {0, 1, 1}},
                      LinearCase{"2u + 3v + 4u", true, {5, 1, 2}, {6, 1, 1}},
                      LinearCase{"u - u", true, {0, -1, 2}, {0, 1, 0}}));

INSTANTIATE_TEST_SUITE_P(
    Refused, LinearTable,
    ::testing::Values(LinearCase{"u + 3.2 p", false, {}, {}},
                      LinearCase{"p u + q v - 1.1", false, {}, {}}, LinearCase{"2", false, {}, {}},
                      LinearCase{"p", false, {}, {}}, LinearCase{"(u + v)", false, {}, {}},
                      LinearCase{"u p", false, {}, {}}, LinearCase{"u/2", false, {}, {}},
                      LinearCase{"1 u", false, {}, {}}, LinearCase{"pi u", false, {}, {}},
                      LinearCase{"2*3 u", false, {}, {}},
                      LinearCase{"2u + 3v + 4u + 5v", false, {}, {}},
                      LinearCase{"u v", false, {}, {}}, LinearCase{"u^2", false, {}, {}},
                      LinearCase{"sin(u)", false, {}, {}}, LinearCase{"u+1", false, {}, {}},
                      LinearCase{"pqu", false, {}, {}}, LinearCase{"-(u)", false, {}, {}}));

TEST(LinearForm, FalseOnEntryStaysFalseAndTermsAreUntouched) {
  TOCFunctDDDoubleSafe f;
  bool linear = false;
  std::string message;
  f.Compile("2u", "uv", "pq", linear, message);
  EXPECT_FALSE(linear);
  EXPECT_EQ(f.LinearTerms[0].Present, 0);
}

TEST(LinearForm, AFormulaThatIsNotTokenisedIsNeverLinear) {
  // The raw text holds the bytes of an operand pair for u; it must not be read as one.
  for (const std::string &text :
       {std::string("\xff\x01"), std::string("u+a"), std::string(".5u"), std::string("(u")}) {
    TOCFunctDDDoubleSafe f;
    bool linear = true;
    std::string message;
    f.Compile(text, "uv", "pq", linear, message);
    EXPECT_NE(message, "");
    EXPECT_FALSE(linear) << text;
  }
}

TEST(LinearForm, FailuresCarryTheirMessages) {
  LinearTermRecords terms;
  EXPECT_EQ(CheckLinearForm(test::Tokens("{1}"), terms), "");
  EXPECT_EQ(CheckLinearForm("u", terms), "Bad syntax in linear expression on u,v");
  EXPECT_EQ(CheckLinearForm(test::Tokens("{3}"), terms), "Bad syntax in linear expression on u,v");
  EXPECT_EQ(CheckLinearForm(test::Tokens("{8}*{1}"), terms),
            "Bad coefficient in linear expression on u,v");
  EXPECT_EQ(CheckLinearForm(test::Tokens("{1}*{2}"), terms),
            "Bad coefficient in linear expression on u,v");
  EXPECT_EQ(CheckLinearForm(test::Tokens("1*{1}"), terms),
            "Bad syntax in linear expression on u,v");
}

} // namespace
} // namespace tandor
