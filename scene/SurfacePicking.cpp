// PickSurface: the ray against every kept triangle of the mesh; the nearest hit is the point the
// viewer sees, as the depth test decides in the picture.

#include "scene/SurfacePicking.h"

#include <cmath>
#include <limits>

namespace tandor {

namespace {

struct TriangleHit {
  double Distance, S, T; // the hit is (1 - S - T) A + S B + T C
};

// Möller and Trumbore's test, both faces counting. The edges are widened by a hair so that a
// ray through a shared edge or vertex, rounded, cannot slip between the triangles around it.
constexpr double EdgeTolerance = 1e-9;

bool Intersect(const Ray &ray, const Vector3 &a, const Vector3 &b, const Vector3 &c,
               TriangleHit &hit) {
  const Vector3 e1 = b - a, e2 = c - a;
  const Vector3 p = Cross(ray.Direction, e2);
  const double determinant = Dot(e1, p);
  if (std::fabs(determinant) < 1e-300)
    return false;
  const double inverse = 1.0 / determinant;
  const Vector3 toOrigin = ray.Origin - a;
  const double s = Dot(toOrigin, p) * inverse;
  if (s < -EdgeTolerance || s > 1.0 + EdgeTolerance)
    return false;
  const Vector3 q = Cross(toOrigin, e1);
  const double t = Dot(ray.Direction, q) * inverse;
  if (t < -EdgeTolerance || s + t > 1.0 + EdgeTolerance)
    return false;
  hit = {Dot(e2, q) * inverse, s, t};
  return hit.Distance > 0.0;
}

} // namespace

SurfacePick PickSurface(const SurfaceMesh &mesh, const Ray &ray) {
  SurfacePick pick;
  double nearest = std::numeric_limits<double>::infinity();
  const std::size_t triangles = mesh.TriangleCount();
  for (std::size_t k = 0; k < triangles; ++k) {
    const uint32_t ia = mesh.Triangles[3 * k], ib = mesh.Triangles[3 * k + 1],
                   ic = mesh.Triangles[3 * k + 2];
    TriangleHit hit;
    if (!Intersect(ray, mesh.Positions[ia], mesh.Positions[ib], mesh.Positions[ic], hit) ||
        !(hit.Distance < nearest))
      continue;
    nearest = hit.Distance;
    const Vector2 pa = mesh.ParameterOf(ia), pb = mesh.ParameterOf(ib), pc = mesh.ParameterOf(ic);
    const double r = 1.0 - hit.S - hit.T;
    pick.Hit = true;
    pick.Distance = hit.Distance;
    pick.Parameter = {r * pa[0] + hit.S * pb[0] + hit.T * pc[0],
                      r * pa[1] + hit.S * pb[1] + hit.T * pc[1]};
    pick.Point = ray.Origin + hit.Distance * ray.Direction;
  }
  return pick;
}

} // namespace tandor
