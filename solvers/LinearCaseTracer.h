#pragma once
// The tracer of the linear case. When x(u, v) = a u + b v, two points with the same image differ
// along (b, -a), so a candidate pair is S = (mu, mv, t): P1 = (mu + b t, mv - a t) and
// P2 = (mu - b t, mv + a t). The double points are the zeros of a residual of two equations in
// these three unknowns; the tracer catches them on a coarse grid of the box and follows each
// curve with a predictor-corrector. It knows the problem only through three routines.

#include <array>
#include <cstdint>
#include <vector>

#include "base/RoutineRef.h"
#include "solvers/Trace.h"

namespace tandor {

// G(S), both components.
using ResidualRoutine = RoutineRef<void(Vector2 &G, const Vector3 &S)>;
// S is admissible: the midpoint and both points of its pair lie in D.
using InsideRoutine = RoutineRef<bool(const Vector3 &S)>;
// Stores S; previous is the point before it (S itself at a piece start).
using RecordRoutine = RoutineRef<void(const Vector3 &previous, const Vector3 &S, bool pieceStart)>;
// One component of G(S), bit for bit the one the residual routine gives. Optional: with it the
// catch skips the second component of samples whose first one already rules them out.
using ResidualComponentRoutine = RoutineRef<double(int component, const Vector3 &S)>;

class TImplicitCurveLine3D {
public:
  static constexpr int ColumnCount = 400; // pixel columns of the picture across [uMin, uMax]
  static constexpr int MaxNodes = 32;
  // Last guards, far beyond any curve of the box: a direction that has not ended by then is
  // going round a curve it cannot recognise, and the run could not be stopped otherwise. The
  // wildest problems tried take some 50,000 steps in a run and a few hundred in a direction; a run
  // that reaches its cap keeps what it traced and catches no more.
  static constexpr int MaxStepsPerDirection = 100000;
  static constexpr int64_t DefaultMaxStepsPerRun = 250000;

  // The bounding box in (mv, t) of one traced step, in single precision.
  struct StepBox {
    float MinMv, MinT, MaxMv, MaxT;
  };
  using traceList = std::vector<StepBox>;
  using CellIndex = std::array<int, 3>;
  using Jacobian = std::array<Vector3, 2>; // rows: the components of G; columns: mu, mv, t

  TImplicitCurveLine3D() = default;

  // Catches and follows every curve of zeros of the residual in the box [low, high]; the result
  // is what record stored. Runs to its end: it polls nothing and cannot be stopped.
  void TraceLocus(ResidualRoutine residual, InsideRoutine inside, RecordRoutine record,
                  double tolerance, const Vector3 &low, const Vector3 &high, int32_t coarseCount,
                  int32_t fineCount, double pixelLength, double recordSpacing,
                  ResidualComponentRoutine component = {});

  // The stages of a trace, open to tests. PrepareTrace must come first.
  void PrepareTrace(ResidualRoutine residual, InsideRoutine inside, RecordRoutine record,
                    double tolerance, const Vector3 &low, const Vector3 &high, int32_t coarseCount,
                    int32_t fineCount, double pixelLength, double recordSpacing,
                    ResidualComponentRoutine component = {});
  double MeanResidual() const;
  bool CatchStart(const CellIndex &cell, Vector3 &S);
  Jacobian ResidualJacobian(const Vector3 &S) const;
  bool CorrectionStep(Vector3 &S, const Vector2 &G, const Jacobian &J, double &length) const;
  bool DescendToLocus(const Vector3 &start, Vector3 &S);
  bool TangentOfLocus(const Vector3 &S, Vector3 &T) const;
  bool PredictStep(const Vector3 &S, Vector3 &T, Vector3 &Next);
  bool SegmentSeen(const Vector3 &A, const Vector3 &B, bool record);
  void FollowPiece(const Vector3 &S0, const CellIndex &cell);

  ResidualRoutine ResidualFunc;
  InsideRoutine InsideFunc;
  RecordRoutine RecordFunc;
  std::array<traceList, ColumnCount + 1> ColumnBoxes; // index 400 only at mu = uMax
  const Vector3 SubCellFractions{1.0 / 6.0, 0.5, 5.0 / 6.0};
  std::array<std::array<double, MaxNodes>, 3> CoarseGrid{};
  Vector3 BoxLow{}, BoxHigh{};
  Vector3 CellWidth{};
  Vector3 HalfWidth{};
  Vector3 JacobianStep{}, JacobianStep2{}, JacobianDivisor{};
  int32_t CoarseCount = 0;
  int32_t FineCount = 0;
  int32_t MaxStay = 0;
  double MaxStep = 0, BaseStep = 0, MinStep = 0, StepLength = 0;
  double RecordSpacing = 0;
  double CatchThreshold = 0;
  double ArcSinceRecord = 0;
  double ColumnScale = 0;
  double Tolerance = 0;
  double ResidualTolerance = 0;
  bool RecordBySpacing = false;
  ResidualComponentRoutine ComponentFunc;
  int64_t MaxStepsPerRun = DefaultMaxStepsPerRun;
  int64_t StepsThisRun = 0; // predictor steps tried since PrepareTrace

private:
  // The column of a mu, clamped to the 401 lists so that no input can index outside them.
  int ColumnOf(double mu) const;
  void AddStepBox(int cA, int cB, const StepBox &box);
};

} // namespace tandor
