// The triangle method's pair loop on several threads: the same segments in the same order as one
// thread makes, a full list cut where one thread would cut it, and a stop heard at once, with
// the caller's control polled from the caller's thread only.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <thread>
#include <vector>

#include "solvers/TriangleIntersection.h"

namespace tandor {
namespace {

using Map = std::function<void(double &, double &, double &, double, double)>;

struct Problem {
  const char *name;
  Map F;
  Vector2 low, high;
};

std::vector<Problem> Problems() {
  return {
      {"fold",
       [](double &x, double &y, double &z, double u, double v) {
         x = u * u, y = v, z = u * u * u - u * v;
       },
       {-1, -1},
       {1, 1}},
      {"cross-cap",
       [](double &x, double &y, double &z, double u, double v) {
         x = u + v * v * v * v, y = v * v, z = u * v;
       },
       {-1, -1},
       {1, 1}},
      {"torus",
       [](double &x, double &y, double &z, double u, double v) {
         x = (2 + std::cos(v)) * std::cos(u), y = (2 + std::cos(v)) * std::sin(u), z = std::sin(v);
       },
       {0, 0},
       {7, 7}},
      {"klein bottle",
       [](double &x, double &y, double &z, double u, double v) {
         const double c = std::cos(u), s = std::sin(u);
         x = -2.0 / 15 * c *
             (3 * std::cos(v) - 30 * s + 90 * std::pow(c, 4) * s - 60 * std::pow(c, 6) * s +
              5 * c * std::cos(v) * s);
         y = std::sin(u) * std::cos(v) + c * s;
         z = 2.0 / 15 * (3 + 5 * c * s) * std::sin(v);
       },
       {0.2, -M_PI},
       {2.9, M_PI}},
  };
}

struct Result {
  std::vector<TLocusSegment> Segments;
  TriangleStatistics Stats;
  bool Whole;
};

Result RunPairs(const Problem &p, uint64_t seed, int threads, RunControl &control,
                int maxSegments = CalcDib::DefaultMaxSegments) {
  CalcDib dib;
  dib.SeedWith(seed);
  dib.Threads = threads;
  dib.MaxSegments = maxSegments;
  Map F = p.F;
  dib.BuildTriangles(F, p.low, p.high);
  const bool whole = dib.TestAllPairs(F, control);
  return {{dib.Segments().begin(), dib.Segments().end()}, dib.Statistics(), whole};
}

Result RunPairs(const Problem &p, uint64_t seed, int threads,
                int maxSegments = CalcDib::DefaultMaxSegments) {
  NeverStop never;
  return RunPairs(p, seed, threads, never, maxSegments);
}

TEST(TrianglesThreads, TheSameListInTheSameOrderWithAnyNumberOfThreads) {
  for (const Problem &p : Problems())
    for (const uint64_t seed : {1u, 7u, 20261209u}) {
      const Result one = RunPairs(p, seed, 1);
      ASSERT_TRUE(one.Whole);
      ASSERT_FALSE(one.Segments.empty()) << p.name;
      for (const int threads : {2, 3, 5}) {
        const Result many = RunPairs(p, seed, threads);
        EXPECT_TRUE(many.Whole);
        EXPECT_TRUE(many.Segments == one.Segments)
            << p.name << " seed " << seed << ", " << threads << " threads";
        EXPECT_EQ(many.Stats.PairsTested, one.Stats.PairsTested) << p.name;
        EXPECT_EQ(many.Stats.PairsRefined, one.Stats.PairsRefined) << p.name;
      }
    }
}

// The cap ends the list where one thread's list ends, even when a later chunk of first members
// fills it alone before an earlier one is done.
TEST(TrianglesThreads, AFullListIsCutWhereOneThreadCutsIt) {
  const std::vector<Problem> problems = Problems(); // kept: the torus lives in it
  const Problem &torus = problems[2];
  for (const int cap : {2, 101, 1000, 5001}) {
    const Result one = RunPairs(torus, 3, 1, cap);
    ASSERT_FALSE(one.Whole) << cap;
    for (const int threads : {2, 4}) {
      const Result many = RunPairs(torus, 3, threads, cap);
      EXPECT_FALSE(many.Whole);
      EXPECT_TRUE(many.Segments == one.Segments) << cap << ", " << threads << " threads";
    }
  }
}

// Polls the caller's control from the caller's thread only, and stops at the asked poll.
class StopAt final : public RunControl {
public:
  explicit StopAt(int poll) : Poll(poll) {}
  bool ProcessEventsAndCheckStop() override {
    OtherThread = OtherThread || std::this_thread::get_id() != Caller;
    return ++Polls >= Poll;
  }
  int Poll, Polls = 0;
  bool OtherThread = false;
  std::thread::id Caller = std::this_thread::get_id();
};

// How soon the helper hears the stop depends on how the threads are scheduled; what does not is
// that the caller's control is asked no more once it said stop, and from its own thread only,
// and that what is kept was found.
TEST(TrianglesThreads, AStopEndsTheRunAndKeepsOnlyWhatWasFound) {
  for (const Problem &p : Problems()) {
    const Result whole = RunPairs(p, 5, 1);
    for (const int poll : {1, 3}) {
      StopAt control(poll);
      const Result stopped = RunPairs(p, 5, 2, control);
      EXPECT_FALSE(control.OtherThread);
      EXPECT_LE(control.Polls, poll) << p.name << ": no poll after the stop";
      if (control.Polls == poll) {
        EXPECT_FALSE(stopped.Whole) << p.name;
        EXPECT_LT(stopped.Stats.PairsTested, whole.Stats.PairsTested) << p.name;
      }
      for (const TLocusSegment &s : stopped.Segments)
        EXPECT_NE(std::find(whole.Segments.begin(), whole.Segments.end(), s), whole.Segments.end());
    }
  }
}

} // namespace
} // namespace tandor
