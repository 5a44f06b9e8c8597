// The evaluators behind Compile: typed formulas, failed compiles, the reference path forced on
// a compiled formula, and random formula texts through the whole chain.

#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "formula/FormulaCompiler.h"

namespace tandor {
namespace {

std::string CompileInto(TOCFunctDDDoubleSafe &f, const std::string &text) {
  bool linear = false;
  std::string message;
  f.Compile(text, "uv", "pq", linear, message);
  if (message.empty())
    f.GenerateDerivativeCode();
  return message;
}

// Runs the compiled formula through the reference path, as on a system without machine code.
struct ReferencePath {
  explicit ReferencePath(TOCFunctDDDoubleSafe &f)
      : F(f), Value(f.ValueEntry), Derivative(f.DerivativeEntry) {
    f.ValueEntry = nullptr;
    f.DerivativeEntry = nullptr;
  }
  ~ReferencePath() {
    F.ValueEntry = Value;
    F.DerivativeEntry = Derivative;
  }
  TOCFunctDDDoubleSafe &F;
  EvaluatorEntry Value;
  EvaluatorEntry Derivative;
};

struct TypedCase {
  const char *text;
  double u, v;
  double value;
};

TEST(CompiledEvaluator, TypedFormulasOnBothPaths) {
  const double e = std::numbers::e;
  for (const TypedCase c : {
           TypedCase{"1+(1+(1+(1+(1+(1+(1+exp(u)))))))", 0.5, 0, 7 + std::exp(0.5)},
           TypedCase{"1+(1+(1+(1+(1+(1+(1+(1+(1+u))))))))", 0.25, 0, 9.25},
           TypedCase{"u v + 2", 3, 4, 3 * 4 + 2},
           TypedCase{"1/0", 0, 0, 1e24},
           TypedCase{"exp(1)", 0, 0, e},
           TypedCase{"sinh(100)", 0, 0, (1e24 - 1e-24) / 2},
           TypedCase{"arcsin(2)+arccos(-2)", 0, 0, 1.5 * std::numbers::pi},
           TypedCase{"u^3", 2, 0, 8},
           TypedCase{"0^0", 0, 0, 1},
           TypedCase{"2^u", 1, 0, 2},
           TypedCase{"(-8)^(1/3)", 0, 0, std::exp(-75.0 / 3)},
       }) {
    TOCFunctDDDoubleSafe f;
    ASSERT_EQ(CompileInto(f, c.text), "") << c.text;
    const double values[4] = {c.u, c.v, 1, 0};
    EXPECT_NEAR(f.Evaluate(values), c.value, 1e-15 * std::fabs(c.value)) << c.text;
    EXPECT_NEAR(f.EvaluateWithDerivative(values).value, c.value, 1e-15 * std::fabs(c.value))
        << c.text;
    ReferencePath reference(f);
    EXPECT_FALSE(f.UsesMachineCode());
    EXPECT_NEAR(f.Evaluate(values), c.value, 1e-15 * std::fabs(c.value)) << c.text;
    EXPECT_NEAR(f.EvaluateWithDerivative(values).value, c.value, 1e-15 * std::fabs(c.value))
        << c.text;
  }
}

TEST(CompiledEvaluator, AFailedCompileLeavesAnObjectThatAnswersNaN) {
  TOCFunctDDDoubleSafe f;
  ASSERT_EQ(CompileInto(f, "u*v+p"), "");
  const double values[4] = {2, 3, 1, 0};
  ASSERT_EQ(f.Evaluate(values), 6);
  for (const char *broken : {"u+", "(u", "sin u", "", ".5"}) {
    EXPECT_NE(CompileInto(f, broken), "") << broken;
    EXPECT_TRUE(std::isnan(f.Evaluate(values))) << broken;
    const DerivativeResult r = f.EvaluateWithDerivative(values);
    EXPECT_TRUE(std::isnan(r.value) && std::isnan(r.derivative)) << broken;
  }
  ASSERT_EQ(CompileInto(f, "u-v"), "");
  EXPECT_EQ(f.Evaluate(values), -1);
}

TEST(CompiledEvaluator, ParametersReachBothPathsWithoutRecompiling) {
  TOCFunctDDDoubleSafe f;
  ASSERT_EQ(CompileInto(f, "p u + q v"), "");
  const double values[4] = {2, 3, 0, 1};
  EXPECT_EQ(f.Evaluate(values), 0);
  const double pq[2] = {2, 3};
  SetParameters(f, pq);
  EXPECT_EQ(f.Evaluate(values), 13);
  EXPECT_EQ(f.EvaluateWithDerivative(values).derivative, 3);
  ReferencePath reference(f);
  EXPECT_EQ(f.Evaluate(values), 13);
  EXPECT_EQ(f.EvaluateWithDerivative(values).derivative, 3);
}

// Random texts in the typed language: powers, implicit products, every spelling family.
class RandomText {
public:
  explicit RandomText(uint64_t seed) : Generator(seed) {}

