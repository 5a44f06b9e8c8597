#include <gtest/gtest.h>

#include <cmath>

#include "FrontTestSupport.h"

namespace tandor {
namespace {

constexpr const char *Range = "The allowed variables must be in the range 'p' to 'z'";
constexpr const char *Parameter = "No parameter may be named as any variable";
constexpr const char *Forgot = "Perhaps you forgot to write something.";
constexpr const char *NotAllowed = "You did use a character not allowed.";
constexpr const char *Parentheses = "Check, please, the parentheses.";
constexpr const char *Number = "There is a miswritten number.";
constexpr const char *Name = "Some function or variable was miswritten.";
constexpr const char *TooMany = "I cannot cope with so much constants.";
constexpr const char *Sintax = "There is a sintax defect in the formula.";

struct MessageCase {
  std::string Typed;
  std::string Variables;
  std::string Parameters;
  std::string Message;
};

class MessageTable : public ::testing::TestWithParam<MessageCase> {};

TEST_P(MessageTable, FirstFailingStageGivesItsMessage) {
  const MessageCase &c = GetParam();
  TOCFunctDDDoubleSafe f;
  bool linear = true;
  std::string message = "stale";
  f.Compile(c.Typed, c.Variables, c.Parameters, linear, message);
  EXPECT_EQ(message, c.Message) << "typed: " << c.Typed;
  EXPECT_EQ(f.IsCompiled(), c.Message.empty());
}

std::string ManyNumbers(int count) {
  std::string text = "0";
  for (int n = 2; n <= count; ++n)
    text.append("+").append(std::to_string(n));
  return text;
}

INSTANTIATE_TEST_SUITE_P(
    EachCondition, MessageTable,
    ::testing::Values(MessageCase{"u", "ua", "pq", Range}, MessageCase{"u", "u1", "", Range},
                      MessageCase{"u", "uv", "u", Parameter},
                      MessageCase{"u", "uv", "a", Parameter}, MessageCase{"1", "", "p", Parameter},
                      MessageCase{"", "uv", "pq", Forgot}, MessageCase{"\t\n", "uv", "pq", Forgot},
                      MessageCase{"u + \xc3\xa9", "uv", "pq", NotAllowed},
                      MessageCase{"(u", "uv", "pq", Parentheses},
                      MessageCase{"u)(", "uv", "pq", Parentheses},
                      MessageCase{".5", "uv", "pq", Number}, MessageCase{"2.", "uv", "pq", Number},
                      MessageCase{"u + a", "uv", "pq", Name},
                      MessageCase{ManyNumbers(250), "uv", "pq", TooMany},
                      MessageCase{"u*-v", "uv", "pq", Sintax}, MessageCase{"U+v", "UV", "PQ", ""},
                      MessageCase{"x+y", "xy", "", ""}));

// When several stages would fail, the earliest one speaks.
INSTANTIATE_TEST_SUITE_P(
    FirstErrorWins, MessageTable,
    ::testing::Values(MessageCase{"", "a", "b", Range}, MessageCase{"", "uv", "b", Parameter},
                      MessageCase{"(\xc3\xa9", "uv", "pq", NotAllowed},
                      MessageCase{"((", "uv", "pq", Parentheses},
                      MessageCase{".5 + a", "uv", "pq", Number},
                      MessageCase{"a + .5", "uv", "pq", Name},
                      MessageCase{ManyNumbers(250) + "+a", "uv", "pq", TooMany},
                      MessageCase{"a+" + ManyNumbers(250), "uv", "pq", Name},
                      MessageCase{"u-- a", "uv", "pq", Name},
                      MessageCase{"u--.5", "uv", "pq", Number}));

TEST(Compile, AFailedCompileLeavesNoEvaluator) {
  TOCFunctDDDoubleSafe f;
  bool linear = false;
  std::string message;
  f.Compile("u*v+2", "uv", "pq", linear, message);
  ASSERT_EQ(message, "");
  const double uv[2] = {2, 3};
  EXPECT_EQ(f.Evaluate(uv), 8.0);
  f.GenerateDerivativeCode();
  const double withDirection[4] = {2, 3, 1, 0};
  for (const char *bad : {"u+", "(u", "", "u+a"}) {
    f.Compile(bad, "uv", "pq", linear, message);
    EXPECT_NE(message, "");
    EXPECT_FALSE(f.IsCompiled());
    EXPECT_EQ(f.ValueEntry, nullptr);
    EXPECT_EQ(f.DerivativeEntry, nullptr);
    EXPECT_TRUE(f.Postfix.empty());
    EXPECT_TRUE(std::isnan(f.Evaluate(uv))) << bad;
    EXPECT_TRUE(std::isnan(f.EvaluateWithDerivative(withDirection).value)) << bad;
    EXPECT_EQ(f.FormulaText, bad);
  }
  f.Compile("u*v+2", "ab", "pq", linear, message);
  EXPECT_TRUE(std::isnan(f.Evaluate(uv)));
  SetParameters(f, std::vector<double>{1.0, 2.0}); // must not write into freed or empty storage
  f.Compile("u-v", "uv", "pq", linear, message);
  EXPECT_EQ(message, "");
  EXPECT_EQ(f.Evaluate(uv), -1.0);
}

TEST(Compile, ANewObjectAnswersNaN) {
  TOCFunctDDDoubleSafe f;
  const double uv[2] = {1, 2};
  EXPECT_FALSE(f.IsCompiled());
  EXPECT_TRUE(std::isnan(f.Evaluate(uv)));
}

TEST(Compile, EachCompileStartsFromFreshConstants) {
  TOCFunctDDDoubleSafe f;
  bool linear = false;
  std::string message;
  f.Compile("2+3", "uv", "pq", linear, message);
  f.Compile("7", "uv", "pq", linear, message);
  ASSERT_EQ(message, "");
  EXPECT_EQ(f.Constants[3], 7.0);
  EXPECT_EQ(f.PostfixText(), "7");
  EXPECT_EQ(f.Evaluate(nullptr), 7.0);
}

TEST(Compile, ConstantsArePlacedAfterTheParameters) {
  TOCFunctDDDoubleSafe f;
  bool linear = false;
  std::string message;
  f.Compile("2.5u + 4v", "uv", "pq", linear, message);
  ASSERT_EQ(message, "");
  EXPECT_EQ(f.VariableCount, 2);
  EXPECT_EQ(f.ParameterCount, 2);
  ASSERT_GE(f.Constants.size(), 5u);
  EXPECT_EQ(f.Constants[1], 0.0);
  EXPECT_EQ(f.Constants[2], 0.0);
  EXPECT_EQ(f.Constants[3], 2.5);
  EXPECT_EQ(f.Constants[4], 4.0);
  EXPECT_EQ(test::Readable(f.Postfix), "{5}{1}*{6}{2}*+");
}

TEST(Compile, TooManyLettersAreRefused) {
  // Index bytes cannot number more letters than this.
  TOCFunctDDDoubleSafe f;
  bool linear = false;
  std::string message;
  f.Compile("u", std::string(300, 'u'), "", linear, message);
  EXPECT_EQ(message, TooMany);
  f.Compile("u", std::string(253, 'u'), "", linear, message);
  EXPECT_EQ(message, "");
}

} // namespace
} // namespace tandor
