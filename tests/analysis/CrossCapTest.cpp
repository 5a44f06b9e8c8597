// Cross-caps of maps written by hand, whose singular points are known in closed form.

#include <gtest/gtest.h>

#include <algorithm>
#include <numbers>
#include <random>

#include "PlainMaps.h"

namespace tandor::testing {
namespace {

const Vector2 Low{-1, -1}, High{1, 1};

double Diagonal(const Vector2 &low, const Vector2 &high) {
  return std::hypot(high[0] - low[0], high[1] - low[1]);
}

void ExpectCrossCapsAt(PlainMap &map, const Vector2 &low, const Vector2 &high,
                       std::vector<Vector2> expected) {
  const SingularPoints r = FindIn(map, low, high);
  EXPECT_FALSE(r.SingularCurve);
  EXPECT_TRUE(r.Complete);
  EXPECT_TRUE(r.Triples.empty());
  ASSERT_EQ(r.CrossCaps.size(), expected.size());
  std::sort(expected.begin(), expected.end());
  for (std::size_t k = 0; k < expected.size(); ++k) {
    // Newton reaches the rounding of the point; the promise is 1e-9 of the diagonal.
    const double error = std::hypot(r.CrossCaps[k].Point[0] - expected[k][0],
                                    r.CrossCaps[k].Point[1] - expected[k][1]);
    EXPECT_LE(error, 1e-13 * Diagonal(low, high))
        << k << ": " << r.CrossCaps[k].Point[0] << ", " << r.CrossCaps[k].Point[1];
  }
  ExpectVerified(map, r, low, high);
}

TEST(CrossCaps, TheUmbrellaAnywhereInClosedDAndAfterAChangeOfTarget) {
  const Vector2 places[] = {{0, 0}, {0.37, -0.81}, {1, 0.3}, {-0.2, -1}, {-1, -1}, {1, 1}};
  for (const Vector2 &at : places)
    for (const bool changed : {false, true}) {
      SCOPED_TRACE(::testing::Message() << at[0] << ", " << at[1] << (changed ? " changed" : ""));
      const JetFunction umbrella = CrossCapAt(at[0], at[1]);
      PlainMap map(
          changed ? JetFunction([=](double u, double v) { return ChangeOfTarget(umbrella(u, v)); })
                  : umbrella);
      ExpectCrossCapsAt(map, Low, High, {at});
    }
}

TEST(CrossCaps, JustOutsideDThereAreNone) {
  for (const Vector2 &at : {Vector2{1 + 1e-7, 0.2}, Vector2{0.3, -1 - 1e-3}, Vector2{1.05, 1.05}}) {
    PlainMap map(CrossCapAt(at[0], at[1]));
    const SingularPoints r = FindIn(map, Low, High);
    EXPECT_TRUE(r.CrossCaps.empty()) << at[0] << ", " << at[1];
    EXPECT_FALSE(r.SingularCurve);
  }
}

// (u, v^2, v h(u, v^2)) has its cross-caps at the simple roots of h(u, 0) on v = 0.
JetFunction FoldedWithRoots(std::vector<double> roots, double w) {
  return [roots, w](double u, double v) {
    // h(u, s) = prod (u - r) + w s (1 + u): h at s = v^2, with its partial derivatives.
    double h0 = 1, h0u = 0;
    for (double r : roots) {
      h0u = h0u * (u - r) + h0;
      h0 *= (u - r);
    }
    const double s = v * v, h = h0 + w * s * (1 + u), hu = h0u + w * s, hs = w * (1 + u);
    return Jet{{u, s, v * h}, {1, 0, v * hu}, {0, 2 * v, h + 2 * s * hs}};
  };
}

TEST(CrossCaps, AreTheRootsOfHOnTheFoldLine) {
  std::mt19937 random(12);
  for (int trial = 0; trial < 40; ++trial) {
    // One to five roots in D, at least 9 pixels apart.
    std::uniform_real_distribution<double> inside(-0.97, 0.97);
    std::vector<double> roots;
    const int count = 1 + trial % 5;
    while (static_cast<int>(roots.size()) < count) {
      const double r = inside(random);
      if (std::all_of(roots.begin(), roots.end(),
                      [&](double q) { return std::fabs(q - r) > 9 * PicturePixel; }))
        roots.push_back(r);
    }
    const double w = std::uniform_real_distribution<double>(-2, 2)(random);
    // Roots beyond D fold the surface too, without cross-caps inside.
    std::vector<double> all = roots;
    all.push_back(1.3);
    PlainMap map(FoldedWithRoots(all, w));
    std::vector<Vector2> expected;
    for (double r : roots)
      expected.push_back({r, 0});
    SCOPED_TRACE(trial);
    ExpectCrossCapsAt(map, Low, High, expected);
  }
}

TEST(CrossCaps, OnADomainOfAnotherSizeAndPlace) {
  // u in [2, 5], v in [-0.01, 0.03]: the scan works in units of D, not of u and v.
  const Vector2 low{2, -0.01}, high{5, 0.03};
  PlainMap map([](double u, double v) {
    const Jet j = FoldedWithRoots({2.5, 3.1, 4.9}, 0.7)(u, 100 * v);
    return Jet{j.F, j.Fu, {100 * j.Fv[0], 100 * j.Fv[1], 100 * j.Fv[2]}};
  });
  ExpectCrossCapsAt(map, low, high, {{2.5, 0}, {3.1, 0}, {4.9, 0}});
}

TEST(CrossCaps, AFoldOrAConstantIsReportedAsACurveOnce) {
  const JetFunction curves[] = {
      // The fold (u^2, v, v^2): Fu x Fv = (0, -4uv, 2u) vanishes on u = 0.
      [](double u, double v) {
        return Jet{{u * u, v, v * v}, {2 * u, 0, 0}, {0, 1, 2 * v}};
      },
      // A constant map.
      [](double, double) {
        return Jet{{1, 2, 3}, {}, {}};
      },
      // A map onto a curve: Fu = Fv everywhere.
      [](double u, double v) {
        const double w = u + v;
        return Jet{{w, w * w, std::sin(w)}, {1, 2 * w, std::cos(w)}, {1, 2 * w, std::cos(w)}};
      },
  };
  for (const JetFunction &f : curves) {
    PlainMap map(f);
    const SingularPoints r = FindIn(map, Low, High);
    EXPECT_TRUE(r.SingularCurve);
    EXPECT_TRUE(r.CrossCaps.empty());
  }
}

TEST(CrossCaps, AFormulaUndefinedOnPartOfDHidesOnlyWhatIsThere) {
  // Cross-caps at u = -0.5 and u = 0.7; F is not a number for u > 0.4.
  PlainMap map([](double u, double v) {
    if (u > 0.4)
      return Jet{{NaN, NaN, NaN}, {NaN, NaN, NaN}, {NaN, NaN, NaN}};
    return FoldedWithRoots({-0.5, 0.7}, 0.3)(u, v);
  });
  ExpectCrossCapsAt(map, Low, High, {{-0.5, 0}});
}

// f turned by the angle a about the centre of D: its cross-caps turn by -a.
JetFunction Turned(const JetFunction &f, double a) {
  const double c = std::cos(a), s = std::sin(a);
  return [=](double u, double v) {
    const Jet j = f(c * u + s * v, -s * u + c * v);
    Jet g = j;
    for (int k = 0; k < 3; ++k) {
      g.Fu[k] = c * j.Fu[k] - s * j.Fv[k];
      g.Fv[k] = s * j.Fu[k] + c * j.Fv[k];
    }
    return g;
  };
}

TEST(CrossCaps, TwoSixPixelsApartAreBothFoundInEveryDirection) {
  // Closer than a mark is wide, on folds that bend strongly (w) across their line.
  const double apart = 6 * PicturePixel;
  for (const double angle : {0.0, 0.3, std::numbers::pi / 4, 1.2, 2.0})
    for (const double w : {-1.0, 1.0, 3.0})
      for (double a = -0.6; a < 0.6; a += 0.137) {
        SCOPED_TRACE(::testing::Message() << angle << " " << w << " " << a);
        PlainMap map(Turned(FoldedWithRoots({a, a + apart}, w), angle));
        const double c = std::cos(angle), s = std::sin(angle);
        ExpectCrossCapsAt(map, Low, High, {{c * a, s * a}, {c * (a + apart), s * (a + apart)}});
      }
}

class StopAt final : public RunControl {
public:
  explicit StopAt(int poll) : Poll(poll) {}
  bool ProcessEventsAndCheckStop() override { return ++Polls >= Poll; }
  int Poll, Polls = 0;
};

TEST(CrossCaps, RunControlIsPolledAndAStopEndsTheSearch) {
  PlainMap map(FoldedWithRoots({-0.5, 0.5}, 1));
  SingularPointFinder finder;
  StopAt never(1 << 30);
  ASSERT_TRUE(finder.Find(map, map, Low, High, {}, never));
  EXPECT_GE(never.Polls, (CrossCapSearch::Cells + 1) / 16); // a poll every 16 rows of nodes
  EXPECT_EQ(finder.Result().CrossCaps.size(), 2u);
  for (int poll = 1; poll <= never.Polls; ++poll) {
    StopAt stop(poll);
    EXPECT_FALSE(finder.Find(map, map, Low, High, {}, stop)) << poll;
    EXPECT_EQ(stop.Polls, poll) << "the search ends at the poll that asked for the stop";
    EXPECT_FALSE(finder.Result().Complete);
    ExpectVerified(map, finder.Result(), Low, High);
  }
}

} // namespace
} // namespace tandor::testing
