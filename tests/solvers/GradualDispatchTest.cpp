// "Gradual Descent" through the run's method dispatch, on compiled formulas.

#include <gtest/gtest.h>

#include <memory>

#include "common/RecordingCanvas.h"
#include "problem/ReadData.h"
#include "solvers/Kernels.h"
#include "solvers/LocusRun.h"

namespace tandor {
namespace {

TEST(GradualDispatch, MethodOneTracesTheCompiledFoldAndDrawsItInMagenta) {
  auto glob = std::make_unique<Glob>();
  auto map = std::make_unique<MapFunctions>();
  KeptNotices notices;
  const DataLineArray fold{"u^2", "v", "u^3 - u v", "-1", "1",   "-1", "1",
                           "0",   "1", "0",         "1",  "0.5", "0.5"};
  ASSERT_EQ(ReadData(*glob, *map, fold, notices), 1);
  ASSERT_EQ(MethodInForce(*glob, 1), LocusMethod::Gradual);
  EXPECT_STREQ(MethodName(LocusMethod::Gradual), "gradual");

  auto solvers = std::make_unique<LocusSolvers>();
  NeverStop never;
  ASSERT_TRUE(solvers->Compute(LocusMethod::Gradual, *glob, *map, never));
  const std::vector<TracePoint> *trace = solvers->Solver(LocusMethod::Gradual)->TracePoints();
  ASSERT_NE(trace, nullptr);
  ASSERT_GT(trace->size(), 20u);
  for (const TracePoint &t : *trace) {
    Vector3 f1, f2;
    map->EvaluateMap(f1[0], f1[1], f1[2], t.Pair[0], t.Pair[1]);
    map->EvaluateMap(f2[0], f2[1], f2[2], t.Pair[2], t.Pair[3]);
    EXPECT_LT(Distance3(f1, f2), 1e-5);
    EXPECT_NEAR(t.Pair[1], t.Pair[0] * t.Pair[0], 1e-5); // on v = u^2
  }

  testing::RecordingCanvas canvas;
  solvers->Draw(LocusMethod::Gradual, canvas, {0, 0, 400, 400}, true, *glob);
  ASSERT_FALSE(canvas.lines.empty());
  for (const auto &l : canvas.lines)
    EXPECT_EQ(l.colour, (Rgb{255, 0, 255}));
  // The sibling of a drawn point is its mirror image in u = 0.
  const auto &l = canvas.lines[canvas.lines.size() / 2];
  int sx = 0, sy = 0;
  ASSERT_TRUE(solvers->FindSibling(l.x1, l.y1, sx, sy));
  EXPECT_NEAR(sx, 400 - l.x1, 6);
  EXPECT_NEAR(sy, l.y1, 6);
}

} // namespace
} // namespace tandor
