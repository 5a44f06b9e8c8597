// ReadData (ReadSteps): the thirteen texts evaluated, checked and compiled, in the order whose
// first failure is the message the user sees.

#include "problem/ReadData.h"

#include <cmath>

#include "formula/InputError.h"

namespace tandor {

namespace {

const char *const RangeMessages[] = {
    "The minimum of 'u' must be less than its maximum",
    "The minimum of 'v' must be less than its maximum",
    "The minimum of 'p' must be less than its maximum",
    "The minimum of 'q' must be less than its maximum",
};

// A range with an infinite end (a typed 1E400, or 10 to the 5000th) holds no problem the methods
// can trace, and could not be written into a data file and read back: it fails the test of its
// own variable. Between finite ends p and q are finite too. Written so that a value that is not
// a number fails the comparison it takes part in.
// The line a refusal points at is the one to correct: the infinite end, else the minimum.
void CheckValues(const std::array<double, FieldValueCount> &values, DataLine &failing) {
  for (int k = 0; k < 4; ++k) {
    const double low = values[2 * k], high = values[2 * k + 1];
    if (!(std::isfinite(low) && std::isfinite(high) && low < high)) {
      const bool highAtFault = std::isfinite(low) && !std::isfinite(high);
      failing = DataLine(UMinLine + 2 * k + (highAtFault ? 1 : 0));
      throw InputError(RangeMessages[k]);
    }
  }
  failing = PValueLine;
  if (!(values[FieldPMin] <= values[FieldP] && values[FieldP] <= values[FieldPMax]))
    throw InputError("p must be between its min and its max");
  failing = QValueLine;
  if (!(values[FieldQMin] <= values[FieldQ] && values[FieldQ] <= values[FieldQMax]))
    throw InputError("q must be between its min and its max");
}

// Compiles one coordinate function, its derivative code, and gives it p and q.
void CompileFunction(TOCFunctDDDoubleSafe &f, const std::string &text, bool &linear, double p,
                     double q) {
  std::string message;
  f.Compile(text, "uv", "pq", linear, message);
  if (!message.empty())
    throw InputError(message);
  f.GenerateDerivativeCode();
  const double pq[2] = {p, q};
  SetParameters(f, pq);
}

class ReadSteps {
public:
  ReadSteps(Glob &glob, MapFunctions &map, const DataLineArray &fields, ReadNotices &notices)
      : glob(glob), map(map), fields(fields), notices(notices) {}

  int Run() {
    EvaluateBounds();
    CheckValues(glob.FieldValues, Current);
    const auto &v = glob.FieldValues;
    glob.DomainLow = {v[FieldUMin], v[FieldVMin]};
    glob.DomainHigh = {v[FieldUMax], v[FieldVMax]};
    CompileX();
    CompileOther(YLine);
    CompileOther(ZLine);
    StoreProblem();
    return result;
  }

private:
  void NoteChange(DataLine line) {
    if (!glob.Drawn || glob.FieldTexts[line] != glob.DataLines[line])
      result = 1;
  }

  // Every value is read before any is checked.
  void EvaluateBounds() {
    for (int line = UMinLine; line <= QValueLine; ++line) {
      Current = DataLine(line);
      glob.FieldTexts[line] = TrimField(fields[line]);
      glob.FieldValues[ValueOfLine(DataLine(line))] = EvaluateConstant(glob.FieldTexts[line]);
      NoteChange(DataLine(line));
    }
  }

  double P() const { return glob.FieldValues[FieldP]; }
  double Q() const { return glob.FieldValues[FieldQ]; }

  void CompileX() {
    Current = XLine;
    glob.FieldTexts[XLine] = TrimField(fields[XLine]);
    bool linear = true;
    CompileFunction(map[0], glob.FieldTexts[XLine], linear, P(), Q());
    glob.LinearTerms = map[0].LinearTerms;
    if (!linear)
      notices.ShowStatus(NotLinearNotice);
    else if (!ComputeLinearDirection(glob, map))
      throw InputError(AlmostConstantMessage);
    NoteChange(XLine);
    glob.IsLinear = linear;
  }

