// RenderSurfacePicture, ParseViewDirection: tandor-cli render --png3d, the 3D view drawn through
// the display-less EGL host.

#include "cli/SurfacePicture.h"

#include <charconv>
#include <cmath>
#include <new>
#include <numbers>

#include "scene/HeadlessGl.h"
#include "solvers/CompiledCoordinates.h"

namespace tandor {

namespace {

std::optional<double> Number(std::string_view text) {
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
    return std::nullopt;
  return value;
}

QImage ToImage(const RgbaImage &picture) {
  const QImage view(picture.Pixels.data(), picture.Width, picture.Height, 4 * picture.Width,
                    QImage::Format_RGBA8888);
  QImage image = view.convertToFormat(QImage::Format_RGB32); // a copy that owns its pixels
  if (image.isNull())
    throw std::bad_alloc();
  return image;
}

} // namespace

std::optional<ViewDirection> ParseViewDirection(std::string_view text) {
  const std::size_t comma = text.find(',');
  if (comma == std::string_view::npos)
    return std::nullopt;
  const auto yaw = Number(text.substr(0, comma));
  const auto pitch = Number(text.substr(comma + 1));
  if (!yaw || !pitch)
    return std::nullopt;
  return ViewDirection{*yaw, *pitch};
}

QImage RenderSurfacePicture(int size, const std::optional<ViewDirection> &view, const Glob &glob,
                            MapFunctions &map, const LocusSolvers &solvers, LocusMethod method) {
  CompiledCoordinates coordinates(map);
  SurfaceScene scene;
  BuildSurfaceScene(coordinates, glob, solvers, method, scene);
  Camera camera;
  camera.Frame(scene.Mesh);
  if (view) {
    constexpr double degree = std::numbers::pi / 180.0;
    camera.SetDirection(view->YawDegrees * degree, view->PitchDegrees * degree);
  }
  try {
    return ToImage(RenderScenePicture(scene, camera, ViewOptions{}, size, size));
  } catch (const SceneError &e) {
    throw SurfacePictureError(e.what());
  } catch (const std::bad_alloc &) {
    throw SurfacePictureError("there is not enough memory for a picture of this size");
  }
}

} // namespace tandor
