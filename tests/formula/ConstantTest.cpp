#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "formula/FormulaCompiler.h"
#include "formula/InputError.h"

namespace tandor {
namespace {

struct ConstantCase {
  std::string Text;
  double Value;
};

class ConstantTable : public ::testing::TestWithParam<ConstantCase> {};

TEST_P(ConstantTable, EvaluatesFormulasWithoutVariables) {
  const ConstantCase &c = GetParam();
  EXPECT_NEAR(EvaluateConstant(c.Text), c.Value, 1e-15 * std::max(1.0, std::abs(c.Value)))
      << c.Text;
}

INSTANTIATE_TEST_SUITE_P(
    Values, ConstantTable,
    ::testing::Values(
        ConstantCase{"cos(pi/sqrt(5))", std::cos(std::numbers::pi / std::sqrt(5.0))},
        ConstantCase{"-1,5", -1.5}, ConstantCase{"2 3", 6.0}, ConstantCase{"2\t3", 23.0},
        ConstantCase{"2'5", 2.5}, ConstantCase{"pi", std::numbers::pi},
        ConstantCase{"PI/2", std::numbers::pi / 2}, ConstantCase{"3**2", 9.0},
        ConstantCase{"-2^2", -4.0}, ConstantCase{"(-2)^2", 4.0}, ConstantCase{"2^10", 1024.0},
        ConstantCase{"2^(-1)", 0.5}, ConstantCase{"0^0", 1.0}, ConstantCase{"1/0", 1e24},
        ConstantCase{"-1/0", -1e24}, ConstantCase{"2(3+4)", 14.0}, ConstantCase{"[1+2]{3}", 9.0},
        ConstantCase{"10-2-3", 5.0}, ConstantCase{"64/4/2", 8.0}, ConstantCase{"sqr(1.5)", 2.25},
        ConstantCase{"abs(-7)", 7.0}));

struct RefusedCase {
  std::string Text;
  std::string Message;
};

class RefusedConstant : public ::testing::TestWithParam<RefusedCase> {};

constexpr const char *LetterMessage = "A constant may not use the letters p to z (pi excepted).";

TEST_P(RefusedConstant, ThrowsWithAClearMessage) {
  const RefusedCase &c = GetParam();
  try {
    const double value = EvaluateConstant(c.Text);
    ADD_FAILURE() << c.Text << " gave " << value;
  } catch (const InputError &error) {
    EXPECT_EQ(std::string(error.what()), c.Message) << c.Text;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Messages, RefusedConstant,
    ::testing::Values(RefusedCase{"", "Perhaps you forgot to write something."},
                      RefusedCase{"cos(pi", "Check, please, the parentheses."},
                      RefusedCase{"a", "Some function or variable was miswritten."},
                      RefusedCase{"2*-1", "There is a sintax defect in the formula."},
                      RefusedCase{"1.2.3", "There is a miswritten number."},
                      RefusedCase{"u", LetterMessage}, RefusedCase{"p", LetterMessage},
                      RefusedCase{"pi*x", LetterMessage}, RefusedCase{"sin(t)+1", LetterMessage},
                      RefusedCase{"piz", LetterMessage}, RefusedCase{"0*q", LetterMessage}));

double ValueAt(TOCFunctDDDoubleSafe &f, double u, double v) {
  const double uv[2] = {u, v};
  return f.Evaluate(uv);
}

class ParameterValues : public ::testing::Test {
protected:
  void SetUp() override { Compile(); }
  void Compile() {
    bool linear = false;
    std::string message;
    F.Compile("p u + q v", "uv", "pq", linear, message);
    ASSERT_EQ(message, "");
  }
  TOCFunctDDDoubleSafe F;
};

TEST_F(ParameterValues, StartAtZeroAndChangeWithoutRecompiling) {
  EXPECT_EQ(ValueAt(F, 1.5, -2), 0.0);
  SetParameters(F, std::vector<double>{2, 3});
  EXPECT_EQ(ValueAt(F, 1.5, -2), -3.0);
  SetParameters(F, std::vector<double>{-1, 0.5});
  EXPECT_EQ(ValueAt(F, 1.5, -2), -2.5);
}

TEST_F(ParameterValues, AreWrittenInPlaceWhereTheEvaluatorReadsThem) {
  const double *slots = F.Constants.data();
  SetParameters(F, std::vector<double>{4, 5});
  EXPECT_EQ(F.Constants.data(), slots);
  EXPECT_EQ(ValueAt(F, 1, 1), 9.0);
}

TEST_F(ParameterValues, ARecompileResetsThem) {
  SetParameters(F, std::vector<double>{2, 3});
  Compile();
  EXPECT_EQ(ValueAt(F, 1, 1), 0.0);
}

TEST_F(ParameterValues, WrongCountsChangeNothing) {
  SetParameters(F, std::vector<double>{2, 3});
  SetParameters(F, std::vector<double>{1, 2, 3});
  SetParameters(F, std::vector<double>{});
  EXPECT_EQ(ValueAt(F, 1, 1), 5.0);
  SetParameters(F, std::vector<double>{7}); // p only
  EXPECT_EQ(ValueAt(F, 1, 1), 10.0);
}

TEST(SetParametersOn, FormulasWithoutParametersAreLeftAlone) {
  TOCFunctDDDoubleSafe fresh;
  SetParameters(fresh, std::vector<double>{1, 2});
  EXPECT_TRUE(fresh.Constants.empty());
  TOCFunctDDDoubleSafe f;
  bool linear = false;
  std::string message;
  f.Compile("u+2", "uv", "", linear, message);
  SetParameters(f, std::vector<double>{5});
  EXPECT_EQ(ValueAt(f, 1, 0), 3.0);
}

} // namespace
} // namespace tandor
