#pragma once
// The "Gradual Descent" tracer: catches pairs of points of D with nearly equal images from the
// coarse samples, as the Descent tracer does, and follows the curves of double-point pairs in
// D x D. Its corrector solves one equation at a time, the one with the largest residual, along
// its exact gradient made orthogonal to the directions last used for the two others; it knows
// traced ground from a 401 x 401 grid of cells in a random plane onto which D x D is projected.
// Equation and coordinate indices are 0-based here: c = 0, 1, 2 for x, y, z and (u1, v1, u2, v2).

#include <array>
#include <cstdint>
#include <optional>

#include "solvers/CoordinateEvaluator.h"
#include "solvers/MapEvaluator.h"
#include "solvers/PairTracer.h"

namespace tandor {

class TImplicitCurve4D : public PairTracer {
public:
  static constexpr int GridSize = 401;
  // Evaluations of one coordinate function (value or derivative) between two polls of a run.
  static constexpr uint64_t DefaultPollWork = 750'000;
  using Cell = std::array<int, 2>; // (X, Y) of the projection plane

  // Why the last corrector run ended; the first two are successes.
  enum class DescentOutcome : uint8_t {
    Converged,         // residual below the limit
    Accepted,          // left without convergence, but the acceptance test held
    OutsideDomain,     // the pair left D x D or broke the pair order
    NonFinite,         // a residual or a gradient that is not a finite number
    NotHalved,         // the residual norm did not halve in five iterations
    FlatGradient,      // the orthogonalised gradient vanished
    TooLongCorrection, // one Newton coefficient exceeded MaxCorrection
    NotAccepted,       // left without convergence and the acceptance test failed
  };
  struct DescentRecord {
    DescentOutcome Outcome = DescentOutcome::Converged;
    int Iterations = 0; // the iteration in which it ended
  };

  TImplicitCurve4D();
  TImplicitCurve4D(MapEvaluator map, CoordinateEvaluator coordinates);

  // F as a whole (the coarse samples and the image norm) and one coordinate function at a time
  // (residuals and gradients). Both must stay alive while the tracer runs.
  void BindEvaluators(MapEvaluator map, CoordinateEvaluator coordinates);
  // Without a seed every run draws its projection axes from a generator seeded from the clock;
  // with one, every run uses it, so runs can be repeated exactly.
  void SetProjectionSeed(std::optional<uint64_t> seed) { ProjectionSeed = seed; }
  // The seed of the last run's projection, drawn from the clock or given.
  uint64_t ProjectionSeedUsed() const { return SeedUsed; }

  // Computes the locus for the problem in force, replacing the previous result. Returns early,
  // with what was traced so far, when the run control asks for a stop.
  void TraceLocus(const Vector2 &low, const Vector2 &high, double tolerance, int coarseCount,
                  double pixelLength, RunControl &control);

  // The preparation that opens every run: cells, thresholds, projection, samples, empty trace.
  void Prepare(const Vector2 &low, const Vector2 &high, double tolerance, int coarseCount,
               double pixelLength);

  double ResidualComponent(int c, const PointPair &x) const;
  void LargestResidual(const PointPair &x, int &index, double &largest, double &norm) const;
  Vector4 GradientRow(const PointPair &x, int c) const;
  std::array<Vector4, 3> AnalyticJacobian(const PointPair &x) const;

  // The corrector. start is taken by value: callers may descend a pair onto itself.
  bool GradualDescend(PointPair start, PointPair &x);
  const DescentRecord &LastDescent() const { return Descent; }

  void SetUpProjection();
  Cell Project(const PointPair &x) const;
  bool VisitedNear(const PointPair &x) const;
  // Marks the raster line of cells from one cell to another; true when a cell after the first
  // was already marked.
  bool MarkLine(Cell from, Cell to);
  bool Visited(Cell cell) const;

  bool TangentOfLocus(const PointPair &x, Vector4 &t) const;
  // One predictor-corrector step from x along the side of d; d becomes the chord x -> y.
  bool PredictStep(const PointPair &x, Vector4 &d, PointPair &y);
  void FollowPiece(const PointPair &x0, Cell cell0);

  Vector4 Width{}, StallWidth{};
  // A direction ends after this many steps within a stall width, in every coordinate, of the
  // pair where it last moved farther.
  int MaxLingeringSteps = 1000;
  double MaxCorrection = 0, SmallCorrection = 0;
  std::array<std::array<uint8_t, GridSize>, GridSize> VisitGrid{}; // [X][Y]
  std::array<double, 4> ProjectionScale{}; // S1, S2, then the offsets O1, O2
  std::array<Vector4, 2> ProjectionAxes{};

  // Pen colour of this method's drawing.
  static constexpr Rgb Magenta{255, 0, 255};

private:
  // The pair residual's component c when the halves are d apart (d >= 1e-8).
  double ComponentAt(int c, const PointPair &x, double d) const;
  bool Fail(DescentOutcome outcome, int iteration);
  // The corrector's directions R, one per equation, and its last Newton coefficients g.
  struct CorrectorState {
    std::array<Vector4, 3> R{};
    Vector3 g{};
  };
  // One Newton step for equation b along its gradient made orthogonal to the other two
  // directions; nothing when the step was made, otherwise why not.
  std::optional<DescentOutcome> NewtonStep(CorrectorState &state, PointPair &x, int b,
                                           double largest) const;
  // The acceptance of a walk left without convergence; sets the outcome of a refusal.
  bool AcceptUnconverged(const CorrectorState &state, const PointPair &x, double r, double first);
  void AdaptStepLength(const PointPair &start, const PointPair &x);
  // One walk from x0 along d; false when its very first step failed.
  bool FollowDirection(const PointPair &x0, Cell cell0, Vector4 d);
  std::array<long, 4> StallCells(const PointPair &x) const;
  struct Lingering {
    PointPair Anchor;
    int Steps;
  };
  // Counts a step that stays near the anchor, or moves the anchor to x; true when the walk has
  // lingered too long.
  bool Lingers(Lingering &lingering, const PointPair &x) const;
  void SetCell(Cell cell, uint8_t value);
  bool CatchPair(const CellTuple &cells, PointPair &x0);

  MapEvaluator Map;
  CoordinateEvaluator Coordinates;
  std::optional<uint64_t> ProjectionSeed;
  uint64_t SeedUsed = 0;
  DescentRecord Descent;
};

} // namespace tandor
