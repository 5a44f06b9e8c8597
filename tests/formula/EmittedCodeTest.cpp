// Pins the machine code both generators emit for a fixed corpus: random programs from a fixed
// seed, many deeper than the eight x87 registers, and every token at every register pressure.
// A change to a generator that is meant to be a pure restructuring must leave the checksums as
// they are; a deliberate change to the emitted code updates them. The token-by-token code (no
// reuse of subexpressions) is pinned apart from the code with reuse: it is what the reused values
// are held against, bit for bit, in EvaluatorPropertyTest.

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "formula/FormulaCompiler.h"

namespace tandor {
namespace {

// Variables u, v and parameters p, q come first among the operand indices.
constexpr int VariableCount = 2;
constexpr int ParameterCount = 2;
constexpr unsigned char FirstNumber = VariableCount + ParameterCount + 1;
constexpr unsigned char NumberCount = 6;

class Fnv1a {
public:
  void Add(uint8_t byte) {
    Hash ^= byte;
    Hash *= 1099511628211ull;
  }
  void Add(const std::vector<uint8_t> &bytes, std::size_t from) {
    for (std::size_t i = from; i < bytes.size(); ++i)
      Add(bytes[i]);
    Add(0xA5);
  }
  uint64_t Hash = 14695981039346656037ull;
};

// The entry loads the base registers with absolute addresses, whose value and, through it,
// encoding depend on where the program was loaded. Only the register of each load counts.
std::size_t AddEntryRegisters(const std::vector<uint8_t> &code, Fnv1a &hash) {
  std::size_t i = 0;
  for (;;) {
    const bool hasRex = i < code.size() && (code[i] & 0xF0) == 0x40;
    const uint8_t rex = hasRex ? code[i] : 0;
    const std::size_t op = i + (hasRex ? 1 : 0);
    if (op + 1 >= code.size())
      return i;
    std::size_t length = 0;
    uint8_t reg = 0;
    if (code[op] == 0xC7 && (code[op + 1] & 0xF8) == 0xC0) {
      reg = code[op + 1] & 7;
      length = 2 + 4;
    } else if ((code[op] & 0xF8) == 0xB8) {
      reg = code[op] & 7;
      length = 1 + ((rex & 0x08) != 0 ? 8 : 4);
    } else {
      return i;
    }
    hash.Add(static_cast<uint8_t>(((rex & 1) << 3) | reg));
    i = op + length;
  }
}

void AddCode(const std::vector<uint8_t> &code, Fnv1a &hash) {
  hash.Add(code, AddEntryRegisters(code, hash));
}

// A raw 64-bit generator, so that the corpus is the same with every standard library.
class SplitMix {
public:
  explicit SplitMix(uint64_t seed) : State(seed) {}
  uint64_t Next() {
    uint64_t z = (State += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int Pick(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }

private:
  uint64_t State;
};

std::string Operand(unsigned char k) {
  return {static_cast<char>(OperandMarker), static_cast<char>(k)};
}

class RandomProgram {
public:
  explicit RandomProgram(uint64_t seed) : Random(seed) {}

  std::string Expression(int depth) {
    if (depth == 0 || Random.Pick(5) == 0)
      return Leaf();
    // Each draw is a statement of its own: the order in which the operands of + are evaluated
    // is unspecified, and compilers differ. This is the order the recorded hashes were made in.
    if (Random.Pick(3) == 0) {
      const char function = Function();
      return Expression(depth - 1) + function;
    }
    // The right operand gets the larger share, so that values wait on the stack and spill.
    const char op = "+-*/"[Random.Pick(4)];
    const std::string right = Expression(depth - 1);
    return Expression(depth / 3) + right + op;
  }

private:
  std::string Leaf() {
    const int k = Random.Pick(8);
    if (k == 6)
      return "1";
    if (k == 7)
      return "p";
    return Operand(static_cast<unsigned char>(1 + k));
  }
  char Function() {
    const int k = Random.Pick(19);
    return k == 18 ? '#' : static_cast<char>('A' + k);
  }

  SplitMix Random;
};

std::vector<std::string> Corpus() {
  std::vector<std::string> corpus;
  RandomProgram random(20240611);
  for (int n = 0; n < 3000; ++n)
    corpus.push_back(random.Expression(4 + n % 13));
  // Every operator and function at every number of values waiting below it, and nested.
  for (char token : std::string("+-*/#ABCDEFGHIJKLMNOPQR")) {
    const bool binary = std::string("+-*/").find(token) != std::string::npos;
    for (int waiting = 0; waiting <= 10; ++waiting) {
      std::string program;
      for (int w = 0; w < waiting; ++w)
        program += Operand(static_cast<unsigned char>(1 + w % 7));
      program += Operand(1);
      if (binary)
        program += Operand(FirstNumber);
      program += token;
      for (int w = 0; w < waiting; ++w)
        program += '*';
      corpus.push_back(program);
    }
    std::string nested = Operand(2);
    for (int depth = 1; depth <= 4; ++depth) {
      nested += binary ? Operand(3) + token : std::string(1, token);
      corpus.push_back(nested);
    }
  }
  return corpus;
}

void LoadProgram(TOCFunctDDDoubleSafe &f, const std::string &postfix, bool reuse) {
  f.ReuseSubexpressions = reuse;
  f.VariableCount = VariableCount;
  f.ParameterCount = ParameterCount;
  f.Constants = {0.0, 0.5, -1.5};
  for (unsigned char k = 0; k < NumberCount; ++k)
    f.Constants.push_back(0.25 * k - 0.5);
  f.Postfix = postfix;
  f.GenerateValueCode();
  f.GenerateDerivativeCode();
}

struct CodeHashes {
  uint64_t Value, Derivative;
};

CodeHashes CorpusHashes(bool reuse) {
  Fnv1a value;
  Fnv1a derivative;
  TOCFunctDDDoubleSafe f;
  for (const std::string &program : Corpus()) {
    LoadProgram(f, program, reuse);
    EXPECT_FALSE(f.ValueCode.empty());
    EXPECT_FALSE(f.DerivativeCode.empty());
    AddCode(f.ValueCode, value);
    AddCode(f.DerivativeCode, derivative);
  }
  return {value.Hash, derivative.Hash};
}

TEST(EmittedCodeTest, CorpusBytesStayTheSame) {
  TOCFunctDDDoubleSafe f;
  LoadProgram(f, Operand(1), true);
  if (f.ValueCode.empty())
    GTEST_SKIP() << "no machine code on this build";
  const CodeHashes tokenByToken = CorpusHashes(false);
  EXPECT_EQ(tokenByToken.Value, 9123213033988475184u);
  EXPECT_EQ(tokenByToken.Derivative, 7046527960247620579u);
  const CodeHashes withReuse = CorpusHashes(true);
  EXPECT_EQ(withReuse.Value, 695442323636574003u);
  EXPECT_EQ(withReuse.Derivative, 16323578817682551959u);
}

// Compiled texts with parameters, through the whole front end.
TEST(EmittedCodeTest, CompiledFormulaBytesStayTheSame) {
  const char *const formulas[] = {
      "sin(u)*p+q^2",
      "cos(u*v)/(1-p*v)",
      "exp(u)^(-3)+ln(v)",
      "sqrt(u^2+v^2)-q",
      "tg(u)+cotg(v)+th(p*u)",
      "arcsen(u/2)*arccos(v/3)",
      "argch(1+u^2)+argth(v/2)",
      "argsh(u)*abs(v)-sh(u)*ch(v)",
      "(u+v)^7-(u-v)^(-5)+pi",
      "arctg(u)/sqr(v+q)",
      "((((((((u+1)*(v+2))+3)*(u+4))+5)*(v+6))+7)*(u+8))/(p+q)",
  };
  Fnv1a value;
  Fnv1a derivative;
  Fnv1a reusedValue;
  Fnv1a reusedDerivative;
  for (const char *formula : formulas) {
    TOCFunctDDDoubleSafe f;
    bool linear = false;
    std::string message;
    f.ReuseSubexpressions = false;
    f.Compile(formula, "uv", "pq", linear, message);
    ASSERT_TRUE(message.empty()) << formula << ": " << message;
    f.GenerateDerivativeCode();
    if (!f.UsesMachineCode())
      GTEST_SKIP() << "no machine code on this build";
    ASSERT_FALSE(f.DerivativeCode.empty());
    AddCode(f.ValueCode, value);
    AddCode(f.DerivativeCode, derivative);
    f.ReuseSubexpressions = true;
    f.GenerateValueCode();
    f.GenerateDerivativeCode();
    AddCode(f.ValueCode, reusedValue);
    AddCode(f.DerivativeCode, reusedDerivative);
  }
  EXPECT_EQ(value.Hash, 1463596641076409691u);
  EXPECT_EQ(derivative.Hash, 9811633798603573652u);
  EXPECT_EQ(reusedValue.Hash, 16650736419924679538u);
  EXPECT_EQ(reusedDerivative.Hash, 8875679774223254219u);
}

} // namespace
} // namespace tandor
