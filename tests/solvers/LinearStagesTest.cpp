// The stages of the linear-case tracer one at a time: what a preparation derives, how the catch
// chooses its sample, the order of the Jacobian's evaluations, the corrector's step adaptation
// and the predictor's shrinking step.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "solvers/Kernels.h"
#include "solvers/LinearCaseTracer.h"

namespace tandor {
namespace {

using Residual = std::function<void(Vector2 &, const Vector3 &)>;

struct Stages {
  TImplicitCurveLine3D tracer;
  Residual residual;
  std::function<bool(const Vector3 &)> inside = [](const Vector3 &) { return true; };
  std::function<void(const Vector3 &, const Vector3 &, bool)> record = [](const Vector3 &,
                                                                          const Vector3 &, bool) {};

  explicit Stages(Residual r, const Vector3 &low = {-1, -1, -1}, const Vector3 &high = {1, 1, 1},
                  int coarse = 23, double pixel = 0.01, double spacing = 0.0)
      : residual(std::move(r)) {
    tracer.PrepareTrace(residual, inside, record, 1e-5, low, high, coarse, 200, pixel, spacing);
  }
};

// A straight line of zeros along mu: mv = 0.2, t = 0.1.
void Line(Vector2 &G, const Vector3 &S) {
  G = {S[1] - 0.2, S[2] - 0.1};
}

TEST(LinearStages, PreparationDerivesItsConstants) {
  const double Diagonal = std::hypot(2 * M_PI, M_PI) / 2;
  struct Case {
    Vector3 low, high;
    int coarse;
    double pixel, spacing;
    int expectedCoarse, maxStay;
  };
  const Case cases[] = {
      // The run's constants: 23 cells, and MaxStay 35 whatever the domain.
      {{0, 0, -Diagonal},
       {2 * M_PI, M_PI, Diagonal},
       23,
       std::sqrt(2.0) * Diagonal / 400,
       0.0,
       23,
       35},
      {{-1, -1, -1.5}, {1, 1, 1.5}, 40, 0.01, 0.0, 31, 13},
      {{-1, -2, -3}, {1, 2, 3}, 0, 0.01, 0.5, 1, 748},
      // A cell diagonal of exactly 5: 2.5 and 12.5 steps round to the even neighbour.
      {{0, 0, 0}, {3, 4, 0}, 1, 2, 0.0, 1, 2},
      {{0, 0, 0}, {3, 4, 0}, 1, 0.4, 0.0, 1, 12},
  };
  for (const Case &c : cases) {
    Stages s(Line, c.low, c.high, c.coarse, c.pixel, c.spacing);
    const TImplicitCurveLine3D &t = s.tracer;
    EXPECT_EQ(t.CoarseCount, c.expectedCoarse);
    EXPECT_EQ(t.FineCount, 200);
    EXPECT_EQ(t.MaxStep, 10 * c.pixel);
    EXPECT_EQ(t.MinStep, c.pixel / 10);
    EXPECT_EQ(t.BaseStep, 10 * c.pixel / 4);
    EXPECT_EQ(t.StepLength, 2 * t.BaseStep);
    EXPECT_EQ(t.RecordBySpacing, c.spacing > 0);
    for (int k = 0; k < 3; ++k) {
      const double half = (c.high[k] - c.low[k]) / 2;
      EXPECT_EQ(t.HalfWidth[k], half);
      EXPECT_EQ(t.CellWidth[k], 2 * half / c.expectedCoarse);
      EXPECT_EQ(t.JacobianStep[k], half / 4096);
      EXPECT_EQ(t.JacobianDivisor[k], 12 * (half / 4096));
      EXPECT_EQ(t.CoarseGrid[k][0], c.low[k]);
      EXPECT_EQ(t.CoarseGrid[k][1], c.low[k] + t.CellWidth[k]);
    }
    EXPECT_EQ(t.ColumnScale, 400 / (c.high[0] - c.low[0]));
    EXPECT_EQ(t.MaxStay, c.maxStay) << 10 * Norm3(t.CellWidth) / t.MaxStep;
    EXPECT_EQ(t.CatchThreshold, t.MeanResidual() / 10);
    EXPECT_EQ(t.ResidualTolerance, std::min(t.MeanResidual() * 1e-5, 1e-6));
  }
}

// Of the 27 samples of a cell the one with the smallest |G| strictly below the threshold is
// taken, the first of equals in the order mu (outer), mv, t (inner).
TEST(LinearStages, CatchTakesTheFirstOfTheBestSamples) {
  const int cell = 11;
  // Zero (and already converged) at the samples whose mu or t lies in the upper half of their
  // cell, one elsewhere.
  auto fraction = [](const TImplicitCurveLine3D &t, const Vector3 &S, int k) {
    return (S[k] - t.CoarseGrid[k][cell]) / t.CellWidth[k];
  };
  TImplicitCurveLine3D *tracer = nullptr;
  Stages s([&](Vector2 &G, const Vector3 &S) {
    const bool zero =
        tracer != nullptr && (fraction(*tracer, S, 0) > 0.4 || fraction(*tracer, S, 2) > 0.4);
    G = zero ? Vector2{0, 0} : Vector2{1, 0};
  });
  tracer = &s.tracer;
  TImplicitCurveLine3D &t = s.tracer;
  t.CatchThreshold = 0.5;
  t.ResidualTolerance = 1e-6;
  t.StepLength = 123;
  Vector3 S{};
  ASSERT_TRUE(t.CatchStart({cell, cell, cell}, S));
  const Vector3 first{t.CoarseGrid[0][cell] + t.SubCellFractions[0] * t.CellWidth[0],
                      t.CoarseGrid[1][cell] + t.SubCellFractions[0] * t.CellWidth[1],
                      t.CoarseGrid[2][cell] + t.SubCellFractions[1] * t.CellWidth[2]};
  EXPECT_EQ(S, first);
  EXPECT_EQ(t.StepLength, 2 * t.BaseStep);

  // A sample exactly at the threshold is not below it.
  t.CatchThreshold = 1.0;
  tracer = nullptr;
  EXPECT_FALSE(t.CatchStart({cell, cell, cell}, S));
}

TEST(LinearStages, JacobianEvaluatesPlusThenMinusInEveryCoordinate) {
  std::vector<Vector3> asked;
  Stages s([&](Vector2 &G, const Vector3 &S) {
    asked.push_back(S);
    G = {S[1], S[2]};
  });
  asked.clear();
  const Vector3 S{0.25, -0.5, 0.125};
  const auto J = s.tracer.ResidualJacobian(S);
  ASSERT_EQ(asked.size(), 12u);
  for (int k = 0; k < 3; ++k) {
    const double h = s.tracer.JacobianStep[k];
    const double offsets[4] = {h, 2 * h, -h, -2 * h};
    for (int e = 0; e < 4; ++e) {
      Vector3 Q = S;
      Q[k] = S[k] + offsets[e];
      EXPECT_EQ(asked[4 * k + e], Q) << k << " " << e;
    }
  }
  // Exact for a linear residual with a step that is a power of two.
  EXPECT_EQ(J[0], (Vector3{0, 1, 0}));
  EXPECT_EQ(J[1], (Vector3{0, 0, 1}));
}

TEST(LinearStages, CorrectionStepRefusesASingularJacobianAndStaysMovedOutside) {
  Stages s(Line);
  Vector3 S{0.125, 0.375, 0.25};
  double length = 7;
  const TImplicitCurveLine3D::Jacobian parallel{Vector3{0, 1, 0}, Vector3{0, 2, 0}};
  EXPECT_FALSE(s.tracer.CorrectionStep(S, {0.125, 0.125}, parallel, length));
  EXPECT_EQ(S, (Vector3{0.125, 0.375, 0.25}));
  EXPECT_EQ(length, 7);

  const TImplicitCurveLine3D::Jacobian unit{Vector3{0, 1, 0}, Vector3{0, 0, 1}};
  ASSERT_TRUE(s.tracer.CorrectionStep(S, {0.125, 0.125}, unit, length));
  EXPECT_EQ(S, (Vector3{0.125, 0.25, 0.125}));
  EXPECT_EQ(length, std::sqrt(0.03125));
  s.inside = [](const Vector3 &) { return false; };
  EXPECT_FALSE(s.tracer.CorrectionStep(S, {0.125, 0.125}, unit, length));
  EXPECT_EQ(S, (Vector3{0.125, 0.125, 0.0})); // moved all the same
}

// After a corrector that ran its loop, the next step is 0.1 StepLength^2 / (distance corrected),
// kept within [MinStep, MaxStep]; a start that already meets the tolerance leaves it alone.
TEST(LinearStages, CorrectorAdaptsTheStepToTheDistanceItCorrected) {
  Stages s(Line);
  TImplicitCurveLine3D &t = s.tracer;
  const Vector3 start{0.05, 0.2 + 0.012, 0.1 - 0.009};
  // The corrector's one step, taken apart.
  Vector3 moved = start;
  Vector2 G{};
  Line(G, start);
  double total = 0;
  ASSERT_TRUE(t.CorrectionStep(moved, G, t.ResidualJacobian(start), total));
  int differing = 0;
  for (const double before : {0.0151, 0.03, 0.0377, 0.05, 0.1, 0.001, 0.2}) {
    t.StepLength = before;
    Vector3 S{};
    ASSERT_TRUE(t.DescendToLocus(start, S));
    EXPECT_EQ(S, moved);
    const double expected =
        std::max(t.MinStep, std::min(0.1 * (before * before) / total, t.MaxStep));
    EXPECT_EQ(t.StepLength, expected) << before;
    differing +=
        expected != std::max(t.MinStep, std::min(0.1 * before * before / total, t.MaxStep));
  }
  EXPECT_GT(differing, 0); // the table tells the order of the products apart

  t.StepLength = 0.03;
  Vector3 S{};
  ASSERT_TRUE(t.DescendToLocus({0.3, 0.2, 0.1}, S));
  EXPECT_EQ(t.StepLength, 0.03);
  s.inside = [](const Vector3 &) { return false; };
  EXPECT_FALSE(t.DescendToLocus({0.3, 0.2, 0.1}, S));
}

// On a straight line of zeros every predicted point already meets the tolerance, so each step
// leaves the step length at 0.96 of what it was, with no lower bound.
TEST(LinearStages, PredictorOnAStraightLineShrinksTheStep) {
  Stages s(Line);
  TImplicitCurveLine3D &t = s.tracer;
  t.ArcSinceRecord = 0;
  Vector3 S{-0.5, 0.2, 0.1}, T{1, 0, 0}, next{};
  double step = t.StepLength;
  for (int i = 0; i < 200; ++i) {
    ASSERT_TRUE(t.PredictStep(S, T, next));
    EXPECT_EQ(t.StepLength, 0.8 * (1.2 * step));
    EXPECT_EQ(next, (Vector3{S[0] + t.StepLength, 0.2, 0.1}));
    step = t.StepLength;
    S = next;
  }
  EXPECT_LT(t.StepLength, t.MinStep);
  EXPECT_NEAR(t.ArcSinceRecord, S[0] + 0.5, 1e-12);
}

} // namespace
} // namespace tandor
