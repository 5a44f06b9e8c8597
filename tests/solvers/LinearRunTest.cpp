// The linear case as the Draw-It run and tandor-cli reach it: read, dispatch, compiled
// functions, drawing and sibling lookup.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "common/RecordingCanvas.h"
#include "formula/MapFunctions.h"
#include "problem/Glob.h"
#include "problem/ReadData.h"
#include "solvers/LinearCase.h"
#include "solvers/LocusRun.h"

namespace tandor {
namespace {

struct LinearWorld {
  Glob glob;
  MapFunctions map;
  LocusSolvers solvers;
  NeverStop control;

  void Read(const std::string &x, const std::string &y, const std::string &z,
            const std::string &p) {
    KeptNotices notices;
    const DataLineArray lines{x, y,  z, "-1", "1", "-1", "1", "0", "2", "0", "3.14159265358979",
                              p, "0"};
    ASSERT_EQ(ReadData(glob, map, lines, notices), 1);
  }
  Vector3 F(double u, double v) {
    Vector3 f{};
    map.EvaluateMap(f[0], f[1], f[2], u, v);
    return f;
  }
};

// The window's default problem: with sigma = v1 + v2 of a pair, v1^2 + v1 v2 + v2^2 = p and
// u = sigma^4 - p sigma^2.
TEST(LinearRun, DefaultProblemThroughTheDispatchIsHonestAndOnItsCurve) {
  for (const char *p : {"1", "0.5"}) {
    LinearWorld run;
    run.Read("u", "v(v^2 - p)", "v(u + v^4 - p v^2)", p);
    ASSERT_TRUE(run.glob.IsLinear);
    const LocusMethod method = MethodInForce(run.glob, 2);
    ASSERT_EQ(method, LocusMethod::Linear);
    run.solvers.Linear.LinearTrace.assign(3, TracePoint{}); // the previous run's result is replaced
    ASSERT_TRUE(run.solvers.Compute(method, run.glob, run.map, run.control));
    const auto &trace = run.solvers.Linear.LinearTrace;
    ASSERT_GT(trace.size(), 30u) << p;
    EXPECT_EQ(run.solvers.Solver(method)->TracePoints(), &trace);
    const double pv = run.glob.ParamValue[0];
    for (const TracePoint &r : trace) {
      const PointPair &P = r.Pair;
      const Vector3 F1 = run.F(P[0], P[1]), F2 = run.F(P[2], P[3]);
      for (int k = 0; k < 3; ++k)
        ASSERT_NEAR(F1[k], F2[k], 1e-6) << p;
      ASSERT_GT(std::hypot(P[0] - P[2], P[1] - P[3]), 2e-6);
      const double sigma = P[1] + P[3];
      EXPECT_NEAR(P[1] * P[1] + P[1] * P[3] + P[3] * P[3], pv, 1e-6);
      EXPECT_NEAR(P[0], std::pow(sigma, 4) - pv * sigma * sigma, 1e-6);
    }
  }
}

// What the window's sibling circle asks: a pixel on one track answers a pixel on the other, the
// sibling of the same stored pair.
TEST(LinearRun, SiblingOfADrawnPixelIsOnTheOtherTrack) {
  LinearWorld run;
  run.Read("u", "v(v^2 - p)", "v(u + v^4 - p v^2)", "1");
  ASSERT_TRUE(run.solvers.Compute(LocusMethod::Linear, run.glob, run.map, run.control));
  testing::RecordingCanvas canvas;
  run.glob.SiblingShown = true;
  run.solvers.Draw(LocusMethod::Linear, canvas, run.glob.PictureRect, true, run.glob);
  EXPECT_FALSE(run.glob.SiblingShown);
  ASSERT_FALSE(canvas.lines.empty());
  EXPECT_EQ(canvas.lines[0].colour, LinearLocusColour);

  const auto &trace = run.solvers.Linear.LinearTrace;
  int probed = 0;
  for (std::size_t i = 1; i < trace.size(); ++i) {
    if (trace[i].PieceStart == 1)
      continue;
    // On the 400-pixel picture of [-1, 1]^2, x = 200 (u + 1) and y = 200 (1 - v).
    const PointPair &P = trace[i].Pair;
    const int x = static_cast<int>(std::lrint(200 * (P[0] + 1)));
    const int y = static_cast<int>(std::lrint(200 * (1 - P[1])));
    if (x < 0 || x >= 400 || y < 0 || y >= 400)
      continue; // not a pixel of the picture
    int sx = 0, sy = 0;
    ASSERT_TRUE(run.solvers.FindSibling(x, y, sx, sy)) << x << ", " << y;
    // The sibling lies on the second track within a few pixels of the pair's second point.
    const double ex = 200 * (P[2] + 1), ey = 200 * (1 - P[3]);
    EXPECT_LT(std::hypot(sx - ex, sy - ey), 12.0) << x << ", " << y;
    ++probed;
  }
  EXPECT_GT(probed, 20);
  int sx = 0, sy = 0;
  EXPECT_FALSE(run.solvers.FindSibling(5, 5, sx, sy)); // a corner far from the curve
}

} // namespace
} // namespace tandor
