#pragma once
// Finds the cross-caps and triple points of F on D: the cross-caps from D itself, so that a
// method that misses a branch of L hides none, the triple points from the run's result L.

#include <span>

#include "analysis/CrossCapSearch.h"
#include "analysis/SingularPoints.h"
#include "analysis/TriplePointSearch.h"
#include "solvers/CoordinateEvaluator.h"
#include "solvers/MapEvaluator.h"
#include "solvers/RunControl.h"

namespace tandor {

class SingularPointFinder {
public:
  // Replaces Result(). map gives F, coordinates its exact first derivatives; locus is the run's
  // result as pieces between sibling pairs. False when control asked for a stop: Result() then
  // holds the points verified before it, marked incomplete.
  bool Find(const MapEvaluator &map, const CoordinateEvaluator &coordinates, const Vector2 &low,
            const Vector2 &high, std::span<const PairSegment> locus, RunControl &control);

  const SingularPoints &Result() const { return Points; }
  // No points, as before any search, or after a search that did not start.
  void Clear(bool complete = true) {
    Points.Clear();
    Points.Complete = complete;
  }

  // Each keeps its buffers from run to run; public for their statistics.
  CrossCapSearch CrossCaps;
  TriplePointSearch Triples;

private:
  SingularPoints Points;
};

} // namespace tandor
