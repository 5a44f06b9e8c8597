// FormatDataNumber and DataToLines: the numbers of a problem written as the data file's lines.

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>
#include <system_error>

#include "problem/Glob.h"

namespace tandor {

namespace {

constexpr int SignificantDigits = 15;
// 1.79769313486231E308, the largest number of 15 digits that a double can hold.
constexpr std::string_view LargestFiniteDigits = "179769313486231";

// The digits of |value| rounded to 15 significant digits, without trailing zeros, and the
// decimal exponent of the first one: 1234.5 gives ("12345", 3).
struct Decimal {
  std::string Digits;
  int Exponent = 0;
};

Decimal RoundedDigits(double magnitude) {
  // to_chars never consults the locale.
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude,
                                    std::chars_format::scientific, SignificantDigits - 1);
  const std::string text(buffer, result.ptr);
  const std::size_t e = text.find('e');
  Decimal d;
  for (std::size_t i = 0; i < e; ++i)
    if (text[i] != '.')
      d.Digits.push_back(text[i]);
  while (d.Digits.size() > 1 && d.Digits.back() == '0')
    d.Digits.pop_back();
  d.Exponent = std::atoi(text.c_str() + e + 1);
  return d;
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
  const bool scientific = d.Exponent < -5 || d.Exponent >= SignificantDigits;
  std::string text = value < 0 ? "-" : "";
  text.append(scientific ? Scientific(d) : Fixed(d));
  return text;
}

void DataToLines(Glob &glob) {
  for (int i = 0; i < 3; ++i)
    glob.DataLines[XLine + i] = glob.FormulaTexts[i];
  const double numbers[FieldValueCount] = {
      glob.DomainLow[0],  glob.DomainHigh[0], glob.DomainLow[1], glob.DomainHigh[1],
      glob.ParamLow[0],   glob.ParamHigh[0],  glob.ParamLow[1],  glob.ParamHigh[1],
      glob.ParamValue[0], glob.ParamValue[1]};
  for (int i = 0; i < FieldValueCount; ++i)
    glob.DataLines[UMinLine + i] = FormatDataNumber(numbers[i]);
}

} // namespace tandor
