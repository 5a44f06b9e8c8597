#include <gtest/gtest.h>

#include <pthread.h>

#include <cmath>
#include <random>

#include "FrontTestSupport.h"

namespace tandor {
namespace {

// A postfix program is sound when every operator finds its operands, the stack ends with one
// value, no grouping token is left and every operand names a variable, parameter or constant.
void ExpectSoundPostfix(const TOCFunctDDDoubleSafe &f, const std::string &text) {
  const std::string &postfix = f.Postfix;
  int depth = 0;
  for (std::size_t i = 0; i < postfix.size(); i += TokenLength(postfix, i)) {
    const unsigned char c = static_cast<unsigned char>(postfix[i]);
    if (c == OperandMarker) {
      ASSERT_LT(i + 1, postfix.size()) << text;
      const int k = static_cast<unsigned char>(postfix[i + 1]);
      ASSERT_GE(k, 1) << text;
      ASSERT_LT(k - f.VariableCount, static_cast<int>(f.Constants.size())) << text;
      ++depth;
    } else if (c == '1' || c == 'p') {
      ++depth;
    } else if (c == '+' || c == '-' || c == '*' || c == '/') {
      ASSERT_GE(depth, 2) << text;
      --depth;
    } else {
      ASSERT_TRUE(c == '#' || (c >= 'A' && c <= 'R')) << text << " holds byte " << int(c);
      ASSERT_GE(depth, 1) << text;
    }
  }
  ASSERT_EQ(depth, 1) << text;
}

// Compiles text; when it compiles, checks the program and evaluates it once.
void CompileAndCheck(const std::string &text, const std::string &variables = "uv") {
  TOCFunctDDDoubleSafe f;
  bool linear = true;
  std::string message;
  f.Compile(text, variables, variables.empty() ? "" : "pq", linear, message);
  if (!message.empty()) {
    EXPECT_FALSE(f.IsCompiled());
    std::array<double, 11> values{};
    EXPECT_TRUE(std::isnan(f.Evaluate(values.data())));
    return;
  }
  ExpectSoundPostfix(f, text);
  std::array<double, 11> values{0.5, -0.25, 0.75, 1.5, -2, 3, 0.125, 4, -1, 2, 0.3};
  (void)f.Evaluate(values.data());
}

TEST(Robustness, EverySingleByte) {
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    CompileAndCheck(one);
    CompileAndCheck("u" + one + "v");
    CompileAndCheck(one + "(u)");
  }
}

TEST(Robustness, RandomBytesAndFormulaCharacters) {
  std::mt19937 random(12345);
  const std::string alphabet = "uvpq0123456789.,+-*/^()[]{} \tsincoxqrtlgbahep\xff\x01\x02";
  for (int n = 0; n < 20000; ++n) {
    const std::size_t length = random() % 30;
    std::string text;
    for (std::size_t i = 0; i < length; ++i)
      text += n % 4 == 0 ? static_cast<char>(random() % 256) : alphabet[random() % alphabet.size()];
    CompileAndCheck(text);
  }
}

TEST(Robustness, EveryPrefixAndSuffixOfValidFormulas) {
  const std::string formulas[] = {"v(u+v^4- pv^2)",
                                  "sin(u)cos(v)+exp(-u u-v v)",
                                  "sqrt(abs(u v))+ln(1+u u)/(1+v v)",
                                  "1+(u+(v+(u v+(u-(v(u+1+(v-(u+2))))))))",
                                  "arctan(u/v)+tanh(u)-cosh(v)",
                                  "-(2,5u**3 - [q]{v})^(-2) + pi u^v^2 + 2 3 ucos(v)",
                                  "3.2 u + q v"};
  for (const std::string &f : formulas) {
    for (std::size_t n = 0; n <= f.size(); ++n) {
      CompileAndCheck(f.substr(0, n));
      CompileAndCheck(f.substr(n));
    }
  }
}

TEST(Robustness, LongTexts) {
  std::string sum = "u";
  while (sum.size() < 10000)
    sum += "+u";
  CompileAndCheck(sum);
  CompileAndCheck(std::string(5000, '(') + "u" + std::string(5000, ')'));
  std::string nested;
  while (nested.size() < 10000)
    nested += "1+(";
  CompileAndCheck(nested + "u" + std::string(nested.size() / 3, ')'));
  CompileAndCheck(std::string(10000, 'u'));
  CompileAndCheck(std::string(10000, '9'));
  CompileAndCheck(std::string(10000, '-'));
  std::string powers = "u";
  while (powers.size() < 10000)
    powers += "^3";
  CompileAndCheck(powers);
  std::string squares = "u";
  while (squares.size() < 10000)
    squares += "^2";
  CompileAndCheck(squares);
}

TEST(Robustness, NestingBeyondWhatTheParserMayRecurseIsRefused) {
  const std::string text = std::string(60000, '(') + "u" + std::string(60000, ')');
  CompileAndCheck(text);
  TOCFunctDDDoubleSafe f;
  bool linear = false;
  std::string message;
  f.Compile(text, "uv", "pq", linear, message);
  EXPECT_EQ(message, "Check, please, the parentheses.");
  std::string powers = "u";
  for (int n = 0; n < 3000; ++n)
    powers += "^2";
  f.Compile(powers, "uv", "pq", linear, message);
  EXPECT_EQ(message, "Check, please, the parentheses.");
  // Past a size bound the powers stay exp-ln products, which nest nothing.
  for (int n = 0; n < 27000; ++n)
    powers += "^2";
  f.Compile(powers, "uv", "pq", linear, message);
  EXPECT_EQ(message, "");
}

// Runs work on a thread whose stack is stackBytes, as a worker of a thread pool might have.
template <class Work> void OnSmallStack(std::size_t stackBytes, Work work) {
  pthread_attr_t attributes;
  ASSERT_EQ(pthread_attr_init(&attributes), 0);
  ASSERT_EQ(pthread_attr_setstacksize(&attributes, stackBytes), 0);
  pthread_t thread;
  ASSERT_EQ(pthread_create(
                &thread, &attributes,
                [](void *w) -> void * {
                  (*static_cast<Work *>(w))();
                  return nullptr;
                },
                &work),
            0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
}

// The parser used to recurse a few frames per level of parentheses: at the 5000 levels it
// accepts it took 1.8 MB of stack in a release build and 7.4 MB under AddressSanitizer. The
// deepest texts the compiler accepts now compile and run on a thread of 1 MB.
TEST(Robustness, TheDeepestAcceptedFormulasRunOnAOneMegabyteStack) {
  std::string sums, functions, powers;
  for (int n = 0; n < 4999; ++n) {
    sums += "1+(";
    functions += "sin(-(";
    powers += "u^(";
  }
  std::string tail = "u";
  while (tail.size() < 200000)
    tail += "*v";
  std::string chain = "u";
  for (int n = 1; n < (1 << 15); ++n)
    chain += "^u";
  const std::string texts[] = {
      std::string(5000, '(') + "u" + std::string(5000, ')'),
      sums + "u" + std::string(4999, ')'),
      functions.substr(0, 2500 * 6) + "u" + std::string(5000, ')'),
      powers + tail + std::string(4999, ')'),
      chain,
  };
  for (const std::string &text : texts) {
    std::string message = "not run";
    double value = 0, reference = 0;
    DerivativeResult slope{}, slopeReference{};
    OnSmallStack(1 << 20, [&] {
      TOCFunctDDDoubleSafe f;
      bool linear = true;
      f.Compile(text, "uv", "pq", linear, message);
      if (!message.empty())
        return;
      f.GenerateDerivativeCode();
      const double values[4] = {0.75, 0.5, 1, 0};
      value = f.Evaluate(values);
      reference = static_cast<double>(f.EvaluateReference(values));
      slope = f.EvaluateWithDerivative(values);
      slopeReference = f.EvaluateWithDerivativeReference(values);
    });
    ASSERT_EQ(message, "") << text.substr(0, 20);
    EXPECT_EQ(value, reference) << text.substr(0, 20);
    EXPECT_EQ(slope.value, slopeReference.value) << text.substr(0, 20);
  }
}

// A value waiting for its operator beyond the eight x87 registers takes eight bytes of machine
// stack while the formula runs; a chain of powers waits with every base. Past 32768 levels the
// formula is refused like too deep nesting.
TEST(Robustness, EvaluationStacksBeyondTheirLimitAreRefused) {
  std::string chain = "u";
  for (int n = 1; n < (1 << 15); ++n)
    chain += "^u";
  TOCFunctDDDoubleSafe f;
  bool linear = false;
  std::string message;
  f.Compile(chain, "uv", "pq", linear, message);
  ASSERT_EQ(message, "");
  EXPECT_EQ(f.MaxStackDepth(), 1 << 15);
  f.Compile(chain + "^u", "uv", "pq", linear, message);
  EXPECT_EQ(message, "Check, please, the parentheses.");
  EXPECT_FALSE(f.IsCompiled());
}

TEST(Robustness, ThreeHundredDistinctNumbers) {
  std::string text = "u";
  for (int n = 2; n < 302; ++n)
    text.append("+").append(std::to_string(n)).append(".5");
  TOCFunctDDDoubleSafe f;
  bool linear = false;
  std::string message;
  f.Compile(text, "uv", "pq", linear, message);
  EXPECT_EQ(message, "I cannot cope with so much constants.");
}

TEST(Robustness, TwoHundredNestedParentheses) {
  const std::string deep = std::string(200, '(') + "u" + std::string(200, ')');
  std::string sums;
  for (int i = 0; i < 200; ++i)
    sums += "1+(";
  sums.append("u").append(200, ')');
  TOCFunctDDDoubleSafe f;
  bool linear = false;
  std::string message;
  f.Compile(deep, "uv", "pq", linear, message);
  ASSERT_EQ(message, "");
  const double uv[2] = {0.75, 0};
  EXPECT_EQ(f.Evaluate(uv), 0.75);
  f.Compile(sums, "uv", "pq", linear, message);
  ASSERT_EQ(message, "");
  EXPECT_EQ(f.Evaluate(uv), 200.75);
}

TEST(Robustness, IndexBytesThatSpellTokensStayOperands) {
  // With "uv" and "pq" the number n (first seen in the order 2, 3, ...) gets the index n + 3,
  // so 37, 38, 91, 46 and 109 carry the index bytes '(', ')', '^', '1' and 'p'.
  std::string text = "0";
  for (int n = 2; n <= 120; ++n)
    text.append("+").append(std::to_string(n));
  text += "+u^91+38^2+37^3+46^2+109^2+(u+v)^62-v^32/u^39";
  TOCFunctDDDoubleSafe f;
  bool linear = false;
  std::string message;
  f.Compile(text, "uv", "pq", linear, message);
  ASSERT_EQ(message, "");
  ExpectSoundPostfix(f, text);
  // Every power was expanded: no logarithm-exponential pair is left.
  EXPECT_EQ(f.PostfixText().find("ln"), std::string::npos);
  const long double u = -1, v = 0.5;
  long double expected = 120 * 121 / 2 - 1;
  expected += std::pow(u, 91) + 38.0L * 38 + 37.0L * 37 * 37 + 46.0L * 46 + 109.0L * 109 +
              std::pow(u + v, 62) - std::pow(v, 32) / std::pow(u, 39);
  const double uv[2] = {static_cast<double>(u), static_cast<double>(v)};
  EXPECT_NEAR(f.Evaluate(uv), static_cast<double>(expected), 1e-9);
}

// Random formulas built with their exact value: the parser must group them as written.
struct Generated {
  std::string Text;
  long double Value;
};

class FormulaGenerator {
public:
  FormulaGenerator(unsigned seed, long double u, long double v) : Random(seed), U(u), V(v) {}

  Generated Sum(int depth) {
    Generated g = Product(depth);
    for (int n = Pick(3); n > 0; --n) {
      const Generated t = Product(depth);
      if (Pick(2) == 0)
        g = {g.Text + " + " + t.Text, g.Value + t.Value};
      else
        g = {g.Text + "-" + t.Text, g.Value - t.Value};
    }
    return g;
  }

private:
  Generated Product(int depth) {
    Generated g = Power(depth);
    for (int n = Pick(3); n > 0; --n) {
      const Generated f = Power(depth);
      switch (Pick(3)) {
      case 0: // implicit product: only safe after a closing parenthesis or before a letter
        g = {"(" + g.Text + ")" + "(" + f.Text + ")", g.Value * f.Value};
        break;
      case 1:
        g = {g.Text + "*" + f.Text, g.Value * f.Value};
        break;
      default:
        g = {g.Text + "/(1+sqr(" + f.Text + "))", g.Value / (1 + f.Value * f.Value)};
      }
    }
    return g;
  }

  Generated Power(int depth) {
    Generated g = Primary(depth);
    if (Pick(4) == 0) {
      const int n = Pick(4);
      long double value = 1;
      for (int i = 0; i < n; ++i)
        value *= g.Value;
      g = {g.Text + "^" + std::to_string(n), value};
    }
    return g;
  }

  Generated Primary(int depth) {
    switch (depth > 0 ? Pick(5) : Pick(3)) {
    case 0:
      return {"u", U};
    case 1:
      return {"V", V};
    case 2: {
      const int n = Pick(9) + 1;
      return {std::to_string(n) + ",5", n + 0.5L};
    }
    case 3: {
      const Generated inner = Sum(depth - 1);
      return {"(-(" + inner.Text + "))", -inner.Value};
    }
    default: {
      const Generated inner = Sum(depth - 1);
      return {"[" + inner.Text + "]", inner.Value};
    }
    }
  }

  int Pick(int n) { return static_cast<int>(Random() % static_cast<unsigned>(n)); }

  std::mt19937 Random;
  long double U, V;
};

TEST(Robustness, RandomFormulasParseAsWritten) {
  for (unsigned seed = 1; seed <= 3000; ++seed) {
    const long double u = 0.3L + 0.1L * (seed % 7), v = -0.7L + 0.05L * (seed % 11);
    FormulaGenerator generator(seed, u, v);
    const Generated g = generator.Sum(4);
    TOCFunctDDDoubleSafe f;
    bool linear = false;
    std::string message;
    f.Compile(g.Text, "uv", "pq", linear, message);
    ASSERT_EQ(message, "") << g.Text;
    ExpectSoundPostfix(f, g.Text);
    const double uv[2] = {static_cast<double>(u), static_cast<double>(v)};
    const double expected = static_cast<double>(g.Value);
    EXPECT_NEAR(f.Evaluate(uv), expected, 1e-9 * std::max(1.0, std::abs(expected))) << g.Text;
  }
}

} // namespace
} // namespace tandor
