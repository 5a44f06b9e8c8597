#pragma once
// Camera and Ray: the viewer of the 3D view; it orbits about the centre of the surface's robust
// box, z up. Pixels count from the top-left corner of the image, x to the right and y down; the
// centre of pixel (i, j) is (i + 0.5, j + 0.5).

#include <numbers>

#include "scene/RobustBox.h"
#include "scene/SceneMaths.h"
#include "scene/SurfaceMesh.h"

namespace tandor {

struct Ray {
  Vector3 Origin{};
  Vector3 Direction{}; // unit
};

class Camera {
public:
  static constexpr double DefaultYaw = -55.0 * std::numbers::pi / 180.0;
  static constexpr double DefaultPitch = 25.0 * std::numbers::pi / 180.0;
  // Across the narrower side of the image, so that the framed box fits whatever the shape.
  static constexpr double FieldOfView = 30.0 * std::numbers::pi / 180.0;
  static constexpr double MaxPitch = 89.0 * std::numbers::pi / 180.0;
  static constexpr double RadiansPerPixel = 0.5 * std::numbers::pi / 180.0;
  static constexpr double ZoomStep = 0.9; // distance factor of one wheel step

  // Orbits about the box's centre from now on, keeping a sphere of the given radius about it in
  // view (the box's own radius when none is given), and goes Home.
  void Frame(const Box3 &box, double radius = 0.0);
  void Frame(const SurfaceMesh &mesh) { Frame(mesh.Bounds, mesh.Reach); }
  // A new surface to orbit, seen as the old one was: the direction stays, and the distance and
  // the pan keep their proportion to the framed sphere, so that a drag of (p, q) or a new file
  // does not throw the view about.
  void Reframe(const Box3 &box, double radius = 0.0);
  void Reframe(const SurfaceMesh &mesh) { Reframe(mesh.Bounds, mesh.Reach); }
  // Back to the default direction, the distance at which the framed sphere fills the view, and
  // no pan.
  void Home();
  // Yaw about z and pitch above the xy plane, in radians; pitch is kept within ±MaxPitch.
  void SetDirection(double yaw, double pitch);

  // A drag of (dx, dy) pixels: to the right turns the surface to the right, down tips its top
  // towards the viewer.
  void Orbit(double dx, double dy);
  // Positive steps come closer.
  void Zoom(double steps);
  // A drag of (dx, dy) pixels moves the surface with the mouse.
  void Pan(double dx, double dy, int width, int height);

  Vector3 Target() const { return Centre + PanOffset; }
  Vector3 Eye() const;
  Matrix4 ViewMatrix() const;
  Matrix4 ProjectionMatrix(int width, int height) const;
  // The length in space of one pixel at the distance of the orbit's centre.
  double SpacePerPixel(int width, int height) const;

  // The pixel of a point; false for a point behind the eye.
  bool Project(const Vector3 &p, int width, int height, Vector2 &pixel) const;
  // The ray from the eye through a pixel position.
  Ray RayThrough(double x, double y, int width, int height) const;

  double Yaw = DefaultYaw;
  double Pitch = DefaultPitch;
  double Distance = 1.0;
  Vector3 PanOffset{0.0, 0.0, 0.0};
  Vector3 Centre{0.0, 0.0, 0.0};
  double Radius = 1.0;
};

} // namespace tandor
