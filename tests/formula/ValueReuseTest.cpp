// Subexpressions computed once and constants folded at compile time give the very bits of the
// token-by-token evaluators: random formulas full of repeats, deep enough to spill, through the
// machine code and the reference evaluator alike.

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "formula/FormulaCompiler.h"
#include "formula/MapFunctions.h"
#include "formula/ValueReuse.h"

namespace tandor {
namespace {

// Texts in the typed language that repeat themselves: every subexpression made is kept in a pool
// and later ones take pieces from it, so the same cos(u), u v or 2/15 turns up again at other
// depths, and some are constant throughout.
class RepeatingText {
public:
  explicit RepeatingText(uint64_t seed) : Generator(seed) {}

  std::string Expression(int depth) {
    std::string text = Fresh(depth);
    if (text.size() > 3 && text.size() < 80)
      Pool[static_cast<std::size_t>(Pick(static_cast<int>(Pool.size())))] = text;
    return text;
  }

private:
  std::string Fresh(int depth) {
    if (Chance(0.3))
      return Pool[static_cast<std::size_t>(Pick(static_cast<int>(Pool.size())))];
    if (depth == 0 || Chance(0.15))
      return Leaf();
    switch (Pick(6)) {
    case 5:
      return Chain(depth);
    case 0:
      return Call(depth);
    case 1:
      return Parenthesised("(", depth) + "^" + std::to_string(Pick(8));
    case 2:
      return Parenthesised("-(", depth);
    default: {
      static const char *const operators[] = {"+", "-", "*", "/", " "};
      const std::string left = Expression(depth / 2);
      return "(" + left + ")" + operators[Pick(5)] + "(" + Expression(depth - 1) + ")";
    }
    }
  }

  std::string Parenthesised(const char *open, int depth) {
    std::string text = open;
    text += Expression(depth - 1);
    return text + ")";
  }

  // Values waiting for their right operands, deeper than the eight registers: spills.
  std::string Chain(int depth) {
    const int length = 6 + Pick(8);
    std::string text;
    for (int k = 0; k < length; ++k)
      text += (Chance(0.5) ? Leaf() : Expression(1)) + "+-* "[Pick(4)] + "(";
    text += Expression(depth - 1);
    return text + std::string(static_cast<std::size_t>(length), ')');
  }

  std::string Leaf() {
    static const char *const leaves[] = {"u",    "v", "p",   "q",    "2", "15", "pi",
                                         "0.25", "3", "1e3", "1e-7", "0", "1"};
    return leaves[Pick(13)];
  }

  std::string Call(int depth) {
    static const char *const names[] = {"cos",  "sin", "exp",  "sqr",   "sqrt",  "ln",
                                        "tg",   "sh",  "ch",   "th",    "asin",  "acos",
                                        "atan", "abs", "cotg", "argch", "argth", "argsh"};
    return std::string(names[Pick(18)]) + "(" + Expression(depth - 1) + ")";
  }

  bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(Generator) < p; }
  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(Generator); }

  std::mt19937_64 Generator;
  std::vector<std::string> Pool{"cos(u)", "u v", "2/15", "sin(v)", "2pi", "p u"};
};

bool SameBits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

struct Results {
  double Value, DerivativeValue, Derivative;
};

Results Evaluate(TOCFunctDDDoubleSafe &f, const double *values) {
  const DerivativeResult d = f.EvaluateWithDerivative(values);
  return {f.Evaluate(values), d.value, d.derivative};
}

Results EvaluateReference(const TOCFunctDDDoubleSafe &f, const double *values) {
  const DerivativeResult d = f.EvaluateWithDerivativeReference(values);
  return {static_cast<double>(f.EvaluateReference(values)), d.value, d.derivative};
}

bool SameBits(const Results &a, const Results &b) {
  return SameBits(a.Value, b.Value) && SameBits(a.DerivativeValue, b.DerivativeValue) &&
         SameBits(a.Derivative, b.Derivative);
}

bool Compile(TOCFunctDDDoubleSafe &f, const std::string &text, bool reuse) {
  f.ReuseSubexpressions = reuse;
  bool linear = false;
  std::string message;
  f.Compile(text, "uv", "pq", linear, message);
  if (!message.empty())
    return false;
  f.GenerateDerivativeCode();
  return true;
}

