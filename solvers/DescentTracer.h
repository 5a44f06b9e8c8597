#pragma once
// The "Descent" tracer: catches zeros of the pair residual from pairs of coarse cells whose
// sampled images come close, corrects them onto the double-point locus by minimum-norm
// Gauss-Newton steps and follows each curve both ways with a predictor-corrector walk.

#include <array>
#include <vector>

#include "solvers/PairTracer.h"

namespace tandor {

inline constexpr Rgb DescentPenColour{0, 0, 255};

class TTandorR2R3 : public PairTracer {
public:
  static constexpr int ColumnCount = 401; // pixel columns of u1, both edges included

  // What a traced segment covers in the three coordinates besides u1, in single precision.
  struct SegmentBox {
    std::array<float, 3> Min; // v1, u2, v2
    std::array<float, 3> Max;
  };
  using Jacobian = std::array<Vector4, 3>; // row c: the gradient of residual component c

  // Evaluations of F between two polls of a run: some 50 ms of simple formulas.
  static constexpr uint64_t DefaultPollWork = 250'000;

  TTandorR2R3() : PairTracer(DescentPenColour, DefaultPollWork) {}

  // Computes the locus for F on the domain [low, high], replacing the previous result. The
  // fine count is accepted and unused. Returns early, keeping what was traced, when control
  // asks for a stop.
  void TraceLocus(const tandor::MapEvaluator &evaluator, const Vector2 &low, double tolerance,
                  const Vector2 &high, int coarseCount, int fineCount, double pixelLength,
                  RunControl &control);

  Vector3 PairResidual(const PointPair &x) const;
  Jacobian PairJacobian(const PointPair &x) const;
  // The corrector: from start towards the locus; true with x on it (inside the pair domain).
  bool DescendToLocus(const PointPair &start, PointPair &x);
  // The unit tangent at x, oriented like the given t. False, t unchanged, when degenerate.
  bool TangentOfLocus(const PointPair &x, Vector4 &t) const;
  // One predictor-corrector step from x along t; t becomes the chord to the new point y.
  bool PredictStep(const PointPair &x, Vector4 &t, PointPair &y);
  // Whether the segment a-b meets the box of an earlier segment; with record, a segment that
  // meets none is remembered.
  bool SegmentSeen(const PointPair &a, const PointPair &b, bool record);
  void FollowPiece(const PointPair &x0, const CellTuple &cells);
  bool CatchPair(const CellTuple &cells, PointPair &x0);

  tandor::MapEvaluator MapEvaluator;
  // The boxes of traced segments, one list per pixel column of u1.
  std::array<std::vector<SegmentBox>, ColumnCount> ColumnBoxes;
  Vector4 JacobianStep{}, JacobianStep2{}, JacobianDivisor{};
  double ColumnScale = 0;
  double StartCorrection = 0;

private:
  void Prepare(const tandor::MapEvaluator &evaluator, const Vector2 &low, double tolerance,
               const Vector2 &high, int coarseCount, double pixelLength);
  int ColumnOf(double u1) const;
};

} // namespace tandor
