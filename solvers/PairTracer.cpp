// PairTracer: the coarse cells of D, their sample boxes and the pairs of cells worth a descent.

#include "solvers/PairTracer.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "solvers/Kernels.h"
#include "solvers/TraceDrawing.h"

namespace tandor {

void PairTracer::PrepareCells(const Vector2 &low, const Vector2 &high, int coarseCount,
                              double pixelLength) {
  SampleBoundsValid = false;
  Lo = {low[0], low[1], low[0], low[1]};
  Hi = {high[0], high[1], high[0], high[1]};
  CoarseCount = std::max(std::min(31, coarseCount), 11);
  PixelLength = pixelLength;
  MaxStep = 10 * pixelLength;
  MinStep = pixelLength / 10;
  StepLength = MaxStep / 2;
  for (int i = 0; i < 4; ++i) {
    HalfWidth[i] = (Hi[i] - Lo[i]) / 2;
    CellWidth[i] = 2 * HalfWidth[i] / CoarseCount;
    // Accumulated, not multiplied: the cell edges are those of a walk along the side of D.
    CoarseGrid[i][0] = Lo[i];
    for (int k = 1; k <= CoarseCount; ++k)
      CoarseGrid[i][k] = CoarseGrid[i][k - 1] + CellWidth[i];
  }
  for (int a = 0; a < 3; ++a)
    for (int b = 0; b < 3; ++b)
      SampleOffsets[3 * a + b] = {CellWidth[0] * SubCellFractions[a],
                                  CellWidth[1] * SubCellFractions[b]};
}

void PairTracer::PrepareThresholds(const MapEvaluator &F, double tolerance) {
  // A running sum in which one huge image (near a pole of a formula) only doubles the sum, so a
  // single wild value cannot set the scale of every threshold.
  double m = 1e-15;
  for (int j = 1; j <= 15; ++j)
    for (int k = 1; k <= 15; ++k) {
      Vector3 image{};
      F(image[0], image[1], image[2], Lo[0] + (2 * j - 1) * HalfWidth[0] / 15,
        Lo[1] + (2 * k - 1) * HalfWidth[1] / 15);
      const double r = Norm3(image);
      if (50 * m >= r)
        m += r;
      else
        m *= 2;
    }
  MeanImageNorm = m / 225;
  Tolerance = tolerance;
  CatchThreshold = MeanImageNorm / 10;
  ResidualTolerance = std::min(MeanImageNorm * Tolerance, 1e-6);
}

void PairTracer::FillSampleTable(const MapEvaluator &F) {
  const int n = CoarseCount;
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      auto &cell = SampleTable[i][j];
      for (int s = 0; s < 9; ++s)
        F(cell[s][0], cell[s][1], cell[s][2], CoarseGrid[0][i] + SampleOffsets[s][0],
          CoarseGrid[1][j] + SampleOffsets[s][1]);
      SampleBounds[i][j] = BoundsOfSamples(cell);
    }
  SampleBoundsValid = true;
}

PairTracer::SampleBox PairTracer::BoundsOfSamples(const std::array<Vector3, 9> &samples) {
  constexpr double inf = std::numeric_limits<double>::infinity();
  SampleBox box{{inf, inf, inf}, {-inf, -inf, -inf}};
  for (const Vector3 &s : samples) {
    // A sample with a coordinate that is not finite is at an infinite or undefined distance from
    // every other sample, so it can never be the closest pair: it need not widen the box.
    if (!(std::isfinite(s[0]) && std::isfinite(s[1]) && std::isfinite(s[2])))
      continue;
    for (int c = 0; c < 3; ++c) {
      box.Low[c] = std::min(box.Low[c], s[c]);
      box.High[c] = std::max(box.High[c], s[c]);
    }
  }
  return box;
}

void PairTracer::ResetTrace() {
  TraceList.clear(); // keeps its capacity: a recomputation during a drag allocates nothing
  TraceList.reserve(100);
  // While a run computes, no sibling is offered; the rows keep their storage for the next
  // drawing.
  for (auto &row : SiblingRows)
    row.clear();
}