TEST(ValueReuse, RepeatedAndConstantSubexpressionsKeepEveryBit) {
  RepeatingText random(1312);
  std::mt19937_64 points(77);
  std::uniform_real_distribution<double> coordinate(-3, 3);
  int reused = 0, folded = 0, spilling = 0, reusedWhileSpilling = 0;
  for (int n = 0; n < 4000; ++n) {
    const std::string text = random.Expression(3 + n % 9);
    TOCFunctDDDoubleSafe with, without;
    ASSERT_TRUE(Compile(with, text, true)) << text;
    ASSERT_TRUE(Compile(without, text, false)) << text;
    ASSERT_EQ(with.UsesMachineCode(), without.UsesMachineCode());
    const evaluator::ReusePlan &plan = with.Reuse()->Plan;
    reused += plan.SlotCount > 0;
    folded += !plan.FoldedValues.empty();
    spilling += with.MaxStackDepth() > 8;
    reusedWhileSpilling +=
        with.MaxStackDepth() > 8 && plan.SlotCount + plan.FoldedValues.size() > 0;
    const double pq[2] = {coordinate(points), coordinate(points)};
    SetParameters(with, pq);
    SetParameters(without, pq);
    for (int k = 0; k < 3; ++k) {
      const double values[4] = {coordinate(points), coordinate(points), coordinate(points),
                                coordinate(points)};
      const Results a = Evaluate(with, values), b = Evaluate(without, values);
      ASSERT_TRUE(SameBits(a, b)) << text << " = " << with.PostfixText() << ": " << a.Value << " "
                                  << a.DerivativeValue << " " << a.Derivative << " vs " << b.Value
                                  << " " << b.DerivativeValue << " " << b.Derivative;
      const Results c = EvaluateReference(with, values), d = EvaluateReference(without, values);
      ASSERT_TRUE(SameBits(c, d)) << text << " = " << with.PostfixText() << ": " << c.Value << " "
                                  << c.DerivativeValue << " " << c.Derivative << " vs " << d.Value
                                  << " " << d.DerivativeValue << " " << d.Derivative;
    }
  }
  // The corpus exercises what it is meant to.
  EXPECT_GT(reused, 1000);
  EXPECT_GT(folded, 500);
  EXPECT_GT(spilling, 100);
  EXPECT_GT(reusedWhileSpilling, 100);
}

// The Klein bottle's x: three trigonometric values written eleven times, and -2/15.
TEST(ValueReuse, TheKleinBottleComputesEachTrigonometricValueOnce) {
  const std::string x = "-2/15 cos(u)(3cos(v) - 30sin(u) + 90cos(u)^4 sin(u) - 60cos(u)^6 sin(u) "
                        "+ 5cos(u)cos(v)sin(u))";
  TOCFunctDDDoubleSafe f;
  ASSERT_TRUE(Compile(f, x, true));
  const evaluator::ReusePlan &plan = f.Reuse()->Plan;
  int trigonometry = 0;
  for (const evaluator::ReuseStep &step : plan.Steps[0])
    if (step.kind == evaluator::ReuseStep::Token) {
      const char token = f.Postfix[step.Begin];
      trigonometry += token == 'A' || token == 'B';
    }
  EXPECT_EQ(trigonometry, 3) << f.PostfixText();
  EXPECT_EQ(plan.FoldedValues.size(), 1u) << f.PostfixText();
}

// A constant formula is folded whole: its evaluator only loads the number.
TEST(ValueReuse, AConstantFormulaIsOneFoldedNumber) {
  TOCFunctDDDoubleSafe f, g;
  ASSERT_TRUE(Compile(f, "cos(pi/sqrt(5))*2/15", true));
  ASSERT_TRUE(Compile(g, "cos(pi/sqrt(5))*2/15", false));
  ASSERT_EQ(f.Reuse()->Plan.Steps[0].size(), 1u);
  EXPECT_EQ(f.Reuse()->Plan.Steps[0][0].kind, evaluator::ReuseStep::LoadFolded);
  const double none[4] = {0, 0, 1, 1};
  EXPECT_TRUE(SameBits(Evaluate(f, none), Evaluate(g, none)));
  EXPECT_NEAR(EvaluateConstant("cos(pi/sqrt(5))"), 0.16507, 1e-5);
}

