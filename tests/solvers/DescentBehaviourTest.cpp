#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <random>

#include "solvers/DescentTracer.h"
#include "solvers/Kernels.h"

namespace tandor {
namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();
const Vector2 Low{-1, -1}, High{1, 1};
constexpr double Pixel = 0.005;

struct CrossCap {
  long evaluations = 0;
  void operator()(double &x, double &y, double &z, double u, double v) {
    ++evaluations;
    x = u;
    y = v * v;
    z = u * v;
  }
};

// The protected steps of the shared pair tracer, opened for the tests.
struct Probe : TTandorR2R3 {
  using PairTracer::FillSampleTable;
  using PairTracer::InsidePairDomain;
  using PairTracer::NearestSamplePair;
  using PairTracer::PrepareCells;
  using PairTracer::PrepareThresholds;
  using PairTracer::SweepCellPairs;
};

class StopAtPoll : public RunControl {
public:
  explicit StopAtPoll(int stopAt) : StopAt(stopAt) {}
  bool ProcessEventsAndCheckStop() override { return ++Polls >= StopAt; }
  int StopAt, Polls = 0;
};

TEST(DescentPreparation, CoarseCountIsClampedAndTheGridSpansD) {
  const struct { int asked, used; } cases[] = {{5, 11}, {23, 23}, {40, 31}, {-7, 11}};
  for (const auto &c : cases) {
    auto probe = std::make_unique<Probe>();
    probe->PrepareCells(Low, High, c.asked, Pixel);
    EXPECT_EQ(probe->CoarseCount, c.used);
    for (int i = 0; i < 4; ++i)
      EXPECT_NEAR(probe->CoarseGrid[i][c.used], 1.0, 1e-12);
    EXPECT_DOUBLE_EQ(probe->MaxStep, 10 * Pixel);
    EXPECT_DOUBLE_EQ(probe->MinStep, Pixel / 10);
    EXPECT_DOUBLE_EQ(probe->StepLength, 5 * Pixel);
    EXPECT_DOUBLE_EQ(probe->SampleOffsets[5][0], probe->CellWidth[0] / 2); // a = 2, b = 3
    EXPECT_DOUBLE_EQ(probe->SampleOffsets[5][1], probe->CellWidth[1] * 5 / 6);
  }
}

TEST(DescentPreparation, MeanImageNormDampsWildValues) {
  auto probe = std::make_unique<Probe>();
  probe->PrepareCells(Low, High, 23, Pixel);
  long calls = 0;
  auto constant = [&calls](double &x, double &y, double &z, double, double) {
    ++calls;
    x = 3;
    y = 4;
    z = 0;
  };
  probe->PrepareThresholds(constant, 1e-5);
  EXPECT_EQ(calls, 225);
  // The first value (5) is more than 50 times the start sum 1e-15, so it only doubles it; the
  // doubling goes on until 50 m reaches 5, and then the values add up.
  double m = 1e-15;
  for (int k = 0; k < 225; ++k)
    m = 50 * m >= 5 ? m + 5 : 2 * m;
  EXPECT_DOUBLE_EQ(probe->MeanImageNorm, m / 225);
  EXPECT_DOUBLE_EQ(probe->CatchThreshold, m / 2250);
  EXPECT_DOUBLE_EQ(probe->ResidualTolerance, std::min(m / 225 * 1e-5, 1e-6));

  auto nan = [](double &x, double &y, double &z, double, double) { x = y = z = NaN; };
  probe->PrepareThresholds(nan, 1e-5);
  EXPECT_TRUE(std::isfinite(probe->MeanImageNorm));
}

TEST(DescentPairDomain, StrictlyInsideAndInPairOrder) {
  auto probe = std::make_unique<Probe>();
  probe->PrepareCells(Low, High, 23, Pixel);
  const struct {
    PointPair x;
    bool inside;
  } cases[] = {
      {{0, -0.5, 0, 0.5}, true},      {{0, 0.5, 0, -0.5}, false}, // v2 < v1
      {{-0.5, 0.2, 0.5, 0.2}, true},  // same height, sibling to the right
      {{0.5, 0.2, -0.5, 0.2}, false}, // same height, sibling to the left
      {{0, 0.2, 0.004, 0.2}, false},  // within a pixel
      {{0, 0.2, 0.0051, 0.2}, true},  // just beyond a pixel to the right
      {{0, 0.2, 0.0, 0.2049}, false}, // higher, but within a pixel and not to the right
      {{0, 0.2, 0.1, 0.2049}, true},  // ... unless far enough to the right
      {{0, 0.2, 0.0, 0.2051}, true},  // more than a pixel higher
      {{-1, -0.5, 0, 0.5}, false},    // on the edge of D
      {{0, -0.5, 0, 1}, false},       // on the edge of D
      {{NaN, -0.5, 0, 0.5}, false},   {{0, -0.5, 0, Inf}, false},
  };
  for (const auto &c : cases)
    EXPECT_EQ(probe->InsidePairDomain(c.x), c.inside)
        << c.x[0] << " " << c.x[1] << " " << c.x[2] << " " << c.x[3];
}

TEST(DescentSweep, VisitsEachUnorderedCellPairOnceAndPollsAtEveryThirtieth) {
  auto probe = std::make_unique<Probe>();
  probe->PrepareCells(Low, High, 23, Pixel);
  long visits = 0;
  NeverStop never;
  EXPECT_TRUE(probe->SweepCellPairs(5, never, [&](const PairTracer::CellTuple &c) {
    ++visits;
    EXPECT_TRUE(c[3] > c[1] || (c[3] == c[1] && c[2] > c[0]));
  }));
  EXPECT_EQ(visits, 139656); // n^2 (n^2 - 1) / 2 for n = 23

  // The counter starts at 5: the first poll comes before the 25th visit, then every 30th.
  const struct {
    int stopAt;
    long visits;
  } stops[] = {{1, 24}, {2, 54}, {3, 84}};
  for (const auto &s : stops) {
    StopAtPoll control(s.stopAt);
    visits = 0;
    EXPECT_FALSE(probe->SweepCellPairs(5, control, [&](const auto &) { ++visits; }));
    EXPECT_EQ(visits, s.visits);
    EXPECT_EQ(control.Polls, s.stopAt);
  }
}

// The catch as the method describes it, without any shortcut.
bool ReferenceCatch(const Probe &p, const PairTracer::CellTuple &cells, PointPair &x0) {
  const auto [a, b, c, d] = cells;
  double best = p.CatchThreshold;
  int bi = -1, bj = -1;
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 9; ++j) {
      const double e = Distance3(p.SampleTable[a][b][i], p.SampleTable[c][d][j]);
      if (e < best) {
        best = e;
        bi = i;
        bj = j;
      }
    }
  if (bi < 0)
    return false;
  x0 = {p.CoarseGrid[0][a] + p.SampleOffsets[bi][0], p.CoarseGrid[1][b] + p.SampleOffsets[bi][1],
        p.CoarseGrid[0][c] + p.SampleOffsets[bj][0], p.CoarseGrid[1][d] + p.SampleOffsets[bj][1]};
  return true;
}

