#include "analysis/RunAnalysis.h"

namespace tandor {

void AppendTraceSegments(std::span<const TracePoint> trace, std::vector<PairSegment> &out) {
  for (std::size_t k = 0; k < trace.size(); ++k) {
    if (trace[k].PieceStart == 0 && k > 0)
      out.push_back({trace[k - 1].Pair, trace[k].Pair});
    else if (k + 1 == trace.size() || trace[k + 1].PieceStart != 0)
      out.push_back({trace[k].Pair, trace[k].Pair});
  }
}

void CollectPairSegments(const LocusMethodSolver &solver, std::vector<PairSegment> &out) {
  out.clear();
  if (const std::vector<TracePoint> *trace = solver.TracePoints()) {
    AppendTraceSegments(*trace, out);
    return;
  }
  for (std::size_t k = 0; k + 1 < solver.SegmentCount(); k += 2) {
    const Vector4 a = solver.Segment(k), b = solver.Segment(k + 1);
    out.push_back({{a[0], a[1], b[0], b[1]}, {a[2], a[3], b[2], b[3]}});
  }
}

bool SingularPointAnalysis::Analyse(const LocusSolvers &solvers, LocusMethod method,
                                    const Glob &glob, MapFunctions &map, RunControl &control) {
  Locus.clear();
  if (const LocusMethodSolver *solver = solvers.Solver(method))
    CollectPairSegments(*solver, Locus);
  Coordinates.Bind(map);
  return Finder.Find(map, Coordinates, glob.DomainLow, glob.DomainHigh, Locus, control);
}

} // namespace tandor
