// The gradual-descent tracer's parts: exact gradients, the pair order, the corrector's rules, the
// grid of traced ground and the predictor.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "GradualMaps.h"
#include "solvers/GradualDescentTracer.h"
#include "solvers/Kernels.h"

namespace tandor {
namespace {

using testing::AnalyticMap;
using testing::MapUnderTest;
using Outcome = TImplicitCurve4D::DescentOutcome;
constexpr double Pixel = 2.0 * 2.0 / 800.0; // diagonal * sqrt(2) / 800 on [-1, 1]^2

// A tracer prepared on [-1, 1]^2 with 23 cells over a test map.
struct Prepared : TImplicitCurve4D {
  using PairTracer::InsidePairDomain;
  static std::unique_ptr<Prepared> On(MapUnderTest &F, double tolerance = 1e-5) {
    auto t = std::make_unique<Prepared>();
    t->BindEvaluators(F, F);
    t->SetProjectionSeed(7);
    t->Prepare({-1, -1}, {1, 1}, tolerance, 23, Pixel);
    return t;
  }
};

TEST(GradualResidual, GradientRowMatchesCentralDifferences) {
  const struct {
    const AnalyticMap *map;
    PointPair x;
  } cases[] = {
      {&testing::Fold, {0.3, -0.2, -0.5, 0.4}},     {&testing::Fold, {-0.7, 0.45, 0.7, 0.5}},
      {&testing::CrossCap, {0.1, -0.6, -0.2, 0.5}}, {&testing::CrossCap, {0.8, 0.9, -0.9, -0.3}},
      {&testing::Rings, {-1.1, 0.2, 1.05, 0.3}},    {&testing::Rings, {0.4, -0.7, 0.5, 0.6}},
  };
  for (const auto &k : cases) {
    MapUnderTest F(*k.map);
    auto t = Prepared::On(F);
    const auto J = t->AnalyticJacobian(k.x);
    for (int c = 0; c < 3; ++c)
      for (int i = 0; i < 4; ++i) {
        PointPair plus = k.x, minus = k.x;
        plus[i] += 1e-6;
        minus[i] -= 1e-6;
        const double difference =
            (t->ResidualComponent(c, plus) - t->ResidualComponent(c, minus)) / 2e-6;
        EXPECT_NEAR(J[c][i], difference, 1e-7 * (1 + std::fabs(difference)))
            << k.map->Name << " c=" << c << " i=" << i;
      }
  }
}

TEST(GradualResidual, HalvesCloserThan1e8GiveOnesAndZeroGradientsWithoutEvaluating) {
  MapUnderTest F(testing::Fold);
  auto t = Prepared::On(F);
  F.ValueCalls = F.DerivativeCalls = 0;
  const PointPair x{0.2, 0.1, 0.2 + 5e-9, 0.1};
  int index = -1;
  double largest = 0, norm = 0;
  t->LargestResidual(x, index, largest, norm);
  EXPECT_EQ(index, 0); // ties keep the lowest index
  EXPECT_EQ(largest, 1.0);
  EXPECT_DOUBLE_EQ(norm, std::sqrt(3.0));
  EXPECT_EQ(t->GradientRow(x, 2), (Vector4{0, 0, 0, 0}));
  EXPECT_EQ(F.ValueCalls + F.DerivativeCalls, 0u);
}

TEST(GradualPairOrder, EveryPairOfDistinctPointsIsAcceptedInExactlyOneOrder) {
  MapUnderTest F(testing::Fold);
  auto t = Prepared::On(F);
  const double p = Pixel;
  const struct {
    Vector2 a, b;
    int orders; // how many of (a, b) and (b, a) are accepted
  } cases[] = {
      {{0, -0.5}, {0, 0.5}, 1},
      {{-0.5, 0.2}, {0.5, 0.2}, 1},
      {{-0.5, 0.2 + 1e-12}, {0.5, 0.2}, 1}, // the higher point a hair above, on the left
      {{-0.5, 0.2 + 0.5 * p}, {0.5, 0.2}, 1},
      {{0.5, 0.2 + 0.5 * p}, {-0.5, 0.2}, 1},
      {{0, 0.2}, {0.5 * p, 0.2 + 0.5 * p}, 0}, // within a pixel: near the diagonal
      {{0, 0.2}, {0.5 * p, 0.2 + 1.5 * p}, 1},
  };
  for (const auto &k : cases) {
    const int orders = int(t->InsidePairDomain({k.a[0], k.a[1], k.b[0], k.b[1]})) +
                       int(t->InsidePairDomain({k.b[0], k.b[1], k.a[0], k.a[1]}));
    EXPECT_EQ(orders, k.orders) << k.a[0] << "," << k.a[1] << " " << k.b[0] << "," << k.b[1];
  }
}

// ---- The corrector ----

TEST(GradualDescend, KeepsAPairOnTheLocusAndAdaptsTheStepAfterAWalk) {
  MapUnderTest cap(testing::CrossCap);
  auto t = Prepared::On(cap);
  const PointPair onLocus{0, -0.5, 0, 0.5};
  PointPair x{};
  t->StepLength = t->MinStep;
  ASSERT_TRUE(t->GradualDescend(onLocus, x));
  EXPECT_EQ(x, onLocus);
  EXPECT_EQ(t->LastDescent().Iterations, 1);
  EXPECT_EQ(t->StepLength, t->MaxStep);

  MapUnderTest fold(testing::Fold);
  t = Prepared::On(fold);
  const PointPair start{-0.5, 0.24, 0.51, 0.26};
  const double h = t->MaxStep / 2;
  t->StepLength = h;
  ASSERT_TRUE(t->GradualDescend(start, x));
  EXPECT_EQ(t->LastDescent().Outcome, Outcome::Converged);
  EXPECT_NEAR(x[1], x[0] * x[0], 1e-6);
  EXPECT_NEAR(x[2], -x[0], 1e-6);
  const double s = Distance4(start, x);
  EXPECT_DOUBLE_EQ(t->StepLength, std::max(t->MinStep, std::min(t->MaxStep, 0.1 * (h * h) / s)));
}

// On (-a, 0.1, a, 0.1) of the symmetric map only the third residual component is non-zero: a
// one-dimensional linear equation with root a = 1/2.
PointPair SymmetricPair(double a) {
  return {-a, 0.1, a, 0.1};
}

TEST(GradualDescend, FailureRules) {
  // MaxCorrection is 0.4 * |cell widths| = 0.4 * 2 * (2 / 23) = 0.0696; the first Newton
  // coefficient is (a - 1/2) * sqrt(2) (divided by the derivative's scale).
  const struct {
    const char *what;
    double a, derivativeScale;
    Outcome outcome;
    int iterations;
  } cases[] = {
      {"first correction 0.057", 0.54, 1, Outcome::Converged, 2},
      {"first correction 0.085", 0.56, 1, Outcome::TooLongCorrection, 1},
      {"derivative far too flat", 0.52, 0.01, Outcome::TooLongCorrection, 1},
      // Ten times too steep: the residual falls by about 9% an iteration, not to half in five.
      {"residual not halved at iteration 6", 0.52, 10, Outcome::NotHalved, 6},
      // Three times too steep: 0.7 an iteration passes iteration 6, then the small-correction
      // rule ends the walk before the limit is reached.
      {"halving, but slow", 0.52, 3, Outcome::NotAccepted, 15},
      {"start outside D", 1.2, 1, Outcome::OutsideDomain, 0},
  };
  for (const auto &k : cases) {
    MapUnderTest F(testing::SymmetricLinear);
    F.ThirdDerivativeScale = k.derivativeScale;
    auto t = Prepared::On(F);
    PointPair x{};
    EXPECT_EQ(t->GradualDescend(SymmetricPair(k.a), x), k.outcome == Outcome::Converged) << k.what;
    EXPECT_EQ(t->LastDescent().Outcome, k.outcome) << k.what;
    EXPECT_EQ(t->LastDescent().Iterations, k.iterations) << k.what;
  }
}

TEST(GradualDescend, NotANumberIsNeverConvergedNorAccepted) {
  // A tolerance far below rounding keeps the corrector from converging, and a derivative a third
  // too steep shrinks the residual to about a quarter an iteration: the walk leaves by the
  // small-correction rule at iteration 11 (66 value calls), a residual far below 1e-5 of the
  // start's is accepted, and the kept pair's residual is checked (calls 67 to 72).
  const uint64_t never = std::numeric_limits<uint64_t>::max();
  const struct {
    const char *what;
    uint64_t valueCall, derivativeCall;
    double broken;
    Outcome outcome;
    int iteration;
  } cases[] = {
      {"all numbers", never, never, NAN, Outcome::Accepted, 11},
      {"start residual", 1, never, NAN, Outcome::NonFinite, 1},
      {"start residual infinite", 1, never, INFINITY, Outcome::NonFinite, 1},
      {"residual of iteration 2", 7, never, NAN, Outcome::NonFinite, 2},
      {"residual at the halving test", 31, never, NAN, Outcome::NonFinite, 6},
      {"gradient of iteration 1", never, 1, NAN, Outcome::NonFinite, 1},
      {"gradient of iteration 3", never, 9, INFINITY, Outcome::NonFinite, 3},
      {"residual of the kept pair", 67, never, NAN, Outcome::NonFinite, 11},
  };
  for (const auto &k : cases) {
    MapUnderTest F(testing::SymmetricLinear);
    F.ThirdDerivativeScale = 4.0 / 3.0;
    F.NotANumberFromValueCall = k.valueCall;
    F.NotANumberFromDerivativeCall = k.derivativeCall;
    F.Broken = k.broken;
    auto t = Prepared::On(F, 1e-30);
    F.ValueCalls = F.DerivativeCalls = 0;
    PointPair x{};
    EXPECT_EQ(t->GradualDescend(SymmetricPair(0.52), x), k.outcome == Outcome::Accepted) << k.what;
    EXPECT_EQ(t->LastDescent().Outcome, k.outcome) << k.what;
    EXPECT_EQ(t->LastDescent().Iterations, k.iteration) << k.what;
    if (k.outcome == Outcome::Accepted) {
      EXPECT_NEAR(x[2], 0.5, 1e-6);
    }
  }
}

// ---- Traced ground ----

TEST(GradualGrid, TheBoxOfDxDProjectsOntoCellsOneTo399) {
  MapUnderTest F(testing::Fold);
  auto t = std::make_unique<TImplicitCurve4D>();
  t->BindEvaluators(F, F);
  t->SetProjectionSeed(99);
  t->Prepare({-2, -1}, {3, 0.5}, 1e-5, 23, 0.01);
  EXPECT_NEAR(Dot4(t->ProjectionAxes[0], t->ProjectionAxes[1]), 0, 1e-15);
  std::array<int, 2> low{400, 400}, high{0, 0};
  for (int k = 0; k < 16; ++k) {
    PointPair corner;
    for (int i = 0; i < 4; ++i)
      corner[i] = ((k >> i) & 1) ? t->Hi[i] : t->Lo[i];
    const auto cell = t->Project(corner);
    for (int j = 0; j < 2; ++j)
      low[j] = std::min(low[j], cell[j]), high[j] = std::max(high[j], cell[j]);
  }
  EXPECT_EQ(low, (std::array<int, 2>{1, 1}));
  EXPECT_EQ(high, (std::array<int, 2>{399, 399}));
}

TEST(GradualGrid, MarkLineMarksTheRasterLineAndReportsCrossings) {
  auto t = std::make_unique<TImplicitCurve4D>();
  using Cell = TImplicitCurve4D::Cell;
  EXPECT_FALSE(t->MarkLine({10, 10}, {10, 10}));
  EXPECT_TRUE(t->Visited({10, 10}));
  EXPECT_FALSE(t->MarkLine({10, 10}, {10, 10})); // the start cell never counts

  // One cell per column, Y rounded with ties to even (20.5 -> 20, 21.5 -> 22).
  EXPECT_FALSE(t->MarkLine({20, 20}, {24, 22}));
  for (Cell c : {Cell{21, 20}, Cell{22, 21}, Cell{23, 22}, Cell{24, 22}})
    EXPECT_TRUE(t->Visited(c)) << c[0] << "," << c[1];
  EXPECT_FALSE(t->Visited({21, 21}));
  // One cell per row, backwards: X = 39.67, 39.33, 39.
  EXPECT_FALSE(t->MarkLine({40, 45}, {39, 42}));
  for (Cell c : {Cell{40, 44}, Cell{39, 43}, Cell{39, 42}})
    EXPECT_TRUE(t->Visited(c)) << c[0] << "," << c[1];

  EXPECT_TRUE(t->MarkLine({22, 18}, {22, 24})); // crosses the first line
  EXPECT_TRUE(t->MarkLine({24, 22}, {20, 20})); // walks back over it
  EXPECT_FALSE(t->MarkLine({100, 100}, {100, 101}));
}

TEST(GradualGrid, VisitedNearLooksAtTheCellAndItsFourNeighbours) {
  MapUnderTest F(testing::Fold);
  auto t = Prepared::On(F);
  const PointPair x{-0.3, 0.09, 0.3, 0.09};
  const auto [X, Y] = t->Project(x);
  const struct {
    int dx, dy;
    bool near;
  } cases[] = {{0, 0, true},  {1, 0, true},   {-1, 0, true}, {0, 1, true},  {0, -1, true},
               {1, 1, false}, {-1, 1, false}, {2, 0, false}, {0, -2, false}};
  for (const auto &k : cases) {
    for (auto &column : t->VisitGrid)
      column.fill(0);
    t->MarkLine({X + k.dx, Y + k.dy}, {X + k.dx, Y + k.dy});
    EXPECT_EQ(t->VisitedNear(x), k.near) << k.dx << "," << k.dy;
  }
}

// ---- Predictor and pieces ----

// Every value 0, so the pair (-0.5, 0, 0.5, 0) is on the locus with halves 1 apart and its
// Jacobian rows are the given ones: row c is (-grad F_c at the first half, grad F_c at the
// second).
struct FixedRows {
  std::array<Vector4, 3> Row;
  double Value(int, double, double) { return 0; }
  ValueAndDerivative WithDerivative(int c, double u, double, double du, double dv) {
    const Vector4 &r = Row[c];
    return u < 0 ? ValueAndDerivative{0, -(du * r[0] + dv * r[1])}
                 : ValueAndDerivative{0, du * r[2] + dv * r[3]};
  }
};

TEST(GradualTangent, ATangentWithoutAFiniteDirectionIsDegenerate) {
  constexpr double Huge = 1e200; // rows this steep overflow the cross product's minors
  const struct {
    const char *what;
    FixedRows rows;
    bool found;
  } cases[] = {
      {"plain rows", {{{{0, 0, 1, 1}, {1, 0, 0, 0}, {0, 1, 0, 0}}}}, true},
      {"the same rows, overflowing", {{{{0, 0, 1, 1}, {Huge, 0, 0, 0}, {0, Huge, 0, 0}}}}, false},
      {"a row that is not a number", {{{{0, 0, 1, 1}, {NAN, 0, 0, 0}, {0, 1, 0, 0}}}}, false},
  };
  const PointPair x0{-0.5, 0, 0.5, 0};
  for (auto k : cases) {
    MapUnderTest F(testing::Fold);
    auto t = std::make_unique<TImplicitCurve4D>();
    t->BindEvaluators(F, k.rows);
    t->SetProjectionSeed(7);
    t->Prepare({-1, -1}, {1, 1}, 1e-5, 23, Pixel);
    Vector4 tangent{9, 9, 9, 9};
    EXPECT_EQ(t->TangentOfLocus(x0, tangent), k.found) << k.what;
    if (!k.found) {
      EXPECT_EQ(tangent, (Vector4{9, 9, 9, 9})) << k.what;
      // A piece caught where the tangent is degenerate is that one pair, stored twice.
      t->FollowPiece(x0, t->Project(x0));
      ASSERT_EQ(t->TraceList.size(), 2u) << k.what;
      EXPECT_EQ(t->TraceList[0].PieceStart, 1);
      EXPECT_EQ(t->TraceList[1].PieceStart, 0);
      EXPECT_EQ(t->TraceList[1].Pair, x0);
    }
  }
}

TEST(GradualPredictor, StepsAlongThePreviousDirectionWhateverTheStepSign) {
  // A negative step is what twenty failed tries against the tangent leave behind.
  for (double sign : {1.0, -1.0})
    for (double side : {1.0, -1.0}) {
      MapUnderTest F(testing::CrossCap);
      auto t = Prepared::On(F);
      const PointPair x{0, -0.4, 0, 0.4};
      Vector4 tangent{};
      ASSERT_TRUE(t->TangentOfLocus(x, tangent));
      Vector4 d{side * tangent[0], side * tangent[1], side * tangent[2], side * tangent[3]};
      const Vector4 wanted = d;
      t->StepLength = sign * t->MaxStep / 2;
      PointPair y{};
      ASSERT_TRUE(t->PredictStep(x, d, y));
      EXPECT_GT(Dot4(d, wanted), 0) << sign << " " << side;
      EXPECT_EQ(d, (Vector4{y[0] - x[0], y[1] - x[1], y[2] - x[2], y[3] - x[3]}));
      EXPECT_NEAR(y[0], 0, 1e-9);
      EXPECT_NEAR(y[1], -y[3], 1e-9);
    }
}

TEST(GradualFollow, AFirstStepThatFailsLeavesTheStartAloneAndMarked) {
  // Near either end of the cross-cap's pair curve (0, -s, 0, s) a step outward leaves D x D or
  // the pair order at once; take the end where the first side, -tangent, is outward.
  MapUnderTest F(testing::CrossCap);
  auto t = Prepared::On(F);
  const double edge = 1e-4 * Pixel;
  const PointPair top{0, -(1 - edge), 0, 1 - edge};
  const PointPair bottom{0, -(Pixel / 2 + edge), 0, Pixel / 2 + edge};
  Vector4 tangent{};
  ASSERT_TRUE(t->TangentOfLocus(top, tangent));
  const PointPair x0 = tangent[3] < 0 ? top : bottom;
  t->FollowPiece(x0, t->Project(x0));
  ASSERT_EQ(t->TraceList.size(), 1u);
  EXPECT_EQ(t->TraceList[0].PieceStart, 1);
  EXPECT_EQ(t->TraceList[0].Pair, x0);
  EXPECT_TRUE(t->Visited(t->Project(x0)));
}

} // namespace
} // namespace tandor
