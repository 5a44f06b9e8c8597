// The substitute values of the guarded cases and the edges of each function's range, through
// the machine code, the reference evaluator and the derivative evaluator alike.

#include <cmath>
#include <numbers>

#include <gtest/gtest.h>

#include "PostfixFormula.h"

namespace tandor {
namespace {

using test::PostfixFormula;

constexpr double Pi = std::numbers::pi;

struct GuardCase {
  const char *postfix;
  double u;
  double value;
  // The derivative evaluator's value where its sequence differs from the value evaluator's.
  double derivativePassValue = std::nan("same");
};

std::ostream &operator<<(std::ostream &out, const GuardCase &c) {
  return out << c.postfix << " at u=" << c.u;
}

class GuardValues : public testing::TestWithParam<GuardCase> {};

void ExpectSame(double expected, double actual, const char *evaluator) {
  const double tolerance = 4e-16 * std::fabs(expected);
  EXPECT_NEAR(actual, expected, tolerance) << evaluator;
  EXPECT_EQ(std::signbit(actual), std::signbit(expected)) << evaluator;
}

TEST_P(GuardValues, EveryEvaluatorAnswersTheSubstitute) {
  const GuardCase &c = GetParam();
  auto f = PostfixFormula(c.postfix);
  const double values[4] = {c.u, 0.5, 1.0, 0.0};
  ASSERT_TRUE(f->UsesMachineCode());
  ExpectSame(c.value, f->Evaluate(values), "machine code");
  ExpectSame(c.value, static_cast<double>(f->EvaluateReference(values)), "reference");
  const double derivativeValue =
      std::isnan(c.derivativePassValue) ? c.value : c.derivativePassValue;
  ExpectSame(derivativeValue, f->EvaluateWithDerivative(values).value, "derivative code");
  ExpectSame(derivativeValue, f->EvaluateWithDerivativeReference(values).value,
             "derivative reference");
}

INSTANTIATE_TEST_SUITE_P(DivisionAndLogarithms, GuardValues,
                         testing::Values(GuardCase{"1 0 /", 0, 1e24},
                                         GuardCase{"1 neg 0 /", 0, -1e24}, GuardCase{"0 0 /", 0, 0},
                                         GuardCase{"1 u u - /", 0.3, 1e24},
                                         GuardCase{"u 0 /", 2.5, 2.5e24}, GuardCase{"0 ln", 0, -75},
                                         GuardCase{"1 neg ln", 0, -75}, GuardCase{"u ln", 1, 0},
                                         GuardCase{"4 neg sqrt", 0, 0}, GuardCase{"0 sqrt", 0, 0},
                                         GuardCase{"u sqrt", 6.25, 2.5}));

INSTANTIATE_TEST_SUITE_P(
    Exponentials, GuardValues,
    testing::Values(GuardCase{"60 exp", 0, 1e24}, GuardCase{"60 neg exp", 0, 1e-24},
                    GuardCase{"u exp", 52, 1e24}, GuardCase{"u exp", -52, 1e-24},
                    GuardCase{"u exp", 51.9, std::exp(51.9)},
                    GuardCase{"u exp", -51.9, std::exp(-51.9)}, GuardCase{"0 exp", 0, 1},
                    GuardCase{"100 sinh", 0, (1e24 - 1e-24) / 2},
                    GuardCase{"100 neg sinh", 0, (1e-24 - 1e24) / 2},
                    GuardCase{"100 cosh", 0, (1e24 + 1e-24) / 2}, GuardCase{"100 tanh", 0, 1},
                    GuardCase{"100 neg tanh", 0, -1}, GuardCase{"0 tanh", 0, 0}));

INSTANTIATE_TEST_SUITE_P(
    InverseFunctionEdges, GuardValues,
    testing::Values(GuardCase{"2 asin", 0, Pi / 2}, GuardCase{"2 neg asin", 0, -Pi / 2},
                    GuardCase{"1 asin", 0, Pi / 2}, GuardCase{"1 neg asin", 0, -Pi / 2},
                    GuardCase{"2 acos", 0, 0}, GuardCase{"2 neg acos", 0, Pi},
                    GuardCase{"1 acos", 0, 0}, GuardCase{"1 neg acos", 0, Pi},
                    GuardCase{"0.5 acosh", 0, 0}, GuardCase{"1 acosh", 0, 0},
                    GuardCase{"1 atanh", 0, 1e24}, GuardCase{"1 neg atanh", 0, -1e24},
                    GuardCase{"3 neg atanh", 0, -1e24}, GuardCase{"u atanh", 0.5, std::atanh(0.5)},
                    GuardCase{"u asinh", -2, std::asinh(-2.0)}));

INSTANTIATE_TEST_SUITE_P(
    Trigonometry, GuardValues,
    testing::Values(GuardCase{"0 cot", 0, 1e24, 0}, GuardCase{"pi cot", 0, 1e24, 0},
                    GuardCase{"u cot", 0.5, 1 / std::tan(0.5)}, GuardCase{"pi cos", 0, -1},
                    GuardCase{"pi 2 / sin", 0, 1}, GuardCase{"u tan", 0.25, std::tan(0.25)},
                    GuardCase{"u sin", 7, std::sin(7.0)}, GuardCase{"u cos", -7, std::cos(-7.0)}));

// Far outside one partial-remainder step the reductions still give a remainder below the
// modulus, so sine and cosine stay in [-1, 1] and the tangent leaves the x87 stack as it found
// it (an unreduced argument would make FPTAN push nothing and the sequence pop the argument).
TEST(GuardValues, HugeTrigonometricArgumentsKeepTheStackBalanced) {
  auto f = PostfixFormula("u tan u cot * u sin sqr u cos sqr + +");
  for (const double u : {1e19, 1e30, 1e100, 1e300, -1e300}) {
    const double values[4] = {u, 0, 1, 0};
    const double reference = static_cast<double>(f->EvaluateReference(values));
    EXPECT_NEAR(reference, 2, 1e-12) << u;
    EXPECT_NEAR(f->Evaluate(values), reference, 1e-15) << u;
    EXPECT_NEAR(f->EvaluateWithDerivative(values).value, reference, 1e-15) << u;
    const double slope = f->EvaluateWithDerivativeReference(values).derivative;
    EXPECT_NEAR(f->EvaluateWithDerivative(values).derivative, slope, 1e-9 * (1 + std::fabs(slope)))
        << u;
  }
}

struct DerivativeCase {
  const char *postfix;
  std::array<double, 4> values; // u, v, du, dv
  double value;
  double derivative;
};

std::ostream &operator<<(std::ostream &out, const DerivativeCase &c) {
  return out << c.postfix << " at (" << c.values[0] << ", " << c.values[1] << ") along ("
             << c.values[2] << ", " << c.values[3] << ")";
}

class DerivativeGuards : public testing::TestWithParam<DerivativeCase> {};

TEST_P(DerivativeGuards, MachineCodeAndReferenceGiveTheTableValues) {
  const DerivativeCase &c = GetParam();
  auto f = PostfixFormula(c.postfix);
  for (const DerivativeResult r : {f->EvaluateWithDerivative(c.values.data()),
                                   f->EvaluateWithDerivativeReference(c.values.data())}) {
    EXPECT_NEAR(r.value, c.value, 4e-16 * std::fabs(c.value));
    EXPECT_NEAR(r.derivative, c.derivative, 4e-16 * std::fabs(c.derivative));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, DerivativeGuards,
    testing::Values(DerivativeCase{"u v *", {2, 3, 1, 0}, 6, 3},
                    DerivativeCase{"u v *", {2, 3, 0, 1}, 6, 2},
                    DerivativeCase{"u sqrt", {0, 0, 1, 0}, 0, 0},
                    DerivativeCase{"u sqrt", {4, 0, 1, 0}, 2, 0.25},
                    DerivativeCase{"u ln", {-1, 0, 1, 0}, -75, 0},
                    DerivativeCase{"u v /", {2, 0, 1, 1}, 2e24, 0},
                    DerivativeCase{"u v /", {3, 2, 1, 1}, 1.5, 0.5 - 0.75},
                    DerivativeCase{"u sqr u *", {2, 0, 1, 0}, 8, 12},
                    DerivativeCase{"u 2 ln * exp", {1, 0, 1, 0}, 2, 2 * std::numbers::ln2},
                    DerivativeCase{"u asin", {1, 0, 1, 0}, Pi / 2, 0},
                    DerivativeCase{"u asin", {-1, 0, 1, 0}, -Pi / 2, 0},
                    DerivativeCase{"u asin", {0.6, 0, 1, 0}, std::asin(0.6), 1.25},
                    DerivativeCase{"u acos", {1, 0, 1, 0}, 0, 0},
                    DerivativeCase{"u acos", {-3, 0, 1, 0}, Pi, 0},
                    DerivativeCase{"u acos", {0.6, 0, 1, 0}, std::acos(0.6), -1.25},
                    DerivativeCase{"u atanh", {1, 0, 1, 0}, 1e24, 0},
                    DerivativeCase{"u atanh", {-1, 0, 1, 0}, -1e24, 0},
                    DerivativeCase{"u atanh", {0.6, 0, 1, 0}, std::atanh(0.6), 1 / 0.64},
                    DerivativeCase{"u acosh", {1, 0, 1, 0}, 0, 0},
                    DerivativeCase{"u acosh", {0.5, 0, 1, 0}, 0, 0},
                    DerivativeCase{"u acosh", {2, 0, 1, 0}, std::acosh(2.0), 1 / std::sqrt(3.0)},
                    DerivativeCase{"u cot", {0, 0, 1, 0}, 0, 0},
                    DerivativeCase{"u abs", {-2, 0, 1, 0}, 2, -1},
                    DerivativeCase{"u abs", {0, 0, 1, 0}, 0, 1},
                    DerivativeCase{"u exp", {60, 0, 1, 0}, 1e24, 1e24},
                    DerivativeCase{"u neg", {2, 0, 3, 0}, -2, -3},
                    DerivativeCase{"u cos", {0.5, 0, 2, 0}, std::cos(0.5), -2 * std::sin(0.5)},
                    DerivativeCase{"u v tanh +",
                                   {1, 0.5, 0, 1},
                                   1 + std::tanh(0.5),
                                   1 - std::tanh(0.5) * std::tanh(0.5)}));

// The derivative pass must compute arcsinh as the value pass does, sign(x) ln(|x| + sqrt(x^2+1)):
// the unsigned form ln(x + sqrt(x^2 + 1)) cancels for x far below 0 (-3e9 gave -22.18 for
// -22.52, and below about -4.3e9 it gave -inf).
TEST(DerivativeGuards, ArcsinhFarBelowZeroAgreesWithTheValuePass) {
  auto f = PostfixFormula("u asinh");
  for (const double u : {-6.05e6, -3e9, -4.4e9, -1e10, -1e300, -2.0, -1e-8, 0.0, 3e9, 1e300}) {
    const double values[4] = {u, 0, 1, 0};
    const double value = f->Evaluate(values);
    const double slope = static_cast<double>(1 / std::sqrt(static_cast<long double>(u) * u + 1));
    if (std::fabs(u) > 1) {
      EXPECT_NEAR(value, std::asinh(u), 4e-16 * std::fabs(value)) << u;
    }
    for (const DerivativeResult r :
         {f->EvaluateWithDerivative(values), f->EvaluateWithDerivativeReference(values)}) {
      EXPECT_EQ(r.value, value) << u;
      EXPECT_NEAR(r.derivative, slope, 4e-16 * slope) << u;
    }
  }
  // Inside a formula the chain rule carries the right value: d/du asinh(-1e9 u) at u = 3.
  auto scaled = PostfixFormula("u v * asinh");
  const double values[4] = {3, -1e9, 1, 0};
  const DerivativeResult r = scaled->EvaluateWithDerivative(values);
  EXPECT_NEAR(r.value, std::asinh(-3e9), 4e-16 * 22.52);
  EXPECT_NEAR(r.derivative, -1e9 / std::sqrt(9e18 + 1), 1e-15);
}

} // namespace
} // namespace tandor
