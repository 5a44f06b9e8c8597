// Register allocation of the generated code: spilling past the eight x87 registers, the
// registers each function's sequence needs at every depth, and the life of the evaluators.

#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "PostfixFormula.h"

namespace tandor {
namespace {

using test::FunctionCodes;
using test::LoadPostfix;
using test::PostfixFormula;

// 1+(1+(...(1+inner)...)) with depth ones waiting on the stack while inner is computed.
std::string Nested(int depth, const std::string &inner) {
  std::string postfix;
  for (int i = 0; i < depth; ++i)
    postfix += "1 ";
  postfix += inner;
  for (int i = 0; i < depth; ++i)
    postfix += " +";
  return postfix;
}

// The same sum, added from the left: the stack never holds more than two values.
std::string Flat(int depth, const std::string &inner) {
  std::string postfix = inner;
  for (int i = 0; i < depth; ++i)
    postfix += " 1 +";
  return postfix;
}

void ExpectClose(double expected, double actual, const std::string &what) {
  EXPECT_NEAR(actual, expected, 1e-13 * (1 + std::fabs(expected))) << what;
}

TEST(Spilling, DeeplyNestedSumsEqualTheirFlatForms) {
  const double values[4] = {0.375, -1.25, 1, 0};
  for (int depth = 0; depth <= 20; ++depth) {
    auto nested = PostfixFormula(Nested(depth, "u"));
    auto flat = PostfixFormula(Flat(depth, "u"));
    EXPECT_EQ(nested->Evaluate(values), flat->Evaluate(values)) << depth;
    EXPECT_EQ(nested->Evaluate(values), depth + 0.375) << depth;
    const DerivativeResult n = nested->EvaluateWithDerivative(values);
    EXPECT_EQ(n.value, depth + 0.375) << depth;
    EXPECT_EQ(n.derivative, 1) << depth;
  }
}

// Spilled values travel through the machine stack as doubles: every operand of a deep product
// comes back in order, and the derivative of the whole chain is right.
TEST(Spilling, DeepProductsKeepTheOrderOfTheirOperands) {
  // u - (v - (u - (v - ...))) alternates signs, so any swapped operands show.
  std::string postfix;
  const int depth = 14;
  for (int i = 0; i < depth; ++i)
    postfix += i % 2 == 0 ? "u " : "v ";
  postfix += "2";
  for (int i = 0; i < depth; ++i)
    postfix += " -";
  auto f = PostfixFormula(postfix);
  double expected = 2;
  for (int i = depth - 1; i >= 0; --i)
    expected = (i % 2 == 0 ? 0.5 : 3.0) - expected;
  const double values[4] = {0.5, 3.0, 1, 0};
  EXPECT_EQ(f->Evaluate(values), expected);
  EXPECT_EQ(f->EvaluateWithDerivative(values).value, expected);
  EXPECT_EQ(f->EvaluateWithDerivative(values).derivative, 7); // u enters 7 times, always added
}

TEST(Spilling, SpilledValuesAreRoundedToDoubleLikeTheReference) {
  // 1/3 computed in extended precision is pushed below eight zeros, comes back as a double and
  // meets 1/3 in extended precision again: what is left is the rounding.
  auto f = PostfixFormula("1 3 / 0 0 0 0 0 0 0 0 + + + + + + + + 1 3 / -");
  const double values[4] = {0, 0, 0, 0};
  const long double third = 1.0L / 3;
  EXPECT_EQ(f->Evaluate(values), static_cast<double>(static_cast<double>(third) - third));
  EXPECT_NE(f->Evaluate(values), 0);
  EXPECT_EQ(f->Evaluate(values), static_cast<double>(f->EvaluateReference(values)));
  EXPECT_EQ(f->EvaluateWithDerivative(values).value,
            f->EvaluateWithDerivativeReference(values).value);
}

// Each function is applied with 0..10 values waiting below it, so that it finds 8, 7, ..., 0
// registers free: a sequence that needs more registers than are reserved for it overflows the
// x87 stack and answers NaN.
class EveryFunctionAtEveryDepth : public testing::TestWithParam<std::string> {};

TEST_P(EveryFunctionAtEveryDepth, AgreesWithTheReference) {
  const std::string &name = GetParam();
  for (const double u : {-1.5, -0.5, -0.25, 0.0, 0.5, 2.5, 80.0, -80.0}) {
    const double values[4] = {u, 0.25, 1, 0};
    for (int depth = 0; depth <= 10; ++depth) {
      const std::string what =
          name + " at u=" + std::to_string(u) + " depth " + std::to_string(depth);
      auto f = PostfixFormula(Nested(depth, "u v + " + name));
      const double reference = static_cast<double>(f->EvaluateReference(values));
      ASSERT_FALSE(std::isnan(reference)) << what;
      ExpectClose(reference, f->Evaluate(values), what);
      const DerivativeResult expected = f->EvaluateWithDerivativeReference(values);
      const DerivativeResult actual = f->EvaluateWithDerivative(values);
      ASSERT_FALSE(std::isnan(expected.value)) << what;
      ExpectClose(expected.value, actual.value, what);
      ExpectClose(expected.derivative, actual.derivative, what);
    }
  }
}

std::vector<std::string> FunctionNames() {
  std::vector<std::string> names{"neg"};
  for (const auto &[name, code] : FunctionCodes())
    names.push_back(name);
  return names;
}

INSTANTIATE_TEST_SUITE_P(Functions, EveryFunctionAtEveryDepth, testing::ValuesIn(FunctionNames()),
                         [](const auto &info) { return info.param; });

TEST(Spilling, OperatorsAtEveryDepth) {
  for (const char *op : {"+", "-", "*", "/"}) {
    for (const double v : {-0.5, 0.0}) { // 0 takes the guarded branch of the division
      const double values[4] = {0.75, v, 1, -2};
      for (int depth = 0; depth <= 10; ++depth) {
        auto f = PostfixFormula(Nested(depth, std::string("u v ") + op));
        ExpectClose(static_cast<double>(f->EvaluateReference(values)), f->Evaluate(values), op);
        const DerivativeResult expected = f->EvaluateWithDerivativeReference(values);
        const DerivativeResult actual = f->EvaluateWithDerivative(values);
        ExpectClose(expected.value, actual.value, op);
        ExpectClose(expected.derivative, actual.derivative, op);
      }
    }
  }
}

// The case that overflowed with one register reserved for exp.
TEST(Spilling, ExponentialWithOneRegisterFree) {
  auto f = PostfixFormula(Nested(7, "u exp"));
  const double values[4] = {0.5, 0, 1, 0};
  ExpectClose(7 + std::exp(0.5), f->Evaluate(values), "value");
  ExpectClose(7 + std::exp(0.5), f->EvaluateWithDerivative(values).value, "derivative pass");
  ExpectClose(std::exp(0.5), f->EvaluateWithDerivative(values).derivative, "derivative");
}

TEST(Parameters, NewValuesTakeEffectWithoutNewCode) {
  auto f = PostfixFormula("p u * q v * +");
  const std::vector<uint8_t> code = f->ValueCode;
  const double values[4] = {1.5, -2, 1, 0};
  const double pq[2] = {2, 3};
  SetParameters(*f, pq);
  EXPECT_EQ(f->Evaluate(values), 2 * 1.5 + 3 * -2.0);
  EXPECT_EQ(f->EvaluateWithDerivative(values).derivative, 2);
  const double other[2] = {-1, 0.5};
  SetParameters(*f, other);
  EXPECT_EQ(f->Evaluate(values), -1.5 - 1.0);
  EXPECT_EQ(f->EvaluateWithDerivative(values).derivative, -1);
  EXPECT_EQ(f->ValueCode, code);
}

TEST(Lifecycle, AnObjectWithoutEvaluatorAnswersNaN) {
  TOCFunctDDDoubleSafe f;
  const double values[4] = {1, 2, 1, 0};
  EXPECT_TRUE(std::isnan(f.Evaluate(values)));
  EXPECT_TRUE(std::isnan(f.EvaluateWithDerivative(values).value));
  EXPECT_TRUE(std::isnan(f.EvaluateWithDerivative(values).derivative));
}

// Programs the evaluators cannot run get no machine code, and the reference refuses them.
TEST(Lifecycle, MalformedProgramsGetNoMachineCode) {
  const std::string marker(1, static_cast<char>(OperandMarker));
  for (const std::string &postfix :
       {std::string("+"), std::string("1 +"), std::string("11"), std::string("A"), marker + "\x09",
        marker, marker + std::string(1, '\0'), std::string("1?")}) {
    TOCFunctDDDoubleSafe f;
    f.VariableCount = 2;
    f.ParameterCount = 2;
    f.Constants.assign(3, 0.0);
    f.Postfix = postfix;
    f.GenerateValueCode();
    f.GenerateDerivativeCode();
    const double values[4] = {1, 2, 1, 0};
    EXPECT_FALSE(f.UsesMachineCode()) << postfix;
    EXPECT_EQ(f.DerivativeEntry, nullptr) << postfix;
    EXPECT_TRUE(std::isnan(f.EvaluateReference(values))) << postfix;
    EXPECT_TRUE(std::isnan(f.EvaluateWithDerivativeReference(values).derivative)) << postfix;
  }
}

TEST(Lifecycle, NewValueCodeRetiresTheOldDerivativeCode) {
  TOCFunctDDDoubleSafe f;
  LoadPostfix(f, "u v *");
  ASSERT_NE(f.DerivativeEntry, nullptr);
  const double values[4] = {2, 3, 1, 0};
  EXPECT_EQ(f.EvaluateWithDerivative(values).derivative, 3);
  LoadPostfix(f, "1 1 1 1 u + + + +"); // deeper: the slots move
  EXPECT_EQ(f.DerivativeSlots.size(), 6u);
  EXPECT_EQ(f.Evaluate(values), 6);
  EXPECT_EQ(f.EvaluateWithDerivative(values).derivative, 1);
  f.GenerateValueCode();
  EXPECT_EQ(f.DerivativeEntry, nullptr);
  EXPECT_EQ(f.Evaluate(values), 6);
}

TEST(Lifecycle, StackDepthCountsOperandsAndBinaryOperators) {
  struct Case {
    const char *postfix;
    int depth;
  };
  for (const Case c : {Case{"u", 1}, Case{"u v +", 2}, Case{"u v w * +", 3}, Case{"u sin neg", 1},
                       Case{"1 1 + 1 + 1 +", 2}, Case{"1 1 1 1 + + +", 4}}) {
    TOCFunctDDDoubleSafe f;
    LoadPostfix(f, c.postfix, "uvw");
    EXPECT_EQ(f.MaxStackDepth(), c.depth) << c.postfix;
    EXPECT_EQ(f.DerivativeSlots.size(), static_cast<std::size_t>(c.depth) + 1) << c.postfix;
  }
}

} // namespace
} // namespace tandor
