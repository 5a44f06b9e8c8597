// Camera: orbit, zoom and pan of the 3D view, and the projection both ways between space and
// pixels.

#include "scene/Camera.h"

#include <algorithm>
#include <cmath>

namespace tandor {

void Camera::Frame(const Box3 &box, double radius) {
  Centre = box.Empty ? Vector3{0.0, 0.0, 0.0} : box.Centre();
  Radius = radius > 0.0 && std::isfinite(radius) ? radius : box.Radius();
  Home();
}

void Camera::Reframe(const Box3 &box, double radius) {
  const double oldRadius = Radius, yaw = Yaw, pitch = Pitch;
  const double distance = Distance;
  const Vector3 pan = PanOffset;
  Frame(box, radius);
  const double scale = Radius / oldRadius;
  SetDirection(yaw, pitch);
  Distance = scale * distance;
  PanOffset = scale * pan;
}

void Camera::Home() {
  SetDirection(DefaultYaw, DefaultPitch);
  // The framed sphere touches the view's narrower sides, with a little room.
  Distance = 1.05 * Radius / std::sin(FieldOfView / 2.0);
  PanOffset = {0.0, 0.0, 0.0};
}

void Camera::SetDirection(double yaw, double pitch) {
  Yaw = std::remainder(yaw, 2.0 * std::numbers::pi);
  Pitch = std::clamp(pitch, -MaxPitch, MaxPitch);
}

void Camera::Orbit(double dx, double dy) {
  SetDirection(Yaw - dx * RadiansPerPixel, Pitch + dy * RadiansPerPixel);
}

void Camera::Zoom(double steps) {
  Distance = std::clamp(Distance * std::pow(ZoomStep, steps), 0.02 * Radius, 200.0 * Radius);
}

void Camera::Pan(double dx, double dy, int width, int height) {
  const double perPixel = SpacePerPixel(width, height);
  const Matrix4 view = ViewMatrix();
  // The rows of the view's rotation are the camera's right and up in space.
  const Vector3 right{view[0], view[4], view[8]};
  const Vector3 up{view[1], view[5], view[9]};
  PanOffset = PanOffset - (dx * perPixel) * right + (dy * perPixel) * up;
}

Vector3 Camera::Eye() const {
  const Vector3 towardsEye{std::cos(Pitch) * std::cos(Yaw), std::cos(Pitch) * std::sin(Yaw),
                           std::sin(Pitch)};
  return Target() + Distance * towardsEye;
}

Matrix4 Camera::ViewMatrix() const {
  const Vector3 eye = Eye();
  const Vector3 forward = Normalised(Target() - eye);
  const Vector3 right = Normalised(Cross(forward, Vector3{0.0, 0.0, 1.0}));
  const Vector3 up = Cross(right, forward);
  Matrix4 m = IdentityMatrix();
  for (int c = 0; c < 3; ++c) {
    m[4 * c] = right[c];
    m[4 * c + 1] = up[c];
    m[4 * c + 2] = -forward[c];
  }
  m[12] = -Dot(right, eye);
  m[13] = -Dot(up, eye);
  m[14] = Dot(forward, eye);
  return m;
}

Matrix4 Camera::ProjectionMatrix(int width, int height) const {
  const double aspect = static_cast<double>(std::max(width, 1)) / std::max(height, 1);
  // Depth range about the box's sphere; whatever lies far outside it (the outliers the robust
  // box left out) may be clipped.
  const double toCentre = Length(Eye() - Centre);
  const double farPlane = toCentre + 4.0 * Radius;
  const double nearPlane = std::max(toCentre - 2.0 * Radius, 1e-4 * farPlane);
  const double vertical =
      aspect >= 1.0 ? FieldOfView : 2.0 * std::atan(std::tan(FieldOfView / 2.0) / aspect);
  return PerspectiveMatrix(vertical, aspect, nearPlane, farPlane);
}

double Camera::SpacePerPixel(int width, int height) const {
  return 2.0 * Distance * std::tan(FieldOfView / 2.0) / std::max(std::min(width, height), 1);
}

bool Camera::Project(const Vector3 &p, int width, int height, Vector2 &pixel) const {
  const Vector4 clip = Transform(ProjectionMatrix(width, height) * ViewMatrix(), p);
  if (!(clip[3] > 0.0))
    return false;
  pixel = {(clip[0] / clip[3] + 1.0) / 2.0 * width, (1.0 - clip[1] / clip[3]) / 2.0 * height};
  return true;
}

Ray Camera::RayThrough(double x, double y, int width, int height) const {
  const double ndcX = 2.0 * x / std::max(width, 1) - 1.0;
  const double ndcY = 1.0 - 2.0 * y / std::max(height, 1);
  // In the eye's frame the pixel's direction is read off the projection's scale factors.
  const Matrix4 projection = ProjectionMatrix(width, height);
  const Vector3 inEye{ndcX / projection[0], ndcY / projection[5], -1.0};
  const Matrix4 view = ViewMatrix();
  const Vector3 right{view[0], view[4], view[8]};
  const Vector3 up{view[1], view[5], view[9]};
  const Vector3 back{view[2], view[6], view[10]};
  return {Eye(), Normalised(inEye[0] * right + inEye[1] * up + inEye[2] * back)};
}

} // namespace tandor
