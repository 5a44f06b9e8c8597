#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "formula/MapFunctions.h"
#include "problem/Glob.h"
#include "problem/ReadData.h"

namespace tandor {
namespace {

// The window's fields after a run of its default problem.
DataLineArray DefaultFields() {
  return {"u", "v(v^2 - p)", "v(u+v^4- pv^2)",   "-1", "1", "-1", "1", "0",
          "2", "0",          "3.14159265358979", "1",  "0"};
}

class ReadDataTest : public ::testing::Test {
protected:
  int Read(const DataLineArray &fields) {
    notices = KeptNotices();
    return ReadData(glob, map, fields, notices);
  }
  // A completed run of the fields, as the Draw-It run leaves it.
  void RunOnce(const DataLineArray &fields) {
    ASSERT_EQ(Read(fields), 1);
    DataToLines(glob);
    glob.Drawn = true;
  }

  Glob glob;
  MapFunctions map;
  KeptNotices notices;
};

TEST_F(ReadDataTest, TheDefaultProblemIsReadAndItsValuesDerived) {
  ASSERT_EQ(Read(DefaultFields()), 1);
  EXPECT_TRUE(notices.Statuses.empty());
  EXPECT_EQ(notices.Beeps, 0);
  EXPECT_TRUE(glob.IsLinear);
  EXPECT_EQ(glob.LinearDirection, (Vector2{1, 0}));
  EXPECT_EQ(glob.FormulaTexts[2], "v(u+v^4- pv^2)");
  EXPECT_EQ(glob.DomainLow, (Vector2{-1, -1}));
  EXPECT_EQ(glob.DomainHigh, (Vector2{1, 1}));
  EXPECT_EQ(glob.ParamHigh, (Vector2{2, 3.14159265358979}));
  EXPECT_EQ(glob.ParamValue, (Vector2{1, 0}));
  EXPECT_EQ(glob.DomainHalf, (Vector2{1, 1}));
  EXPECT_EQ(glob.DomainCentre, (Vector2{0, 0}));
  EXPECT_DOUBLE_EQ(glob.HalfDiagonal, std::sqrt(2.0));
  EXPECT_DOUBLE_EQ(glob.BoxLow[2], -std::sqrt(2.0));
  EXPECT_DOUBLE_EQ(glob.BoxHigh[2], std::sqrt(2.0));
  EXPECT_NEAR(static_cast<double>(glob.PixelLength), 0.005, 1e-15);
  EXPECT_EQ(glob.CoarseCount, 23);
  // p and q reach the compiled functions: y = v(v^2 - p) at v = 2 with p = 1.
  double x = 0, y = 0, z = 0;
  map.EvaluateMap(x, y, z, 0.5, 2);
  EXPECT_DOUBLE_EQ(x, 0.5);
  EXPECT_DOUBLE_EQ(y, 6);
  EXPECT_DOUBLE_EQ(z, 2 * (0.5 + 16 - 4));

  DataToLines(glob);
  const DataLineArray lines{"u", "v(v^2 - p)", "v(u+v^4- pv^2)",   "-1", "1", "-1", "1", "0",
                            "2", "0",          "3.14159265358979", "1",  "0"};
  EXPECT_EQ(glob.DataLines, lines);
}

TEST_F(ReadDataTest, ChangeDetection) {
  RunOnce(DefaultFields());
  EXPECT_EQ(Read(DefaultFields()), 0) << "nothing changed";

  DataLineArray padded = DefaultFields();
  for (auto &field : padded)
    field = " \t" + field + "\r\n ";
  EXPECT_EQ(Read(padded), 0) << "blanks and control characters around a field do not count";

  // Any one field changed counts, a bound written as a formula always counts.
  const char *const changed[13] = {"2u", "v",  "v(u+v^4-pv^2)", "-2",  "2", "-0.5", "3", "-1", "3",
                                   "-1", "pi", "0.5",           "0.25"};
  for (int i = 0; i < 13; ++i) {
    glob = Glob();
    RunOnce(DefaultFields());
    DataLineArray fields = DefaultFields();
    fields[i] = changed[i];
    EXPECT_EQ(Read(fields), 1) << "field " << i;
  }

  glob = Glob();
  EXPECT_EQ(Read(DefaultFields()), 1) << "before the first run every read is a change";
}

TEST_F(ReadDataTest, MessagesComeInTheirOrder) {
  const struct {
    std::vector<std::pair<int, const char *>> edits;
    const char *message;
  } cases[] = {
      {{{3, "1"}}, "The minimum of 'u' must be less than its maximum"},
      {{{3, "2"}, {5, "5"}}, "The minimum of 'u' must be less than its maximum"},
      {{{5, "1"}}, "The minimum of 'v' must be less than its maximum"},
      {{{7, "2"}, {9, "4"}}, "The minimum of 'p' must be less than its maximum"},
      {{{9, "4"}, {11, "9"}}, "The minimum of 'q' must be less than its maximum"},
      {{{11, "2.5"}, {12, "-1"}}, "p must be between its min and its max"},
      {{{11, "-0.1"}}, "p must be between its min and its max"},
      {{{12, "-1"}}, "q must be between its min and its max"},
      {{{12, "3.2"}}, "q must be between its min and its max"},
      // Every value is evaluated before any is checked.
      {{{3, "2"}, {12, "cos(pi"}}, "Check, please, the parentheses."},
      {{{4, ""}}, "Perhaps you forgot to write something."},
      {{{0, "pu - qv"}, {11, "0"}}, "The first function seems to be almost constant"},
      {{{0, "u("}, {1, "v("}}, "Check, please, the parentheses."},
  };
  for (const auto &c : cases) {
    DataLineArray fields = DefaultFields();
    for (const auto &[i, text] : c.edits)
      fields[i] = text;
    ASSERT_EQ(Read(fields), 2) << c.message;
    ASSERT_EQ(notices.Statuses.size(), 1u) << c.message;
    EXPECT_EQ(notices.Statuses.back(), c.message);
    EXPECT_EQ(notices.Beeps, 1);
  }
}

// Infinite bounds used to pass (-inf < 1) and the run silently found nothing; each is refused
// with the message of its own variable before anything is stored.
TEST_F(ReadDataTest, NonFiniteBoundsAndValuesAreRefusedAtTheirField) {
  const std::string huge = "1" + std::string(5000, '0');
  const std::string nonFinite[] = {"-" + huge, huge, huge + "-" + huge};
  const char *const rangeMessages[] = {"The minimum of 'u' must be less than its maximum",
                                       "The minimum of 'v' must be less than its maximum",
                                       "The minimum of 'p' must be less than its maximum",
                                       "The minimum of 'q' must be less than its maximum"};
  RunOnce(DefaultFields());
  const Glob before = glob;
  const auto expectRefused = [&](std::vector<int> fieldsSet, const std::string &text,
                                 const std::string &message) {
    DataLineArray fields = DefaultFields();
    for (int i : fieldsSet)
      fields[i] = text;
    ASSERT_EQ(Read(fields), 2) << message;
    ASSERT_EQ(notices.Statuses.size(), 1u);
    EXPECT_EQ(notices.Statuses[0], message) << "field " << fieldsSet[0] << " " << text[0];
    EXPECT_EQ(glob.DomainLow, before.DomainLow);
    EXPECT_EQ(glob.DomainHigh, before.DomainHigh);
    EXPECT_EQ(glob.ParamLow, before.ParamLow);
    EXPECT_EQ(glob.ParamHigh, before.ParamHigh);
    EXPECT_EQ(glob.ParamValue, before.ParamValue);
  };
  for (const std::string &text : nonFinite) {
    for (int field = 3; field <= 10; ++field)
      expectRefused({field}, text, rangeMessages[(field - 3) / 2]);
    expectRefused({11}, text, "p must be between its min and its max");
    expectRefused({12}, text, "q must be between its min and its max");
    // p at an infinite end of its range (0 <= inf <= inf) fails at the range.
    expectRefused({8, 11}, text, rangeMessages[2]);
    expectRefused({7, 11}, text, rangeMessages[2]);
    expectRefused({10, 12}, text, rangeMessages[3]);
  }
}

TEST_F(ReadDataTest, RangeEndsAreAccepted) {
  for (const char *p : {"0", "2"})
    for (const char *q : {"0", "3.14159265358979"}) {
      DataLineArray fields = DefaultFields();
      fields[11] = p;
      fields[12] = q;
      EXPECT_EQ(Read(fields), 1) << p << " " << q;
    }
}

TEST_F(ReadDataTest, AFailedReadKeepsWhatWasStoredBeforeItsFailingStep) {
  RunOnce(DefaultFields());
  const Glob before = glob;

  DataLineArray badCheck = DefaultFields();
  badCheck[4] = "-2"; // uMax below uMin: fails before the domain is stored
  ASSERT_EQ(Read(badCheck), 2);
  EXPECT_EQ(glob.FieldValues[1], -2) << "the values were evaluated";
  EXPECT_EQ(glob.DomainHigh, before.DomainHigh);

  DataLineArray badZ = DefaultFields();
  badZ[4] = "3";
  badZ[0] = "u + v^2";
  badZ[2] = "v(";
  ASSERT_EQ(Read(badZ), 2);
  EXPECT_EQ(glob.DomainHigh, (Vector2{3, 1})) << "the domain is stored before the compiles";
  EXPECT_FALSE(glob.IsLinear) << "x was compiled";
  EXPECT_EQ(glob.FormulaTexts, before.FormulaTexts);
  EXPECT_EQ(glob.ParamValue, before.ParamValue);
  EXPECT_EQ(glob.PixelLength, before.PixelLength);
  EXPECT_EQ(glob.DataLines, before.DataLines);
  EXPECT_TRUE(glob.Drawn);
  ASSERT_EQ(notices.Statuses.size(), 2u);
  EXPECT_EQ(notices.Statuses[0], NotLinearNotice);
}

TEST_F(ReadDataTest, LinearDirectionOfTheFirstFunction) {
  const double r = 1 / std::sqrt(2.0);
  const struct {
    const char *x;
    const char *p;
    const char *q;
    bool linear;
    Vector2 direction;
  } cases[] = {
      {"u", "1", "0", true, {1, 0}},
      {"-2v", "1", "0", true, {0, -1}},
      {"v - u", "1", "0", true, {-r, r}},
      {"pu - qv", "1", "1", true, {r, -r}},
      {"pu + qv", "0", "3", true, {0, 1}},
      {"3 u + 4 v", "1", "0", true, {0.6, 0.8}},
      {"u + v^2", "1", "0", false, {0, 0}},
      {"u + 1", "1", "0", false, {0, 0}},
      // Coefficients beyond the range of a double are infinite: the direction is their limit,
      // never NaN (0/inf, inf/inf), which would leave the linear case nothing to trace.
      {"1E999999999v", "1", "0", true, {0, 1}},
      {"2u - 1E400 v", "1", "0", true, {0, -1}},
      {"1E400u + 1E500v", "1", "0", true, {r, r}},
      {"1E308 u + 1E308 v", "1", "0", true, {r, r}},
  };
  for (const auto &c : cases) {
    DataLineArray fields = DefaultFields();
    fields[0] = c.x;
    fields[11] = c.p;
    fields[12] = c.q;
    ASSERT_EQ(Read(fields), 1) << c.x;
    EXPECT_EQ(glob.IsLinear, c.linear) << c.x;
    if (c.linear) {
      EXPECT_NEAR(glob.LinearDirection[0], c.direction[0], 1e-15) << c.x;
      EXPECT_NEAR(glob.LinearDirection[1], c.direction[1], 1e-15) << c.x;
      EXPECT_TRUE(notices.Statuses.empty());
    } else {
      EXPECT_EQ(notices.Statuses, std::vector<std::string>{NotLinearNotice});
    }
  }
}

TEST(TrimField, RemovesBlanksAndControlCharactersAtBothEnds) {
  EXPECT_EQ(TrimField(" \t\r\n u + v \x01\x1f"), "u + v");
  EXPECT_EQ(TrimField("  "), "");
  EXPECT_EQ(TrimField("a\tb"), "a\tb");
}

} // namespace
} // namespace tandor
