// BuildSurfaceScene and LocusColour: the 3D scene of a computed problem.

#include "scene/SurfaceScene.h"

#include "solvers/DescentTracer.h"
#include "solvers/GradualDescentTracer.h"
#include "solvers/LinearCase.h"
#include "solvers/TriangleIntersection.h"

namespace tandor {

Rgb LocusColour(LocusMethod method) {
  switch (method) {
  case LocusMethod::Linear:
    return LinearLocusColour;
  case LocusMethod::Descent:
    return DescentPenColour;
  case LocusMethod::Gradual:
    return TImplicitCurve4D::Magenta;
  case LocusMethod::Triangles:
    return CalcDib::LocusColour;
  case LocusMethod::None:
    break;
  }
  return Black;
}

void BuildSurfaceScene(const CoordinateEvaluator &f, const Glob &glob, const LocusSolvers &solvers,
                       LocusMethod method, SurfaceScene &scene, int quads) {
  BuildSurfaceScene(f, glob.DomainLow, glob.DomainHigh, solvers, method, scene, quads);
}

void BuildSurfaceScene(const CoordinateEvaluator &f, const Vector2 &low, const Vector2 &high,
                       const LocusSolvers &solvers, LocusMethod method, SurfaceScene &scene,
                       int quads) {
  BuildSurfaceMesh(f, low, high, quads, scene.Mesh);
  scene.CurveColour = LocusColour(method);
  if (const LocusMethodSolver *solver = solvers.Solver(method))
    BuildDoubleCurve(f, *solver, scene.Curve);
  else
    scene.Curve.Clear();
}

} // namespace tandor
