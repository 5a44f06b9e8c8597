// Every run ends: walks that go round curves they have traced before end by themselves, and
// whatever a problem does, the work and the memory of a run stay within fixed caps that ordinary
// problems never reach.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "GradualMaps.h"
#include "solvers/FImplicitCurve4D.h"

namespace tandor {
namespace {

using testing::MapUnderTest;

const Vector2 TangleLow{-3, -3}, TangleHigh{3, 3};
const double TanglePixel = std::sqrt(2.0) * std::hypot(3.0, 3.0) / 400;

// The longest run of records from a piece start to the next.
std::size_t LongestPiece(const std::vector<TracePoint> &trace) {
  std::size_t longest = 0, length = 0;
  for (const TracePoint &t : trace) {
    length = t.PieceStart == 1 ? 1 : length + 1;
    longest = std::max(longest, length);
  }
  return longest;
}

// Some walks of this problem go round small closed curves of double pairs with steps shorter
// than a cell of the projection plane; they used to go round for ever, the list growing by
// some 3 MB a second. Every projection plane tried did it.
TEST(GradualBounds, WalksRoundSmallClosedCurvesEnd) {
  MapUnderTest F(testing::Tangle);
  for (uint64_t seed : {1, 2, 3}) {
    auto tracer = std::make_unique<TImplicitCurve4D>(F, F);
    tracer->SetProjectionSeed(seed);
    NeverStop never;
    tracer->TraceLocus(TangleLow, TangleHigh, 1e-5, 23, TanglePixel, never);
    // Some 7,000 to 9,000 records in 400 pieces, no piece longer than a few hundred.
    EXPECT_LT(tracer->TraceList.size(), 20'000u) << seed;
    EXPECT_LT(LongestPiece(tracer->TraceList), 2'000u) << seed;
    EXPECT_GT(tracer->TraceList.size(), 1'000u) << seed;
  }
}

} // namespace
} // namespace tandor