  void CompileOther(DataLine line) {
    Current = line;
    glob.FieldTexts[line] = TrimField(fields[line]);
    bool linear = false;
    CompileFunction(map[line - XLine], glob.FieldTexts[line], linear, P(), Q());
    NoteChange(line);
  }

  void StoreProblem() {
    const auto &v = glob.FieldValues;
    for (int c = 0; c < 3; ++c)
      glob.FormulaTexts[c] = glob.FieldTexts[XLine + c];
    glob.ParamLow = {v[FieldPMin], v[FieldQMin]};
    glob.ParamHigh = {v[FieldPMax], v[FieldQMax]};
    glob.ParamValue = {P(), Q()};
    for (int i = 0; i < 2; ++i) {
      glob.DomainHalf[i] = (glob.DomainHigh[i] - glob.DomainLow[i]) / 2;
      glob.DomainCentre[i] = (glob.DomainHigh[i] + glob.DomainLow[i]) / 2;
      glob.BoxLow[i] = glob.DomainLow[i];
      glob.BoxHigh[i] = glob.DomainHigh[i];
    }
    glob.HalfDiagonal =
        std::hypot(glob.DomainHigh[0] - glob.DomainLow[0], glob.DomainHigh[1] - glob.DomainLow[1]) /
        2;
    glob.BoxHigh[2] = glob.HalfDiagonal;
    glob.BoxLow[2] = -glob.HalfDiagonal;
    glob.PixelLength = std::sqrt(2.0L) * glob.HalfDiagonal / 400;
    glob.CoarseCount = 23;
  }

  Glob &glob;
  MapFunctions &map;
  const DataLineArray &fields;
  ReadNotices &notices;
  int result = 0;

public:
  DataLine Current = XLine; // the line being read, checked or compiled
};

} // namespace

std::string TrimField(const std::string &text) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  std::size_t first = 0, last = text.size();
  while (first < last && blank(text[first]))
    ++first;
  while (last > first && blank(text[last - 1]))
    --last;
  return text.substr(first, last - first);
}

int ReadData(Glob &glob, MapFunctions &map, const DataLineArray &fieldTexts, ReadNotices &notices) {
  ReadSteps steps(glob, map, fieldTexts, notices);
  try {
    return steps.Run();
  } catch (const InputError &error) {
    notices.RefusedAt(steps.Current);
    notices.ShowStatus(error.what());
    notices.Beep();
    return 2;
  }
}

bool ComputeLinearDirection(Glob &glob, const MapFunctions &map) {
  const TOCFunctDDDoubleSafe &x = map[0];
  auto coefficient = [&x](const LinearTerm &term) {
    if (term.Present != 1)
      return 0.0;
    double a = 1.0;
    if (term.Kind != 0) {
      // p, q and the number constants sit in Constants after the variables are counted off:
      // Kind 3 is slot 1 (p), Kind 4 slot 2 (q), Kind 5 the first number.
      const int slot = term.Kind - x.VariableCount;
      a = slot >= 1 && slot < static_cast<int>(x.Constants.size()) ? x.Constants[slot] : 0.0;
    }
    return term.Sign == -1 ? -a : a;
  };
  glob.LinearDirection = {coefficient(glob.LinearTerms[0]), coefficient(glob.LinearTerms[1])};
  // A number beyond the range of a double (1E400 v) is an infinite coefficient: the lines of
  // constant x are then those of any large one, so the direction is that of the limit.
  auto &d = glob.LinearDirection;
  if (std::isinf(d[0]) || std::isinf(d[1]))
    d = {std::isinf(d[0]) ? std::copysign(1.0, d[0]) : 0.0,
         std::isinf(d[1]) ? std::copysign(1.0, d[1]) : 0.0};
  const double n = std::hypot(glob.LinearDirection[0], glob.LinearDirection[1]);
  if (!(n > 1e-9))
    return false;
  glob.LinearDirection[0] /= n;
  glob.LinearDirection[1] /= n;
  return true;
}

} // namespace tandor
