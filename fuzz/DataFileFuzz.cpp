// Arbitrary bytes as a data file, opened as File > Open opens one (the file's thirteen lines
// read as the window's fields would hold them), then saved and opened again. A file that is
// refused must be refused with a reason; a problem that is accepted must be a sound problem;
// and what was saved must open again, unchanged, as the same problem.

#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "formula/MapFunctions.h"
#include "fuzz/FuzzCheck.h"
#include "problem/DataFile.h"
#include "problem/Glob.h"
#include "problem/ReadData.h"

namespace tandor::fuzzing {
namespace {

// A folder of our own for the files, removed when the program ends normally.
class ScratchFolder {
public:
  ScratchFolder() {
    const char *base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != 0 ? base : "/tmp") + "/tandor-fuzz-XXXXXX";
    Require(mkdtemp(pattern.data()) != nullptr,
            [&] { return "cannot make a scratch folder from " + pattern; });
    Path = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(Path, ignored);
  }
  std::string File(const char *name) const { return Path + "/" + name; }

private:
  std::string Path;
};

const ScratchFolder &Scratch() {
  static const ScratchFolder folder;
  return folder;
}

// The window's status bar: the last text a read showed.
std::string LastStatus(const KeptNotices &notices) {
  return notices.Statuses.empty() ? std::string() : notices.Statuses.back();
}

std::string Lines(const DataLineArray &lines) {
  std::string text;
  for (const std::string &line : lines)
    text += "\n  \"" + Escaped(line) + "\"";
  return text;
}

// Where every variable has at most one term, the direction is (a, b) of x = a u + b v.
template <typename Where>
void CheckLinearDirection(const Glob &g, MapFunctions &map, const Where &where) {
  for (const LinearTerm &term : g.LinearTerms)
    if (term.Present > 1)
      return;
  const double e1[2] = {1, 0}, e2[2] = {0, 1};
  const double a = map[0].Evaluate(e1), b = map[0].Evaluate(e2);
  // An infinite coefficient (1E400 v) has no ratio to compare; its limit is checked by the tests.
  if (!std::isfinite(a) || !std::isfinite(b))
    return;
  const double n = std::hypot(a, b);
  Require(std::fabs(a / n - g.LinearDirection[0]) < 1e-12 &&
              std::fabs(b / n - g.LinearDirection[1]) < 1e-12,
          [&] { return where("a linear direction that is not that of x(u,v)"); });
}

// A problem a run can be given: every bound a number, ranges the right way round, the values
// inside their ranges, the functions compiled.
void CheckProblem(const Glob &g, MapFunctions &map, const DataLineArray &lines) {
  const auto where = [&](const char *what) { return std::string(what) + " in" + Lines(lines); };
  for (const double value : g.FieldValues)
    Require(std::isfinite(value), [&] { return where("an infinite or NaN bound accepted"); });
  Require(g.DomainLow[0] < g.DomainHigh[0] && g.DomainLow[1] < g.DomainHigh[1] &&
              g.ParamLow[0] < g.ParamHigh[0] && g.ParamLow[1] < g.ParamHigh[1],
          [&] { return where("a range that is empty or reversed accepted"); });
  for (int i = 0; i < 2; ++i)
    Require(g.ParamLow[i] <= g.ParamValue[i] && g.ParamValue[i] <= g.ParamHigh[i],
            [&] { return where("a parameter value outside its range accepted"); });
  for (int c = 0; c < 3; ++c)
    Require(map[c].IsCompiled() && map[c].DerivativeEntry != nullptr &&
                map[c].FormulaText == g.FormulaTexts[c],
            [&] { return where("a coordinate function left uncompiled"); });
  if (g.IsLinear) {
    Require(std::fabs(std::hypot(g.LinearDirection[0], g.LinearDirection[1]) - 1) < 1e-12,
            [&] { return where("a linear direction that is not a unit vector"); });
    CheckLinearDirection(g, map, where);
  }
}

// The saved numbers carry 15 significant digits, or as many as it takes to read back exactly
// where fifteen would move a range by more than a millionth of its width: a saved range opens
// in place, never collapsed.
bool SameToSavedDigits(const Glob &g, const Glob &again, std::size_t i) {
  const double original = g.FieldValues[i], reread = again.FieldValues[i];
  const std::size_t low = i < 8 ? i / 2 * 2 : 4 + 2 * (i - 8); // p and q: their ranges
  const double width = g.FieldValues[low + 1] - g.FieldValues[low];
  const double shift = std::fabs(reread - original);
  return shift <= 1e-14 * std::fabs(original) && shift <= 1e-6 * width;
}

void CheckSavedReadsBack(Glob &g, MapFunctions &map, const DataLineArray &opened) {
  DataToLines(g);
  const std::string saved = Scratch().File("saved.tdr");
  WriteDataFile(saved, g.DataLines);
  const DataLineArray lines = ReadDataFile(saved);
  Require(lines == g.DataLines,
          [&] { return "the saved lines" + Lines(g.DataLines) + "\nread back as" + Lines(lines); });

  Glob again;
  MapFunctions againMap;
  KeptNotices notices;
  const int outcome = ReadData(again, againMap, lines, notices);
  Require(outcome == 1, [&] {
    return "the file" + Lines(opened) + "\nsaved as" + Lines(lines) + "\ndoes not open again: \"" +
           LastStatus(notices) + "\"";
  });
  for (std::size_t i = 0; i < g.FieldValues.size(); ++i)
    Require(SameToSavedDigits(g, again, i), [&] {
      return "the saved" + Lines(lines) + "\nread back as other numbers (line " +
             std::to_string(i + 4) + ")";
    });
  Require(again.FormulaTexts == g.FormulaTexts && again.IsLinear == g.IsLinear,
          [&] { return "the saved" + Lines(lines) + "\nread back as another problem"; });
  DataToLines(again);
  Require(again.DataLines == g.DataLines, [&] {
    return "saving the saved" + Lines(lines) + "\nagain gives" + Lines(again.DataLines);
  });

  // Opening what the last run saved changes nothing, so nothing is computed again.
  g.Drawn = true;
  Require(ReadData(g, map, lines, notices) == 0,
          [&] { return "reopening the saved" + Lines(lines) + "\ncounts as a change"; });
}

void OpenAndSave(std::string_view bytes) {
  const std::string opened = Scratch().File("opened.tdr");
  {
    std::ofstream out(opened, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    Require(static_cast<bool>(out), [&] { return "cannot write " + opened; });
  }
  DataLineArray lines;
  try {
    lines = ReadDataFile(opened);
  } catch (const DataFileError &error) {
    Require(error.Path == opened && !error.Reason.empty(), [&] {
      return std::string("a file refused without its name or reason: ") + error.what();
    });
    return;
  }
  for (const std::string &line : lines)
    Require(line.find('\n') == std::string::npos,
            [&] { return "a line holds a line break:" + Lines(lines); });

  Glob g;
  MapFunctions map;
  KeptNotices notices;
  const int outcome = ReadData(g, map, lines, notices);
  if (outcome == 2) {
    Require(!LastStatus(notices).empty() && notices.Beeps == 1,
            [&] { return "a refused problem without its message and beep:" + Lines(lines); });
    return;
  }
  Require(outcome == 1, [&] {
    return "the first read of" + Lines(lines) + "\nanswers " + std::to_string(outcome);
  });
  CheckProblem(g, map, lines);
  CheckSavedReadsBack(g, map, lines);
}

} // namespace
} // namespace tandor::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
  tandor::fuzzing::OpenAndSave(std::string_view(reinterpret_cast<const char *>(data), size));
  return 0;
}
