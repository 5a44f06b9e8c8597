#pragma once
// WriteLocusCsv: a method's computed locus as a CSV file, the one writer behind tandor-cli's
// --csv and the window's File > Export Locus.

#include <string>

#include "solvers/LocusRun.h"

namespace tandor {

// A curve tracer writes "piece_start,u1,v1,u2,v2" and one row per stored record; the triangle
// method "u1,v1,u2,v2" and one row per segment. Numbers have 17 significant digits, so that
// they read back as the same doubles. The file is replaced whole or not at all; throws
// FileError naming the path.
void WriteLocusCsv(const LocusMethodSolver &solver, const std::string &path);

} // namespace tandor
