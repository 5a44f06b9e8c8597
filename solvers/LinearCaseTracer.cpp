// TImplicitCurveLine3D: the linear case's start search and walk.

#include "solvers/LinearCaseTracer.h"

#include <algorithm>
#include <cmath>

#include "solvers/Kernels.h"

namespace tandor {

namespace {

// Two extents overlap when each reaches strictly into the other. A stored extent of zero width
// (a curve lying exactly in a plane mv = const or t = const) could never be reached that way,
// and a closed curve there would go round for ever; it counts as met by any extent that holds
// it.
bool Overlaps(float min, float max, float storedMin, float storedMax) {
  if (storedMin == storedMax)
    return min <= storedMin && storedMin <= max;
  return max > storedMin && min < storedMax;
}

// Round to nearest, halves to even, clamped into int32 so that a degenerate box or pixel length
// cannot overflow the conversion.
int32_t RoundToInt32(double x) {
  if (!(x > -2147483647.0))
    return std::isnan(x) ? 0 : -2147483647;
  if (x > 2147483647.0)
    return 2147483647;
  return static_cast<int32_t>(std::nearbyint(x));
}

double ToDouble(Extended x) {
  return static_cast<double>(x);
}

} // namespace

void TImplicitCurveLine3D::TraceLocus(ResidualRoutine residual, InsideRoutine inside,
                                      RecordRoutine record, double tolerance, const Vector3 &low,
                                      const Vector3 &high, int32_t coarseCount, int32_t fineCount,
                                      double pixelLength, double recordSpacing,
                                      ResidualComponentRoutine component) {
  PrepareTrace(residual, inside, record, tolerance, low, high, coarseCount, fineCount, pixelLength,
               recordSpacing, component);
  Vector3 S{};
  for (int i = 0; i < CoarseCount; ++i)
    for (int j = 0; j < CoarseCount; ++j)
      for (int l = 0; l < CoarseCount; ++l) {
        if (StepsThisRun >= MaxStepsPerRun)
          return;
        const CellIndex cell{i, j, l};
        if (CatchStart(cell, S) && !SegmentSeen(S, S, false))
          FollowPiece(S, cell);
      }
}

void TImplicitCurveLine3D::PrepareTrace(ResidualRoutine residual, InsideRoutine inside,
                                        RecordRoutine record, double tolerance, const Vector3 &low,
                                        const Vector3 &high, int32_t coarseCount, int32_t fineCount,
                                        double pixelLength, double recordSpacing,
                                        ResidualComponentRoutine component) {
  ResidualFunc = residual;
  InsideFunc = inside;
  RecordFunc = record;
  ComponentFunc = component;
  StepsThisRun = 0;
  BoxLow = low;
  BoxHigh = high;
  // At least one cell: with none the cell width would be infinite.
  CoarseCount = std::clamp<int32_t>(coarseCount, 1, MaxNodes - 1);
  FineCount = std::min<int32_t>(400, fineCount);

  RecordSpacing = recordSpacing;
  RecordBySpacing = RecordSpacing > 0;

  MaxStep = 10 * pixelLength;
  MinStep = pixelLength / 10;
  BaseStep = MaxStep / 4;
  StepLength = 2 * BaseStep;

  for (int k = 0; k < 3; ++k) {
    HalfWidth[k] = (BoxHigh[k] - BoxLow[k]) / 2;
    CellWidth[k] = 2 * HalfWidth[k] / CoarseCount;
    JacobianStep[k] = HalfWidth[k] / 4096;
    JacobianStep2[k] = 2 * JacobianStep[k];
    JacobianDivisor[k] = 6 * JacobianStep2[k];
    CoarseGrid[k][0] = BoxLow[k];
    for (int j = 1; j <= CoarseCount; ++j)
      CoarseGrid[k][j] = CoarseGrid[k][j - 1] + CellWidth[k];
  }

  ColumnScale = ColumnCount / (2 * HalfWidth[0]);
  for (traceList &list : ColumnBoxes)
    list.clear(); // keeps its room: the next run does not allocate again

  const double mean = MeanResidual();
  CatchThreshold = mean / 10;
  Tolerance = tolerance;
  ResidualTolerance = std::min(mean * Tolerance, 1e-6);

  MaxStay = RoundToInt32(10 * Norm3(CellWidth) / MaxStep);
}

// A damped mean of |G| over the centres of a 10 x 10 x 10 grid of the box: a value above 50
// times the sum so far only doubles it, so a few huge residuals near a pole do not swamp it.
double TImplicitCurveLine3D::MeanResidual() const {
  double acc = 1e-15;
  Vector2 G{};
  for (int i = 1; i <= 10; ++i)
    for (int j = 1; j <= 10; ++j)
      for (int l = 1; l <= 10; ++l) {
        const Vector3 Q{BoxLow[0] + (2 * i - 1) * HalfWidth[0] / 10,
                        BoxLow[1] + (2 * j - 1) * HalfWidth[1] / 10,
                        BoxLow[2] + (2 * l - 1) * HalfWidth[2] / 10};
        ResidualFunc(G, Q);
        const double r = Norm2(G);
        if (50 * acc >= r)
          acc += r;
        else
          acc *= 2;
      }
  return acc / 1000;
}

bool TImplicitCurveLine3D::CatchStart(const CellIndex &cell, Vector3 &S) {
  double best = CatchThreshold;
  bool chosen = false;
  Vector3 choice{};
  Vector2 G{};
  for (double fa : SubCellFractions)
    for (double fb : SubCellFractions)
      for (double fc : SubCellFractions) {
        const Vector3 Q{CoarseGrid[0][cell[0]] + fa * CellWidth[0],
                        CoarseGrid[1][cell[1]] + fb * CellWidth[1],
                        CoarseGrid[2][cell[2]] + fc * CellWidth[2]};
        double r;
        if (ComponentFunc) {
          // |G| >= |G0| exactly, also after rounding, so a sample whose first component is not
          // below best cannot be chosen; most samples end here at half the cost.
          const double g0 = ComponentFunc(0, Q);
          if (!(std::fabs(g0) < best))
            continue;
          r = Norm2({g0, ComponentFunc(1, Q)});
        } else {
          ResidualFunc(G, Q);
          r = Norm2(G);
        }
        if (r < best) {
          best = r;
          choice = Q;
          chosen = true;
        }
      }
  if (!chosen || !InsideFunc(choice) || !DescendToLocus(choice, S))
    return false;
  StepLength = 2 * BaseStep;
  return true;
}

// Five-point central differences, the four evaluations of a column in the order +h, +2h, -h,
// -2h.
TImplicitCurveLine3D::Jacobian TImplicitCurveLine3D::ResidualJacobian(const Vector3 &S) const {
  Jacobian J{};
  Vector2 plus1{}, plus2{}, minus1{}, minus2{};
  for (int k = 0; k < 3; ++k) {
    const double h = JacobianStep[k];
    Vector3 Q = S;
    Q[k] = S[k] + h;
    ResidualFunc(plus1, Q);
    Q[k] = S[k] + 2 * h;
    ResidualFunc(plus2, Q);
    Q[k] = S[k] - h;
    ResidualFunc(minus1, Q);
    Q[k] = S[k] - 2 * h;
    ResidualFunc(minus2, Q);
    for (int c = 0; c < 2; ++c)
      J[c][k] = ToDouble((8 * (Extended(plus1[c]) - minus1[c]) + minus2[c] - plus2[c]) /
                         JacobianDivisor[k]);
  }
  return J;
}

// The smallest delta with J delta = -G, from the 2 x 2 normal equations.
bool TImplicitCurveLine3D::CorrectionStep(Vector3 &S, const Vector2 &G, const Jacobian &J,
                                          double &length) const {
  const Vector3 &a = J[0];
  const Vector3 &b = J[1];
  const double aa = Dot3(a, a), ab = Dot3(a, b), bb = Dot3(b, b);
  const double det = ToDouble(Extended(aa) * bb - Extended(ab) * ab);
  if (!(std::fabs(det) > 1e-13)) // a NaN determinant is as singular as a tiny one
    return false;
  const double lambda = ToDouble((Extended(G[1]) * ab - Extended(G[0]) * bb) / det);
  const double mu = ToDouble((Extended(G[0]) * ab - Extended(G[1]) * aa) / det);
  Vector3 delta{};
  for (int k = 0; k < 3; ++k) {
    delta[k] = ToDouble(Extended(lambda) * a[k] + Extended(mu) * b[k]);
    S[k] += delta[k];
  }
  length = Norm3(delta);
  return InsideFunc(S);
}

bool TImplicitCurveLine3D::DescendToLocus(const Vector3 &start, Vector3 &S) {
  S = start;
  double total = 0;
  Vector2 G{};
  ResidualFunc(G, S);
  double r = Norm2(G);
  // A NaN residual would slip past every comparison below as if converged.
  if (!std::isfinite(r))
    return false;
  if (r < ResidualTolerance)
    return InsideFunc(S);

  double length = Norm3(CellWidth) / 5;
  bool ok = true;
  while (ok && r > ResidualTolerance && length > MinStep) {
    const double previous = length;
    const Jacobian J = ResidualJacobian(S);
    ok = CorrectionStep(S, G, J, length);
    if (ok) {
      total += length;
      ResidualFunc(G, S);
      r = Norm2(G);
      ok = std::isfinite(r) && 0.9 * previous > length;
    }
  }
  if (!ok)
    return false;

  if (total < 1e-14)
    StepLength = MaxStep;
  else
    StepLength = std::min(0.1 * (StepLength * StepLength) / total, MaxStep);
  if (StepLength < MinStep)
    StepLength = MinStep;
  return true;
}

// The unit tangent of the curve at S, on the side of the incoming T.
bool TImplicitCurveLine3D::TangentOfLocus(const Vector3 &S, Vector3 &T) const {
  const Jacobian J = ResidualJacobian(S);
  const Vector3 tau = Cross3(J[0], J[1]);
  double n = Norm3(tau);
  if (!(n > 1e-12))
    return false;
  if (Dot3(tau, T) < 0)
    n = -n;
  for (int k = 0; k < 3; ++k)
    T[k] = tau[k] / n;
  return true;
}

bool TImplicitCurveLine3D::PredictStep(const Vector3 &S, Vector3 &T, Vector3 &Next) {
  if (!TangentOfLocus(S, T))
    return false;
  StepLength = 1.2 * StepLength;
  Vector3 corrected{};
  bool found = false;
  for (int attempt = 0; attempt < 11 && !found; ++attempt) {
    StepLength = 0.8 * StepLength;
    const Vector3 P{S[0] + StepLength * T[0], S[1] + StepLength * T[1], S[2] + StepLength * T[2]};
    found = DescendToLocus(P, corrected);
  }
  // Next is written only on success: a failed corrector leaves an unconverged point behind.
  if (!found)
    return false;
  Next = corrected;
  for (int k = 0; k < 3; ++k)
    T[k] = Next[k] - S[k];
  ArcSinceRecord += Norm3(T);
  return true;
}

int TImplicitCurveLine3D::ColumnOf(double mu) const {
  const double c = std::floor((mu - BoxLow[0]) * ColumnScale);
  if (!(c > 0))
    return 0;
  return c < ColumnCount ? static_cast<int>(c) : ColumnCount;
}

bool TImplicitCurveLine3D::SegmentSeen(const Vector3 &A, const Vector3 &B, bool record) {
  const int cA = ColumnOf(A[0]);
  const int cB = ColumnOf(B[0]);
  const StepBox box{
      static_cast<float>(std::min(A[1], B[1])), static_cast<float>(std::min(A[2], B[2])),
      static_cast<float>(std::max(A[1], B[1])), static_cast<float>(std::max(A[2], B[2]))};
  const int step = cB >= cA ? 1 : -1;
  for (int c = cA;; c += step) {
    for (const StepBox &e : ColumnBoxes[c])
      if (Overlaps(box.MinMv, box.MaxMv, e.MinMv, e.MaxMv) &&
          Overlaps(box.MinT, box.MaxT, e.MinT, e.MaxT))
        return true;
    if (c == cB)
      break;
  }
  if (record)
    AddStepBox(cA, cB, box);
  return false;
}

void TImplicitCurveLine3D::AddStepBox(int cA, int cB, const StepBox &box) {
  for (int c = std::min(cA, cB); c <= std::max(cA, cB); ++c)
    ColumnBoxes[c].push_back(box);
}

void TImplicitCurveLine3D::FollowPiece(const Vector3 &S0, const CellIndex &cell) {
  Vector3 D = S0; // only the orientation reference of the first tangent
  if (!TangentOfLocus(S0, D)) {
    RecordFunc(S0, S0, true);
    RecordFunc(S0, S0, false);
    return;
  }
  for (const double sign : {1.0, -1.0}) {
    if (StepsThisRun >= MaxStepsPerRun)
      return;
    ArcSinceRecord = 0;
    RecordFunc(S0, S0, true);
    Vector3 Current = S0, Previous = S0;
    Vector3 T{sign * D[0], sign * D[1], sign * D[2]};
    int crossings = 0, stay = 0;
    CellIndex index = cell;
    for (int steps = 0; crossings < 2 && stay < MaxStay && steps < MaxStepsPerDirection &&
                        StepsThisRun < MaxStepsPerRun;
         ++steps) {
      ++StepsThisRun;
      Previous = Current;
      if (!PredictStep(Previous, T, Current))
        break;
      bool moved = false;
      for (int k = 0; k < 3; ++k) {
        const int c = FloorIndex((Current[k] - BoxLow[k]) / CellWidth[k]);
        moved = moved || c != index[k];
        index[k] = c;
      }
      stay = moved ? 0 : stay + 1;
      crossings = SegmentSeen(Previous, Current, true) ? crossings + 1 : 0;
      if (!RecordBySpacing) {
        RecordFunc(Previous, Current, false);
      } else if (ArcSinceRecord > RecordSpacing) {
        RecordFunc(Previous, Current, false);
        ArcSinceRecord = 0;
      }
    }
    if (RecordBySpacing && ArcSinceRecord > 0)
      RecordFunc(Previous, Current, false);
  }
}

} // namespace tandor
