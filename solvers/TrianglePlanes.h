#pragma once
// The plane classification of the triangle method (CalcDib): the signed distances of one flat
// triangle's corners from another's plane, their classes, and whether the two planes cut; with
// the few vector operations they are made of. Inline, for the pair loop and the refinement call
// them for every pair; the cut itself is made in TrianglePlanes.cpp.

#include <array>
#include <cmath>

#include "base/Vectors.h"
#include "solvers/TriangleIntersection.h"

namespace tandor::triangles {

using PlaneSide = CalcDib::PlaneSide;

// A distance that is not a number gets a class that no valid sum can absorb.
inline constexpr int NotFiniteClass = 16;

// The signed distance of X from the plane through P0 with unit normal n, in plain double with a
// fixed order of operations: the block filter (TrianglePairFilter.cpp) computes exactly the
// same numbers two or four at a time, so the two never disagree about a pair.
inline double PlaneDistance(const Vector3 &P0, const Vector3 &X, const Vector3 &n) {
  return ((P0[0] - X[0]) * n[0] + (P0[1] - X[1]) * n[1]) + (P0[2] - X[2]) * n[2];
}

// +1 above the plane, -1 below, 2 on it; without branches, since near L every outcome is common.
inline int PlaneClass(double d) {
  const double t = CalcDib::PlaneTolerance;
  return int(d > t) - int(d < -t) + 2 * int(std::fabs(d) <= t) + NotFiniteClass * int(d != d);
}

// Two corners strictly on one side and one on the other (-1, +1), or one on the plane and the
// other two strictly on opposite sides (2).
inline bool Cuts(int sum) {
  const unsigned shifted = static_cast<unsigned>(sum + 1);
  return shifted < 4 && ((0xDu >> shifted) & 1u) != 0;
}

// False when the corners are not one strictly above the plane and one strictly below, which most
// pairs are not; only the others need their classes summed.
inline bool ClassesCut(PlaneSide &s) {
  const double t = CalcDib::PlaneTolerance;
  const bool above = (s.d[0] > t) | (s.d[1] > t) | (s.d[2] > t);
  const bool below = (s.d[0] < -t) | (s.d[1] < -t) | (s.d[2] < -t);
  if (!(above & below))
    return false;
  s.sum = PlaneClass(s.d[0]) + PlaneClass(s.d[1]) + PlaneClass(s.d[2]);
  return Cuts(s.sum);
}

inline bool Classify(const TDomainTriangle &T, const TDomainTriangle &plane, PlaneSide &s) {
  for (int k = 0; k < 3; ++k)
    s.d[k] = PlaneDistance(plane.P[0], T.P[k], plane.n);
  return ClassesCut(s);
}

inline double Dot(const Vector3 &a, const Vector3 &b) {
  return (a[0] * b[0] + a[1] * b[1]) + a[2] * b[2];
}

inline Vector3 Cross(const Vector3 &a, const Vector3 &b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

inline Vector3 Difference(const Vector3 &a, const Vector3 &b) {
  return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}

inline bool AllFinite(const Vector3 &a) {
  return std::isfinite(a[0]) && std::isfinite(a[1]) && std::isfinite(a[2]);
}

// The unit normal of the image P0, P1, P2, whose corners are finite; false when it is degenerate.
inline bool PlaneOfFinite(const Vector3 &P0, const Vector3 &P1, const Vector3 &P2, Vector3 &unit) {
  const Vector3 e1 = Difference(P1, P0), e2 = Difference(P2, P0);
  const Vector3 n = Cross(e1, e2);
  const double nn = Dot(n, n);
  // A finite nn keeps the unit normal and the duals finite.
  if (!(nn >= CalcDib::DegenerateNormal) || !std::isfinite(nn))
    return false;
  const double scale = 1 / std::sqrt(nn);
  unit = {n[0] * scale, n[1] * scale, n[2] * scale};
  return true;
}

} // namespace tandor::triangles

namespace tandor {

// Both triangles usable and each cut by the other's plane; the classes go to the sides.
inline bool CalcDib::PlanesCut(const TDomainTriangle &A, const TDomainTriangle &B, PlaneSide &sideA,
                               PlaneSide &sideB) {
  if (A.Degenerate || B.Degenerate)
    return false;
  return triangles::Classify(A, B, sideA) && triangles::Classify(B, A, sideB);
}

} // namespace tandor
