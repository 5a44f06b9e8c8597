#pragma once
// tandor-cli render --png3d: the 3D view of the computed problem, rendered without a display.

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "formula/MapFunctions.h"
#include "problem/Glob.h"
#include "solvers/LocusRun.h"

namespace tandor {

// The path and the reason, or why no OpenGL context could be had.
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

// Renders size x size pixels from the given direction (the 3D view's default when none) and
// writes the PNG beside the target, then renames it over the target.
void WriteSurfacePng(const std::string &path, int size, const std::optional<ViewDirection> &view,
                     const Glob &glob, MapFunctions &map, const LocusSolvers &solvers,
                     LocusMethod method);

} // namespace tandor
