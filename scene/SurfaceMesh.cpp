// BuildSurfaceMesh: the grid of F over D, its normals and the quads that are kept.

#include "scene/SurfaceMesh.h"

#include <cmath>
#include <utility>

#include "scene/SceneMaths.h"

namespace tandor {

double SurfaceMesh::U(int i) const {
  if (i == Quads)
    return DomainHigh[0];
  return DomainLow[0] + (DomainHigh[0] - DomainLow[0]) * i / Quads;
}

double SurfaceMesh::V(int j) const {
  if (j == Quads)
    return DomainHigh[1];
  return DomainLow[1] + (DomainHigh[1] - DomainLow[1]) * j / Quads;
}

Vector2 SurfaceMesh::ParameterOf(uint32_t vertex) const {
  const int side = Side();
  return {U(static_cast<int>(vertex % side)), V(static_cast<int>(vertex / side))};
}

Vector3 SurfacePoint(const CoordinateEvaluator &f, double u, double v) {
  return {f.Value(0, u, v), f.Value(1, u, v), f.Value(2, u, v)};
}

bool IsDrawableImage(const Vector3 &p) {
  return IsFinite(p) && std::fabs(p[0]) <= MeshValueLimit && std::fabs(p[1]) <= MeshValueLimit &&
         std::fabs(p[2]) <= MeshValueLimit;
}

namespace {

Vector3 Partial(const CoordinateEvaluator &f, double u, double v, double du, double dv) {
  return {f.WithDerivative(0, u, v, du, dv).Derivative,
          f.WithDerivative(1, u, v, du, dv).Derivative,
          f.WithDerivative(2, u, v, du, dv).Derivative};
}

// The normal from the differences of the neighbours, one-sided at the border of the grid.
Vector3 NeighbourNormal(const SurfaceMesh &mesh, int i, int j) {
  const int side = mesh.Side();
  auto at = [&](int a, int b) { return static_cast<std::size_t>(b * side + a); };
  const int i0 = i > 0 && mesh.Usable[at(i - 1, j)] ? i - 1 : i;
  const int i1 = i < mesh.Quads && mesh.Usable[at(i + 1, j)] ? i + 1 : i;
  const int j0 = j > 0 && mesh.Usable[at(i, j - 1)] ? j - 1 : j;
  const int j1 = j < mesh.Quads && mesh.Usable[at(i, j + 1)] ? j + 1 : j;
  const Vector3 alongU = mesh.Positions[at(i1, j)] - mesh.Positions[at(i0, j)];
  const Vector3 alongV = mesh.Positions[at(i, j1)] - mesh.Positions[at(i, j0)];
  return Normalised(Cross(alongU, alongV));
}

void SampleVertices(const CoordinateEvaluator &f, SurfaceMesh &mesh) {
  const int side = mesh.Side();
  for (int j = 0; j < side; ++j) {
    const double v = mesh.V(j);
    for (int i = 0; i < side; ++i) {
      const double u = mesh.U(i);
      const std::size_t k = static_cast<std::size_t>(j * side + i);
      mesh.Positions[k] = SurfacePoint(f, u, v);
      mesh.Usable[k] = IsDrawableImage(mesh.Positions[k]) ? 1 : 0;
      mesh.Normals[k] =
          mesh.Usable[k] ? Normalised(Cross(Partial(f, u, v, 1.0, 0.0), Partial(f, u, v, 0.0, 1.0)))
                         : Vector3{0.0, 0.0, 0.0};
    }
  }
}

// Where even the neighbours' differences vanish (at a pole, where a whole grid line maps to one
// point), the neighbours' own normals are averaged.
Vector3 AverageNormal(const SurfaceMesh &mesh, int i, int j) {
  const int side = mesh.Side();
  Vector3 sum{0.0, 0.0, 0.0};
  for (const auto &[di, dj] : {std::pair{-1, 0}, {1, 0}, {0, -1}, {0, 1}}) {
    const int a = i + di, b = j + dj;
    if (a >= 0 && a < side && b >= 0 && b < side)
      sum = sum + mesh.Normals[static_cast<std::size_t>(b * side + a)];
  }
  return Normalised(sum);
}

void RepairNormals(SurfaceMesh &mesh) {
  const int side = mesh.Side();
  for (int pass = 0; pass < 2; ++pass)
    for (int j = 0; j < side; ++j)
      for (int i = 0; i < side; ++i) {
        const std::size_t k = static_cast<std::size_t>(j * side + i);
        if (mesh.Usable[k] && mesh.Normals[k] == Vector3{0.0, 0.0, 0.0})
          mesh.Normals[k] = pass == 0 ? NeighbourNormal(mesh, i, j) : AverageNormal(mesh, i, j);
      }
}

void CollectTriangles(SurfaceMesh &mesh) {
  const auto side = static_cast<uint32_t>(mesh.Side());
  mesh.Triangles.clear();
  for (uint32_t j = 0; j + 1 < side; ++j)
    for (uint32_t i = 0; i + 1 < side; ++i) {
      const uint32_t a = j * side + i, b = a + 1, c = b + side, d = a + side;
      if (!(mesh.Usable[a] && mesh.Usable[b] && mesh.Usable[c] && mesh.Usable[d]))
        continue;
      for (uint32_t index : {a, b, c, a, c, d})
        mesh.Triangles.push_back(index);
    }
}

} // namespace

void BuildSurfaceMesh(const CoordinateEvaluator &f, const Vector2 &low, const Vector2 &high,
                      int quads, SurfaceMesh &mesh) {
  mesh.Quads = quads < 1 ? 1 : quads;
  mesh.DomainLow = low;
  mesh.DomainHigh = high;
  const auto count = static_cast<std::size_t>(mesh.Side()) * mesh.Side();
  mesh.Positions.resize(count);
  mesh.Normals.resize(count);
  mesh.Usable.resize(count);
  mesh.Triangles.reserve(6 * static_cast<std::size_t>(mesh.Quads) * mesh.Quads);
  SampleVertices(f, mesh);
  RepairNormals(mesh);
  CollectTriangles(mesh);
  mesh.Bounds = RobustBox(mesh.Positions, mesh.Usable, mesh.Scratch);
  mesh.Reach = ReachFromCentre(mesh.Positions, mesh.Usable, mesh.Bounds);
}

} // namespace tandor
