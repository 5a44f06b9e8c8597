// TTandorR2R3: the Descent tracer's residual, Jacobian, descent and walk along the locus.

#include "solvers/DescentTracer.h"

#include <algorithm>
#include <cmath>

#include "solvers/Kernels.h"

namespace tandor {

void TTandorR2R3::Prepare(const tandor::MapEvaluator &evaluator, const Vector2 &low,
                          double tolerance, const Vector2 &high, int coarseCount,
                          double pixelLength) {
  MapEvaluator = evaluator;
  PrepareCells(low, high, coarseCount, pixelLength);
  for (int i = 0; i < 4; ++i) {
    JacobianStep[i] = HalfWidth[i] / 4096;
    JacobianStep2[i] = 2 * JacobianStep[i];
    JacobianDivisor[i] = 6 * JacobianStep2[i];
  }
  ColumnScale = 400 / (2 * HalfWidth[0]);
  StartCorrection = 0.2 * std::sqrt(CellWidth[0] * CellWidth[0] + CellWidth[1] * CellWidth[1]);
  for (auto &column : ColumnBoxes)
    column.clear(); // keeps the capacity for the next run
  PrepareThresholds(MapEvaluator, tolerance);
  FillSampleTable(MapEvaluator);
  ResetTrace();
}

Vector3 TTandorR2R3::PairResidual(const PointPair &x) const {
  Vector3 F1{}, F2{};
  Evaluations += 2;
  MapEvaluator(F1[0], F1[1], F1[2], x[0], x[1]);
  MapEvaluator(F2[0], F2[1], F2[2], x[2], x[3]);
  const double d = Distance2({x[0], x[1]}, {x[2], x[3]});
  // Near the diagonal the quotient means nothing; a residual that is not small keeps the
  // corrector away from the trivial solutions.
  if (d < 1e-8)
    return {1, 1, 1};
  return {(F2[0] - F1[0]) / d, (F2[1] - F1[1]) / d, (F2[2] - F1[2]) / d};
}

TTandorR2R3::Jacobian TTandorR2R3::PairJacobian(const PointPair &x) const {
  Jacobian J{};
  for (int i = 0; i < 4; ++i) {
    PointPair y = x;
    y[i] = x[i] + JacobianStep[i];
    const Vector3 plus1 = PairResidual(y);
    y[i] = x[i] + JacobianStep2[i];
    const Vector3 plus2 = PairResidual(y);
    y[i] = x[i] - JacobianStep[i];
    const Vector3 minus1 = PairResidual(y);
    y[i] = x[i] - JacobianStep2[i];
    const Vector3 minus2 = PairResidual(y);
    for (int c = 0; c < 3; ++c)
      J[c][i] = (8 * (plus1[c] - minus1[c]) + minus2[c] - plus2[c]) / JacobianDivisor[i];
  }
  return J;
}

bool TTandorR2R3::DescendToLocus(const PointPair &start, PointPair &x) {
  x = start;
  double s = 0; // the summed lengths of the corrections
  Vector3 G = PairResidual(x);
  double r = Norm3(G);
  if (r < ResidualTolerance)
    return InsidePairDomain(x);
  double last = StartCorrection;
  bool ok = true;
  // Written as "not yet within tolerance" so that a residual that is not a number keeps the
  // walk going into its failure instead of passing for convergence.
  while (ok && !(r <= ResidualTolerance) && last > MinStep) {
    const double prev = last;
    const Jacobian J = PairJacobian(x);
    ok = MinimumNormCorrection(x, last, G, J[0], J[1], J[2]) && InsidePairDomain(x);
    if (ok) {
      s += last;
      G = PairResidual(x);
      r = Norm3(G);
      ok = 0.9 * prev > last; // the corrections must shrink, or the walk is not converging
    }
  }
  // A walk stopped by a short last correction counts as converged, but never on a residual that
  // is not finite.
  if (!ok || !std::isfinite(r))
    return false;
  if (s < 1e-14) {
    StepLength = MaxStep;
  } else {
    StepLength = std::min(MaxStep, 0.1 * (StepLength * StepLength) / s);
    if (StepLength < MinStep)
      StepLength = MinStep;
  }
  return true;
}

bool TTandorR2R3::TangentOfLocus(const PointPair &x, Vector4 &t) const {
  const Jacobian J = PairJacobian(x);
  const Vector4 c = Cross4(J[0], J[1], J[2]);
  double m = Norm4(c);
  if (!(m > 1e-12) || !std::isfinite(m))
    return false;
  if (Dot4(c, t) < 0)
    m = -m;
  for (int i = 0; i < 4; ++i)
    t[i] = c[i] / m;
  return true;
}

bool TTandorR2R3::PredictStep(const PointPair &x, Vector4 &t, PointPair &y) {
  if (!TangentOfLocus(x, t))
    return false;
  StepLength = 1.2 * StepLength;
  bool found = false;
  for (int tries = 0; tries < 8 && !found; ++tries) {
    StepLength = 0.8 * StepLength;
    PointPair predicted{};
    for (int i = 0; i < 4; ++i)
      predicted[i] = x[i] + StepLength * t[i];
    found = DescendToLocus(predicted, y);
  }
  if (!found)
    return false;
  // Only the orientation of the chord matters to the next tangent.
  for (int i = 0; i < 4; ++i)
    t[i] = y[i] - x[i];
  return true;
}

int TTandorR2R3::ColumnOf(double u1) const {
  // Stored pairs lie inside D, so this is 0..399; the clamp only keeps a stray value in range.
  const double column = std::floor((u1 - Lo[0]) * ColumnScale);
  if (!(column > 0))
    return 0;
  return column < ColumnCount - 1 ? static_cast<int>(column) : ColumnCount - 1;
}

bool TTandorR2R3::SegmentSeen(const PointPair &a, const PointPair &b, bool record) {
  const int colA = ColumnOf(a[0]), colB = ColumnOf(b[0]);
  const int step = colB >= colA ? 1 : -1;
  SegmentBox box{};
  for (int k = 0; k < 3; ++k) {
    box.Min[k] = static_cast<float>(std::min(a[k + 1], b[k + 1]));
    box.Max[k] = static_cast<float>(std::max(a[k + 1], b[k + 1]));
  }
  auto meets = [&box](const SegmentBox &e) {
    for (int k = 0; k < 3; ++k)
      if (!(box.Max[k] > e.Min[k] && box.Min[k] < e.Max[k]))
        return false;
    return true;
  };
  for (int column = colA;; column += step) {
    const auto &list = ColumnBoxes[column];
    if (std::any_of(list.begin(), list.end(), meets))
      return true;
    if (column == colB)
      break;
  }
  if (record)
    for (int column = colA;; column += step) {
      ColumnBoxes[column].push_back(box);
      if (column == colB)
        break;
    }
  return false;
}

void TTandorR2R3::FollowPiece(const PointPair &x0, const CellTuple &cells) {
  Vector4 t = x0; // orients the first tangent towards the side of x0 itself
  if (!TangentOfLocus(x0, t)) {
    Append(1, x0);
    Append(0, x0);
    return;
  }
  for (const double sense : {1.0, -1.0}) {
    if (RunOver())
      return;
    Append(1, x0);
    PointPair cur = x0;
    Vector4 dir{sense * t[0], sense * t[1], sense * t[2], sense * t[3]};
    int meets = 0, still = 0;
    CellTuple cell = cells;
    // A branch ends when two segments in a row run over traced ground, or when it has stayed
    // twenty steps within one tuple of cells.
    for (int steps = 0; meets < 2 && still < 20 && steps < MaxStepsPerDirection; ++steps) {
      const PointPair prev = cur;
      if (!PredictStep(prev, dir, cur))
        break;
      bool changed = false;
      for (int i = 0; i < 4; ++i) {
        const int index = FloorIndex((cur[i] - Lo[i]) / CellWidth[i]);
        changed = changed || index != cell[i];
        cell[i] = index;
      }
      meets = SegmentSeen(prev, cur, true) ? meets + 1 : 0;
      still = changed ? 0 : still + 1;
      Append(0, cur);
      if (RunOver())
        return;
    }
  }
}

bool TTandorR2R3::CatchPair(const CellTuple &cells, PointPair &x0) {
  if (!NearestSamplePair(cells, x0))
    return false;
  return InsidePairDomain(x0) && DescendToLocus(x0, x0);
}

void TTandorR2R3::TraceLocus(const tandor::MapEvaluator &evaluator, const Vector2 &low,
                             double tolerance, const Vector2 &high, int coarseCount, int fineCount,
                             double pixelLength, RunControl &control) {
  (void)fineCount;
  Prepare(evaluator, low, tolerance, high, coarseCount, pixelLength);
  // Most cell pairs are passed over at once; only a walk can have used up the run.
  RunSweep(5, control, [this](const CellTuple &cells) {
    PointPair x0{};
    if (!CatchPair(cells, x0))
      return true;
    FollowPiece(x0, cells);
    return !RunOver();
  });
}

} // namespace tandor
