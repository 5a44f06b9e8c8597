#pragma once
// What the Descent and the Gradual-descent tracers share: the coarse cells of D and their
// sampled images, the catch of a start pair from a pair of cells, the pair order, the trace list,
// its drawing and the sibling lookup. Coordinates of a pair are indexed 0..3 (u1, v1, u2, v2),
// the nine samples of a cell 0..8.

#include <array>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "solvers/Canvas.h"
#include "solvers/MapEvaluator.h"
#include "solvers/RunControl.h"
#include "solvers/Trace.h"

namespace tandor {

class PairTracer {
public:
  static constexpr int MaxCells = 32;
  using CellTuple = std::array<int, 4>; // (a, b) cell of the first half, (c, d) of the second

  PairTracer(Rgb penColour, uint64_t pollWork) : PollWork(pollWork), PenColour(penColour) {}

  // Draws TraceList into rect; with buildSiblings the sibling table is rebuilt for rect. A
  // long drawing polls control, if given, and ends where a stop is asked.
  void DrawLocus(Canvas &canvas, const PixelRect &rect, bool buildSiblings,
                 const Vector2 &domainLow, const Vector2 &domainHigh,
                 RunControl *control = nullptr);
  bool FindSibling(int x, int row, int &siblingX, int &siblingY) const;

  int TraceHigh() const { return static_cast<int>(TraceList.size()) - 1; }

  const std::array<double, 3> SubCellFractions{1.0 / 6.0, 0.5, 5.0 / 6.0};
  std::array<std::array<double, MaxCells>, 4> CoarseGrid{};
  std::array<Vector2, 9> SampleOffsets{};
  Vector4 Lo{}, Hi{}, HalfWidth{}, CellWidth{};
  int32_t CoarseCount = 0;
  double MaxStep = 0, MinStep = 0, StepLength = 0;
  double CatchThreshold = 0, Tolerance = 0, ResidualTolerance = 0, MeanImageNorm = 0;
  double PixelLength = 0; // the margin of the pair order
  // F at the nine samples of every cell; inline, so no allocation depends on the cell count.
  std::array<std::array<std::array<Vector3, 9>, MaxCells>, MaxCells> SampleTable{};
  // The bounding box of each cell's finite sample images: a cell pair whose boxes lie farther
  // apart than CatchThreshold is passed over without looking at its 81 sample pairs.
  struct SampleBox {
    Vector3 Low, High;
  };
  std::array<std::array<SampleBox, MaxCells>, MaxCells> SampleBounds{};
  bool SampleBoundsValid = false; // set by FillSampleTable, cleared by PrepareCells
  std::vector<TracePoint> TraceList;
  SiblingTable SiblingRows;
  // The work done, in evaluations (the tracer says of what), and how much of it may pass
  // between two polls of a run.
  mutable uint64_t Evaluations = 0;
  uint64_t PollWork;
  // What one run may take, whatever the problem. The wildest problems tried store some 300,000
  // records in 11,000 pieces, in walks of at most a few hundred steps; the caps only end runs
  // that would otherwise grow without end. A full trace ends the run as a stop does.
  std::size_t MaxRecords = 1'000'000;
  int MaxStepsPerDirection = 100'000;
  const Rgb PenColour;

protected:
  // Lo, Hi, CoarseCount (clamped to 11..31), MaxStep, MinStep, StepLength, HalfWidth,
  // CellWidth, CoarseGrid, SampleOffsets and PixelLength.
  void PrepareCells(const Vector2 &low, const Vector2 &high, int coarseCount, double pixelLength);
  // MeanImageNorm over the centres of a 15 x 15 grid of D, then Tolerance, CatchThreshold and
  // ResidualTolerance.
  void PrepareThresholds(const MapEvaluator &F, double tolerance);
  // SampleTable and SampleBounds.
  void FillSampleTable(const MapEvaluator &F);
  static SampleBox BoundsOfSamples(const std::array<Vector3, 9> &samples);
  // Empties the trace list (room for 100 records) and releases the sibling table.
  void ResetTrace();

  // Strictly inside D x D, and the pair order with the margin PixelLength.
  bool InsidePairDomain(const PointPair &x) const;

  // The sample pair of the two cells whose images are closest, if closer than CatchThreshold.
  // Sets StepLength to MaxStep / 2. The caller then descends from the start pair.
  bool NearestSamplePair(const CellTuple &cells, PointPair &x0);

  // Visits every unordered pair of distinct cells once, in the order of the sweep, polling
  // run control at every 30th visited tuple of the counter that starts at counterStart.
  // A visit may return false to end the sweep. Returns false when the sweep was ended early.
  template <class Control, class Visit>
  bool SweepCellPairs(int counterStart, Control &control, Visit &&visit) {
    const int n = CoarseCount;
    int counter = counterStart;
    for (int a = 0; a < n; ++a)
      for (int b = 0; b < n; ++b)
        for (int c = 0; c < n; ++c)
          for (int d = 0; d < n; ++d) {
            if (!(d > b || (d == b && c > a)))
              continue;
            ++counter;
            if (counter % 30 == 0 && control.ProcessEventsAndCheckStop())
              return false;
            if constexpr (std::is_void_v<decltype(visit(CellTuple{}))>)
              visit(CellTuple{a, b, c, d});
            else if (!visit(CellTuple{a, b, c, d}))
              return false;
          }
    return true;
  }

  // The sweep of a run: besides the sweep's own polls, the walks poll through RunOver while
  // it lasts. A visit returns false when the run must end.
  template <class Visit> void RunSweep(int counterStart, RunControl &control, Visit &&visit) {
    RunPoll poll(control, Evaluations, PollWork);
    Watch = &poll;
    SweepCellPairs(counterStart, poll, visit);
    Watch = nullptr;
  }

  // Whether the run must end: a stop was asked for (polling when due) or the trace is full.
  // Outside a run only a full trace ends anything.
  bool RunOver() {
    return TraceList.size() >= MaxRecords || (Watch != nullptr && Watch->Breathe());
  }

  // False, storing nothing, when the trace is full.
  bool Append(int32_t pieceStart, const PointPair &x);

private:
  RunPoll *Watch = nullptr; // only while a sweep runs
};

} // namespace tandor
