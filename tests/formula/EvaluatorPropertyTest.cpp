// Random programs, many of them deeper than the eight x87 registers: the machine code must
// agree with the reference evaluator (value and derivative), and the derivative with central
// differences where the formula is smooth.

#include <array>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "PostfixFormula.h"

namespace tandor {
namespace {

using test::LoadPostfix;

class RandomPostfix {
public:
  explicit RandomPostfix(uint64_t seed, bool smooth) : Generator(seed), Smooth(smooth) {}

  // A long right spine: every link leaves a value waiting on the stack.
  std::string Chain(int links) {
    static const char *const operators[] = {"+", "-", "*", "/"};
    std::string postfix = Expression(3);
    for (int i = 0; i < links; ++i)
      postfix = Expression(3) + " " + postfix + " " + operators[Pick(Smooth ? 3 : 4)];
    return postfix;
  }

  std::string Expression(int depth) {
    if (depth == 0 || Chance(0.2))
      return Leaf();
    if (Chance(0.35))
      return Function(depth);
    static const char *const operators[] = {"+", "-", "*", "/"};
    const std::string op = operators[Pick(Smooth ? 3 : 4)];
    // Right operands get the larger share so that the stack grows deep.
    return Expression(depth / 2) + " " + Expression(depth - 1) + " " + op;
  }

private:
  std::string Leaf() {
    static const char *const leaves[] = {"u", "v", "p", "q", "1", "u", "v", "pi"};
    // Near a multiple of pi/2 the x87 sine, cosine and tangent use a 66-bit pi and lose most of
    // their relative accuracy, so no constant of that kind reaches their arguments.
    const int k = InsideTrigonometry > 0 ? Pick(8) % 7 : Pick(9);
    if (k < 8)
      return leaves[k];
    return std::to_string(std::round(Uniform(-3, 3) * 1000) / 1000);
  }

  std::string Function(int depth) {
    if (Smooth) {
      const std::string inner = Expression(depth - 1);
      // Smooth everywhere, and bounded or tame enough that nesting stays finite.
      static const char *const smooth[] = {"sin", "cos", "atan", "tanh", "asinh", "neg"};
      const int k = Pick(8);
      if (k == 6)
        return "1 " + inner + " sqr + sqrt";
      if (k == 7)
        return inner + " tanh exp";
      return inner + " " + smooth[k];
    }
    static const char *const all[] = {"sqr",  "sqrt",  "ln",    "sinh",  "cosh", "tanh", "abs",
                                      "exp",  "acosh", "atanh", "asinh", "neg",  "asin", "acos",
                                      "atan", "cos",   "sin",   "tan",   "cot"};
    const int k = Pick(InsideTrigonometry > 0 ? 12 : 19);
    if (k < 15)
      return Expression(depth - 1) + " " + all[k];
    ++InsideTrigonometry;
    const std::string argument = Expression(depth - 1);
    --InsideTrigonometry;
    return argument + " " + all[k];
  }

public:
  bool Chance(double p) { return Uniform(0, 1) < p; }
  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(Generator); }
  double Uniform(double a, double b) {
    return std::uniform_real_distribution<double>(a, b)(Generator);
  }

