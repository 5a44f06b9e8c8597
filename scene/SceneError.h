#pragma once
// SceneError: what goes wrong in making or using an OpenGL context, a framebuffer or a program of
// the 3D view; the text says why.

#include <stdexcept>

namespace tandor {

class SceneError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

} // namespace tandor