  std::string Expression(int depth) {
    if (depth == 0 || Chance(0.25))
      return Leaf();
    const int kind = Pick(6);
    if (kind <= 1)
      return FunctionCall(depth);
    if (kind == 2)
      return Join({"(", Expression(depth - 1), ")^", std::to_string(Pick(5))});
    if (kind == 3)
      return Join({"-(", Expression(depth - 1), ")"});
    static const char *const operators[] = {"+", "-", "*", "/", " ", "^"};
    const std::string left = Expression(depth / 2);
    return Join({"(", left, ")", operators[Pick(6)], "(", Expression(depth - 1), ")"});
  }

private:
  static std::string Join(std::initializer_list<std::string_view> pieces) {
    std::string text;
    for (const std::string_view piece : pieces)
      text.append(piece);
    return text;
  }

  std::string Leaf() {
    static const char *const leaves[] = {"u", "v", "p", "q", "1", "2.5", "0.125", "3", "pi"};
    return leaves[Pick(InsideTrigonometry > 0 ? 8 : 9)];
  }

  std::string FunctionCall(int depth) {
    static const char *const names[] = {"sqr",  "sqrt", "ln",    "sh",    "cosh",    "tanh",
                                        "abs",  "exp",  "acosh", "argth", "arcsinh", "arcsin",
                                        "acos", "atan", "cos",   "sen",   "tg",      "cotg"};
    const int k = Pick(InsideTrigonometry > 0 ? 11 : 18);
    const bool trigonometric = k >= 14;
    InsideTrigonometry += trigonometric;
    const std::string argument = Expression(depth - 1);
    InsideTrigonometry -= trigonometric;
    return Join({names[k], "(", argument, ")"});
  }

  bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(Generator) < p; }
  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(Generator); }

  std::mt19937_64 Generator;
  int InsideTrigonometry = 0;
};

bool Agree(double expected, double actual) {
  if (std::isnan(expected) || std::isnan(actual))
    return std::isnan(expected) && std::isnan(actual);
  if (std::isinf(expected) || std::isinf(actual))
    return expected == actual;
  return std::fabs(actual - expected) <= 1e-12 * (1 + std::fabs(expected));
}

TEST(CompiledEvaluator, RandomTextsAgreeOnBothPaths) {
  RandomText random(4242);
  std::mt19937_64 points(5);
  std::uniform_real_distribution<double> coordinate(-2, 2);
  int compared = 0;
  int disagreements = 0;
  for (int n = 0; n < 3000; ++n) {
    const std::string text = random.Expression(10);
    TOCFunctDDDoubleSafe f;
    ASSERT_EQ(CompileInto(f, text), "") << text;
    ASSERT_TRUE(f.UsesMachineCode()) << text;
    const double pq[2] = {coordinate(points), coordinate(points)};
    SetParameters(f, pq);
    double values[4] = {coordinate(points), coordinate(points), 1, -0.5};
    const double value = f.Evaluate(values);
    const DerivativeResult d = f.EvaluateWithDerivative(values);
    ReferencePath reference(f);
    const double expected = f.Evaluate(values);
    const DerivativeResult expectedDerivative = f.EvaluateWithDerivative(values);
    // Nudged inputs reveal the samples that amplify last-bit differences beyond any tolerance.
    for (double &x : values)
      x = std::nextafter(std::nextafter(x, 10), 10);
    const bool wellConditioned =
        Agree(expected, f.Evaluate(values)) &&
        Agree(expectedDerivative.derivative, f.EvaluateWithDerivative(values).derivative);
    if (!wellConditioned)
      continue;
    ++compared;
    if ((!Agree(expected, value) || !Agree(expectedDerivative.value, d.value) ||
         !Agree(expectedDerivative.derivative, d.derivative)) &&
        ++disagreements <= 10)
      ADD_FAILURE() << text << " = " << f.PostfixText() << ": " << value << " " << d.value << " "
                    << d.derivative << " vs " << expected << " " << expectedDerivative.value << " "
                    << expectedDerivative.derivative;
  }
  EXPECT_EQ(disagreements, 0);
  EXPECT_GT(compared, 2500);
}

} // namespace
} // namespace tandor
