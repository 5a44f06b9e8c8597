#pragma once
// The singular-point search after a Draw-It run: on the result of the method that ran and the
// compiled coordinate functions.

#include <span>
#include <vector>

#include "analysis/SingularPointFinder.h"
#include "formula/MapFunctions.h"
#include "problem/Glob.h"
#include "solvers/CompiledCoordinates.h"
#include "solvers/LocusRun.h"

namespace tandor {

// A curve tracer's trace as pieces between consecutive sibling pairs of each polyline; a
// polyline of one pair gives a piece of no length.
void AppendTraceSegments(std::span<const TracePoint> trace, std::vector<PairSegment> &out);

// The result of a method: its trace, or the triangle method's segments, which come in pairs
// (the piece of L in one triangle, then the piece in the other, end matching end).
void CollectPairSegments(const LocusMethodSolver &solver, std::vector<PairSegment> &out);

class SingularPointAnalysis {
public:
  // Searches after a run of method. False when control asked for a stop.
  bool Analyse(const LocusSolvers &solvers, LocusMethod method, const Glob &glob, MapFunctions &map,
               RunControl &control);
  const SingularPoints &Result() const { return Finder.Result(); }
  // No search after a run that was stopped: no points, and the result says it is not complete.
  void Stopped() { Finder.Clear(false); }

  SingularPointFinder Finder;

private:
  std::vector<PairSegment> Locus;
  CompiledCoordinates Coordinates;
};

} // namespace tandor
