// What a data file holds must read back: every number the writer writes is a number the read
// takes, with the value the writer kept, and writing it again gives the same text.

#include <gtest/gtest.h>

#include <unistd.h>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "formula/MapFunctions.h"
#include "problem/DataFile.h"
#include "problem/Glob.h"
#include "problem/ReadData.h"

namespace tandor {
namespace {

// The double nearest to the decimal text, read without the formula language.
double DecimalValue(const std::string &text) {
  double value = std::numeric_limits<double>::quiet_NaN();
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  EXPECT_EQ(result.ptr, text.data() + text.size()) << text;
  EXPECT_EQ(result.ec, std::errc()) << text;
  return value;
}

// Random magnitudes spread evenly over the decimal exponents -300 to 300, both signs.
class RandomBound {
public:
  explicit RandomBound(unsigned seed) : Random(seed) {}
  double operator()() {
    const double magnitude = std::pow(10.0, Exponent(Random)) * Mantissa(Random);
    return Random() % 2 == 0 ? magnitude : -magnitude;
  }

private:
  std::mt19937_64 Random;
  std::uniform_real_distribution<double> Exponent{-300, 300};
  std::uniform_real_distribution<double> Mantissa{1, 10};
};

void ExpectReadBackAsWritten(double value) {
  const std::string text = FormatDataNumber(value);
  const double read = EvaluateConstant(text);
  EXPECT_EQ(read, DecimalValue(text)) << text;
  EXPECT_NEAR(read, value, 6e-15 * std::fabs(value)) << text;
  EXPECT_EQ(FormatDataNumber(read), text) << value;
}

TEST(DataRoundTrip, EveryWrittenNumberReadsBackToItsFifteenDigits) {
  RandomBound bound(20261208);
  for (int n = 0; n < 20000; ++n)
    ExpectReadBackAsWritten(bound());
  const double max = std::numeric_limits<double>::max();
  for (const double edge : {1e-300, 1e300, 1e-6, 1e15, 9.99999999999999e-6, 1e-5, 0.1, 1.0 / 3,
                            123456789012345.0, 999999999999999.9, std::nextafter(max, 0.0)}) {
    ExpectReadBackAsWritten(edge);
    ExpectReadBackAsWritten(-edge);
  }
  // The largest doubles round up beyond every double at 15 digits; they are written just below.
  for (const double top : {max, -max, std::nextafter(max, 0.0), 1.797693134862315e308}) {
    const std::string text = FormatDataNumber(top);
    EXPECT_EQ(text, top < 0 ? "-1.79769313486231E308" : "1.79769313486231E308");
    EXPECT_TRUE(std::isfinite(EvaluateConstant(text))) << text;
  }
  // Below the normal range fewer digits are held, but what is read back is what was written.
  for (const double tiny : {std::numeric_limits<double>::denorm_min(), 3e-320, 2.2e-308}) {
    const std::string text = FormatDataNumber(tiny);
    EXPECT_EQ(EvaluateConstant(text), tiny) << text;
    EXPECT_EQ(EvaluateConstant("-" + text), -tiny) << text;
  }
}

class NoNotices : public ReadNotices {
public:
  void ShowStatus(const std::string &text) override { Statuses.push_back(text); }
  void Beep() override {}
  void AdjustCircleToParameters() override {}
  std::vector<std::string> Statuses;
};

// Two ordered bounds whose 15-digit texts differ: the read needs min < max.
std::pair<double, double> OrderedPair(RandomBound &bound) {
  for (;;) {
    double a = bound(), b = bound();
    if (a > b)
      std::swap(a, b);
    if (FormatDataNumber(a) != FormatDataNumber(b))
      return {a, b};
  }
}

// A problem saved after a run, opened again: the read accepts the file, stores the values the
// file holds, and a second save writes the same bytes. uMin = 0.000001 used to be saved as 1E-6
// and refused on opening with "Some function or variable was miswritten.".
TEST(DataRoundTrip, ASavedProblemOpensAgainWithTheValuesItHolds) {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("tandor-roundtrip-" + std::to_string(getpid()) + ".tdr"))
                               .string();
  RandomBound bound(7);
  for (int n = 0; n < 100; ++n) {
    Glob saved;
    std::tie(saved.DomainLow[0], saved.DomainHigh[0]) = OrderedPair(bound);
    std::tie(saved.DomainLow[1], saved.DomainHigh[1]) = OrderedPair(bound);
    std::tie(saved.ParamLow[0], saved.ParamHigh[0]) = OrderedPair(bound);
    std::tie(saved.ParamLow[1], saved.ParamHigh[1]) = OrderedPair(bound);
    if (n == 0)
      saved.DomainLow[0] = 0.000001;
    saved.ParamValue = {n % 2 == 0 ? saved.ParamLow[0] : saved.ParamHigh[0],
                        n % 3 == 0 ? saved.ParamLow[1] : saved.ParamHigh[1]};
    DataToLines(saved);
    WriteDataFile(path, saved.DataLines);

    Glob opened;
    MapFunctions map;
    NoNotices notices;
    const DataLineArray lines = ReadDataFile(path);
    ASSERT_EQ(ReadData(opened, map, lines, notices), 1) << lines[3] << " " << lines[4];
    ASSERT_TRUE(notices.Statuses.empty()) << notices.Statuses[0];
    const std::array<double, 10> held = {
        opened.DomainLow[0],  opened.DomainHigh[0], opened.DomainLow[1], opened.DomainHigh[1],
        opened.ParamLow[0],   opened.ParamHigh[0],  opened.ParamLow[1],  opened.ParamHigh[1],
        opened.ParamValue[0], opened.ParamValue[1]};
    for (int i = 0; i < 10; ++i)
      EXPECT_EQ(held[i], DecimalValue(lines[3 + i])) << lines[3 + i];
    DataToLines(opened);
    EXPECT_EQ(opened.DataLines, saved.DataLines);
    // Nothing changed since that run: a second read of the same file recomputes nothing.
    opened.Drawn = true;
    EXPECT_EQ(ReadData(opened, map, lines, notices), 0);
  }
  std::filesystem::remove(path);
}

} // namespace
} // namespace tandor
