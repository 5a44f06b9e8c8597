#pragma once
// MapEvaluator: a non-owning reference to "evaluate F(u, v) into x, y, z": the compiled
// MapFunctions in the program, plain C++ maps in the tests.

#include "base/RoutineRef.h"

namespace tandor {

using MapEvaluator = RoutineRef<void(double &x, double &y, double &z, double u, double v)>;

} // namespace tandor
