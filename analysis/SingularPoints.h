#pragma once
// The singular points of the double-point locus L of F: cross-caps (points of D where Fu and Fv
// are parallel) and triple points (three points of D with one image), found after a run from
// D itself and from the run's result.

#include <array>
#include <vector>

#include "solvers/Trace.h"

namespace tandor {

struct CrossCap {
  Vector2 Point{}; // (u, v) in closed D
  Vector3 Image{}; // F(u, v)
};

struct TriplePoint {
  std::array<Vector2, 3> Points{}; // ordered by u, then v
  Vector3 Image{};                 // F of the first point
};

struct SingularPoints {
  std::vector<CrossCap> CrossCaps;  // ordered by u, then v
  std::vector<TriplePoint> Triples; // ordered by their first point
  bool SingularCurve = false;       // Fu x Fv vanishes along a curve (or on a region) of D
  bool Complete = true;             // false when a stop ended the search early

  void Clear() {
    CrossCaps.clear();
    Triples.clear();
    SingularCurve = false;
    Complete = true;
  }
};

// A piece of L between two sibling pairs of a method's result: From and To each hold a point
// of L and its sibling (u1, v1, u2, v2), and the points between pair up in the same proportion.
struct PairSegment {
  PointPair From{}, To{};
};

} // namespace tandor
