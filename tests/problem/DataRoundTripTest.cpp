// What a data file holds must read back: every number the writer writes is a number the read
// takes, with the value the writer kept, and writing it again gives the same text.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
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
    KeptNotices notices;
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

int SignificantDigits(const std::string &text) {
  const std::string mantissa = text.substr(0, text.find('E'));
  const std::size_t first = mantissa.find_first_of("123456789");
  return static_cast<int>(std::count_if(mantissa.begin() + static_cast<long>(first), mantissa.end(),
                                        [](char c) { return c != '.'; }));
}

// Every finite double, normal or not, read back from its exact text through the formula language.
TEST(DataRoundTrip, ExactTextsReadBackToTheSameDouble) {
  std::mt19937_64 random(1208);
  for (int n = 0; n < 20000; ++n) {
    const double value = std::bit_cast<double>(random());
    if (!std::isfinite(value))
      continue;
    const std::string text = FormatExactDataNumber(value);
    ASSERT_EQ(EvaluateConstant(text), value) << text;
    EXPECT_LE(SignificantDigits(text), 17) << text;
    // Fifteen decimal digits tell every two normal doubles apart, so a double that a text of
    // fifteen digits reads back as has no shorter exact text: it keeps today's text.
    const double decimal = DecimalValue(FormatDataNumber(value));
    if (std::fabs(decimal) >= std::numeric_limits<double>::min()) {
      EXPECT_EQ(FormatExactDataNumber(decimal), FormatDataNumber(decimal));
    }
  }
  EXPECT_EQ(FormatExactDataNumber(1 + 0x1p-52), "1.0000000000000002");
  EXPECT_EQ(FormatExactDataNumber(-std::numeric_limits<double>::max()), "-1.7976931348623157E308");
  EXPECT_EQ(FormatExactDataNumber(std::numeric_limits<double>::denorm_min()), "5E-324");
  EXPECT_EQ(FormatExactDataNumber(0.1 + 0.2), "0.30000000000000004");
}

// Two ordered bounds: far apart, or a few units of the last place apart, or a tiny part of their
// size apart; the largest and the smallest doubles among them.
class RangePairs {
public:
  explicit RangePairs(unsigned seed) : Bound(seed), Random(seed) {}
  std::pair<double, double> Near() {
    const double a = Pick();
    double b = a;
    if (Random() % 2 == 0) {
      for (auto steps = 1 + Random() % 1000; steps > 0; --steps)
        b = std::nextafter(b, 0.0);
    } else {
      const double gap = std::fabs(a) * std::pow(10.0, GapExponent(Random));
      b = std::isfinite(a + gap) ? a + gap : a - gap;
      if (b == a) // below the normal range
        b = std::nextafter(a, 0.0);
    }
    return std::minmax(a, b);
  }
  std::pair<double, double> Wide() {
    const double a = Bound(), b = a + std::fabs(a) * std::pow(10.0, WideExponent(Random));
    return std::minmax(a, b);
  }

private:
  double Pick() {
    switch (Random() % 8) {
    case 0:
      return Random() % 2 == 0 ? max : -max;
    case 1:
      return std::numeric_limits<double>::denorm_min() * static_cast<double>(1 + Random() % 99);
    case 2:
      return 1;
    default:
      return Bound();
    }
  }
  static constexpr double max = std::numeric_limits<double>::max();
  RandomBound Bound;
  std::mt19937_64 Random;
  std::uniform_real_distribution<double> GapExponent{-16, -10.5};
  std::uniform_real_distribution<double> WideExponent{-5, 2};
};

struct SavedProblem {
  Glob Kept;
  DataLineArray Lines;
  Glob Opened;
  int Outcome = 0;
  std::string Status;
};

// Saves a problem with these ranges (p and q somewhere in theirs) and opens the file again.
SavedProblem SaveAndOpen(const std::array<std::pair<double, double>, 4> &ranges, double at,
                         const std::string &path) {
  SavedProblem s;
  std::tie(s.Kept.DomainLow[0], s.Kept.DomainHigh[0]) = ranges[0];
  std::tie(s.Kept.DomainLow[1], s.Kept.DomainHigh[1]) = ranges[1];
  std::tie(s.Kept.ParamLow[0], s.Kept.ParamHigh[0]) = ranges[2];
  std::tie(s.Kept.ParamLow[1], s.Kept.ParamHigh[1]) = ranges[3];
  for (int i = 0; i < 2; ++i) {
    const double low = s.Kept.ParamLow[i], high = s.Kept.ParamHigh[i];
    s.Kept.ParamValue[i] = std::clamp(low + (high - low) * at, low, high);
  }
  DataToLines(s.Kept);
  WriteDataFile(path, s.Kept.DataLines);
  s.Lines = ReadDataFile(path);
  MapFunctions map;
  KeptNotices notices;
  s.Outcome = ReadData(s.Opened, map, s.Lines, notices);
  if (!notices.Statuses.empty())
    s.Status = notices.Statuses[0];
  return s;
}

std::array<double, 10> Numbers(const Glob &g) {
  return {g.DomainLow[0], g.DomainHigh[0], g.DomainLow[1], g.DomainHigh[1], g.ParamLow[0],
          g.ParamHigh[0], g.ParamLow[1],   g.ParamHigh[1], g.ParamValue[0], g.ParamValue[1]};
}

std::string Shown(const DataLineArray &lines) {
  std::string text;
  for (int i = 3; i < 13; ++i)
    text += " " + lines[i];
  return text;
}

// Bounds that agree to 15 digits or more were saved as one number, and the saved problem was
// refused on opening ("The minimum of 'u' must be less than its maximum"). A narrow range now
// opens again exactly as it was kept, with p and q inside their ranges; a wide one keeps the
// bytes of fifteen digits, and its ends move by no more than a millionth of its width.
TEST(DataRoundTrip, NarrowRangesOpenAgainExactlyAsKept) {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("tandor-narrow-" + std::to_string(getpid()) + ".tdr"))
                               .string();
  RangePairs pairs(20261209);
  std::mt19937_64 random(9);
  for (int n = 0; n < 400; ++n) {
    const bool narrow = n % 2 == 0;
    const auto pair = [&] { return narrow ? pairs.Near() : pairs.Wide(); };
    const double at = n % 5 == 0 ? 0 : n % 5 == 1 ? 1 : std::uniform_real_distribution<>()(random);
    const SavedProblem s = SaveAndOpen({pair(), pair(), pair(), pair()}, at, path);
    ASSERT_EQ(s.Outcome, 1) << s.Status << ", saved as" << Shown(s.Lines);
    const auto kept = Numbers(s.Kept), opened = Numbers(s.Opened);
    for (int i = 0; i < 10; ++i) {
      if (narrow) {
        EXPECT_EQ(opened[i], kept[i]) << "line " << i + 4 << " of" << Shown(s.Lines);
      } else {
        EXPECT_EQ(s.Lines[3 + i], FormatDataNumber(kept[i]));
        const int low = i < 8 ? i / 2 * 2 : 4 + 2 * (i - 8); // p and q: their ranges
        const double range = kept[low + 1] - kept[low];
        EXPECT_LE(std::fabs(opened[i] - kept[i]), range * 1e-6) << Shown(s.Lines);
      }
    }
    Glob again = s.Opened;
    DataToLines(again);
    EXPECT_EQ(again.DataLines, s.Lines) << "saving again changes" << Shown(s.Lines);
  }
  std::filesystem::remove(path);
}

} // namespace
} // namespace tandor
