// How long a move in the parameter square takes until the picture is repainted. A measurement,
// not a test: it asserts nothing about time and runs only when asked for
// (--gtest_also_run_disabled_tests).

#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>

#include "WindowFixture.h"

namespace tandor::testing {
namespace {

struct TimedProblem {
  const char *name;
  const char *x;
  const char *y;
  const char *z;
};

class DragTiming : public WindowTest, public ::testing::WithParamInterface<TimedProblem> {};

TEST_P(DragTiming, DISABLED_MedianOfAHundredMoves) {
  const TimedProblem &p = GetParam();
  SetProblem(p.x, p.y, p.z);
  PressDrawIt();
  ASSERT_TRUE(G.Drawn);
  std::vector<double> ms;
  for (int k = 0; k < 100; ++k) {
    const int x = 14 + k, y = 64 + (k % 2 == 0 ? 0 : 1);
    const uint64_t before = Map.Evaluations;
    QElapsedTimer clock;
    clock.start();
    MoveMouse(Window->Parametros, x, y, Qt::LeftButton); // returns once the picture is repainted
    ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    ASSERT_GT(Map.Evaluations, before);
  }
  // The method alone, without the window, for the share of the window's own work.
  std::vector<double> solverMs;
  NeverStop never;
  for (int k = 0; k < 100; ++k) {
    QElapsedTimer clock;
    clock.start();
    Locus.Compute(LocusMethod::Descent, G, Map, never);
    solverMs.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
  }
  std::sort(ms.begin(), ms.end());
  std::sort(solverMs.begin(), solverMs.end());
  std::printf("drag timing %-6s median %.2f ms (min %.2f, max %.2f) over 100 moves; "
              "the method alone: median %.2f ms\n",
              p.name, ms[50], ms.front(), ms.back(), solverMs[50]);
}

INSTANTIATE_TEST_SUITE_P(Window, DragTiming,
                         ::testing::Values(TimedProblem{"fold", "u^2", "v", "u^3 - p u v"},
                                           TimedProblem{"wavy", "u^2 + sin(3v)", "v^3 - p u",
                                                        "uv + cos(2u v)"}),
                         [](const ::testing::TestParamInfo<TimedProblem> &info) {
                           return std::string(info.param.name);
                         });

} // namespace
} // namespace tandor::testing
