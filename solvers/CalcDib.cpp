#include "solvers/CalcDib.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>

#include "solvers/LineClip.h"
#include "solvers/TraceDrawing.h"

namespace tandor {
namespace {

constexpr double NotANumber = std::numeric_limits<double>::quiet_NaN();
// A distance that is not a number gets a class that no valid sum can absorb.
constexpr int NotFiniteClass = 16;

// The signed distance of X from the plane through P0 with unit normal n, in plain double with a
// fixed order of operations: the block filter below computes exactly the same numbers two or
// four at a time, so the two never disagree about a pair.
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

using PlaneSide = CalcDib::PlaneSide;

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

inline double Dot(const Vector3 &a, const Vector3 &b) {
  return (a[0] * b[0] + a[1] * b[1]) + a[2] * b[2];
}

inline Vector3 Cross(const Vector3 &a, const Vector3 &b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

inline Vector3 Difference(const Vector3 &a, const Vector3 &b) {
  return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}

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

bool AllFinite(const TriangleEndPoints &ends) {
  for (const Vector2 &p : ends)
    if (!std::isfinite(p[0]) || !std::isfinite(p[1]))
      return false;
  return true;
}

bool AllFinite(const Vector3 &a) {
  return std::isfinite(a[0]) && std::isfinite(a[1]) && std::isfinite(a[2]);
}

// The unit normal of the image P0, P1, P2, whose corners are finite; false when it is degenerate.
bool PlaneOfFinite(const Vector3 &P0, const Vector3 &P1, const Vector3 &P2, Vector3 &unit) {
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

// Corners that are not finite (a masked trap in the formula) make the image unusable.
bool PlaneOf(const Vector3 &P0, const Vector3 &P1, const Vector3 &P2, Vector3 &unit) {
  return AllFinite(P0) && AllFinite(P1) && AllFinite(P2) && PlaneOfFinite(P0, P1, P2, unit);
}

void PreparePlane(TDomainTriangle &T) {
  T.Degenerate = !PlaneOf(T.P[0], T.P[1], T.P[2], T.n);
}

// The three sub-triangles of T around its centroid: (0, 1, c), (c, 1, 2), (0, c, 2). Built
// field by field from T and c, so that the planes are computed from values already in
// registers rather than from freshly written copies.
std::array<TDomainTriangle, 3> SubTriangles(const TDomainTriangle &T, const MapEvaluator &F) {
  const Vector2 c{(T.Corner[0][0] + T.Corner[1][0] + T.Corner[2][0]) / 3,
                  (T.Corner[0][1] + T.Corner[1][1] + T.Corner[2][1]) / 3};
  Vector3 Fc{};
  F(Fc[0], Fc[1], Fc[2], c[0], c[1]);
  // T takes part in a test, so its own corners are finite.
  const bool finite = AllFinite(Fc);
  std::array<TDomainTriangle, 3> sub;
  for (int i = 0; i < 3; ++i) {
    const int replaced = (i + 2) % 3;
    TDomainTriangle &S = sub[i];
    for (int m = 0; m < 3; ++m) {
      S.Corner[m] = m == replaced ? c : T.Corner[m];
      S.P[m] = m == replaced ? Fc : T.P[m];
    }
    const Vector3 &P0 = replaced == 0 ? Fc : T.P[0];
    const Vector3 &P1 = replaced == 1 ? Fc : T.P[1];
    const Vector3 &P2 = replaced == 2 ? Fc : T.P[2];
    S.Degenerate = !finite || !PlaneOfFinite(P0, P1, P2, S.n);
  }
  return sub;
}

// Trunc toward zero; values beyond the int range (or NaN) go to the extreme ints.
int TruncToPixel(double x) {
  if (!(x > static_cast<double>(INT_MIN) - 1.0))
    return INT_MIN;
  if (!(x < static_cast<double>(INT_MAX) + 1.0))
    return INT_MAX;
  return static_cast<int>(x);
}

// The top-level filter runs over blocks of followers in GNU vector arithmetic. It is written once
// and compiled twice: two lanes for the baseline instruction set and, where the processor has
// it, four lanes for AVX2. It only adds, subtracts, multiplies and compares, so both give the
// same numbers as PlaneDistance.
constexpr int BlockSize = 4; // the padding of the columns allows blocks of up to four

template <int Width> struct Lanes;
template <> struct Lanes<2> {
  using Block = double __attribute__((vector_size(2 * sizeof(double))));
  using Mask = long long __attribute__((vector_size(2 * sizeof(long long))));
};
template <> struct Lanes<4> {
  using Block = double __attribute__((vector_size(4 * sizeof(double))));
  using Mask = long long __attribute__((vector_size(4 * sizeof(long long))));
};

// Through a reference: wide vectors are not passed by value between functions compiled for
// different instruction sets.
template <class Block, int Width> [[gnu::always_inline]] inline void Splat(Block &v, double x) {
  for (int i = 0; i < Width; ++i)
    v[i] = x;
}

struct PlaneColumns {
  const double *x, *y, *z, *nx, *ny, *nz;
};

// Writes to out, in ascending order, the followers from b0 (a multiple of Width) to last that
// have one of A's corners strictly above their plane and one strictly below; returns how many.
// Distances that are not numbers pass neither comparison.
template <int Width>
[[gnu::always_inline]] inline int FilterBlocks(const std::array<Vector3, 3> &A,
                                               const PlaneColumns &planes, int b0, int last,
                                               int *out) {
  using Block = typename Lanes<Width>::Block;
  using Mask = typename Lanes<Width>::Mask;
  Block t, minusT, ax0, ay0, az0, ax1, ay1, az1, ax2, ay2, az2;
  Splat<Block, Width>(t, CalcDib::PlaneTolerance);
  Splat<Block, Width>(minusT, -CalcDib::PlaneTolerance);
  Splat<Block, Width>(ax0, A[0][0]);
  Splat<Block, Width>(ay0, A[0][1]);
  Splat<Block, Width>(az0, A[0][2]);
  Splat<Block, Width>(ax1, A[1][0]);
  Splat<Block, Width>(ay1, A[1][1]);
  Splat<Block, Width>(az1, A[1][2]);
  Splat<Block, Width>(ax2, A[2][0]);
  Splat<Block, Width>(ay2, A[2][1]);
  Splat<Block, Width>(az2, A[2][2]);
  int count = 0;
  for (int b = b0; b <= last; b += Width) {
    Block px, py, pz, nx, ny, nz;
    std::memcpy(&px, planes.x + b, sizeof px);
    std::memcpy(&py, planes.y + b, sizeof py);
    std::memcpy(&pz, planes.z + b, sizeof pz);
    std::memcpy(&nx, planes.nx + b, sizeof nx);
    std::memcpy(&ny, planes.ny + b, sizeof ny);
    std::memcpy(&nz, planes.nz + b, sizeof nz);
    const Block d0 = ((px - ax0) * nx + (py - ay0) * ny) + (pz - az0) * nz;
    const Block d1 = ((px - ax1) * nx + (py - ay1) * ny) + (pz - az1) * nz;
    const Block d2 = ((px - ax2) * nx + (py - ay2) * ny) + (pz - az2) * nz;
    const Mask above = (d0 > t) | (d1 > t) | (d2 > t);
    const Mask below = (d0 < minusT) | (d1 < minusT) | (d2 < minusT);
    const Mask pass = above & below;
    long long any = 0;
    for (int i = 0; i < Width; ++i)
      any |= pass[i];
    if (any == 0)
      continue;
    for (int i = 0; i < Width; ++i) {
      out[count] = b + i;
      count += pass[i] != 0 ? 1 : 0;
    }
  }
  return count;
}

// Two lanes: one SSE register on x86-64.
int FilterBlocksBaseline(const std::array<Vector3, 3> &A, const PlaneColumns &planes, int b0,
                         int last, int *out) {
  return FilterBlocks<2>(A, planes, b0, last, out);
}

#if defined(__x86_64__) && defined(__GNUC__)
[[gnu::target("avx2")]] int FilterBlocksAvx2(const std::array<Vector3, 3> &A,
                                             const PlaneColumns &planes, int b0, int last,
                                             int *out) {
  return FilterBlocks<4>(A, planes, b0, last, out);
}

int FilterFollowers(const std::array<Vector3, 3> &A, const PlaneColumns &planes, int b0, int last,
                    int *out, bool baselineOnly) {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  return avx2 && !baselineOnly ? FilterBlocksAvx2(A, planes, b0, last, out)
                               : FilterBlocksBaseline(A, planes, b0, last, out);
}
#else
int FilterFollowers(const std::array<Vector3, 3> &A, const PlaneColumns &planes, int b0, int last,
                    int *out, bool) {
  return FilterBlocksBaseline(A, planes, b0, last, out);
}
#endif

int PaddedSize(int count) {
  return (count + 2 * BlockSize - 1) / BlockSize * BlockSize;
}

} // namespace

CalcDib::CalcDib()
    : Triangles(TriangleCapacity + 1), PlaneX(PaddedSize(TriangleCapacity + 1), 0),
      PlaneY(PlaneX.size(), 0), PlaneZ(PlaneX.size(), 0), NormalX(PlaneX.size(), NotANumber),
      NormalY(PlaneX.size(), NotANumber), NormalZ(PlaneX.size(), NotANumber),
      Followers(PlaneX.size()), SegmentList(InitialSegmentRoom) {}

void CalcDib::ComputeByTriangles(MapEvaluator F, const Vector2 &low, const Vector2 &high,
                                 RunControl &control) {
  BuildTriangles(F, low, high);
  TestAllPairs(F, control);
}

void CalcDib::SeedGenerator() {
  Generator.seed(FixedSeed ? *FixedSeed
                           : static_cast<uint64_t>(
                                 std::chrono::system_clock::now().time_since_epoch().count()));
}

double CalcDib::NextUniform() {
  return static_cast<double>(Generator() >> 11) * 0x1.0p-53;
}

void CalcDib::BuildTriangles(MapEvaluator F, const Vector2 &low, const Vector2 &high) {
  StoredDomain = {low, high};
  SeedGenerator();
  const int N = GridSize;
  const double hu = (high[0] - low[0]) / N, hv = (high[1] - low[1]) / N;
  // A fixed amount in the units of u and v, but never more than a quarter of a cell: on a
  // narrow domain the lines crossed each other and made triangles outside D. Wherever a cell
  // is wider than about 0.0024 (D wider than 0.1), the fixed amount applies unchanged.
  const double jitterU = std::min(1.0 / (N * N), hu / 4);
  const double jitterV = std::min(1.0 / (N * N), hv / 4);
  U[0] = low[0];
  U[N] = high[0];
  V[0] = low[1];
  V[N] = high[1];
  for (int i = 1; i < N; ++i) {
    U[i] = low[0] + i * hu + (1 - 2 * NextUniform()) * jitterU;
    V[i] = low[1] + i * hv + (1 - 2 * NextUniform()) * jitterV;
  }
  for (int i = 0; i < N; ++i)
    for (int j = 0; j < N; ++j) {
      const int k = i * N + j + 1;
      const std::array<Vector2, 4> c{
          {{U[i], V[j]}, {U[i + 1], V[j]}, {U[i + 1], V[j + 1]}, {U[i], V[j + 1]}}};
      std::array<Vector3, 4> P{};
      for (int m = 0; m < 4; ++m)
        F(P[m][0], P[m][1], P[m][2], c[m][0], c[m][1]);
      TDomainTriangle T;
      T.Corner = {c[0], c[1], c[3]};
      T.P = {P[0], P[1], P[3]};
      PrepareTriangle(T, 2 * k - 1);
      T.Corner = {c[2], c[1], c[3]};
      T.P = {P[2], P[1], P[3]};
      PrepareTriangle(T, 2 * k);
    }
}

void CalcDib::PrepareTriangle(TDomainTriangle &T) {
  PreparePlane(T);
  if (T.Degenerate)
    return;
  const DualVectors D = Duals(T);
  T.d1 = D.d1;
  T.d2 = D.d2;
}

void CalcDib::PrepareTriangle(TDomainTriangle T, int index) {
  PrepareTriangle(T);
  if (index <= 0 || index > TriangleCapacity)
    return;
  Triangles[index] = T;
  StorePlane(index, T);
}

void CalcDib::StorePlane(int index, const TDomainTriangle &T) {
  // A NaN normal makes every distance NaN, which the block test rejects.
  const bool usable = !T.Degenerate;
  PlaneX[index] = usable ? T.P[0][0] : 0;
  PlaneY[index] = usable ? T.P[0][1] : 0;
  PlaneZ[index] = usable ? T.P[0][2] : 0;
  NormalX[index] = usable ? T.n[0] : NotANumber;
  NormalY[index] = usable ? T.n[1] : NotANumber;
  NormalZ[index] = usable ? T.n[2] : NotANumber;
}

bool CalcDib::TestAllPairs(MapEvaluator F, RunControl &control) {
  ClearSegments();
  Stats = {};
  const MapScope bound(*this, F);
  RunPoll poll(control, Stats.PairsRefined, PollWork);
  Watch = &poll;
  const bool whole = TestFirstMembers(poll);
  Watch = nullptr;
  return whole;
}

bool CalcDib::TestFirstMembers(RunControl &control) {
  const int M = TriangleCount();
  int poll = PollCounterStart;
  for (int a = 1; a <= M - 2; ++a) {
    const TDomainTriangle &A = Triangles[a];
    if (A.Degenerate)
      continue;
    FirstMemberTree[0] = A;
    FirstMemberSplit.fill(false);
    if (++poll % PollInterval == 0 && control.ProcessEventsAndCheckStop())
      return false;
    // The two halves of a cell are never paired, nor the upper-right half of a cell with the
    // lower-left half of the cell to its right, with which it shares a side.
    const bool even = a % 2 == 0;
    const int first = even ? a + 1 : a + 2;
    const int skip = even ? a + 2 * GridSize - 1 : 0;
    Stats.PairsTested += static_cast<uint64_t>(M - first + 1 - (skip != 0 && skip <= M ? 1 : 0));
    if (!TestAgainstFollowers(A, first, skip, M))
      return false;
  }
  return true;
}

// Only A's corners against each follower's plane are computed here, two followers at a time,
// and only as a filter: a follower needs one corner of A strictly above its plane and one
// strictly below to pass the whole test, which the few that do then get, in ascending order as
// a plain loop would give them. Distances that are not numbers pass neither comparison, so a
// degenerate follower (NaN normal) never gets through. False when the run must end: a pair's
// refinement can be long, so the run polls between followers as its work grows.
bool CalcDib::TestAgainstFollowers(const TDomainTriangle &A, int first, int skip, int last) {
  const PlaneColumns planes{PlaneX.data(),  PlaneY.data(),  PlaneZ.data(),
                            NormalX.data(), NormalY.data(), NormalZ.data()};
  const int count = FilterFollowers(A.P, planes, first - first % BlockSize, last, Followers.data(),
                                    BaselineFilterOnly);
  for (int i = 0; i < count; ++i) {
    const int b = Followers[i];
    if (b >= first && b != skip)
      TestFirstMemberPair(0, Triangles[b], 0);
    if (Full() || (Watch != nullptr && Watch->Breathe()))
      return false;
  }
  return true;
}

void CalcDib::TestTrianglePair(MapEvaluator F, const TDomainTriangle &A, const TDomainTriangle &B,
                               int depth) {
  const MapScope bound(*this, F);
  TestPair(A, B, depth);
}

void CalcDib::SplitTrianglePair(MapEvaluator F, const TDomainTriangle &A, const TDomainTriangle &B,
                                int depth) {
  const MapScope bound(*this, F);
  SplitPair(A, B, depth);
}

void CalcDib::TestPair(const TDomainTriangle &A, const TDomainTriangle &B, int depth) {
  PlaneSide sideA, sideB;
  if (!PlanesCut(A, B, sideA, sideB))
    return;
  if (depth < RefineDepth)
    SplitPair(A, B, depth);
  else
    AddCut(A, B, sideA, sideB);
}

void CalcDib::SplitPair(const TDomainTriangle &A, const TDomainTriangle &B, int depth) {
  if (!Map)
    return;
  ++Stats.PairsRefined;
  const std::array<TDomainTriangle, 3> a = SubTriangles(A, Map);
  const std::array<TDomainTriangle, 3> b = SubTriangles(B, Map);
  for (const TDomainTriangle &Ai : a)
    for (const TDomainTriangle &Bj : b)
      TestPair(Ai, Bj, depth + 1);
}

bool CalcDib::PlanesCut(const TDomainTriangle &A, const TDomainTriangle &B, PlaneSide &sideA,
                        PlaneSide &sideB) {
  if (A.Degenerate || B.Degenerate)
    return false;
  return Classify(A, B, sideA) && Classify(B, A, sideB);
}

// The same test as TestTrianglePair for the pairs of the table's triangle A with its followers.
void CalcDib::TestFirstMemberPair(int node, const TDomainTriangle &B, int depth) {
  PlaneSide sideA, sideB;
  if (PlanesCut(FirstMemberTree[node], B, sideA, sideB))
    TestCuttingPair(node, B, sideA, sideB, depth);
}

void CalcDib::TestCuttingPair(int node, const TDomainTriangle &B, const PlaneSide &sideA,
                              const PlaneSide &sideB, int depth) {
  if (depth == RefineDepth)
    AddCut(FirstMemberTree[node], B, sideA, sideB);
  else
    SplitFirstMemberPair(node, B, depth);
}

// SplitTrianglePair for a first member of the table. A's sub-triangles are the same for every
// follower, so they are made once per A, when first needed, and kept in a small tree (node n has
// the children 3n + 1 .. 3n + 3). And every corner of a sub-triangle is a corner of its parent or
// the parent's centroid, so the nine pairs are classified from 2 x 4 x 3 distances of points from
// planes, each the same number the pair's own test would compute.
void CalcDib::SplitFirstMemberPair(int node, const TDomainTriangle &B, int depth) {
  if (!Map)
    return;
  ++Stats.PairsRefined;
  const int child = 3 * node + 1;
  if (!FirstMemberSplit[node]) {
    const std::array<TDomainTriangle, 3> a = SubTriangles(FirstMemberTree[node], Map);
    std::copy(a.begin(), a.end(), FirstMemberTree.begin() + child);
    FirstMemberSplit[node] = true;
  }
  const TDomainTriangle *a[3] = {&FirstMemberTree[child], &FirstMemberTree[child + 1],
                                 &FirstMemberTree[child + 2]};
  const std::array<TDomainTriangle, 3> b = SubTriangles(B, Map);
  // The parent's corners 0, 1, 2 and then its centroid, which sub-triangle 0 has as corner 2.
  const TDomainTriangle &A = FirstMemberTree[node];
  const Vector3 *pointA[4] = {&A.P[0], &A.P[1], &A.P[2], &a[0]->P[2]};
  const Vector3 *pointB[4] = {&B.P[0], &B.P[1], &B.P[2], &b[0].P[2]};
  // Distances [point][plane], and bit masks over the planes of the points strictly above and
  // strictly below them; a degenerate plane has neither.
  double fromB[4][3] = {}, fromA[4][3] = {};
  unsigned aboveB[4] = {}, belowB[4] = {}, aboveA[4] = {}, belowA[4] = {};
  const double t = PlaneTolerance;
  for (int j = 0; j < 3; ++j)
    if (!b[j].Degenerate)
      for (int q = 0; q < 4; ++q) {
        const double d = PlaneDistance(b[j].P[0], *pointA[q], b[j].n);
        fromB[q][j] = d;
        aboveB[q] |= unsigned(d > t) << j;
        belowB[q] |= unsigned(d < -t) << j;
      }
  for (int i = 0; i < 3; ++i)
    if (!a[i]->Degenerate)
      for (int q = 0; q < 4; ++q) {
        const double d = PlaneDistance(a[i]->P[0], *pointB[q], a[i]->n);
        fromA[q][i] = d;
        aboveA[q] |= unsigned(d > t) << i;
        belowA[q] |= unsigned(d < -t) << i;
      }
  // Sub-triangle i has the centroid (point 3) in place of corner (i + 2) % 3. A pair can only
  // pass with a corner of each strictly above and one strictly below the other's plane.
  auto point = [](int i, int m) { return m == (i + 2) % 3 ? 3 : m; };
  auto straddled = [&](const unsigned *above, const unsigned *below, int i) {
    const int p0 = point(i, 0), p1 = point(i, 1), p2 = point(i, 2);
    return (above[p0] | above[p1] | above[p2]) & (below[p0] | below[p1] | below[p2]);
  };
  const unsigned cutsA[3] = {straddled(aboveA, belowA, 0), straddled(aboveA, belowA, 1),
                             straddled(aboveA, belowA, 2)}; // B's sub-triangle j across A_i
  for (int i = 0; i < 3; ++i) {
    const unsigned cutsB = straddled(aboveB, belowB, i); // A_i across B's planes
    for (int j = 0; j < 3; ++j) {
      if (((cutsB >> j) & (cutsA[j] >> i) & 1u) == 0)
        continue;
      PlaneSide sideA, sideB;
      for (int m = 0; m < 3; ++m) {
        sideA.d[m] = fromB[point(i, m)][j];
        sideB.d[m] = fromA[point(j, m)][i];
      }
      if (ClassesCut(sideA) && ClassesCut(sideB))
        TestCuttingPair(child + i, b[j], sideA, sideB, depth + 1);
    }
  }
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
  if (count == 2 && AllFinite(ends) && InDomain(ends))
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

void CalcDib::AddSegmentPair(const TriangleEndPoints &ends) {
  if (Full())
    return;
  ++LastSegment;
  if (static_cast<int>(SegmentList.size()) <= LastSegment + 1)
    SegmentList.resize(static_cast<std::size_t>(LastSegment + SegmentGrowth));
  SegmentList[LastSegment] = {ends[0][0], ends[0][1], ends[2][0], ends[2][1]};
  ++LastSegment;
  SegmentList[LastSegment] = {ends[1][0], ends[1][1], ends[3][0], ends[3][1]};
}

void CalcDib::DrawTriangleLocus(Canvas &canvas, const PixelRect &rect, const Vector2 &low,
                                const Vector2 &high, RunControl *control) const {
  canvas.FillRect(rect);
  canvas.SetPen(LocusColour, PenWidthFor(rect), PenMode::Copy);
  const double sx = (rect.Right - rect.Left) / (high[0] - low[0]);
  const double sy = (rect.Top - rect.Bottom) / (high[1] - low[1]);
  const double ox = rect.Left - sx * low[0];
  const double oy = rect.Top - sy * high[1];
  const int margin = DrawingMargin(rect);
  std::size_t drawn = 0;
  for (const TLocusSegment &s : Segments()) {
    if (control != nullptr && ++drawn % DrawPollInterval == 0 &&
        control->ProcessEventsAndCheckStop())
      return;
    const int x2 = TruncToPixel(sx * s.u2 + ox), y2 = TruncToPixel(sy * s.v2 + oy);
    const LineSegment line{TruncToPixel(sx * s.u1 + ox), TruncToPixel(sy * s.v1 + oy), x2, y2};
    DrawSegment(canvas, rect, line);
    // The line leaves out its end pixel; one far off the picture is not there to be set.
    LineSegment end;
    if (ClipToRect({x2, y2, x2, y2}, rect, margin, end))
      canvas.SetPixel(x2, y2, LocusColour);
  }
}

} // namespace tandor
