// The triangle method as the Draw-It run and tandor-cli reach it: compiled formulas, the
// problem's domain, no sibling display.
#include <gtest/gtest.h>

#include <string>

#include "common/RecordingCanvas.h"
#include "solvers/LocusRun.h"

namespace tandor {
namespace {

TEST(TrianglesDispatch, ComputesDrawsAndHasNoSiblings) {
  Glob glob;
  glob.DomainLow = {-1, -1};
  glob.DomainHigh = {1, 1};
  glob.IsLinear = false;
  MapFunctions map;
  const char *formulas[3] = {"u^2", "v", "u^3-u*v"};
  for (int c = 0; c < 3; ++c) {
    bool linear = c == 0;
    std::string message;
    map[c].Compile(formulas[c], "uv", "pq", linear, message);
    ASSERT_EQ(message, "");
  }
  EXPECT_EQ(MethodInForce(glob, 2), LocusMethod::Triangles);
  LocusSolvers solvers;
  ASSERT_TRUE(solvers.Available(LocusMethod::Triangles));
  NeverStop never;
  ASSERT_TRUE(solvers.Compute(LocusMethod::Triangles, glob, map, never));
  const LocusMethodSolver &solver = *solvers.Solver(LocusMethod::Triangles);
  EXPECT_EQ(solver.TracePoints(), nullptr);
  ASSERT_GT(solver.SegmentCount(), 100u);
  for (std::size_t i = 0; i < solver.SegmentCount(); ++i) {
    const Vector4 s = solver.Segment(i);
    EXPECT_NEAR(s[1], s[0] * s[0], 0.01); // on v = u^2
    EXPECT_NEAR(s[3], s[2] * s[2], 0.01);
  }
  // The picture: filled, then one green line and one end pixel per segment.
  testing::RecordingCanvas canvas;
  solvers.Draw(LocusMethod::Triangles, canvas, {0, 0, 400, 400}, true, glob);
  EXPECT_EQ(canvas.fills.size(), 1u);
  EXPECT_EQ(canvas.lines.size(), solver.SegmentCount());
  EXPECT_EQ(canvas.pixels.size(), solver.SegmentCount());
  EXPECT_EQ(canvas.lines.front().colour, (Rgb{0, 128, 0}));
  int siblingX = -7, siblingY = -7;
  for (int y : {0, 100, 200, 399})
    for (int x : {0, 200, 399})
      EXPECT_FALSE(solvers.FindSibling(x, y, siblingX, siblingY));
}

} // namespace
} // namespace tandor