TEST(DescentCatch, TheShortcutsFindExactlyTheSamePairs) {
  auto probe = std::make_unique<Probe>();
  std::mt19937_64 random(12345);
  std::uniform_real_distribution<double> unit(-1, 1);
  for (int round = 0; round < 20; ++round) {
    probe->PrepareCells(Low, High, 11, Pixel);
    // Images on a coarse lattice make many distances tie exactly or sit on the threshold.
    long calls = 0;
    auto map = [&](double &x, double &y, double &z, double, double) {
      ++calls;
      x = std::round(unit(random) * 4) / 8;
      y = std::round(unit(random) * 4) / 8;
      z = round % 3 == 0 ? unit(random) : 0.0;
      if (calls % 97 == 0)
        x = NaN;
      if (calls % 89 == 0)
        y = -Inf;
    };
    probe->PrepareThresholds(map, 1e-5);
    probe->CatchThreshold = round % 2 == 0 ? 0.125 : std::abs(unit(random)) * 0.3;
    probe->FillSampleTable(map);
    for (int a = 0; a < 11; ++a)
      for (int b = 0; b < 11; ++b)
        for (int c = 0; c < 11; ++c)
          for (int d = b; d < 11; ++d) {
            PointPair mine{}, reference{};
            const bool caught = probe->NearestSamplePair({a, b, c, d}, mine);
            ASSERT_EQ(caught, ReferenceCatch(*probe, {a, b, c, d}, reference));
            if (caught) {
              ASSERT_EQ(mine, reference);
            }
          }
  }
}

TEST(DescentCatch, ATableFilledByHandIsNotJudgedByOldBounds) {
  auto probe = std::make_unique<Probe>();
  auto far = [](double &x, double &y, double &z, double u, double v) {
    x = 100 * u;
    y = 100 * v;
    z = 0;
  };
  probe->PrepareCells(Low, High, 11, Pixel);
  probe->PrepareThresholds(far, 1e-5);
  probe->FillSampleTable(far);
  probe->PrepareCells(Low, High, 11, Pixel);
  for (auto &row : probe->SampleTable)
    for (auto &cell : row)
      cell.fill({1, 2, 3});
  PointPair mine{}, reference{};
  ASSERT_TRUE(probe->NearestSamplePair({0, 0, 10, 10}, mine));
  ASSERT_TRUE(ReferenceCatch(*probe, {0, 0, 10, 10}, reference));
  EXPECT_EQ(mine, reference);
}

