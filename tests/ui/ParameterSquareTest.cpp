// The parameter square's two conversions: a dragged pixel and the pixel of the value it gave
// are one and the same, and no range makes either give what cannot be shown or stored.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ui/ParameterSquare.h"

namespace tandor {
namespace {

TEST(ParameterSquare, EveryPixelInsideGivesAValueThatComesBackToIt) {
  const struct {
    Vector2 low, high;
  } ranges[] = {{{0, 0}, {2, 3.141592653589793}}, {{-1e-9, 5}, {1e-9, 7}}, {{-300, -2}, {1e6, 1}}};
  for (const auto &r : ranges) {
    const ParameterSquare square({0, 0, 128, 128}, r.low, r.high);
    for (int x = 1; x < 128; ++x)
      for (int y = 1; y < 128; ++y) {
        ASSERT_TRUE(square.Inside(x, y));
        const Vector2 pq = square.ValueAt(x, y);
        ASSERT_TRUE(r.low[0] <= pq[0] && pq[0] <= r.high[0]) << x;
        ASSERT_TRUE(r.low[1] <= pq[1] && pq[1] <= r.high[1]) << y;
        const auto pixel = square.PixelOf(pq);
        ASSERT_TRUE(pixel.has_value());
        ASSERT_EQ((*pixel)[0], x);
        ASSERT_EQ((*pixel)[1], y);
      }
  }
}

TEST(ParameterSquare, TheEdgeIsOutsideAndQGrowsUpward) {
  const ParameterSquare square({0, 0, 128, 128}, {0, 0}, {1, 1});
  for (int edge : {0, 128})
    EXPECT_FALSE(square.Inside(edge, 64) || square.Inside(64, edge));
  EXPECT_LT(square.ValueAt(64, 100)[1], square.ValueAt(64, 20)[1]);
  EXPECT_EQ(square.PixelOf({0, 0}), (std::array<int, 2>{0, 128}));
}

TEST(ParameterSquare, RangesBeyondTheLargestDoubleGiveFiniteValuesAndNoPixelForNaN) {
  const double big = std::numeric_limits<double>::max();
  const ParameterSquare huge({0, 0, 128, 128}, {-big, -big}, {big, big});
  for (int x = 1; x < 128; x += 7) {
    const Vector2 pq = huge.ValueAt(x, x);
    EXPECT_TRUE(std::isfinite(pq[0]) && std::isfinite(pq[1])) << x;
  }
  const ParameterSquare empty({0, 0, 128, 128}, {1, 1}, {1, 1});
  EXPECT_FALSE(empty.PixelOf({1, 1}).has_value());
}

} // namespace
} // namespace tandor
