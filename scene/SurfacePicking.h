#pragma once
// SurfacePick, PickSurface: what lies under a pixel of the 3D view, the first point where the ray
// through the pixel meets the shaded mesh, and the (u, v) in D that maps there.

#include "scene/Camera.h"
#include "scene/SurfaceMesh.h"

namespace tandor {

struct SurfacePick {
  bool Hit = false;
  Vector2 Parameter{};   // (u, v), interpolated across the mesh triangle that was hit
  Vector3 Point{};       // the point of the mesh in space
  double Distance = 0.0; // along the ray
};

SurfacePick PickSurface(const SurfaceMesh &mesh, const Ray &ray);

inline SurfacePick PickSurface(const SurfaceMesh &mesh, const Camera &camera, double x, double y,
                               int width, int height) {
  return PickSurface(mesh, camera.RayThrough(x, y, width, height));
}

} // namespace tandor
