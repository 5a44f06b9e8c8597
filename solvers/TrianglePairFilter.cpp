// The vectorised pair filter of the triangle method (triangles::FilterFollowers).

#include "solvers/TrianglePairFilter.h"

#include <cstring>

#include "solvers/TriangleIntersection.h"

namespace tandor::triangles {

namespace {

// The top-level filter runs over blocks of followers in GNU vector arithmetic. It is written once
// and compiled twice: two lanes for the baseline instruction set and, where the processor has
// it, four lanes for AVX2. It only adds, subtracts, multiplies and compares, so both give the
// same numbers as PlaneDistance.
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
#endif

} // namespace

#if defined(__x86_64__) && defined(__GNUC__)
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

} // namespace tandor::triangles