TEST(DescentCatch, AFarCellPairCostsNoEvaluation) {
  CrossCap F;
  auto tracer = std::make_unique<TTandorR2R3>();
  NeverStop never;
  tracer->TraceLocus(F, Low, 1e-5, High, 23, 200, Pixel, never);
  const long before = F.evaluations;
  PointPair x0{};
  EXPECT_FALSE(tracer->CatchPair({0, 0, 22, 22}, x0));
  EXPECT_EQ(F.evaluations, before);
  // A pair of cells mirrored in v = 0 on the line u = 0 catches a double point.
  EXPECT_TRUE(tracer->CatchPair({11, 3, 11, 19}, x0));
  EXPECT_NEAR(x0[0], 0, 1e-6);
  EXPECT_NEAR(x0[2], 0, 1e-6);
  EXPECT_NEAR(x0[1], -x0[3], 1e-6);
}

TEST(DescentCorrector, ANonFiniteResidualIsNeverConvergence) {
  const struct {
    const char *name;
    double value;
  } values[] = {{"NaN", NaN}, {"infinity", Inf}};
  for (const auto &bad : values) {
    auto map = [&](double &x, double &y, double &z, double, double) { x = y = z = bad.value; };
    auto tracer = std::make_unique<TTandorR2R3>();
    NeverStop never;
    tracer->TraceLocus(map, Low, 1e-5, High, 23, 200, Pixel, never);
    EXPECT_TRUE(tracer->TraceList.empty()) << bad.name;
    PointPair x{};
    EXPECT_FALSE(tracer->DescendToLocus({0, -0.5, 0, 0.5}, x)) << bad.name;
  }
}

TEST(DescentCorrector, PairsNextToUndefinedGroundAreStillHonest) {
  // The cross-cap, undefined where u > 0.3 (as a guarded formula might answer).
  auto map = [](double &x, double &y, double &z, double u, double v) {
    x = u > 0.3 ? NaN : u;
    y = v * v;
    z = u * v;
  };
  auto tracer = std::make_unique<TTandorR2R3>();
  NeverStop never;
  tracer->TraceLocus(map, Low, 1e-5, High, 23, 200, Pixel, never);
  ASSERT_FALSE(tracer->TraceList.empty());
  for (const TracePoint &t : tracer->TraceList) {
    for (double c : t.Pair)
      ASSERT_TRUE(std::isfinite(c));
    EXPECT_NEAR(t.Pair[0], 0, 1e-6);
    EXPECT_NEAR(t.Pair[1], -t.Pair[3], 1e-6);
  }
}

TEST(DescentCorrector, AdaptsTheStepOnlyAfterAWalk) {
  CrossCap F;
  auto tracer = std::make_unique<TTandorR2R3>();
  NeverStop never;
  tracer->TraceLocus(F, Low, 1e-5, High, 23, 200, Pixel, never);
  const double maxStep = tracer->MaxStep, minStep = tracer->MinStep;
  const PointPair onLocus{0, -0.5, 0, 0.5}, nearLocus{0.01, -0.5, -0.01, 0.52};
  const struct {
    const char *what;
    PointPair start;
    double step, residualTolerance; // before the descent; a negative tolerance keeps the own
    bool converges;
    double stepAfter;
  } cases[] = {
      {"already within tolerance: the step is kept", onLocus, 0.0123, -1, true, 0.0123},
      {"a walk of no length", onLocus, 0.0123, 0, true, maxStep},
      {"a long step against a short walk", nearLocus, 1, -1, true, maxStep},
      {"a short step against a long walk", nearLocus, 1e-4, -1, true, minStep},
      // With no tolerance at all the walk ends at its first correction not longer than MinStep.
      {"a correction below MinStep ends the walk", nearLocus, 1, 0, true, maxStep},
      {"a start outside D", {0, -0.5, 0, 1.5}, 0.0123, -1, false, 0.0123},
  };
  const double ownTolerance = tracer->ResidualTolerance;
  for (const auto &k : cases) {
    tracer->ResidualTolerance = k.residualTolerance < 0 ? ownTolerance : k.residualTolerance;
    tracer->StepLength = k.step;
    PointPair x{};
    EXPECT_EQ(tracer->DescendToLocus(k.start, x), k.converges) << k.what;
    EXPECT_EQ(tracer->StepLength, k.stepAfter) << k.what;
    if (k.converges) {
      EXPECT_NEAR(x[0], 0, 1e-6) << k.what;
      EXPECT_NEAR(x[1], -x[3], 1e-6) << k.what;
    }
  }
}

