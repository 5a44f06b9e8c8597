#pragma once
// The singular points in tandor-cli render's outputs (WritePointsStats, WritePointsCsv): the keys
// of the --stats line and the --points file.

#include <ostream>
#include <string>

#include "analysis/SingularPoints.h"

namespace tandor {

// The --stats keys, each after ", ": "cross_caps": [[u, v], ...], "triple_points":
// [[[u1, v1], [u2, v2], [u3, v3]], ...], "singular_curve": true where Fu x Fv vanishes along a
// curve, and "singular_points_complete": false where Ctrl+C ended the search early.
void WritePointsStats(const SingularPoints &points, std::ostream &out);

// The points as rows kind,u,v,x,y,z under that header: one "cross-cap" row per cross-cap, three
// "triple" rows per triple point (its three points, each with their common image). Written into
// a temporary file beside path and renamed over it once complete.
void WritePointsCsv(const SingularPoints &points, const std::string &path);

} // namespace tandor
