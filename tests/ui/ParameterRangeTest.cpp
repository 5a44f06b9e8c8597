// Parameter values from the square and the typed fields over ranges at the edge of the doubles:
// whatever the user does, p and q stay finite, so the problem can be saved and opened again.

#include <QTemporaryDir>
#include <cmath>

#include "WindowFixture.h"
#include "problem/DataFile.h"

namespace tandor::testing {
namespace {

class ParameterRangeTest : public WindowTest {
protected:
  // A run of the fold with p in [pMin, pMax] and q in [qMin, qMax].
  void RunWithRanges(const char *pMin, const char *pMax, const char *qMin, const char *qMax) {
    SetProblem("u^2", "v", "u^3 - p u v + q");
    Window->pMinEdit->setText(pMin);
    Window->pMaxEdit->setText(pMax);
    Window->qMinEdit->setText(qMin);
    Window->qMaxEdit->setText(qMax);
    Window->pValueEdit->setText("0");
    Window->qValueEdit->setText("0");
    PressDrawIt();
    ASSERT_TRUE(G.Drawn) << Status().toStdString();
  }

  // Every number line of the problem reads back as a finite number.
  void ExpectLinesReadBack() {
    for (int line = 3; line < DataLineCount; ++line) {
      const double value = EvaluateConstant(G.DataLines[line]);
      EXPECT_TRUE(std::isfinite(value)) << G.DataLines[line];
    }
  }
};

// Dragging across p in [-1E308, 1E308] computed -1E308 + 2E308 * x / 128: the difference of the
// ends is infinite, and so was p, which went into the data file as INF.
TEST_F(ParameterRangeTest, DraggingAcrossTheWidestRangesKeepsPAndQFinite) {
  RunWithRanges("-1.7E308", "1.7E308", "-1E308", "1.79769313486231E308");
  for (const QPoint at : {QPoint(64, 64), QPoint(1, 127), QPoint(127, 1), QPoint(100, 30)}) {
    MoveMouse(Window->Parametros, at.x(), at.y(), Qt::LeftButton);
    ASSERT_EQ(G.CirclePos, (std::array<int32_t, 2>{at.x(), at.y()}));
    EXPECT_TRUE(std::isfinite(G.ParamValue[0]) && std::isfinite(G.ParamValue[1]));
    EXPECT_LE(G.ParamLow[0], G.ParamValue[0]);
    EXPECT_LE(G.ParamValue[0], G.ParamHigh[0]);
    EXPECT_LE(G.ParamLow[1], G.ParamValue[1]);
    EXPECT_LE(G.ParamValue[1], G.ParamHigh[1]);
    ExpectLinesReadBack();
  }
  // The middle of the square is the middle of the range.
  MoveMouse(Window->Parametros, 64, 64, Qt::LeftButton);
  EXPECT_EQ(G.ParamValue[0], 0.0);

  // Saved and opened again, the dragged problem reads as it was saved.
  QTemporaryDir folder;
  const QString path = folder.filePath("wide.tdr");
  Dialogs->SaveNames.push_back(path);
  Window->GuardaComo();
  ASSERT_TRUE(Dialogs->Errors.isEmpty());
  const DataLineArray saved = G.DataLines;
  const int beeps = Window->BeepCount;
  Window->OpenDataFile(path);
  EXPECT_EQ(Window->BeepCount, beeps) << Status().toStdString();
  EXPECT_EQ(G.DataLines, saved);
}

// A read that fails its checks still stores the values it evaluated, and the typed p and q are
// tested against that range: an infinite pMax let p = 1E400 through.
TEST_F(ParameterRangeTest, ATypedInfiniteValueIsOutOfEveryRange) {
  RunWithRanges("0", "2", "0", "3");
  Window->pMaxEdit->setText("1E400");
  PressDrawIt();
  ASSERT_EQ(Status(), "The minimum of 'p' must be less than its maximum");
  Window->pValueEdit->setText("1E40");
  QTest::keyClick(Window->pValueEdit, '0');
  EXPECT_EQ(Status(), "p must between bounds");
  EXPECT_EQ(G.ParamValue[0], 0.0);
  ExpectLinesReadBack();
}

} // namespace
} // namespace tandor::testing