// Parameters are read at every call: a subexpression with p is shared, never folded, and follows
// SetParameters.
TEST(ValueReuse, ParametersAreSharedButNeverFolded) {
  TOCFunctDDDoubleSafe f;
  ASSERT_TRUE(Compile(f, "cos(2p) + sin(u) cos(2p)", true));
  EXPECT_TRUE(f.Reuse()->Plan.FoldedValues.size() <= 1u);
  EXPECT_EQ(f.Reuse()->Plan.SlotCount, 1);
  const double values[4] = {0.5, 0, 1, 0};
  for (const double p : {0.0, 0.3, 1.7}) {
    const double pq[2] = {p, 0};
    SetParameters(f, pq);
    const double expected = std::cos(2 * p) + std::sin(0.5) * std::cos(2 * p);
    EXPECT_NEAR(f.Evaluate(values), expected, 1e-15);
    EXPECT_NEAR(f.EvaluateWithDerivative(values).derivative, std::cos(0.5) * std::cos(2 * p),
                1e-15);
  }
}

// Three coordinates drawn from one pool share much: the map routine computes what they share once
// and gives the bits of the three evaluators called one by one.
TEST(ValueReuse, TheMapRoutineGivesTheBitsOfItsThreeFunctions) {
  RepeatingText random(2718);
  std::mt19937_64 points(3);
  std::uniform_real_distribution<double> coordinate(-3, 3);
  for (int n = 0; n < 1000; ++n) {
    MapFunctions map;
    for (int c = 0; c < 3; ++c)
      ASSERT_TRUE(Compile(map[c], random.Expression(2 + n % 8), true));
    map.SetParameters(coordinate(points), coordinate(points));
    for (int k = 0; k < 3; ++k) {
      const double uv[2] = {coordinate(points), coordinate(points)};
      double x, y, z;
      map.EvaluateMap(x, y, z, uv[0], uv[1]);
      ASSERT_TRUE(SameBits(x, map[0].Evaluate(uv)) && SameBits(y, map[1].Evaluate(uv)) &&
                  SameBits(z, map[2].Evaluate(uv)))
          << map[0].FormulaText << " | " << map[1].FormulaText << " | " << map[2].FormulaText;
    }
    EXPECT_EQ(map.Routine.Entry != nullptr, map[0].UsesMachineCode());
  }
}

// The routine follows every compile of a function, a failed one included, and p and q.
TEST(ValueReuse, TheMapRoutineFollowsItsFunctions) {
  MapFunctions map;
  ASSERT_TRUE(Compile(map[0], "cos(u)", true));
  ASSERT_TRUE(Compile(map[1], "cos(u) sin(v)", true));
  ASSERT_TRUE(Compile(map[2], "p cos(u)", true));
  map.SetParameters(2, 0);
  double x, y, z;
  map.EvaluateMap(x, y, z, 0, M_PI / 2);
  EXPECT_EQ(x, 1);
  EXPECT_EQ(y, 1);
  EXPECT_EQ(z, 2);
  map.SetParameters(3, 0);
  map.EvaluateMap(x, y, z, 0, 0);
  EXPECT_EQ(z, 3);
  ASSERT_TRUE(Compile(map[1], "u + v", true));
  map.EvaluateMap(x, y, z, 1, 2);
  EXPECT_EQ(y, 3);
  EXPECT_FALSE(Compile(map[2], "cos(", true));
  map.EvaluateMap(x, y, z, 1, 2);
  EXPECT_TRUE(std::isnan(z));
  EXPECT_EQ(map.Routine.Entry, nullptr);
  ASSERT_TRUE(Compile(map[2], "v", true));
  map.EvaluateMap(x, y, z, 1, 2);
  EXPECT_EQ(z, 2);
  EXPECT_EQ(map.Routine.Entry != nullptr, map[2].UsesMachineCode());
}

} // namespace
} // namespace tandor
