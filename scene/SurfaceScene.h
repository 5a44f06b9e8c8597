#pragma once
// SurfaceScene, BuildSurfaceScene, LocusColour: everything the 3D view shows of one computed
// problem: the surface, the double curve in the method's colour, and the images of the singular
// points.

#include <vector>

#include "problem/Glob.h"
#include "scene/DoubleCurve.h"
#include "scene/SurfaceMesh.h"
#include "solvers/Canvas.h"
#include "solvers/CoordinateEvaluator.h"
#include "solvers/LocusRun.h"

namespace tandor {

enum class SingularPointKind { CrossCap, TriplePoint };

struct SingularPointImage {
  Vector3 Position{};
  SingularPointKind Kind = SingularPointKind::CrossCap;
};

struct SurfaceScene {
  SurfaceMesh Mesh;
  DoubleCurve Curve;
  Rgb CurveColour{0, 0, 255};
  // Filled by whoever found them; the scene only shows them.
  std::vector<SingularPointImage> SingularPoints;
};

// The pen colour of the method's 2D drawing.
Rgb LocusColour(LocusMethod method);

// The mesh of F over the problem's D and the image of the locus the method last computed. The
// singular points are left as they were.
void BuildSurfaceScene(const CoordinateEvaluator &f, const Glob &glob, const LocusSolvers &solvers,
                       LocusMethod method, SurfaceScene &scene, int quads = DefaultMeshQuads);
// The same over the rectangle [low, high] that the method's run used.
void BuildSurfaceScene(const CoordinateEvaluator &f, const Vector2 &low, const Vector2 &high,
                       const LocusSolvers &solvers, LocusMethod method, SurfaceScene &scene,
                       int quads = DefaultMeshQuads);

} // namespace tandor
