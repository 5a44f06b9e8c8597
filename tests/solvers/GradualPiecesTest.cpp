// The gradual-descent tracer's parts: residuals and exact gradients, the corrector's rules, the
// grid of traced ground, the predictor.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "GradualMaps.h"
#include "solvers/FImplicitCurve4D.h"
#include "solvers/Kernels.h"

namespace tandor {
namespace {

using testing::AnalyticMap;
using testing::MapUnderTest;
using Outcome = TImplicitCurve4D::DescentOutcome;

// A tracer prepared on [-1, 1]^2 (23 cells, the picture's pixel length) over a test map.
struct Prepared {
  explicit Prepared(const AnalyticMap &map, double tolerance = 1e-5) : F(map) {
    Tracer->BindEvaluators(F, F);
    Tracer->SetProjectionSeed(7);
    Tracer->Prepare({-1, -1}, {1, 1}, tolerance, 23, PixelLength);
  }
  static constexpr double PixelLength = 2.0 * 2.0 / 800.0; // diagonal * sqrt(2) / 800
  MapUnderTest F;
  std::unique_ptr<TImplicitCurve4D> Tracer = std::make_unique<TImplicitCurve4D>();
};

TEST(GradualResidual, ComponentsAreImageDifferencesOverTheHalvesDistance) {
  Prepared p(testing::Fold);
  const PointPair x{0.3, -0.2, -0.5, 0.4};
  const Vector3 f1 = testing::Fold.F(0.3, -0.2), f2 = testing::Fold.F(-0.5, 0.4);
  const double d = std::hypot(0.6, -0.8);
  double sum = 0;
  for (int c = 0; c < 3; ++c) {
    EXPECT_DOUBLE_EQ(p.Tracer->ResidualComponent(c, x), (f2[c] - f1[c]) / d);
    sum += std::pow((f2[c] - f1[c]) / d, 2);
  }
  int index = -1;
  double largest = 0, norm = 0;
  p.Tracer->LargestResidual(x, index, largest, norm);
  EXPECT_EQ(index, 1); // |dy| = 0.6 beats |dx| = 0.16 and |dz| = 0.173
  EXPECT_DOUBLE_EQ(largest, (f2[1] - f1[1]) / d);
  EXPECT_DOUBLE_EQ(norm, std::sqrt(sum));
}

TEST(GradualResidual, CoincidentHalvesGiveOnesAndZeroGradients) {
  Prepared p(testing::Fold);
  for (const PointPair &x : {PointPair{0.2, 0.1, 0.2, 0.1}, PointPair{0.2, 0.1, 0.2 + 5e-9, 0.1}}) {
    for (int c = 0; c < 3; ++c) {
      EXPECT_EQ(p.Tracer->ResidualComponent(c, x), 1.0);
      EXPECT_EQ(p.Tracer->GradientRow(x, c), (Vector4{0, 0, 0, 0}));
    }
    int index = -1;
    double largest = 0, norm = 0;
    p.Tracer->LargestResidual(x, index, largest, norm);
    EXPECT_EQ(index, 0); // ties keep the lowest index
    EXPECT_EQ(largest, 1.0);
    EXPECT_DOUBLE_EQ(norm, std::sqrt(3.0));
  }
  EXPECT_EQ(p.F.ValueCalls + p.F.DerivativeCalls, 0u);
}

TEST(GradualResidual, GradientRowMatchesCentralDifferences) {
  struct Case {
    const AnalyticMap *map;
    PointPair x;
  };
  const Case cases[] = {
      {&testing::Fold, {0.3, -0.2, -0.5, 0.4}},     {&testing::Fold, {-0.7, 0.45, 0.7, 0.5}},
      {&testing::CrossCap, {0.1, -0.6, -0.2, 0.5}}, {&testing::CrossCap, {0.8, 0.9, -0.9, -0.3}},
      {&testing::Rings, {-1.1, 0.2, 1.05, 0.3}},    {&testing::Rings, {0.4, -0.7, 0.5, 0.6}},
  };
  for (const Case &k : cases) {
    Prepared p(*k.map);
    for (int c = 0; c < 3; ++c) {
      const Vector4 row = p.Tracer->GradientRow(k.x, c);
      for (int i = 0; i < 4; ++i) {
        const double h = 1e-6;
        PointPair plus = k.x, minus = k.x;
        plus[i] += h;
        minus[i] -= h;
        const double difference =
            (p.Tracer->ResidualComponent(c, plus) - p.Tracer->ResidualComponent(c, minus)) /
            (2 * h);
        EXPECT_NEAR(row[i], difference, 1e-7 * (1 + std::fabs(difference)))
            << k.map->Name << " c=" << c << " i=" << i;
      }
    }
    const auto J = p.Tracer->AnalyticJacobian(k.x);
    for (int c = 0; c < 3; ++c)
      EXPECT_EQ(J[c], p.Tracer->GradientRow(k.x, c));
  }
}

TEST(GradualPairOrder, EveryPairOfDistinctPointsIsAcceptedInExactlyOneOrder) {
  struct Probe : TImplicitCurve4D {
    using PairTracer::InsidePairDomain;
  };
  auto probe = std::make_unique<Probe>();
  MapUnderTest F(testing::Fold);
  probe->BindEvaluators(F, F);
  probe->Prepare({-1, -1}, {1, 1}, 1e-5, 23, Prepared::PixelLength);
  const double p = Prepared::PixelLength;
  // (first point, second point): heights from far apart to a hair apart, the higher point on
  // either side.
  const struct {
    Vector2 a, b;
    int orders; // how many of (a, b) and (b, a) are accepted
  } cases[] = {
      {{0, -0.5}, {0, 0.5}, 1},
      {{-0.5, 0.2}, {0.5, 0.2}, 1},
      {{-0.5, 0.2 + 1e-12}, {0.5, 0.2}, 1}, // the higher point on the left
      {{-0.5, 0.2 + 0.5 * p}, {0.5, 0.2}, 1},
      {{-0.5, 0.2 + 1.5 * p}, {0.5, 0.2}, 1},
      {{0.5, 0.2 + 0.5 * p}, {-0.5, 0.2}, 1},
      {{0, 0.2}, {0.5 * p, 0.2 + 0.5 * p}, 0}, // within a pixel: near the diagonal
      {{0, 0.2}, {0.5 * p, 0.2 + 1.5 * p}, 1},
  };
  for (const auto& k : cases) {
    const int orders = int(probe->InsidePairDomain({k.a[0], k.a[1], k.b[0], k.b[1]})) +
                       int(probe->InsidePairDomain({k.b[0], k.b[1], k.a[0], k.a[1]}));
    EXPECT_EQ(orders, k.orders) << k.a[0] << "," << k.a[1] << " " << k.b[0] << "," << k.b[1];
  }
}

// ---- The corrector ----

// On (-a, 0, a, 0) of the symmetric maps only the third residual component is non-zero.
PointPair SymmetricPair(double a) {
  return {-a, 0.1, a, 0.1};
}

TEST(GradualDescend, AStartOnTheLocusIsKeptAndTheStepGrowsToItsMost) {
  Prepared p(testing::CrossCap);
  const PointPair start{0, -0.5, 0, 0.5};
  PointPair x{};
  p.Tracer->StepLength = p.Tracer->MinStep;
  ASSERT_TRUE(p.Tracer->GradualDescend(start, x));
  EXPECT_EQ(x, start);
  EXPECT_EQ(p.Tracer->LastDescent().Outcome, Outcome::Converged);
  EXPECT_EQ(p.Tracer->LastDescent().Iterations, 1);
  EXPECT_EQ(p.Tracer->StepLength, p.Tracer->MaxStep);
}

TEST(GradualDescend, ConvergesOntoTheLocusAndAdaptsTheStep) {
  Prepared p(testing::Fold);
  const PointPair start{-0.5, 0.24, 0.51, 0.26};
  PointPair x{};
  p.Tracer->StepLength = p.Tracer->MaxStep / 2;
  ASSERT_TRUE(p.Tracer->GradualDescend(start, x))
      << int(p.Tracer->LastDescent().Outcome) << " at " << p.Tracer->LastDescent().Iterations;
  EXPECT_EQ(p.Tracer->LastDescent().Outcome, Outcome::Converged);
  int index = 0;
  double largest = 0, r = 0;
  p.Tracer->LargestResidual(x, index, largest, r);
  EXPECT_LT(r, p.Tracer->ResidualTolerance);
  EXPECT_NEAR(x[1], x[0] * x[0], 1e-6);
  EXPECT_NEAR(x[2], -x[0], 1e-6);
  const double s = Distance4(start, x);
  const double h = p.Tracer->MaxStep / 2;
  EXPECT_DOUBLE_EQ(p.Tracer->StepLength,
                   std::max(p.Tracer->MinStep, std::min(p.Tracer->MaxStep, 0.1 * h * h / s)));
}

TEST(GradualDescend, FailureRules) {
  // MaxCorrection is 0.4 * |cell widths| = 0.4 * 2 * (2 / 23) = 0.0696; the first Newton
  // coefficient on the linear symmetric map is (a - 1/2) * sqrt(2).
  struct Case {
    const char *what;
    double a;
    double derivativeScale;
    Outcome outcome;
    int iterations;
  };
  const Case cases[] = {
      {"close start converges", 0.54, 1, Outcome::Converged, 2},
      {"first correction 0.085 is too long", 0.56, 1, Outcome::TooLongCorrection, 1},
      {"far start", 0.9, 1, Outcome::TooLongCorrection, 1},
      // A derivative ten times too steep shortens every step: the residual falls by about 9%
      // an iteration, not to half in five.
      {"residual not halved by iteration 6", 0.52, 10, Outcome::NotHalved, 6},
      // Three times too steep: 0.7 an iteration passes iteration 6, then the walk ends by the
      // small-correction rule without reaching the limit.
      {"slow but halving", 0.52, 3, Outcome::NotAccepted, 15},
      {"overshooting derivative", 0.52, 0.01, Outcome::TooLongCorrection, 1},
      {"start outside D", 1.2, 1, Outcome::OutsideDomain, 0},
  };
  for (const Case &k : cases) {
    Prepared p(testing::SymmetricLinear);
    p.F.ThirdDerivativeScale = k.derivativeScale;
    PointPair x{};
    const bool ok = p.Tracer->GradualDescend(SymmetricPair(k.a), x);
    EXPECT_EQ(ok, k.outcome == Outcome::Converged || k.outcome == Outcome::Accepted) << k.what;
    EXPECT_EQ(p.Tracer->LastDescent().Outcome, k.outcome) << k.what;
    EXPECT_EQ(p.Tracer->LastDescent().Iterations, k.iterations) << k.what;
  }
}

TEST(GradualDescend, LeavingWithoutConvergenceIsAcceptedOnlyWhenTheResidualFell) {
  // A tolerance far below rounding keeps the corrector from converging; a derivative a third too
  // steep makes it shrink the residual to about a quarter each iteration. It leaves by the
  // small-correction rule at iteration 11 with a residual below 1e-5 of the start's.
  Prepared p(testing::SymmetricLinear, 1e-30);
  p.F.ThirdDerivativeScale = 4.0 / 3.0;
  PointPair x{};
  ASSERT_TRUE(p.Tracer->GradualDescend(SymmetricPair(0.52), x));
  EXPECT_EQ(p.Tracer->LastDescent().Outcome, Outcome::Accepted);
  EXPECT_EQ(p.Tracer->LastDescent().Iterations, 11);
  EXPECT_NEAR(x[2], 0.5, 1e-6);
  EXPECT_EQ(x[0], -x[2]);
}

TEST(GradualDescend, NotANumberIsNeverConvergedNorAccepted) {
  // Counted from a clean run of the accepted case above: 11 iterations of 6 value calls, then
  // the 6 of the final check of the kept pair.
  struct Case {
    const char *what;
    uint64_t valueCall, derivativeCall;
    double broken;
    int iteration;
  };
  const uint64_t never = std::numeric_limits<uint64_t>::max();
  const Case cases[] = {
      {"start residual", 1, never, NAN, 1},
      {"start residual infinite", 1, never, INFINITY, 1},
      {"residual of iteration 2", 7, never, NAN, 2},
      {"residual of iteration 6, the halving test", 31, never, NAN, 6},
      {"gradient of iteration 1", never, 1, NAN, 1},
      {"gradient of iteration 3", never, 9, INFINITY, 3},
      {"residual of the kept pair", 67, never, NAN, 11},
  };
  for (const Case &k : cases) {
    Prepared p(testing::SymmetricLinear, 1e-30);
    p.F.ThirdDerivativeScale = 4.0 / 3.0;
    p.F.NotANumberFromValueCall = k.valueCall;
    p.F.NotANumberFromDerivativeCall = k.derivativeCall;
    p.F.Broken = k.broken;
    PointPair x{};
    EXPECT_FALSE(p.Tracer->GradualDescend(SymmetricPair(0.52), x)) << k.what;
    EXPECT_EQ(p.Tracer->LastDescent().Outcome, Outcome::NonFinite) << k.what;
    EXPECT_EQ(p.Tracer->LastDescent().Iterations, k.iteration) << k.what;
  }
}

// ---- Traced ground ----

TEST(GradualGrid, ProjectionAxesAreOrthonormalAndTheBoxFillsCellsOneTo399) {
  for (uint64_t seed : {1u, 2u, 99u}) {
    auto tracer = std::make_unique<TImplicitCurve4D>();
    MapUnderTest F(testing::Fold);
    tracer->BindEvaluators(F, F);
    tracer->SetProjectionSeed(seed);
    tracer->Prepare({-2, -1}, {3, 0.5}, 1e-5, 23, 0.01);
    const auto &P = tracer->ProjectionAxes;
    EXPECT_NEAR(Norm4(P[0]), 1, 1e-15);
    EXPECT_NEAR(Norm4(P[1]), 1, 1e-15);
    EXPECT_NEAR(Dot4(P[0], P[1]), 0, 1e-15);
    int lowX = 400, highX = 0, lowY = 400, highY = 0;
    for (int k = 0; k < 16; ++k) {
      PointPair corner;
      for (int i = 0; i < 4; ++i)
        corner[i] = ((k >> i) & 1) ? tracer->Hi[i] : tracer->Lo[i];
      const auto [X, Y] = tracer->Project(corner);
      lowX = std::min(lowX, X), highX = std::max(highX, X);
      lowY = std::min(lowY, Y), highY = std::max(highY, Y);
    }
    EXPECT_EQ(lowX, 1);
    EXPECT_EQ(highX, 399);
    EXPECT_EQ(lowY, 1);
    EXPECT_EQ(highY, 399);
  }
}

TEST(GradualGrid, MarkLineMarksTheRasterLineAndReportsCrossings) {
  auto t = std::make_unique<TImplicitCurve4D>();
  using Cell = TImplicitCurve4D::Cell;

  EXPECT_FALSE(t->MarkLine({10, 10}, {10, 10}));
  EXPECT_TRUE(t->Visited({10, 10}));
  EXPECT_FALSE(t->MarkLine({10, 10}, {10, 10})); // the start cell never counts

  // Mostly along X: one cell per column, Y rounded to even on ties (0.5 -> 0, 1.5 -> 2).
  EXPECT_FALSE(t->MarkLine({20, 20}, {24, 22}));
  for (Cell c : {Cell{21, 20}, Cell{22, 21}, Cell{23, 22}, Cell{24, 22}})
    EXPECT_TRUE(t->Visited(c)) << c[0] << "," << c[1];
  EXPECT_FALSE(t->Visited({21, 21}));
  EXPECT_FALSE(t->Visited({23, 21}));

  // Mostly along Y, backwards.
  EXPECT_FALSE(t->MarkLine({40, 45}, {39, 42}));
  for (Cell c : {Cell{40, 44}, Cell{39, 43}, Cell{39, 42}})
    EXPECT_TRUE(t->Visited(c));

  // Crossing the first line reports a hit; so does walking back over it.
  EXPECT_TRUE(t->MarkLine({22, 18}, {22, 24}));
  EXPECT_TRUE(t->MarkLine({24, 22}, {20, 20}));
  EXPECT_FALSE(t->MarkLine({100, 100}, {100, 101}));
}

TEST(GradualGrid, VisitedNearLooksAtTheCellAndItsFourNeighbours) {
  Prepared p(testing::Fold);
  const PointPair x{-0.3, 0.09, 0.3, 0.09};
  const auto [X, Y] = p.Tracer->Project(x);
  const struct {
    int dx, dy;
    bool near;
  } cases[] = {{0, 0, true},  {1, 0, true},   {-1, 0, true}, {0, 1, true},  {0, -1, true},
               {1, 1, false}, {-1, 1, false}, {2, 0, false}, {0, -2, false}};
  for (const auto &k : cases) {
    for (auto &column : p.Tracer->VisitGrid)
      column.fill(0);
    p.Tracer->MarkLine({X + k.dx, Y + k.dy}, {X + k.dx, Y + k.dy});
    EXPECT_EQ(p.Tracer->VisitedNear(x), k.near) << k.dx << "," << k.dy;
  }
}

// ---- Tangent and predictor ----

TEST(GradualPredictor, TangentFollowsTheLocus) {
  Prepared p(testing::CrossCap);
  Vector4 t{};
  ASSERT_TRUE(p.Tracer->TangentOfLocus({0, -0.4, 0, 0.4}, t));
  // The pairs (0, -s, 0, s): the tangent is +-(0, -1, 0, 1) / sqrt(2).
  EXPECT_NEAR(std::fabs(t[1]), std::sqrt(0.5), 1e-12);
  EXPECT_NEAR(t[1], -t[3], 1e-12);
  EXPECT_NEAR(t[0], 0, 1e-12);
  EXPECT_NEAR(t[2], 0, 1e-12);
}

TEST(GradualPredictor, StepsAlongThePreviousDirectionWhateverTheStepSign) {
  for (double sign : {1.0, -1.0})
    for (double side : {1.0, -1.0}) {
      Prepared p(testing::CrossCap);
      const PointPair x{0, -0.4, 0, 0.4};
      Vector4 t{};
      ASSERT_TRUE(p.Tracer->TangentOfLocus(x, t));
      Vector4 d{side * t[0], side * t[1], side * t[2], side * t[3]};
      const Vector4 wanted = d;
      // A negative step is what twenty failed tries against the tangent leave behind.
      p.Tracer->StepLength = sign * p.Tracer->MaxStep / 2;
      PointPair y{};
      ASSERT_TRUE(p.Tracer->PredictStep(x, d, y));
      EXPECT_GT(Dot4(d, wanted), 0) << sign << " " << side;
      EXPECT_EQ(d, (Vector4{y[0] - x[0], y[1] - x[1], y[2] - x[2], y[3] - x[3]}));
      EXPECT_NEAR(y[0], 0, 1e-9);
      EXPECT_NEAR(y[1], -y[3], 1e-9);
      EXPECT_GT(p.Tracer->StepLength, 0);
    }
}

TEST(GradualFollow, AFirstStepThatFailsLeavesTheStartAloneAndMarked) {
  // Near an end of the cross-cap's pair curve (0, -s, 0, s) one of the two sides leaves D x D
  // (or the pair order) at once; pick the end where the first side, -t, does so.
  Prepared p(testing::CrossCap);
  auto &tracer = *p.Tracer;
  const double nearEdge = 1e-4 * tracer.PixelLength;
  const PointPair top{0, -(1 - nearEdge), 0, 1 - nearEdge};
  const PointPair bottom{0, -(tracer.PixelLength / 2 + nearEdge), 0,
                         tracer.PixelLength / 2 + nearEdge};
  Vector4 t{};
  ASSERT_TRUE(tracer.TangentOfLocus(top, t));
  const PointPair x0 = -t[3] > 0 ? top : bottom;
  tracer.StepLength = tracer.MaxStep / 2;
  tracer.FollowPiece(x0, tracer.Project(x0));
  ASSERT_EQ(tracer.TraceList.size(), 1u);
  EXPECT_EQ(tracer.TraceList[0].PieceStart, 1);
  EXPECT_EQ(tracer.TraceList[0].Pair, x0);
  EXPECT_TRUE(tracer.Visited(tracer.Project(x0)));
}

TEST(GradualFollow, ADegenerateTangentStoresTheStartTwiceAndMarksNothing) {
  Prepared p(testing::CrossCap);
  auto &tracer = *p.Tracer;
  // Halves on the same point: every gradient row is zero.
  const PointPair x0{0.1, 0.2, 0.1, 0.2};
  tracer.FollowPiece(x0, tracer.Project(x0));
  ASSERT_EQ(tracer.TraceList.size(), 2u);
  EXPECT_EQ(tracer.TraceList[0].PieceStart, 1);
  EXPECT_EQ(tracer.TraceList[1].PieceStart, 0);
  EXPECT_FALSE(tracer.Visited(tracer.Project(x0)));
}

} // namespace
} // namespace tandor
