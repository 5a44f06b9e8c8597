#pragma once
// The vectorised pair filter of the triangle method (CalcDib): for one first member, the
// followers whose planes it straddles, found two or four at a time from the planes stored
// column by column.

#include <array>

#include "base/Vectors.h"

namespace tandor::triangles {

// The padding of the columns allows blocks of up to four.
inline constexpr int BlockSize = 4;

struct PlaneColumns {
  const double *x, *y, *z, *nx, *ny, *nz;
};

// Writes to out, in ascending order, the followers from b0 (a multiple of BlockSize) to last
// that have one of A's corners strictly above their plane and one strictly below; returns how
// many. Distances that are not numbers pass neither comparison. Without baselineOnly, the
// wider instruction set is used where the processor has it; both give the same result.
int FilterFollowers(const std::array<Vector3, 3> &A, const PlaneColumns &planes, int b0, int last,
                    int *out, bool baselineOnly);

// The length of a column for count planes: whole blocks, and one more for a block that starts
// at the last plane.
inline int PaddedSize(int count) {
  return (count + 2 * BlockSize - 1) / BlockSize * BlockSize;
}

} // namespace tandor::triangles