TEST(DescentTrace, EveryCatchStoresItsPairTwiceAsPieceStarts) {
  CrossCap F;
  auto tracer = std::make_unique<TTandorR2R3>();
  NeverStop never;
  tracer->TraceLocus(F, Low, 1e-5, High, 23, 200, Pixel, never);
  std::vector<std::size_t> starts;
  const auto &list = tracer->TraceList;
  for (std::size_t i = 0; i < list.size(); ++i)
    if (list[i].PieceStart == 1)
      starts.push_back(i);
  ASSERT_FALSE(starts.empty());
  ASSERT_EQ(starts.size() % 2, 0u);
  for (std::size_t k = 0; k < starts.size(); k += 2) {
    EXPECT_EQ(list[starts[k]].Pair, list[starts[k + 1]].Pair);
    // The two directions walk away from the caught pair on opposite sides.
    const std::size_t one = starts[k] + 1, other = starts[k + 1] + 1;
    if (one < starts[k + 1] && other < list.size() && list[other].PieceStart == 0) {
      const double d1 = list[one].Pair[1] - list[starts[k]].Pair[1];
      const double d2 = list[other].Pair[1] - list[starts[k]].Pair[1];
      EXPECT_LT(d1 * d2, 0);
    }
  }
  EXPECT_EQ(tracer->TraceHigh(), static_cast<int>(list.size()) - 1);
}

TEST(DescentSegments, BoxesAreMetOnlyByRealOverlap) {
  auto tracer = std::make_unique<TTandorR2R3>();
  CrossCap F;
  NeverStop never;
  tracer->TraceLocus(F, Low, 1e-5, High, 11, 200, Pixel, never);
  for (auto &column : tracer->ColumnBoxes)
    column.clear();
  // Columns are 200 per unit of u: u1 = 0.1 is column 220, 0.12 column 224.
  const PointPair a{0.1, 0.1, 0.5, 0.5}, b{0.12, 0.2, 0.6, 0.6};
  EXPECT_FALSE(tracer->SegmentSeen(a, b, true));
  for (int column = 220; column <= 224; ++column)
    EXPECT_EQ(tracer->ColumnBoxes[column].size(), 1u) << column;
  EXPECT_TRUE(tracer->ColumnBoxes[219].empty());
  EXPECT_TRUE(tracer->ColumnBoxes[225].empty());

  const struct {
    PointPair from, to;
    bool seen;
    const char *what;
  } cases[] = {
      {b, {0.14, 0.3, 0.7, 0.7}, false, "the next segment touches only in the shared end"},
      {{0.11, 0.15, 0.55, 0.55}, {0.115, 0.16, 0.56, 0.56}, true, "inside the box"},
      {{0.11, 0.15, 0.55, 0.55},
       {0.115, 0.16, 0.56, 0.65},
       true,
       "overlapping in every coordinate"},
      {{0.11, 0.15, 0.55, 0.65}, {0.115, 0.16, 0.56, 0.7}, false, "beyond the box in v2"},
      {{0.3, 0.15, 0.55, 0.55}, {0.31, 0.16, 0.56, 0.56}, false, "other pixel columns"},
      {{0.125, 0.2, 0.6, 0.6}, {0.115, 0.15, 0.55, 0.55}, true, "turning back into the box"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(tracer->SegmentSeen(c.from, c.to, false), c.seen) << c.what;
  for (int column = 220; column <= 224; ++column)
    EXPECT_EQ(tracer->ColumnBoxes[column].size(), 1u) << "nothing recorded without record";
}

TEST(DescentPredictor, AStepThatLandsOnTheLocusShrinksTheStepByFourPercent) {
  CrossCap F;
  auto tracer = std::make_unique<TTandorR2R3>();
  NeverStop never;
  tracer->TraceLocus(F, Low, 1e-5, High, 23, 200, Pixel, never);
  // On the cross-cap the locus of pairs is the straight line (0, -t, 0, t): the predicted point
  // is already on it, so the corrector returns at once without adapting the step.
  const PointPair x{0, -0.3, 0, 0.3};
  Vector4 t{0, -1, 0, 1};
  PointPair y{};
  tracer->StepLength = 0.02;
  ASSERT_TRUE(tracer->PredictStep(x, t, y));
  EXPECT_DOUBLE_EQ(tracer->StepLength, 0.02 * 1.2 * 0.8);
  EXPECT_NEAR(y[1], -0.3 - 0.0192 / std::sqrt(2.0), 1e-9);
  EXPECT_NEAR(y[3], 0.3 + 0.0192 / std::sqrt(2.0), 1e-9);
  EXPECT_NEAR(t[3], 0.0192 / std::sqrt(2.0), 1e-9) << "t becomes the chord";
  // The opposite orientation walks the other way.
  Vector4 back{0, 1, 0, -1};
  ASSERT_TRUE(tracer->PredictStep(x, back, y));
  EXPECT_GT(y[1], -0.3);
}

} // namespace
} // namespace tandor