  std::mt19937_64 Generator;
  bool Smooth;
  int InsideTrigonometry = 0;
};

// Agreement to about 1e-12 of the magnitudes involved: relative for large results, absolute
// near zero, where the last bits of the transcendental instructions are all that differ.
bool Agree(double expected, double actual, double tolerance = 1e-12) {
  if (std::isnan(expected) || std::isnan(actual))
    return std::isnan(expected) && std::isnan(actual);
  if (std::isinf(expected) || std::isinf(actual))
    return expected == actual;
  return std::fabs(actual - expected) <= tolerance * (1 + std::fabs(expected));
}

struct Sample {
  double value, derivativePassValue, derivative;
};

Sample ReferenceAt(TOCFunctDDDoubleSafe &f, const std::array<double, 4> &values,
                   const std::array<double, 2> &pq) {
  SetParameters(f, pq);
  const DerivativeResult d = f.EvaluateWithDerivativeReference(values.data());
  return {static_cast<double>(f.EvaluateReference(values.data())), d.value, d.derivative};
}

double Nudge(double x, int ulps) {
  for (int i = 0; i < ulps; ++i)
    x = std::nextafter(x, x + 1);
  return x;
}

// Some random programs amplify the last bits of a transcendental result beyond any tolerance
// (a reduction of 1e23 by pi, the reciprocal of sin(pi)). Those are recognised from the
// reference itself: nudging the inputs by a few units in the last place moves its result far.
bool WellConditioned(TOCFunctDDDoubleSafe &f, std::array<double, 4> values,
                     std::array<double, 2> pq, const Sample &at) {
  for (double &x : values)
    x = Nudge(x, 4);
  for (double &x : pq)
    x = Nudge(x, 4);
  const Sample nudged = ReferenceAt(f, values, pq);
  return Agree(at.value, nudged.value, 1e-9) &&
         Agree(at.derivativePassValue, nudged.derivativePassValue, 1e-9) &&
         Agree(at.derivative, nudged.derivative, 1e-9);
}

TEST(EvaluatorProperty, MachineCodeAgreesWithTheReference) {
  RandomPostfix random(20261208, false);
  std::mt19937_64 points(7);
  std::uniform_real_distribution<double> coordinate(-2, 2);
  int deep = 0;
  int compared = 0;
  int disagreements = 0;
  const int formulas = 10000;
  for (int n = 0; n < formulas; ++n) {
    const std::string postfix = n % 2 == 0 ? random.Expression(12) : random.Chain(6 + n % 9);
    TOCFunctDDDoubleSafe f;
    LoadPostfix(f, postfix);
    ASSERT_TRUE(f.UsesMachineCode());
    ASSERT_NE(f.DerivativeEntry, nullptr);
    deep += f.MaxStackDepth() > 8;
    const std::array<double, 2> pq = {coordinate(points), coordinate(points)};
    for (int k = 0; k < 2; ++k) {
      const std::array<double, 4> values = {coordinate(points), coordinate(points),
                                            coordinate(points), coordinate(points)};
      const Sample expected = ReferenceAt(f, values, pq);
      const double value = f.Evaluate(values.data());
      const DerivativeResult actual = f.EvaluateWithDerivative(values.data());
      if (!WellConditioned(f, values, pq, expected))
        continue;
      ++compared;
      const bool agree = Agree(expected.value, value) &&
                         Agree(expected.derivativePassValue, actual.value) &&
                         Agree(expected.derivative, actual.derivative);
      if (!agree && ++disagreements <= 10)
        ADD_FAILURE() << postfix << " at u=" << values[0] << " v=" << values[1] << " p=" << pq[0]
                      << " q=" << pq[1] << ": value " << value << " vs " << expected.value
                      << ", derivative pass " << actual.value << " " << actual.derivative << " vs "
                      << expected.derivativePassValue << " " << expected.derivative;
    }
  }
  EXPECT_EQ(disagreements, 0);
  EXPECT_GT(compared, 2 * formulas * 9 / 10) << "too many ill-conditioned samples";
  EXPECT_GT(deep, formulas / 3) << "too few programs spill";
}

TEST(EvaluatorProperty, DerivativesMatchCentralDifferences) {
  RandomPostfix random(99, true);
  std::mt19937_64 points(11);
  std::uniform_real_distribution<double> coordinate(-1.5, 1.5);
  int checked = 0;
  int failures = 0;
  for (int n = 0; n < 3000; ++n) {
    const std::string postfix = random.Expression(8);
    TOCFunctDDDoubleSafe f;
    LoadPostfix(f, postfix);
    const double pq[2] = {coordinate(points), coordinate(points)};
    SetParameters(f, pq);
    const double u = coordinate(points), v = coordinate(points);
    const double angle = coordinate(points) * 2;
    const double du = std::cos(angle), dv = std::sin(angle);
    const double values[4] = {u, v, du, dv};
    const DerivativeResult r = f.EvaluateWithDerivative(values);
    if (!std::isfinite(r.value) || std::fabs(r.value) > 1e6 || std::fabs(r.derivative) > 1e6)
      continue;
    const double h = 1e-5;
    const double forward[2] = {u + h * du, v + h * dv};
    const double backward[2] = {u - h * du, v - h * dv};
    const double difference = (f.Evaluate(forward) - f.Evaluate(backward)) / (2 * h);
    ++checked;
    if (!Agree(r.derivative, difference, 1e-5 * (1 + std::fabs(r.value))) && ++failures <= 10)
      ADD_FAILURE() << postfix << " at (" << u << ", " << v << ") along (" << du << ", " << dv
                    << "): " << r.derivative << " vs difference " << difference;
  }
  EXPECT_EQ(failures, 0);
  EXPECT_GT(checked, 2500);
}

} // namespace
} // namespace tandor
