#pragma once
// SurfaceMesh, BuildSurfaceMesh, SurfacePoint: F sampled over D on a regular grid, the surface
// that the 3D view shades.

#include <cstdint>
#include <vector>

#include "scene/RobustBox.h"
#include "solvers/CoordinateEvaluator.h"
#include "solvers/Trace.h"

namespace tandor {

inline constexpr int DefaultMeshQuads = 160;
// Beyond the guards' substitute value an image means nothing; its quads are left out.
inline constexpr double MeshValueLimit = 1e24;

// Finite, and no coordinate beyond MeshValueLimit.
bool IsDrawableImage(const Vector3 &p);

struct SurfaceMesh {
  int Quads = 0; // per side of D; the grid has (Quads + 1)^2 vertices
  Vector2 DomainLow{0.0, 0.0};
  Vector2 DomainHigh{0.0, 0.0};
  // Vertex (i, j) sits at u_i along u and v_j along v and has the index j * Side() + i.
  std::vector<Vector3> Positions;
  // Unit normals, oriented as dF/du x dF/dv; zero where no direction can be told.
  std::vector<Vector3> Normals;
  std::vector<unsigned char> Usable; // IsDrawableImage of each vertex
  // Three vertex indices per triangle, two triangles per quad whose four corners are usable,
  // counter-clockwise in (u, v) so that the front face is the side dF/du x dF/dv points to.
  std::vector<uint32_t> Triangles;
  Box3 Bounds;        // the robust box of the usable vertices
  double Reach = 1.0; // ReachFromCentre of the usable vertices: what the camera frames

  int Side() const { return Quads + 1; }
  std::size_t VertexCount() const { return Positions.size(); }
  std::size_t TriangleCount() const { return Triangles.size() / 3; }
  double U(int i) const;
  double V(int j) const;
  // (u, v) of a vertex index.
  Vector2 ParameterOf(uint32_t vertex) const;

  std::vector<double> Scratch; // the robust box's working room, kept between rebuilds
};

// F(u, v) through the coordinate functions, as the mesh samples it.
Vector3 SurfacePoint(const CoordinateEvaluator &f, double u, double v);

// Samples F over [low, high] with quads x quads cells. Reuses the mesh's room: a rebuild of the
// same size allocates nothing. The evaluator's derivative code gives the normals; where it gives
// none (a pinch point, a fold edge), the neighbouring vertices do.
void BuildSurfaceMesh(const CoordinateEvaluator &f, const Vector2 &low, const Vector2 &high,
                      int quads, SurfaceMesh &mesh);

} // namespace tandor
