#pragma once
// SurfaceVertexShader, SurfaceFragmentShader, LineVertexShader, LineFragmentShader: the GLSL
// 3.30 core programs of the 3D view.

namespace tandor {

// The surface and the spheres: two-sided lighting from a headlight and a key light above left,
// one tint for the front faces and another for the back, and grid lines drawn from the
// interpolated grid position (no second pass, no depth fighting).
extern const char *const SurfaceVertexShader;
extern const char *const SurfaceFragmentShader;

// Thick lines: the core profile has no wide lines, so every segment is an instance of a
// four-corner strip widened in screen space, with square ends that close the joints of a
// polyline. The segment can be moved towards the eye so that a curve lying in the surface is
// not hidden in it.
extern const char *const LineVertexShader;
extern const char *const LineFragmentShader;

} // namespace tandor
