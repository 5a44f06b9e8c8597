#pragma once
// Decides, for one compiled formula at one point, which results of the machine code must agree
// with the reference evaluator, and whether the value program must agree with the value that
// the derivative program returns.
//
// The x87 transcendental instructions and the C library's long double functions differ in the
// last bits of their results, and the x87 sine, cosine and tangent reduce with a 66-bit pi and
// give up on arguments past 2^63. Those last bits are all that may differ, so a formula is
// compared where its result cannot depend on them: the oracle runs the reference on copies of
// the program in which each such result (and each trigonometric argument) is scaled by one or
// two units in the last place of a double, in several patterns of signs. Where none of the
// copies moves the result by more than a quarter of the tolerance, the machine code must agree
// with the reference to the tolerance; where one does, the formula is too ill-conditioned at
// that point to tell a fault from the last bits, and that result is not compared. A
// trigonometric argument so large that its last bits decide its reduction makes every result
// a guess that copies may miss, so nothing is compared there at all.
//
// The value program and the derivative program differ by design in a few places: a quotient is
// a * (1/b), the cotangent of an argument that reduces to 0 is 0, and the two spill at different
// points, so they round different values to double, and a value past the range of a double
// becomes infinite in one and not in the other. Their agreement is expected where copies that
// scale every operation's result stay settled; a disagreement there is a fault unless one of
// the other two differences explains it, which is looked for only then, value by value.

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "formula/FormulaCompiler.h"

namespace tandor::fuzzing {

// What a point gives: the value program, and the derivative program's value and derivative.
struct Sample {
  double Value = 0;
  double PassValue = 0;
  double Derivative = 0;
};

Sample MachineSample(TOCFunctDDDoubleSafe &f, const double *values);
Sample ReferenceSample(const TOCFunctDDDoubleSafe &f, const double *values);

// expected and actual agree to tolerance, relative to the size of expected and absolute near
// zero; NaN agrees only with NaN, an infinity only with itself.
bool Close(double expected, double actual, double tolerance);

inline constexpr double Tolerance = 1e-9;

struct Verdict {
  Sample Reference;
  // Which figures are settled enough to hold the machine code to the reference.
  bool ValueSettled = false;
  bool PassValueSettled = false;
  bool DerivativeSettled = false;
  // Whether the value program must agree with the derivative program's value, unless
  // ExplainsDisagreement finds a reason.
  bool AgreementSettled = false;
};

class EvaluatorOracle {
public:
  // f must outlive the oracle; its Postfix and Constants must not change meanwhile, except the
  // parameter values, which each Judge reads afresh.
  explicit EvaluatorOracle(const TOCFunctDDDoubleSafe &f);

  // values holds the variable values and then their directions, as the derivative program
  // takes them.
  Verdict Judge(const double *values) const;

  // Whether a cotangent's argument reduces to zero (or next to it), or a value of the program
  // lies past the range of a double, where a spill would make it infinite or zero.
  bool ExplainsDisagreement(const double *values) const;

  // False when the program holds so many constants that no slot is left for the scale factors;
  // nothing is settled then.
  bool CanPerturb() const { return !InexactCopies.empty(); }

private:
  enum class Sites { Inexact, Every };
  std::unique_ptr<TOCFunctDDDoubleSafe> Copy(Sites sites, int pattern) const;
  std::unique_ptr<TOCFunctDDDoubleSafe> Program(std::string postfix) const;
  long double ValueOf(std::size_t start, std::size_t end, const double *values) const;
  // Whether a trigonometric argument is so large that the last bits of what it is computed
  // from decide its reduction; no copy can then show how far the result may move.
  bool TrigonometryAdrift(const double *values) const;
  bool AllSettled(const std::vector<std::unique_ptr<TOCFunctDDDoubleSafe>> &copies,
                  const double *values, const Sample &reference, bool withDerivative,
                  Verdict &verdict) const;

  const TOCFunctDDDoubleSafe &Formula;
  int UpSlot = 0, DownSlot = 0; // Constants slots of the copies
  std::vector<std::unique_ptr<TOCFunctDDDoubleSafe>> InexactCopies;
  std::vector<std::unique_ptr<TOCFunctDDDoubleSafe>> EveryCopies;
  // For each token of the program, where the part that computes its result starts.
  std::vector<std::size_t> Starts;
};

} // namespace tandor::fuzzing
