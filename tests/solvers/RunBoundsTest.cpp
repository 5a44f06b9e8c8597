// Every run ends: walks that go round curves they have traced before end by themselves, a stop
// is seen inside the longest loops, and whatever a problem does, the work and the memory of a run
// stay within fixed caps that ordinary problems never reach.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "GradualMaps.h"
#include "solvers/DescentTracer.h"
#include "solvers/GradualDescentTracer.h"

namespace tandor {
namespace {

using testing::AnalyticMap;
using testing::MapUnderTest;

// The longest run of records from a piece start to the next.
std::size_t LongestPiece(const std::vector<TracePoint> &trace) {
  std::size_t longest = 0, length = 0;
  for (const TracePoint &t : trace) {
    length = t.PieceStart == 1 ? 1 : length + 1;
    longest = std::max(longest, length);
  }
  return longest;
}

std::size_t LastPiece(const std::vector<TracePoint> &trace) {
  std::size_t length = 0;
  for (const TracePoint &t : trace)
    length = t.PieceStart == 1 ? 1 : length + 1;
  return length;
}

bool IsPrefix(const std::vector<TracePoint> &part, const std::vector<TracePoint> &whole) {
  return part.size() <= whole.size() &&
         std::equal(part.begin(), part.end(), whole.begin(), [](const auto &a, const auto &b) {
           return a.PieceStart == b.PieceStart && a.Pair == b.Pair;
         });
}

// (u^2, v, u h) with h = (u^2 - c^2)^2 + v^2 - r^2: each point of a small ring around (c, 0)
// pairs with its mirror (-u, v), so the double pairs form one closed curve of D x D, about 2r
// across. The centre sits on edges of the gradual tracer's stall cells on [-1.5, 1.5] x [-1, 1].
class SmallRing {
public:
  explicit SmallRing(double radius) : R(radius) {}
  Vector3 F(double u, double v) const { return {u * u, v, u * H(u, v)}; }
  void operator()(double &x, double &y, double &z, double u, double v) const {
    const Vector3 f = F(u, v);
    x = f[0], y = f[1], z = f[2];
  }
  double Value(int c, double u, double v) const { return F(u, v)[c]; }
  ValueAndDerivative WithDerivative(int c, double u, double v, double du, double dv) const {
    const double w = u * u - C * C;
    const Vector2 g = c == 0   ? Vector2{2 * u, 0}
                      : c == 1 ? Vector2{0, 1}
                               : Vector2{H(u, v) + 4 * u * u * w, 2 * u * v};
    return {F(u, v)[c], du * g[0] + dv * g[1]};
  }
  static constexpr double C = 0.9677;
  const Vector2 Low{-1.5, -1}, High{1.5, 1};
  double Pixel() const { return std::hypot(3.0, 2.0) * std::sqrt(2.0) / 800; }

private:
  double H(double u, double v) const {
    const double w = u * u - C * C;
    return w * w + v * v - R * R;
  }
  double R;
};

const Vector2 TangleLow{-3, -3}, TangleHigh{3, 3};
const double TanglePixel = std::sqrt(2.0) * std::hypot(3.0, 3.0) / 400;

// Counts polls, notes the work the tracer had done at each, and asks for a stop at one.
class WatchingControl : public RunControl {
public:
  WatchingControl(const uint64_t &work, int stopAt) : Work(work), StopAt(stopAt) {}
  bool ProcessEventsAndCheckStop() override {
    WorkAtPolls.push_back(Work);
    return ++Polls == StopAt;
  }
  uint64_t LargestGap() const {
    uint64_t gap = 0;
    for (std::size_t i = 1; i < WorkAtPolls.size(); ++i)
      gap = std::max(gap, WorkAtPolls[i] - WorkAtPolls[i - 1]);
    return gap;
  }
  const uint64_t &Work;
  int StopAt;
  int Polls = 0;
  std::vector<uint64_t> WorkAtPolls;
};

// Some walks of this problem go round small closed curves of double pairs with steps shorter
// than a cell of the projection plane; they used to go round for ever, the list growing by
// some 3 MB a second. Every projection plane tried did it.
TEST(GradualBounds, WalksRoundSmallClosedCurvesEnd) {
  MapUnderTest F(testing::Tangle);
  for (uint64_t seed : {1, 2, 3}) {
    auto tracer = std::make_unique<TImplicitCurve4D>(F, F);
    tracer->SetProjectionSeed(seed);
    NeverStop never;
    tracer->TraceLocus(TangleLow, TangleHigh, 1e-5, 23, TanglePixel, never);
    // Some 7,000 to 9,000 records in 400 pieces, no piece longer than a few hundred.
    EXPECT_LT(tracer->TraceList.size(), 20'000u) << seed;
    EXPECT_LT(LongestPiece(tracer->TraceList), 500u) << seed;
    EXPECT_GT(tracer->TraceList.size(), 1'000u) << seed;
  }
}

// A ring a few cells of the projection plane across is recognised by its marked cells once the
// walk has gone round; one that fits inside a single cell never meets a marked cell, and ends
// after lingering near one place. Both went round for ever.
TEST(GradualBounds, WalksRoundRingsSmallerThanACellEnd) {
  for (double radius : {0.005, 0.001}) {
    SmallRing ring(radius);
    for (uint64_t seed : {1, 2, 3}) {
      auto tracer = std::make_unique<TImplicitCurve4D>(ring, ring);
      tracer->SetProjectionSeed(seed);
      NeverStop never;
      tracer->TraceLocus(ring.Low, ring.High, 1e-5, 23, ring.Pixel(), never);
      ASSERT_FALSE(tracer->TraceList.empty()) << radius << " " << seed;
      const std::size_t longest = LongestPiece(tracer->TraceList);
      if (radius > 0.002)
        EXPECT_LT(longest, 100u) << seed;
      else
        EXPECT_LE(longest, static_cast<std::size_t>(tracer->MaxLingeringSteps) + 1) << seed;
    }
  }
}

// With the lingering rule out of the way the walk round the tiniest ring never ends by itself:
// the step cap ends each direction, and a stop asked for during the walk ends the run there.
TEST(GradualBounds, EndlessWalksMeetTheStepCapAndHearAStop) {
  SmallRing ring(0.001);
  auto tracer = std::make_unique<TImplicitCurve4D>(ring, ring);
  tracer->SetProjectionSeed(1);
  tracer->MaxLingeringSteps = std::numeric_limits<int>::max();
  tracer->MaxStepsPerDirection = 5'000;
  NeverStop never;
  tracer->TraceLocus(ring.Low, ring.High, 1e-5, 23, ring.Pixel(), never);
  EXPECT_EQ(LongestPiece(tracer->TraceList), 5'001u);

  tracer->MaxStepsPerDirection = std::numeric_limits<int>::max();
  tracer->PollWork = 10'000;
  // The poll at which the endless walk has stored 3,000 records.
  class DeepInside : public RunControl {
  public:
    explicit DeepInside(const TImplicitCurve4D &tracer) : Tracer(tracer) {}
    bool ProcessEventsAndCheckStop() override {
      ++Polls;
      return Tracer.TraceList.size() > 3'000;
    }
    const TImplicitCurve4D &Tracer;
    int Polls = 0;
  } deep(*tracer);
  tracer->TraceLocus(ring.Low, ring.High, 1e-5, 23, ring.Pixel(), deep);
  for (int stopAt : {deep.Polls, deep.Polls + 3}) {
    WatchingControl control(tracer->Evaluations, stopAt);
    tracer->TraceLocus(ring.Low, ring.High, 1e-5, 23, ring.Pixel(), control);
    EXPECT_EQ(control.Polls, stopAt);
    EXPECT_EQ(tracer->Evaluations, control.WorkAtPolls.back()) << "nothing evaluated after";
    EXPECT_LE(control.LargestGap(), 10'000u + 10'000u);
    EXPECT_GT(LastPiece(tracer->TraceList), 2'000u) << "stopped inside the endless walk";
  }
}

template <class Tracer> void Trace(Tracer &tracer, MapUnderTest &F, RunControl &control) {
  if constexpr (std::is_same_v<Tracer, TTandorR2R3>)
    tracer.TraceLocus(F, TangleLow, 1e-5, TangleHigh, 23, 200, TanglePixel, control);
  else
    tracer.TraceLocus(TangleLow, TangleHigh, 1e-5, 23, TanglePixel, control);
}

template <class Tracer> std::unique_ptr<Tracer> MakeTracer(MapUnderTest &F) {
  auto tracer = std::make_unique<Tracer>();
  if constexpr (std::is_same_v<Tracer, TImplicitCurve4D>) {
    tracer->BindEvaluators(F, F);
    tracer->SetProjectionSeed(2);
  }
  return tracer;
}

template <class Tracer> class PairTracerBounds : public ::testing::Test {};
using PairTracers = ::testing::Types<TTandorR2R3, TImplicitCurve4D>;
TYPED_TEST_SUITE(PairTracerBounds, PairTracers);

// The caps lie far above ordinary problems, so they change nothing there.
TYPED_TEST(PairTracerBounds, OrdinaryProblemsStayFarBelowTheCaps) {
  const std::pair<const AnalyticMap *, Vector2> problems[] = {{&testing::CrossCap, {1, 1}},
                                                              {&testing::Fold, {1, 1}},
                                                              {&testing::Rings, {1.5, 1}},
                                                              {&testing::Tangle, {3, 3}}};
  for (const auto &[map, high] : problems) {
    MapUnderTest F(*map);
    auto tracer = MakeTracer<TypeParam>(F);
    const Vector2 low{-high[0], -high[1]};
    NeverStop never;
    const double pixel = std::hypot(2 * high[0], 2 * high[1]) * std::sqrt(2.0) / 800;
    if constexpr (std::is_same_v<TypeParam, TTandorR2R3>)
      tracer->TraceLocus(F, low, 1e-5, high, 23, 200, pixel, never);
    else
      tracer->TraceLocus(low, high, 1e-5, 23, pixel, never);
    EXPECT_LT(tracer->TraceList.size(), tracer->MaxRecords / 20) << map->Name;
    EXPECT_LT(LongestPiece(tracer->TraceList),
              static_cast<std::size_t>(tracer->MaxStepsPerDirection / 100))
        << map->Name;
  }
}

// A full trace ends the run as a stop would: what was stored is the beginning of the whole
// result. A direction that reaches its step cap ends as if its next step had failed.
TYPED_TEST(PairTracerBounds, CapsEndTheRunOrTheDirection) {
  MapUnderTest F(testing::Tangle);
  auto tracer = MakeTracer<TypeParam>(F);
  NeverStop never;
  Trace(*tracer, F, never);
  const std::vector<TracePoint> whole = tracer->TraceList;
  ASSERT_GT(LongestPiece(whole), 20u);

  tracer->MaxRecords = 1'000;
  Trace(*tracer, F, never);
  EXPECT_EQ(tracer->TraceList.size(), 1'000u);
  EXPECT_TRUE(IsPrefix(tracer->TraceList, whole));

  tracer->MaxRecords = 1'000'000;
  tracer->MaxStepsPerDirection = 7;
  Trace(*tracer, F, never);
  EXPECT_EQ(LongestPiece(tracer->TraceList), 8u);
}

// Besides the sweep's own polls, long walks poll as their work grows, so no more than a poll's
// worth of work and one step pass between two polls; a stop seen anywhere ends the run at once:
// nothing more is evaluated or stored.
TYPED_TEST(PairTracerBounds, LongWalksPollAndAStopEndsThemAtOnce) {
  MapUnderTest F(testing::Tangle);
  auto tracer = MakeTracer<TypeParam>(F);
  tracer->PollWork = 2'000;
  WatchingControl all(tracer->Evaluations, 0);
  Trace(*tracer, F, all);
  const std::vector<TracePoint> whole = tracer->TraceList;
  const int sweepPolls = (139'656 + 5) / 30;
  EXPECT_GT(all.Polls, sweepPolls + 100);
  // a step: a tangent and up to 8 (Descent) or 20 (Gradual) corrector runs
  EXPECT_LT(all.LargestGap(), 2'000u + 15'000u);

  for (int stopAt : {50, 500, 1'500}) {
    WatchingControl control(tracer->Evaluations, stopAt);
    Trace(*tracer, F, control);
    EXPECT_EQ(control.Polls, stopAt);
    EXPECT_EQ(tracer->Evaluations, control.WorkAtPolls.back()) << stopAt;
    EXPECT_LT(tracer->TraceList.size(), whole.size()) << stopAt;
    EXPECT_TRUE(IsPrefix(tracer->TraceList, whole)) << stopAt;
  }
}

} // namespace
} // namespace tandor
