// The 3D view's GLSL programs' source texts.

#include "scene/SceneShaders.h"

namespace tandor {

const char *const SurfaceVertexShader = R"(#version 330 core
layout(location = 0) in vec3 Position;
layout(location = 1) in vec3 Normal;
layout(location = 2) in vec2 Grid;
uniform mat4 ModelView;
uniform mat4 Projection;
out vec3 EyePosition;
out vec3 EyeNormal;
out vec2 GridPosition;
void main() {
  vec4 p = ModelView * vec4(Position, 1.0);
  EyePosition = p.xyz;
  EyeNormal = mat3(ModelView) * Normal;
  GridPosition = Grid;
  gl_Position = Projection * p;
}
)";

const char *const SurfaceFragmentShader = R"(#version 330 core
in vec3 EyePosition;
in vec3 EyeNormal;
in vec2 GridPosition;
uniform vec3 FrontTint;
uniform vec3 BackTint;
uniform float WireSpacing; // grid steps between two lines; 0 draws none
uniform vec4 WireColour;   // alpha is the lines' strength
out vec4 FragColour;
void main() {
  vec3 n;
  if (dot(EyeNormal, EyeNormal) > 1e-12)
    n = normalize(gl_FrontFacing ? EyeNormal : -EyeNormal);
  else // no normal at this vertex: the flat triangle's, towards the viewer
    n = normalize(cross(dFdx(EyePosition), dFdy(EyePosition)));
  vec3 toEye = normalize(-EyePosition);
  vec3 key = normalize(vec3(-0.45, 0.6, 0.65));
  float light = 0.28 + 0.5 * max(dot(n, toEye), 0.0) + 0.32 * max(dot(n, key), 0.0);
  vec3 colour = (gl_FrontFacing ? FrontTint : BackTint) * light;
  float h = max(dot(n, normalize(key + toEye)), 0.0);
  h *= h; h *= h; h *= h; h *= h; h *= h; // h^32
  colour += vec3(0.18 * h);
  if (WireSpacing > 0.0) {
    vec2 g = GridPosition / WireSpacing;
    vec2 d = abs(fract(g - 0.5) - 0.5) / max(fwidth(g), vec2(1e-6));
    float line = 1.0 - clamp(min(d.x, d.y) - 0.25, 0.0, 1.0);
    colour = mix(colour, WireColour.rgb, line * WireColour.a);
  }
  FragColour = vec4(min(colour, vec3(1.0)), 1.0);
}
)";

const char *const LineVertexShader = R"(#version 330 core
layout(location = 0) in vec3 From;
layout(location = 1) in vec3 To;
uniform mat4 ModelView;
uniform mat4 Projection;
uniform vec2 Viewport;   // pixels
uniform float HalfWidth; // pixels
uniform float TowardEye; // distance in space
vec4 Clip(vec3 p) {
  vec4 e = ModelView * vec4(p, 1.0);
  if (TowardEye > 0.0)
    e.xyz += normalize(-e.xyz) * TowardEye;
  return Projection * e;
}
void main() {
  vec4 a = Clip(From), b = Clip(To);
  if (a.w <= 0.0 || b.w <= 0.0) { // partly behind the eye: dropped
    gl_Position = vec4(2.0, 2.0, 2.0, 1.0);
    return;
  }
  vec2 halfView = 0.5 * Viewport;
  vec2 along = b.xy / b.w * halfView - a.xy / a.w * halfView;
  float len = length(along);
  along = len > 1e-6 ? along / len : vec2(1.0, 0.0);
  bool atTo = gl_VertexID >= 2;
  float side = (gl_VertexID % 2 == 0) ? -1.0 : 1.0;
  vec2 offset = (vec2(-along.y, along.x) * side + along * (atTo ? 1.0 : -1.0)) * HalfWidth;
  vec4 c = atTo ? b : a;
  c.xy += offset / halfView * c.w;
  gl_Position = c;
}
)";

const char *const LineFragmentShader = R"(#version 330 core
uniform vec4 Colour;
out vec4 FragColour;
void main() {
  FragColour = Colour;
}
)";

} // namespace tandor
