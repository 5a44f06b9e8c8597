// The cut of two flat triangles for the triangle method (CalcDib::AddCut, CalcDib::InDomain):
// where each one's border crosses the other's plane, which crossings lie inside the other
// triangle, and the segment of L they give in both parameter triangles; and the preparation of
// a triangle's plane and dual vectors (CalcDib::PrepareTriangle).

#include <algorithm>
#include <array>
#include <cmath>

#include "solvers/TriangleIntersection.h"
#include "solvers/TrianglePlanes.h"

namespace tandor {

namespace triangles {
namespace {

// A point on the border of a triangle with its weights on the triangle's corners.
struct Crossing {
  Vector3 X{};
  std::array<double, 3> w{};
};

Crossing OnSide(const TDomainTriangle &T, int a, int b, double t) {
  Crossing x;
  for (int i = 0; i < 3; ++i)
    x.X[i] = t * T.P[a][i] + (1 - t) * T.P[b][i];
  x.w[a] = t;
  x.w[b] = 1 - t;
  return x;
}

// How T's border crosses the other plane (s.sum is -1 or +1): k is the first corner of the class
// s.sum; the side opposite k always crosses, and one of the two sides at k.
struct BorderWalk {
  int k, side, end;
};

BorderWalk WalkBorder(const PlaneSide &s) {
  int k = 0;
  while (PlaneClass(s.d[k]) != s.sum)
    ++k;
  return {k, (k + 1) % 3, (k + 2) % 3};
}

Crossing FirstCrossing(const TDomainTriangle &T, const PlaneSide &s, const BorderWalk &w) {
  return OnSide(T, w.side, w.end, s.d[w.end] / (s.d[w.end] - s.d[w.side]));
}

Crossing SecondCrossing(const TDomainTriangle &T, const PlaneSide &s, const BorderWalk &w) {
  if (PlaneClass(s.d[w.side]) == PlaneClass(s.d[w.k]))
    return OnSide(T, w.k, w.end, s.d[w.end] / (s.d[w.end] - s.d[w.k]));
  return OnSide(T, w.k, w.side, s.d[w.side] / (s.d[w.side] - s.d[w.k]));
}

struct DualVectors {
  Vector3 d1{}, d2{};
};

// (a - b) . c
inline double DiffDot(const Vector3 &a, const Vector3 &b, const Vector3 &c) {
  return ((a[0] - b[0]) * c[0] + (a[1] - b[1]) * c[1]) + (a[2] - b[2]) * c[2];
}

inline Vector3 Combination(double a, const Vector3 &x, double b, const Vector3 &y) {
  return {a * x[0] - b * y[0], a * x[1] - b * y[1], a * x[2] - b * y[2]};
}

// The duals of a triangle that is not degenerate. Only the pairs that reach the end points need
// them, so sub-triangles get them there, from the same numbers as a full preparation.
DualVectors Duals(const TDomainTriangle &T) {
  const Vector3 e1 = Difference(T.P[1], T.P[0]), e2 = Difference(T.P[2], T.P[0]);
  const Vector3 n = Cross(e1, e2);
  const double nn = Dot(n, n);
  const double g = Dot(e2, e2) / nn, h = Dot(e1, e2) / nn, l = Dot(e1, e1) / nn;
  return {Combination(g, e1, h, e2), Combination(l, e2, h, e1)};
}

std::array<double, 3> Barycentric(const TDomainTriangle &T, const DualVectors &D,
                                  const Vector3 &X) {
  const double b1 = DiffDot(X, T.P[0], D.d1);
  const double b2 = DiffDot(X, T.P[0], D.d2);
  return {1 - b1 - b2, b1, b2};
}

// Strict, and false for a NaN.
inline bool Inside(const std::array<double, 3> &b) {
  return std::fabs(b[0] - 0.5) < 0.5 && std::fabs(b[1] - 0.5) < 0.5 && std::fabs(b[2] - 0.5) < 0.5;
}

Vector2 InParameters(const TDomainTriangle &T, const std::array<double, 3> &w) {
  Vector2 p{};
  for (int i = 0; i < 2; ++i)
    p[i] = w[0] * T.Corner[0][i] + w[1] * T.Corner[1][i] + w[2] * T.Corner[2][i];
  return p;
}

bool AllEndsFinite(const TriangleEndPoints &ends) {
  for (const Vector2 &p : ends)
    if (!std::isfinite(p[0]) || !std::isfinite(p[1]))
      return false;
  return true;
}

// Corners that are not finite (a masked trap in the formula) make the image unusable.
bool PlaneOf(const Vector3 &P0, const Vector3 &P1, const Vector3 &P2, Vector3 &unit) {
  return AllFinite(P0) && AllFinite(P1) && AllFinite(P2) && PlaneOfFinite(P0, P1, P2, unit);
}

void PreparePlane(TDomainTriangle &T) {
  T.Degenerate = !PlaneOf(T.P[0], T.P[1], T.P[2], T.n);
}

} // namespace
} // namespace triangles

using namespace triangles;

void CalcDib::PrepareTriangle(TDomainTriangle &T) {
  PreparePlane(T);
  if (T.Degenerate)
    return;
  const DualVectors D = Duals(T);
  T.d1 = D.d1;
  T.d2 = D.d2;
}

// The segment where the flat images of A and B cut each other, if two of the candidates (A's
// border crossings X1, X2 inside B, then B's Y1, Y2 inside A) give its ends. Candidates are made
// only when they can still matter.
void CalcDib::AddCut(const TDomainTriangle &A, const TDomainTriangle &B, const PlaneSide &sideA,
                     const PlaneSide &sideB) {
  // no segment for a corner lying on the other plane
  if (sideA.sum == 2 || sideB.sum == 2)
    return;
  TriangleEndPoints ends{};
  int count = 0;
  const DualVectors dualB = Duals(B);
  auto tryX = [&](const Crossing &x) {
    const auto beta = Barycentric(B, dualB, x.X);
    if (Inside(beta)) {
      ends[2 * count] = InParameters(A, x.w);
      ends[2 * count + 1] = InParameters(B, beta);
      ++count;
    }
  };
  const BorderWalk walkA = WalkBorder(sideA);
  tryX(FirstCrossing(A, sideA, walkA));
  tryX(SecondCrossing(A, sideA, walkA));
  if (count < 2) {
    const DualVectors dualA = Duals(A);
    auto tryY = [&](const Crossing &y) {
      const auto alpha = Barycentric(A, dualA, y.X);
      if (Inside(alpha)) {
        ends[2 * count] = InParameters(A, alpha);
        ends[2 * count + 1] = InParameters(B, y.w);
        ++count;
      }
    };
    const BorderWalk walkB = WalkBorder(sideB);
    tryY(FirstCrossing(B, sideB, walkB));
    // with none so far, Y2 alone cannot make a segment
    if (count == 1)
      tryY(SecondCrossing(B, sideB, walkB));
  }
  if (count == 2 && AllEndsFinite(ends) && InDomain(ends))
    AddSegmentPair(ends);
}

// The ends are weighted means of corners in D, so rounding alone can put one a few units in the
// last place outside; such an end goes onto the border. One farther out is no point of D: the
// pair is not stored.
bool CalcDib::InDomain(TriangleEndPoints &ends) const {
  const auto &[low, high] = StoredDomain;
  for (int c = 0; c < 2; ++c) {
    const double margin =
        1e-9 * (high[c] - low[c]) + 1e-14 * (std::fabs(low[c]) + std::fabs(high[c]));
    for (Vector2 &p : ends) {
      if (!(p[c] >= low[c] - margin && p[c] <= high[c] + margin))
        return false;
      p[c] = std::clamp(p[c], low[c], high[c]);
    }
  }
  return true;
}

} // namespace tandor
