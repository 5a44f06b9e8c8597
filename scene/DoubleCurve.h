#pragma once
// DoubleCurve, BuildDoubleCurve: the image of the double-point locus L, the curve where the sheets
// of F(D) cross. Both members of a pair map to the same point, so each pair gives one point of the
// curve.

#include <cstdint>
#include <span>
#include <vector>

#include "solvers/CoordinateEvaluator.h"
#include "solvers/LocusRun.h"
#include "solvers/Trace.h"

namespace tandor {

struct DoubleCurve {
  std::vector<Vector3> Points;
  std::vector<Vector2> Parameters; // the (u, v) in D of each point: the pair's first member
  // Where each polyline begins in Points; a polyline ends where the next begins.
  std::vector<uint32_t> PieceStarts;

  std::size_t PieceCount() const { return PieceStarts.size(); }
  std::size_t PieceEnd(std::size_t piece) const {
    return piece + 1 < PieceStarts.size() ? PieceStarts[piece + 1] : Points.size();
  }
  void Clear();
};

// The curve tracers' result: one polyline per piece, through F(u1, v1) of every pair. A point
// whose image is not finite (or beyond the guards' value) breaks its polyline.
void AddTraceImage(const CoordinateEvaluator &f, std::span<const TracePoint> trace,
                   DoubleCurve &curve);
// The triangle method's segments. It stores every cut twice, once in each of the two triangles
// (even index, then odd); the even ones give the curve.
void AddSegmentImages(const CoordinateEvaluator &f, const LocusMethodSolver &solver,
                      DoubleCurve &curve);
// Whatever the solver holds, replacing the curve.
void BuildDoubleCurve(const CoordinateEvaluator &f, const LocusMethodSolver &solver,
                      DoubleCurve &curve);

} // namespace tandor
