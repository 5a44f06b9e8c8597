// The whole chain as the run makes it: typed formulas read into the problem state, compiled,
// each method computing the locus, its result and the compiled derivatives handed to the search.

#include <gtest/gtest.h>

#include "MethodRuns.h"

namespace tandor::testing {
namespace {

struct Problem {
  const char *name;
  DataLineArray lines;
  std::vector<std::array<Vector2, 3>> triples;
  std::vector<Vector2> crossCaps;
  bool curve = false;
};

// The nested squares overflow to infinity where exp(100 u) is clamped at 1e24 (u > 0.75), and
// before that where their result passes the extended range (u > 0.444): 0 times that is not a
// number.
const char *const UndefinedBeyond = "0*sqr(sqr(sqr(sqr(sqr(sqr(sqr(sqr(exp(100u)))))))))";

std::vector<Problem> Problems() {
  const double c = std::sqrt(4.0 / 3), s = 1 / std::sqrt(3.0), r = std::sqrt(0.5);
  return {
      {"umbrella",
       {"u", "u v", "v^2", "-1", "1", "-1", "1", "0", "1", "0", "1", "0", "0"},
       {},
       {{0, 0}}},
      {"two cross-caps",
       {"u", "v^2", "v^3+(u^2-p)v", "-1", "1", "-1", "1", "0", "1", "0", "1", "0.5", "0"},
       {},
       {{-r, 0}, {r, 0}}},
      {"two triple points",
       {"u", "v^3 - v", "(u^2 - 2) v^2 + v^4", "-1.5", "1.5", "-1.4", "1.4", "0", "1", "0", "1",
        "0", "0"},
       {{Vector2{-1, -1}, Vector2{-1, 0}, Vector2{-1, 1}},
        {Vector2{1, -1}, Vector2{1, 0}, Vector2{1, 1}}},
       {{-c, -s}, {-c, s}, {c, -s}, {c, s}}},
      {"bent triple point",
       {"u - 0.3v^2", "v^3 - v", "(0.3v^2 - u - 2) v^2 + v^4", "-2", "0.5", "-1.5", "1.5", "0", "1",
        "0", "1", "0", "0"},
       {{Vector2{-1, 0}, Vector2{-0.7, -1}, Vector2{-0.7, 1}}},
       {{-4.0 / 3 + 0.1, -s}, {-4.0 / 3 + 0.1, s}}},
      {"figure-eight cylinder",
       {"v", "sin(u)", "sin(u)cos(u)", "-1", "4", "-1", "1", "0", "1", "0", "1", "0", "0"},
       {},
       {}},
      {"fold",
       {"v", "u^2", "v^2", "-1", "1", "-1", "1", "0", "1", "0", "1", "0", "0"},
       {},
       {},
       true},
      {"undefined for u > 0.444",
       {"u", std::string("v^2 + ") + UndefinedBeyond, "(u + 0.5)(u - 0.7)v", "-1", "1", "-1", "1",
        "0", "1", "0", "1", "0", "0"},
       {},
       {{-0.5, 0}}},
  };
}

class Chain : public ::testing::TestWithParam<LocusMethod> {};

TEST_P(Chain, EachMethodsResultGivesTheSingularPoints) {
  for (const Problem &p : Problems()) {
    SCOPED_TRACE(p.name);
    Glob glob;
    MapFunctions map;
    KeptNotices notices;
    ASSERT_EQ(ReadData(glob, map, p.lines, notices), 1);
    if (GetParam() == LocusMethod::Linear && !glob.IsLinear)
      continue;
    LocusSolvers solvers;
    NeverStop never;
    ASSERT_TRUE(solvers.Compute(GetParam(), glob, map, never));
    std::vector<PairSegment> locus;
    CollectPairSegments(*solvers.Solver(GetParam()), locus);
    // The fold maps D two to one: L is all of D, which no method draws as curves.
    EXPECT_EQ(locus.empty(), p.curve && GetParam() == LocusMethod::Triangles);

    SingularPointAnalysis analysis;
    ASSERT_TRUE(analysis.Analyse(solvers, GetParam(), glob, map, never));
    const SingularPoints &r = analysis.Result();
    EXPECT_EQ(r.SingularCurve, p.curve);
    const double diagonal =
        std::hypot(glob.DomainHigh[0] - glob.DomainLow[0], glob.DomainHigh[1] - glob.DomainLow[1]);
    ASSERT_EQ(r.CrossCaps.size(), p.crossCaps.size());
    for (std::size_t k = 0; k < p.crossCaps.size(); ++k)
      EXPECT_LE(std::hypot(r.CrossCaps[k].Point[0] - p.crossCaps[k][0],
                           r.CrossCaps[k].Point[1] - p.crossCaps[k][1]),
                1e-13 * diagonal);
    ASSERT_EQ(r.Triples.size(), p.triples.size());
    for (std::size_t k = 0; k < p.triples.size(); ++k)
      for (int i = 0; i < 3; ++i)
        EXPECT_LE(std::hypot(r.Triples[k].Points[i][0] - p.triples[k][i][0],
                             r.Triples[k].Points[i][1] - p.triples[k][i][1]),
                  1e-13 * diagonal);
    CompiledCoordinates compiled(map);
    ExpectVerified(compiled, r, glob.DomainLow, glob.DomainHigh);
  }
}

INSTANTIATE_TEST_SUITE_P(Methods, Chain,
                         ::testing::Values(LocusMethod::Linear, LocusMethod::Descent,
                                           LocusMethod::Gradual, LocusMethod::Triangles),
                         [](const ::testing::TestParamInfo<LocusMethod> &info) {
                           return std::string(MethodName(info.param));
                         });

} // namespace
} // namespace tandor::testing
