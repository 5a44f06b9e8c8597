#pragma once
// Whether the 3D view's tests can run: empty when OpenGL 3.3 core is there, else why not.

#include <QString>

namespace tandor::testing {

const QString &NoOpenGlReason();
void FindOpenGl();

} // namespace tandor::testing
