#include "analysis/SingularPointFinder.h"

#include <cmath>

namespace tandor {

bool SingularPointFinder::Find(const MapEvaluator &map, const CoordinateEvaluator &coordinates,
                               const Vector2 &low, const Vector2 &high,
                               std::span<const PairSegment> locus, RunControl &control) {
  Points.Clear();
  for (int k = 0; k < 2; ++k)
    if (!(low[k] < high[k]) || !std::isfinite(high[k] - low[k]))
      return true; // no domain, no points
  const NormalisedMap F(map, coordinates, low, high);
  const bool done = CrossCaps.Run(F, control, Points) &&
                    Triples.Run(F, std::sqrt(CrossCaps.Scale()), locus, control, Points);
  Points.Complete = done;
  return done;
}

} // namespace tandor
