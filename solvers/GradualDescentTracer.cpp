// TImplicitCurve4D: the Gradual Descent tracer's projection, descent and walk.

#include "solvers/GradualDescentTracer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>

#include "solvers/Kernels.h"

namespace tandor {

namespace {

constexpr double SameHalvesDistance = 1e-8;

double HalvesDistance(const PointPair &x) {
  return std::hypot(x[3] - x[1], x[2] - x[0]);
}

bool IsFinite(const Vector4 &a) {
  return std::isfinite(a[0]) && std::isfinite(a[1]) && std::isfinite(a[2]) && std::isfinite(a[3]);
}

// Round to nearest, ties to even, into the cells of the grid. Pairs inside D x D project onto
// 1 ... 399; the clamp only keeps a point outside the box from reaching past the grid.
int ToGridIndex(double value) {
  if (!(value >= 1.0))
    return 1;
  if (value > TImplicitCurve4D::GridSize - 2)
    return TImplicitCurve4D::GridSize - 2;
  return static_cast<int>(std::lrint(value));
}

// Divides a by its norm; fails, leaving a, when the norm is not above 1e-26.
bool Normalise(Vector4 &a) {
  const double n = Norm4(a);
  if (!(n > 1e-26))
    return false;
  for (double &c : a)
    c /= n;
  return true;
}

} // namespace

TImplicitCurve4D::TImplicitCurve4D() : PairTracer(Magenta, DefaultPollWork) {}

TImplicitCurve4D::TImplicitCurve4D(MapEvaluator map, CoordinateEvaluator coordinates)
    : PairTracer(Magenta, DefaultPollWork), Map(map), Coordinates(coordinates) {}

void TImplicitCurve4D::BindEvaluators(MapEvaluator map, CoordinateEvaluator coordinates) {
  Map = map;
  Coordinates = coordinates;
}

// ---- Preparation and the sweep ----

void TImplicitCurve4D::Prepare(const Vector2 &low, const Vector2 &high, double tolerance,
                               int coarseCount, double pixelLength) {
  PrepareCells(low, high, coarseCount, pixelLength);
  SmallCorrection = pixelLength / 100;
  for (int i = 0; i < 4; ++i) {
    Width[i] = Hi[i] - Lo[i];
    StallWidth[i] = Width[i] / 31;
  }
  MaxCorrection = 0.4 * Norm4(CellWidth);
  SetUpProjection();
  PrepareThresholds(Map, tolerance);
  for (auto &column : VisitGrid)
    column.fill(0);
  FillSampleTable(Map);
  ResetTrace();
}

void TImplicitCurve4D::TraceLocus(const Vector2 &low, const Vector2 &high, double tolerance,
                                  int coarseCount, double pixelLength, RunControl &control) {
  if (!Map || !Coordinates) { // nothing to evaluate: an empty result, not a call through null
    ResetTrace();
    return;
  }
  Prepare(low, high, tolerance, coarseCount, pixelLength);
  // Most cell pairs are passed over at once; only a walk can have used up the run.
  RunSweep(1, control, [this](const CellTuple &cells) {
    PointPair x0;
    if (!CatchPair(cells, x0) || VisitedNear(x0))
      return true;
    FollowPiece(x0, Project(x0));
    return !RunOver();
  });
}

bool TImplicitCurve4D::CatchPair(const CellTuple &cells, PointPair &x0) {
  // The corrector tests the start pair against D x D itself.
  return NearestSamplePair(cells, x0) && GradualDescend(x0, x0);
}

// ---- Residuals and their exact gradients ----

double TImplicitCurve4D::ComponentAt(int c, const PointPair &x, double d) const {
  const double f1 = Coordinates.Value(c, x[0], x[1]);
  const double f2 = Coordinates.Value(c, x[2], x[3]);
  return (f2 - f1) / d;
}

double TImplicitCurve4D::ResidualComponent(int c, const PointPair &x) const {
  const double d = HalvesDistance(x);
  if (d < SameHalvesDistance)
    return 1;
  return ComponentAt(c, x, d);
}

void TImplicitCurve4D::LargestResidual(const PointPair &x, int &index, double &largest,
                                       double &norm) const {
  const double d = HalvesDistance(x);
  index = 0;
  largest = 0;
  double sum = 0;
  for (int c = 0; c < 3; ++c) {
    const double g = d < SameHalvesDistance ? 1.0 : ComponentAt(c, x, d);
    sum += g * g;
    if (std::fabs(largest) < std::fabs(g)) {
      largest = g;
      index = c;
    }
  }
  norm = std::sqrt(sum);
}

Vector4 TImplicitCurve4D::GradientRow(const PointPair &x, int c) const {
  const double d = HalvesDistance(x);
  if (d < SameHalvesDistance)
    return {0, 0, 0, 0};
  const double e = 1 / d;
  const ValueAndDerivative a1 = Coordinates.WithDerivative(c, x[0], x[1], 1, 0);
  const ValueAndDerivative a2 = Coordinates.WithDerivative(c, x[2], x[3], 1, 0);
  const double G = (a2.Value - a1.Value) * e;
  const double e2 = e * e;
  const double t = (x[2] - x[0]) * G * e2;
  const ValueAndDerivative b1 = Coordinates.WithDerivative(c, x[0], x[1], 0, 1);
  const ValueAndDerivative b2 = Coordinates.WithDerivative(c, x[2], x[3], 0, 1);
  const double tv = (x[3] - x[1]) * G * e2;
  return {-e * a1.Derivative + t, -e * b1.Derivative + tv, e * a2.Derivative - t,
          e * b2.Derivative - tv};
}

std::array<Vector4, 3> TImplicitCurve4D::AnalyticJacobian(const PointPair &x) const {
  return {GradientRow(x, 0), GradientRow(x, 1), GradientRow(x, 2)};
}

// ---- The corrector ----

bool TImplicitCurve4D::Fail(DescentOutcome outcome, int iteration) {
  Descent = {outcome, iteration};
  return false;
}

bool TImplicitCurve4D::GradualDescend(PointPair start, PointPair &x) {
  x = start;
  if (!InsidePairDomain(start))
    return Fail(DescentOutcome::OutsideDomain, 0);
  CorrectorState state;
  double limit = ResidualTolerance, rRef = 1e20, r = 0, first = 0;
  bool converged = false;
  int k = 0;
  for (;;) {
    ++k;
    if (k > 30) {
      k = 30;
      break;
    }
    if (k % 5 == 2)
      rRef = r;
    if (!InsidePairDomain(x))
      return Fail(DescentOutcome::OutsideDomain, k);
    int b = 0;
    double largest = 0;
    Evaluations += 10; // the residual's 6 values and, mostly, a gradient's 4 derivatives
    LargestResidual(x, b, largest, r);
    // NaN passes no comparison, so it would slip through every "fail when above" test below.
    if (!std::isfinite(r))
      return Fail(DescentOutcome::NonFinite, k);
    if (r < limit) {
      converged = true;
      break;
    }
    if (k % 5 == 1 && r > rRef / 2)
      return Fail(DescentOutcome::NotHalved, k);
    if (k == 1) {
      first = 1e-5 * r;
      limit = std::min(first, ResidualTolerance);
    }
    if (const auto failure = NewtonStep(state, x, b, largest))
      return Fail(*failure, k);
    if (k > 10 && Norm3(state.g) < SmallCorrection)
      break;
  }
  if (!converged && !AcceptUnconverged(state, x, r, first))
    return Fail(Descent.Outcome, k);
  AdaptStepLength(start, x);
  Descent = {converged ? DescentOutcome::Converged : DescentOutcome::Accepted, k};
  return true;
}

std::optional<TImplicitCurve4D::DescentOutcome>
TImplicitCurve4D::NewtonStep(CorrectorState &state, PointPair &x, int b, double largest) const {
  auto &[R, g] = state;
  const Vector4 q = GradientRow(x, b);
  if (!IsFinite(q))
    return DescentOutcome::NonFinite;
  // q made orthogonal to the directions last used for the two other equations.
  std::array<double, 3> coefficient{};
  for (int j = 0; j < 3; ++j)
    coefficient[j] = j == b ? 1.0 : -Dot4(q, R[j]);
  R[b] = q;
  Vector4 w{};
  for (int i = 0; i < 4; ++i)
    w[i] = coefficient[0] * R[0][i] + coefficient[1] * R[1][i] + coefficient[2] * R[2][i];
  const double wNorm = Norm4(w);
  if (!(wNorm >= 1e-12))
    return DescentOutcome::FlatGradient;
  for (int i = 0; i < 4; ++i)
    R[b][i] = w[i] / wNorm;
  // Newton for equation b along R_b.
  g[b] = -largest / Dot4(q, R[b]);
  if (!(std::fabs(g[b]) <= MaxCorrection))
    return DescentOutcome::TooLongCorrection;
  for (int i = 0; i < 4; ++i)
    x[i] += g[b] * R[b][i];
  return std::nullopt;
}

bool TImplicitCurve4D::AcceptUnconverged(const CorrectorState &state, const PointPair &x, double r,
                                         double first) {
  Descent.Outcome = DescentOutcome::NotAccepted;
  if (!(InsidePairDomain(x) && r < first && Norm3(state.g) < MinStep))
    return false;
  // r belongs to the pair before the last step; the pair that is kept must have a residual that
  // is a number.
  int b = 0;
  double largest = 0, rFinal = 0;
  LargestResidual(x, b, largest, rFinal);
  Descent.Outcome = DescentOutcome::NonFinite;
  return std::isfinite(rFinal);
}

void TImplicitCurve4D::AdaptStepLength(const PointPair &start, const PointPair &x) {
  const double s = Distance4(start, x);
  if (s < 1e-14) {
    StepLength = MaxStep;
    return;
  }
  StepLength = std::min(MaxStep, 0.1 * (StepLength * StepLength) / s);
  if (StepLength < MinStep)
    StepLength = MinStep;
}

// ---- Traced ground: the projection plane and its grid ----

void TImplicitCurve4D::SetUpProjection() {
  const uint64_t seed =
      ProjectionSeed ? *ProjectionSeed
                     : static_cast<uint64_t>(
                           std::chrono::high_resolution_clock::now().time_since_epoch().count());
  SeedUsed = seed;
  std::mt19937_64 generator(seed);
  auto uniform = [&generator] { return static_cast<double>(generator() >> 11) * 0x1.0p-53; };
  Vector4 &P1 = ProjectionAxes[0];
  Vector4 &P2 = ProjectionAxes[1];
  for (;;) {
    for (int i = 0; i < 4; ++i) {
      P1[i] = uniform();
      P2[i] = uniform();
    }
    if (!Normalise(P1))
      continue;
    const double along = Dot4(P1, P2);
    for (int i = 0; i < 4; ++i)
      P2[i] -= along * P1[i];
    if (Normalise(P2))
      break;
  }
  for (int j = 0; j < 2; ++j) {
    double low = 1e30, high = -1e30;
    for (int k = 0; k < 16; ++k) {
      Vector4 corner;
      for (int i = 0; i < 4; ++i)
        corner[i] = Lo[i] + ((k >> i) & 1) * Width[i];
      const double p = Dot4(ProjectionAxes[j], corner);
      low = std::min(low, p);
      high = std::max(high, p);
    }
    ProjectionScale[j] = 398 / (high - low);
    ProjectionScale[2 + j] = 1 - ProjectionScale[j] * low;
  }
}

TImplicitCurve4D::Cell TImplicitCurve4D::Project(const PointPair &x) const {
  return {ToGridIndex(Dot4(ProjectionAxes[0], x) * ProjectionScale[0] + ProjectionScale[2]),
          ToGridIndex(Dot4(ProjectionAxes[1], x) * ProjectionScale[1] + ProjectionScale[3])};
}

bool TImplicitCurve4D::Visited(Cell cell) const {
  const auto [X, Y] = cell;
  return X >= 0 && X < GridSize && Y >= 0 && Y < GridSize && VisitGrid[X][Y] != 0;
}

void TImplicitCurve4D::SetCell(Cell cell, uint8_t value) {
  const auto [X, Y] = cell;
  if (X >= 0 && X < GridSize && Y >= 0 && Y < GridSize)
    VisitGrid[X][Y] = value;
}

bool TImplicitCurve4D::VisitedNear(const PointPair &x) const {
  const auto [X, Y] = Project(x);
  return Visited({X, Y}) || Visited({X + 1, Y}) || Visited({X - 1, Y}) || Visited({X, Y + 1}) ||
         Visited({X, Y - 1});
}

bool TImplicitCurve4D::MarkLine(Cell from, Cell to) {
  SetCell(from, 1);
  if (from == to)
    return false;
  bool hit = false;
  auto visit = [&](Cell cell) {
    hit = Visited(cell) || hit;
    SetCell(cell, 1);
  };
  const auto [X0, Y0] = from;
  const auto [X1, Y1] = to;
  if (std::abs(X1 - X0) >= std::abs(Y1 - Y0)) {
    const int s = X1 > X0 ? 1 : -1;
    const double m = static_cast<double>(Y1 - Y0) / (X1 - X0);
    for (int k = s;; k += s) {
      visit({X0 + k, static_cast<int>(std::lrint(k * m + Y0))});
      if (X0 + k == X1)
        break;
    }
  } else {
    const int s = Y1 > Y0 ? 1 : -1;
    const double m = static_cast<double>(X1 - X0) / (Y1 - Y0);
    for (int k = s;; k += s) {
      visit({static_cast<int>(std::lrint(k * m + X0)), Y0 + k});
      if (Y0 + k == Y1)
        break;
    }
  }
  return hit;
}

// ---- Following a curve ----

bool TImplicitCurve4D::TangentOfLocus(const PointPair &x, Vector4 &t) const {
  Evaluations += 12;
  const std::array<Vector4, 3> J = AnalyticJacobian(x);
  const Vector4 c = Cross4(J[0], J[1], J[2]);
  const double m = Norm4(c);
  // Huge derivatives can overflow the cross product: an infinite norm gives no direction.
  if (!(m > 1e-12) || !std::isfinite(m))
    return false;
  for (int i = 0; i < 4; ++i)
    t[i] = c[i] / m;
  return true;
}

bool TImplicitCurve4D::PredictStep(const PointPair &x, Vector4 &d, PointPair &y) {
  Vector4 t;
  if (!TangentOfLocus(x, t))
    return false;
  // After twenty failed tries the step may still carry the sign of the previous direction;
  // only its length is kept, the side always comes from d.
  StepLength = 1.2 * std::fabs(StepLength);
  if (Dot4(t, d) < 0)
    StepLength = -StepLength;
  for (int attempt = 0; attempt < 20; ++attempt) {
    StepLength = 0.8 * StepLength;
    PointPair predicted;
    for (int i = 0; i < 4; ++i)
      predicted[i] = x[i] + StepLength * t[i];
    if (GradualDescend(predicted, y)) {
      for (int i = 0; i < 4; ++i)
        d[i] = y[i] - x[i];
      return true;
    }
  }
  return false;
}

// A closed curve small enough to stay inside one cell of the projection grid never meets a
// marked cell, and if it straddles an edge of the stall cells, the stall count starts again at
// every crossing: the walk went round it for ever. Measured from where the walk last moved
// away, lingering has no edges to straddle. No walk of an ordinary problem stays so long.
bool TImplicitCurve4D::Lingers(Lingering &lingering, const PointPair &x) const {
  for (int i = 0; i < 4; ++i)
    if (!(std::fabs(x[i] - lingering.Anchor[i]) <= StallWidth[i])) {
      lingering = {x, 0};
      return false;
    }
  return ++lingering.Steps >= MaxLingeringSteps;
}

std::array<long, 4> TImplicitCurve4D::StallCells(const PointPair &x) const {
  std::array<long, 4> cells;
  for (int i = 0; i < 4; ++i)
    cells[i] = std::lrint((x[i] - Lo[i]) / StallWidth[i]);
  return cells;
}

void TImplicitCurve4D::FollowPiece(const PointPair &x0, Cell cell0) {
  Vector4 t0;
  if (!TangentOfLocus(x0, t0)) {
    Append(1, x0);
    Append(0, x0);
    return;
  }
  if (!InsidePairDomain(x0))
    return;
  const Vector4 back{-t0[0], -t0[1], -t0[2], -t0[3]};
  if (FollowDirection(x0, cell0, back) && !RunOver())
    FollowDirection(x0, cell0, t0);
  SetCell(cell0, 1);
}

bool TImplicitCurve4D::FollowDirection(const PointPair &x0, Cell cell0, Vector4 d) {
  Append(1, x0);
  PointPair prev = x0, cur = x0;
  Cell last = cell0;
  int still = 0, meets = 0;
  bool left = false;
  std::array<long, 4> cells = StallCells(x0);
  Lingering lingering{x0, 0};
  bool ok = PredictStep(prev, d, cur);
  if (!ok)
    return false;
  for (int steps = 1; ok; ++steps) {
    if (!InsidePairDomain(cur))
      break;
    const Cell from = last;
    const std::array<long, 4> now = StallCells(prev);
    still = now == cells ? still + 1 : 0;
    cells = now;
    last = Project(cur);
    left = left || last != cell0;
    Append(0, cur);
    if (left) {
      const bool hit = MarkLine(from, last);
      // A step that ends in the cell it started from crosses no cell but the one the walk has
      // just marked itself, so it says nothing about traced ground either way. Counting it as
      // new ground let a walk round a small closed curve, with steps shorter than a cell, reset
      // its count between every two hits and go round for ever.
      if (from != last)
        meets = hit ? meets + 1 : 0;
      if (meets > 2)
        break;
    }
    if (Lingers(lingering, cur) || steps >= MaxStepsPerDirection || RunOver())
      break;
    prev = cur;
    ok = PredictStep(prev, d, cur) && still <= 20;
  }
  SetCell(cell0, 0);
  return true;
}

} // namespace tandor
