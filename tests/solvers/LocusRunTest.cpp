#include <gtest/gtest.h>

#include <string>

#include "common/FoldProblem.h"
#include "common/RecordingCanvas.h"
#include "solvers/LocusRun.h"

namespace tandor {
namespace {

TEST(LocusRun, TheMethodInForce) {
  Glob glob;
  const struct {
    bool linear;
    int method;
    LocusMethod expected;
    const char *name;
  } cases[] = {
      {false, 0, LocusMethod::Descent, "descent"},     {false, 1, LocusMethod::Gradual, "gradual"},
      {false, 2, LocusMethod::Triangles, "triangles"}, {false, 3, LocusMethod::None, "none"},
      {false, -1, LocusMethod::None, "none"},          {true, 0, LocusMethod::Linear, "linear"},
      {true, 2, LocusMethod::Linear, "linear"},
  };
  for (const auto &c : cases) {
    glob.IsLinear = c.linear;
    EXPECT_EQ(MethodInForce(glob, c.method), c.expected) << c.method;
    EXPECT_EQ(std::string(MethodName(c.expected)), c.name);
  }
}

TEST(LocusRun, DescentComputesDrawsAndAnswersTheSiblingDisplay) {
  Glob glob;
  MapFunctions map;
  testing::SetUpFold(glob, map);

  LocusSolvers solvers;
  solvers.Linear.LinearTrace.resize(3);
  NeverStop never;
  ASSERT_TRUE(solvers.Available(LocusMethod::Descent));
  EXPECT_FALSE(solvers.Available(LocusMethod::None));
  EXPECT_FALSE(solvers.Compute(LocusMethod::None, glob, map, never));
  EXPECT_TRUE(solvers.Linear.LinearTrace.empty()) << "every run empties the linear trace";
  EXPECT_EQ(map.Evaluations, 0u);

  ASSERT_TRUE(solvers.Compute(LocusMethod::Descent, glob, map, never));
  EXPECT_EQ(solvers.LastMethod, LocusMethod::Descent);
  EXPECT_GT(map.Evaluations, 4986u);
  const auto *trace = solvers.Solver(LocusMethod::Descent)->TracePoints();
  ASSERT_NE(trace, nullptr);
  ASSERT_FALSE(trace->empty());

  testing::RecordingCanvas canvas;
  solvers.Draw(LocusMethod::Descent, canvas, glob.PictureRect, true, glob);
  ASSERT_FALSE(canvas.lines.empty());
  EXPECT_EQ(canvas.lines[0].colour, (Rgb{0, 0, 255}));
  // The first halves of a drawn step have their sibling at the mirror image in u = 0.
  const auto &line = canvas.lines[0];
  int x = 0, y = 0;
  ASSERT_TRUE(solvers.FindSibling(line.x2, line.y2, x, y));
  EXPECT_NEAR(x, 400 - line.x2, 6);
  EXPECT_NEAR(y, line.y2, 6);
}

} // namespace
} // namespace tandor