bool PairTracer::InsidePairDomain(const PointPair &x) const {
  for (int i = 0; i < 4; ++i)
    if (!(Lo[i] < x[i] && x[i] < Hi[i]))
      return false;
  // Halves within p in v are ordered by u alone, whichever is the higher: an order that also
  // asked for v2 >= v1 would refuse both orders of a pair whose higher half lies to the left,
  // and pairs at equal heights (the sibling of (u, v) at (-u, v)) drift to either side of
  // v2 = v1 by rounding and on the corrector's way.
  const double p = PixelLength;
  return x[3] > x[1] + p || (x[3] >= x[1] - p && x[2] > x[0] + p);
}

namespace {

// Squared distances are compared with this relative margin before the exact comparison decides:
// the double-precision square of a distance is within a few units in the last place of the
// extended one, far inside the margin, so a pair skipped here could never have been closer.
constexpr double PrefilterMargin = 1 + 1e-9;
constexpr double Infinity = std::numeric_limits<double>::infinity();

double GapSquared(const PairTracer::SampleBox &a, const PairTracer::SampleBox &b) {
  double sum = 0;
  for (int c = 0; c < 3; ++c) {
    const double gap = std::max({0.0, b.Low[c] - a.High[c], a.Low[c] - b.High[c]});
    sum += gap * gap;
  }
  return sum;
}

double SquaredDistance(const Vector3 &a, const Vector3 &b) {
  const double d0 = a[0] - b[0], d1 = a[1] - b[1], d2 = a[2] - b[2];
  return d0 * d0 + d1 * d1 + d2 * d2;
}

} // namespace

bool PairTracer::NearestSamplePair(const CellTuple &cells, PointPair &x0) {
  const auto [a, b, c, d] = cells;
  double best = CatchThreshold;
  // Boxes that are far apart cannot hold a sample pair closer than the threshold. An empty box
  // (no finite sample) spans +inf to -inf, so its gap to any box is infinite.
  const double gap = GapSquared(SampleBounds[a][b], SampleBounds[c][d]);
  if (SampleBoundsValid && best >= 1e-150 && gap > best * best * PrefilterMargin)
    return false;
  const auto &first = SampleTable[a][b];
  const auto &second = SampleTable[c][d];
  int bi = -1, bj = -1;
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 9; ++j) {
      // Below 1e-150 the square would lose precision in the subnormal range.
      const double limit = best >= 1e-150 ? best * best * PrefilterMargin : Infinity;
      if (SquaredDistance(first[i], second[j]) > limit)
        continue;
      const double e = Distance3(first[i], second[j]);
      if (e < best) {
        best = e;
        bi = i;
        bj = j;
      }
    }
  if (bi < 0)
    return false;
  x0 = {CoarseGrid[0][a] + SampleOffsets[bi][0], CoarseGrid[1][b] + SampleOffsets[bi][1],
        CoarseGrid[0][c] + SampleOffsets[bj][0], CoarseGrid[1][d] + SampleOffsets[bj][1]};
  StepLength = MaxStep / 2;
  return true;
}

bool PairTracer::Append(int32_t pieceStart, const PointPair &x) {
  if (TraceList.size() >= MaxRecords)
    return false;
  TraceList.push_back({pieceStart, x});
  return true;
}

void PairTracer::DrawLocus(Canvas &canvas, const PixelRect &rect, bool buildSiblings,
                           const Vector2 &domainLow, const Vector2 &domainHigh,
                           RunControl *control) {
  DrawTrace(canvas, rect, TraceList, PenColour, domainLow, domainHigh,
            buildSiblings ? &SiblingRows : nullptr, control);
}

bool PairTracer::FindSibling(int x, int row, int &siblingX, int &siblingY) const {
  return FindSiblingInRows(SiblingRows, x, row, siblingX, siblingY);
}

} // namespace tandor
