#pragma once
// RenderSurfacePicture, ViewDirection: tandor-cli render --png3d, the 3D view of the computed
// problem, rendered without a display.

#include <QImage>

#include <optional>
#include <stdexcept>
#include <string_view>

#include "formula/MapFunctions.h"
#include "problem/Glob.h"
#include "solvers/LocusRun.h"

namespace tandor {

// Why no picture could be rendered: no OpenGL context, or not enough memory.
class SurfacePictureError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

struct ViewDirection {
  double YawDegrees = 0.0;
  double PitchDegrees = 0.0;
};

// "YAW,PITCH" in degrees; nothing when the text is not two numbers.
std::optional<ViewDirection> ParseViewDirection(std::string_view text);

// size x size pixels of the surface and its double curve, seen from the given direction (the
// 3D view's default when none).
QImage RenderSurfacePicture(int size, const std::optional<ViewDirection> &view, const Glob &glob,
                            MapFunctions &map, const LocusSolvers &solvers, LocusMethod method);

} // namespace tandor
