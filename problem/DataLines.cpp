// FormatDataNumber and DataToLines: the numbers of a problem written as the data file's lines.

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <string_view>
#include <system_error>

#include "problem/Glob.h"

namespace tandor {

namespace {

constexpr int SignificantDigits = 15;
// 1.79769313486231E308, the largest number of 15 digits that a double can hold.
constexpr std::string_view LargestFiniteDigits = "179769313486231";
// How far a saved end of a range may lie from the value kept, as a part of the range's width.
// Fifteen digits keep every ordinary range far closer than this; only a range whose ends agree
// to eight digits or more can move further, or even collapse to one number (1 and 1 + 2^-52
// both read 1), which the read then refuses.
constexpr double LargestShiftOfWidth = 1e-6;

// The digits of |value| without trailing zeros, and the decimal exponent of the first one:
// 1234.5 gives ("12345", 3).
struct Decimal {
  std::string Digits;
  int Exponent = 0;
};

// The text of to_chars in scientific notation, 1.2345e+03, taken apart.
Decimal DigitsOf(std::string_view text) {
  const std::size_t e = text.find('e');
  Decimal d;
  for (std::size_t i = 0; i < e; ++i)
    if (text[i] != '.')
      d.Digits.push_back(text[i]);
  while (d.Digits.size() > 1 && d.Digits.back() == '0')
    d.Digits.pop_back();
  d.Exponent = std::atoi(std::string(text.substr(e + 1)).c_str());
  return d;
}

// to_chars never consults the locale.
Decimal RoundedDigits(double magnitude) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude,
                                    std::chars_format::scientific, SignificantDigits - 1);
  return DigitsOf(std::string_view(buffer, result.ptr));
}

// The fewest digits (at most 17) that read back as magnitude.
Decimal ShortestDigits(double magnitude) {
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific);
  return DigitsOf(std::string_view(buffer, result.ptr));
}

std::string Fixed(const Decimal &d) {
  const int digits = static_cast<int>(d.Digits.size());
  if (d.Exponent < 0)
    return "0." + std::string(static_cast<std::size_t>(-d.Exponent - 1), '0') + d.Digits;
  if (d.Exponent + 1 >= digits)
    return d.Digits + std::string(static_cast<std::size_t>(d.Exponent + 1 - digits), '0');
  return d.Digits.substr(0, static_cast<std::size_t>(d.Exponent + 1)) + "." +
         d.Digits.substr(static_cast<std::size_t>(d.Exponent + 1));
}

std::string Scientific(const Decimal &d) {
  std::string text = d.Digits.substr(0, 1);
  if (d.Digits.size() > 1) {
    text.push_back('.');
    text.append(d.Digits, 1);
  }
  text.push_back('E');
  text.append(std::to_string(d.Exponent));
  return text;
}

std::string Written(bool negative, const Decimal &d) {
  const bool scientific = d.Exponent < -5 || d.Exponent >= SignificantDigits;
  std::string text = negative ? "-" : "";
  text.append(scientific ? Scientific(d) : Fixed(d));
  return text;
}

// The double that the text of FormatDataNumber reads back as (the read rounds the same way).
double ReadBack(const std::string &text) {
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

// The numbers of one variable, its range and for p and q its value, with their lines.
struct Numbered {
  DataLine Line;
  double Value;
};

// Fifteen digits where they keep the range in place, otherwise the digits of every number of the
// variable that read back exactly; exact values keep the order the read requires.
void WriteVariable(DataLineArray &lines, double low, double high,
                   std::initializer_list<Numbered> numbers) {
  const double largestShift = (high - low) * LargestShiftOfWidth;
  bool exact = false;
  for (const Numbered &n : numbers)
    exact = exact || std::fabs(ReadBack(FormatDataNumber(n.Value)) - n.Value) > largestShift;
  for (const Numbered &n : numbers)
    lines[n.Line] = exact ? FormatExactDataNumber(n.Value) : FormatDataNumber(n.Value);
}

} // namespace

std::string FormatDataNumber(double value) {
  if (std::isnan(value))
    return "NAN";
  if (std::isinf(value))
    return value > 0 ? "INF" : "-INF";
  if (value == 0)
    return "0";
  Decimal d = RoundedDigits(std::fabs(value));
  // The largest doubles round to 1.79769313486232E308, beyond the largest double: read back,
  // that would be infinite. They are written as the largest 15-digit number below it.
  if (d.Exponent == 308 && d.Digits > LargestFiniteDigits)
    d.Digits = LargestFiniteDigits;
  return Written(value < 0, d);
}

std::string FormatExactDataNumber(double value) {
  if (!std::isfinite(value) || value == 0)
    return FormatDataNumber(value);
  return Written(value < 0, ShortestDigits(std::fabs(value)));
}

void DataToLines(Glob &glob) {
  for (int i = 0; i < 3; ++i)
    glob.DataLines[XLine + i] = glob.FormulaTexts[i];
  DataLineArray &lines = glob.DataLines;
  const auto &low = glob.DomainLow, &high = glob.DomainHigh;
  WriteVariable(lines, low[0], high[0], {{UMinLine, low[0]}, {UMaxLine, high[0]}});
  WriteVariable(lines, low[1], high[1], {{VMinLine, low[1]}, {VMaxLine, high[1]}});
  const auto &pLow = glob.ParamLow, &pHigh = glob.ParamHigh, &value = glob.ParamValue;
  WriteVariable(lines, pLow[0], pHigh[0],
                {{PMinLine, pLow[0]}, {PMaxLine, pHigh[0]}, {PValueLine, value[0]}});
  WriteVariable(lines, pLow[1], pHigh[1],
                {{QMinLine, pLow[1]}, {QMaxLine, pHigh[1]}, {QValueLine, value[1]}});
}

} // namespace tandor
