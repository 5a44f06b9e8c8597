// The fuzz oracle must hold the machine code to the reference wherever the result cannot depend
// on the last bits of the x87 transcendental instructions, and only there: it must catch a
// wrong program at an ordinary point and let pass what the x87 computes differently by design.

#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <string>

#include "formula/FormulaCompiler.h"
#include "fuzz/EvaluatorOracle.h"

namespace tandor::fuzzing {
namespace {

struct Compiled {
  explicit Compiled(const std::string &text, double p = 1, double q = 0) {
    bool linear = false;
    std::string message;
    F.Compile(text, "uv", "pq", linear, message);
    EXPECT_EQ(message, "") << text;
    F.GenerateDerivativeCode();
    const double pq[2] = {p, q};
    SetParameters(F, pq);
  }
  TOCFunctDDDoubleSafe F;
};

using Point = std::array<double, 4>; // u, v, du, dv

TEST(EvaluatorOracle, OrdinaryFormulasAreSettledAndTheMachineCodeAgrees) {
  const char *const formulas[] = {"v(u + v^4 - p v^2)",
                                  "sin(u)cos(v)+exp(-u u-v v)",
                                  "sqrt(abs(u v))+ln(1+u u)/(1+v v)",
                                  "arctan(u/v)+tanh(u)-cosh(v)",
                                  "asinh(u) + acosh(2 + v) + atanh(u/4)",
                                  "tan(u) + cot(v) + 2^u"};
  const Point points[] = {{0.5, -0.25, 1, 0}, {1.75, 2.5, 0.3, -0.7}, {-3, 0.125, 0, 1}};
  for (const char *text : formulas) {
    Compiled c(text);
    const EvaluatorOracle oracle(c.F);
    for (const Point &point : points) {
      const Verdict v = oracle.Judge(point.data());
      EXPECT_TRUE(v.ValueSettled && v.PassValueSettled && v.DerivativeSettled && v.AgreementSettled)
          << text << " at u=" << point[0];
      const Sample m = MachineSample(c.F, point.data());
      EXPECT_TRUE(Close(v.Reference.Value, m.Value, Tolerance)) << text;
      EXPECT_TRUE(Close(v.Reference.PassValue, m.PassValue, Tolerance)) << text;
      EXPECT_TRUE(Close(v.Reference.Derivative, m.Derivative, Tolerance)) << text;
      EXPECT_TRUE(Close(m.Value, m.PassValue, Tolerance)) << text;
    }
  }
}

// A program that computes something else (here: the code of another formula) must fail the
// comparison wherever the oracle settles the result.
TEST(EvaluatorOracle, AWrongProgramIsCaught) {
  Compiled right("sin(u) + v^3");
  Compiled wrong("sin(u) + v^3 + 0.000001");
  const Point point{0.5, -0.25, 1, 0};
  const Verdict v = EvaluatorOracle(right.F).Judge(point.data());
  ASSERT_TRUE(v.ValueSettled && v.DerivativeSettled);
  right.F.ValueEntry = wrong.F.ValueEntry;
  EXPECT_FALSE(Close(v.Reference.Value, MachineSample(right.F, point.data()).Value, Tolerance));
  right.F.ValueEntry = nullptr; // the blocks belong to their own objects
}

// The x87 reduces with a 66-bit pi and leaves arguments past 2^63 unreduced; a result that hangs
// on those last bits is not compared.
TEST(EvaluatorOracle, ResultsThatHangOnTheLastBitsOfTheTrigonometryAreNotCompared) {
  const Point point{0.5, -0.25, 1, 0};
  for (const char *text : {"sin(100000000000000000000000 u)", "1/sin(pi)", "sqrt(sin(pi))",
                           "ln(abs(cos(pi/2)))", "1/(tan(pi/4) - 1)"}) {
    Compiled c(text);
    EXPECT_FALSE(EvaluatorOracle(c.F).Judge(point.data()).ValueSettled) << text;
  }
  // Two sites that cancel must move apart in some copy.
  Compiled cancel("1/(sin(u) - cos(1.0707963267948966))");
  EXPECT_FALSE(EvaluatorOracle(cancel.F).Judge(point.data()).ValueSettled);
}

// Here the x87 tangent's last bit, times 7.8e18, moves the outer argument by about one: its
// cotangent is anything, and copies scaled at random may all happen to stay small.
TEST(EvaluatorOracle, AnArgumentWhoseLastBitsDecideItsReductionSettlesNothing) {
  const Point point{1.75, 2.5, 0.3, -0.7};
  Compiled adrift("cot(cot(7u) 7777678755555555554)^2998 tan(v) + cot(u+1)^273", 0.3, -2);
  const Verdict v = EvaluatorOracle(adrift.F).Judge(point.data());
  EXPECT_FALSE(v.ValueSettled || v.PassValueSettled || v.DerivativeSettled || v.AgreementSettled);
  Compiled large("sin(1000 u) + cos(12345 v)", 0.3, -2);
  const Verdict w = EvaluatorOracle(large.F).Judge(point.data());
  EXPECT_TRUE(w.ValueSettled && w.PassValueSettled && w.DerivativeSettled && w.AgreementSettled);
}

// Where the two programs differ by design, a disagreement is explained; elsewhere it is not.
TEST(EvaluatorOracle, DisagreementsOfTheTwoProgramsAreExplainedOnlyWhereTheyDifferByDesign) {
  const Point origin{0, 0, 1, 1}, point{0.5, -0.25, 1, 0};
  Compiled cotangent("cot(u)^273 + v");
  EXPECT_TRUE(EvaluatorOracle(cotangent.F).ExplainsDisagreement(origin.data()));
  EXPECT_FALSE(EvaluatorOracle(cotangent.F).ExplainsDisagreement(point.data()));
  Compiled pole("cot(pi) + u");
  EXPECT_TRUE(EvaluatorOracle(pole.F).ExplainsDisagreement(point.data()));
  // (1e50 u)^16 leaves the range of a double: a spill would make it infinite.
  Compiled huge("(10^50 u)^16 / (10^300)^2");
  EXPECT_TRUE(EvaluatorOracle(huge.F).ExplainsDisagreement(point.data()));
  Compiled ordinary("asinh(u) + v / (u - 2)");
  EXPECT_FALSE(EvaluatorOracle(ordinary.F).ExplainsDisagreement(point.data()));
}

TEST(EvaluatorOracle, CloseTreatsNaNAndInfinitiesStrictly) {
  const double nan = std::nan(""), inf = INFINITY;
  EXPECT_TRUE(Close(nan, nan, Tolerance));
  EXPECT_FALSE(Close(nan, 1, Tolerance));
  EXPECT_FALSE(Close(1, nan, Tolerance));
  EXPECT_TRUE(Close(inf, inf, Tolerance));
  EXPECT_FALSE(Close(inf, -inf, Tolerance));
  EXPECT_FALSE(Close(1e308, inf, Tolerance));
  EXPECT_TRUE(Close(1e20, 1e20 * (1 + 1e-10), Tolerance));
  EXPECT_FALSE(Close(1e20, 1e20 * (1 + 1e-8), Tolerance));
  EXPECT_TRUE(Close(0, 1e-10, Tolerance)); // absolute near zero
}

} // namespace
} // namespace tandor::fuzzing
