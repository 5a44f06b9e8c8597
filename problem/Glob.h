#pragma once
// The problem in force and the flags every part of the program consults. One object, owned by
// the application (or by a test) and passed by reference.

#include <array>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include "base/PixelRect.h"
#include "base/Vectors.h"
#include "formula/FormulaCompiler.h"

namespace tandor {

class MapFunctions;

// The thirteen lines of a problem, in the order of the window's fields and of a data file.
enum DataLine : int {
  XLine,
  YLine,
  ZLine,
  UMinLine,
  UMaxLine,
  VMinLine,
  VMaxLine,
  PMinLine,
  PMaxLine,
  QMinLine,
  QMaxLine,
  PValueLine,
  QValueLine,
};
inline constexpr int DataLineCount = 13;
using DataLineArray = std::array<std::string, DataLineCount>;

// The ten values of a read, as FieldValues holds them: the lines from uMin on, evaluated.
enum FieldValue : int {
  FieldUMin,
  FieldUMax,
  FieldVMin,
  FieldVMax,
  FieldPMin,
  FieldPMax,
  FieldQMin,
  FieldQMax,
  FieldP,
  FieldQ,
};
inline constexpr int FieldValueCount = 10;

constexpr FieldValue ValueOfLine(DataLine line) {
  return FieldValue(line - UMinLine);
}

struct Glob {
  Glob(); // start-up values, and DataLines built from them

  // The problem of the last successful read.
  std::array<std::string, 3> FormulaTexts{"u", "v(v^2 - p)", "v(u + v^4 - p v^2)"};
  Vector2 DomainLow{0.0, 0.0};
  Vector2 DomainHigh{2 * std::numbers::pi, std::numbers::pi};
  Vector2 ParamLow{0.0, 0.0};
  Vector2 ParamHigh{2.0, std::numbers::pi};
  // The one place of (p, q): always the pair last given to the compiled functions
  // (SetParamValue does both).
  Vector2 ParamValue{1.0, 0.0};

  // Derived by a successful read.
  Vector2 DomainHalf{};
  Vector2 DomainCentre{};
  double HalfDiagonal = 0.0;
  Vector3 BoxLow{};
  Vector3 BoxHigh{};
  long double PixelLength = 0.0L; // sqrt(2) * HalfDiagonal / 400: one picture pixel in D
  int32_t CoarseCount = 23;

  LinearTermRecords LinearTerms{};
  Vector2 LinearDirection{};

  DataLineArray DataLines; // the problem of the last run as text: x, y, z, uMin .. q

  // What the window's fields held at the last read, and what they evaluated to.
  DataLineArray FieldTexts;
  // Indexed by FieldValue. Its p and q are those the read found; the pair in force is ParamValue.
  std::array<double, FieldValueCount> FieldValues{};
  bool IsLinear = false;

  bool Drawn = false;
  bool Dirty = false;
  bool Running = false;
  bool StopRequested = false;

  // The picture and the parameter square.
  PixelRect PictureRect{0, 0, 400, 400};
  PixelRect ParameterRect{0, 0, 128, 128};
  std::array<int32_t, 2> CirclePos{64, 128}; // where the parameter square shows its circle
  bool SiblingShown = false;
  std::array<int32_t, 2> SiblingPos{0, 0};

  // The data file.
  std::string FileName; // at most 255 characters
  std::vector<std::string> DataList;
};

// Gives (p, q) to the three compiled functions and makes it the pair in force, ParamValue.
void SetParamValue(Glob &glob, MapFunctions &map, const Vector2 &pq);

// Sets DataLines from FormulaTexts, the domain, the parameter ranges and the parameter values.
// The numbers are written by FormatDataNumber, except those of a variable whose range would read
// back moved by more than a millionth of its width (ends that agree to eight digits or
// more): all its numbers are then written by FormatExactDataNumber.
void DataToLines(Glob &glob);

// Up to 15 significant digits with '.' whatever the locale: fixed notation without trailing
// zeros (-1, 0.5, 2), scientific with a capital E below 1e-5 and from 1E15 on (1E-6, 1.5E20).
std::string FormatDataNumber(double value);

// The same format with the fewest significant digits (at most 17) that read back as value:
// 1.0000000000000002, 1.7976931348623157E308.
std::string FormatExactDataNumber(double value);

} // namespace tandor
