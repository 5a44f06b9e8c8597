// AddTraceImage, AddSegmentImages, BuildDoubleCurve: F applied to the stored double-point pairs.

#include "scene/DoubleCurve.h"

#include "scene/SceneMaths.h"
#include "scene/SurfaceMesh.h"

namespace tandor {

void DoubleCurve::Clear() {
  Points.clear();
  Parameters.clear();
  PieceStarts.clear();
}

namespace {

// Builds polylines point by point, opening a new one when asked or after a gap.
class PolylineWriter {
public:
  explicit PolylineWriter(DoubleCurve &curve) : Curve(curve) {}

  void Add(const CoordinateEvaluator &f, double u, double v, bool newPiece) {
    const Vector3 p = SurfacePoint(f, u, v);
    if (!IsDrawableImage(p)) {
      Open = false;
      return;
    }
    if (newPiece || !Open)
      Curve.PieceStarts.push_back(static_cast<uint32_t>(Curve.Points.size()));
    Open = true;
    Curve.Points.push_back(p);
    Curve.Parameters.push_back({u, v});
  }

private:
  DoubleCurve &Curve;
  bool Open = false;
};

} // namespace

void AddTraceImage(const CoordinateEvaluator &f, std::span<const TracePoint> trace,
                   DoubleCurve &curve) {
  PolylineWriter writer(curve);
  for (const TracePoint &t : trace)
    writer.Add(f, t.Pair[0], t.Pair[1], t.PieceStart == 1);
}

void AddSegmentImages(const CoordinateEvaluator &f, const LocusMethodSolver &solver,
                      DoubleCurve &curve) {
  PolylineWriter writer(curve);
  for (std::size_t i = 0; i < solver.SegmentCount(); i += 2) {
    const Vector4 s = solver.Segment(i);
    writer.Add(f, s[0], s[1], true);
    writer.Add(f, s[2], s[3], false);
  }
}

void BuildDoubleCurve(const CoordinateEvaluator &f, const LocusMethodSolver &solver,
                      DoubleCurve &curve) {
  curve.Clear();
  if (const std::vector<TracePoint> *trace = solver.TracePoints())
    AddTraceImage(f, *trace, curve);
  else
    AddSegmentImages(f, solver, curve);
}

} // namespace tandor
