// The triangle-intersection method (CalcDib): the grid of triangles over D, the loop over their
// pairs with its polls, and the refinement tree that splits a pair whose planes cut down to the
// last depth, where the cut is stored (TrianglePlanes.cpp). The pair filter is in
// TrianglePairFilter.cpp, the drawing in TriangleDrawing.cpp.

#include "solvers/TriangleIntersection.h"

#include <algorithm>
#include <chrono>
#include <limits>

#include "solvers/TrianglePairFilter.h"
#include "solvers/TrianglePlanes.h"

namespace tandor {

using namespace triangles;

namespace {

constexpr double NotANumber = std::numeric_limits<double>::quiet_NaN();

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
  LastSeed =
      FixedSeed
          ? *FixedSeed
          : static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
  Generator.seed(LastSeed);
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
  PollCounter = PollCounterStart;
  if (Threads > 1)
    return TestAllPairsTogether(F, control);
  return TestFirstMemberRange(F, control, 1, TriangleCount() - 2);
}

bool CalcDib::TestFirstMemberRange(MapEvaluator F, RunControl &control, int firstA, int lastA) {
  const MapScope bound(*this, F);
  RunPoll poll(control, Stats.PairsRefined, PollWork);
  Watch = &poll;
  const bool whole = TestFirstMembers(poll, firstA, lastA);
  Watch = nullptr;
  return whole;
}

bool CalcDib::TestFirstMembers(RunControl &control, int firstA, int lastA) {
  const int M = TriangleCount();
  for (int a = firstA; a <= lastA; ++a) {
    const TDomainTriangle &A = Triangles[a];
    if (A.Degenerate)
      continue;
    FirstMemberTree[0] = A;
    FirstMemberSplit.fill(false);
    if (++PollCounter % PollInterval == 0 && control.ProcessEventsAndCheckStop())
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

} // namespace tandor
