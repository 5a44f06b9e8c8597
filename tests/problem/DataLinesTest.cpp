#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <numbers>

#include "problem/Glob.h"

namespace tandor {
namespace {

struct FormatCase {
  double value;
  const char *text;
};

TEST(FormatDataNumber, GeneralFormatOfFifteenDigits) {
  const FormatCase cases[] = {
      {std::numbers::pi, "3.14159265358979"},
      {2 * std::numbers::pi, "6.28318530717959"},
      {-1, "-1"},
      {0.5, "0.5"},
      {2, "2"},
      {0, "0"},
      {-0.0, "0"},
      {1e-6, "1E-6"},
      {-2.5e-7, "-2.5E-7"},
      {1e-5, "0.00001"},
      {1.5e-5, "0.000015"},
      {9.99999999999999e-6, "9.99999999999999E-6"},
      {123456789012345.0, "123456789012345"},
      {1e15, "1E15"},
      {1.5e20, "1.5E20"},
      {999999999999999.9, "1E15"}, // rounds up to sixteen digits before the point
      {0.1, "0.1"},
      {1.0 / 3.0, "0.333333333333333"},
      {2.0 / 3.0, "0.666666666666667"},
      {100, "100"},
      {-1234.5, "-1234.5"},
      {1e300, "1E300"},
      {std::numeric_limits<double>::denorm_min(), "4.94065645841247E-324"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(FormatDataNumber(c.value), c.text) << c.value;
}

TEST(FormatDataNumber, IgnoresTheProcessLocale) {
  // The format must not depend on the C locale; a comma locale may be missing on the machine,
  // in which case the test still checks the default.
  const char *old = std::setlocale(LC_ALL, nullptr);
  const std::string saved = old ? old : "C";
  std::setlocale(LC_ALL, "de_DE.UTF-8");
  EXPECT_EQ(FormatDataNumber(0.5), "0.5");
  EXPECT_EQ(FormatDataNumber(-2.5e-7), "-2.5E-7");
  std::setlocale(LC_ALL, saved.c_str());
}

TEST(Glob, StartUpLinesAreTheStartUpProblem) {
  const Glob glob;
  const DataLineArray expected{"u",
                               "v(v^2 - p)",
                               "v(u + v^4 - p v^2)",
                               "0",
                               "6.28318530717959",
                               "0",
                               "3.14159265358979",
                               "0",
                               "2",
                               "0",
                               "3.14159265358979",
                               "1",
                               "0"};
  EXPECT_EQ(glob.DataLines, expected);
}

} // namespace
} // namespace tandor
