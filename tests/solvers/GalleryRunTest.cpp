// Every example of the gallery as a test case: it reads, every method that applies computes a
// locus of finite records whose pairs share their image, and where its text promises cross-caps
// or triple points at some (p, q), that (p, q) is in reach of the square and the locus is there.

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "problem/DataFile.h"
#include "problem/ExampleGallery.h"
#include "problem/ReadData.h"
#include "solvers/LocusRun.h"

namespace tandor {
namespace {

const ExampleGallery &Gallery() {
  static const ExampleGallery gallery =
      ExampleGallery::Read(FindExampleFolder(ExampleFolderCandidates("")));
  return gallery;
}

std::vector<std::string> ExampleNames() {
  std::vector<std::string> names;
  for (const Example &e : Gallery().Examples())
    names.push_back(e.Name);
  return names;
}

struct Records {
  std::vector<Vector4> Pairs;
  bool AllFinite = true;
};

Records RecordsOf(const LocusMethodSolver &solver) {
  Records r;
  auto add = [&r](const Vector4 &pair) {
    for (double c : pair)
      r.AllFinite = r.AllFinite && std::isfinite(c);
    r.Pairs.push_back(pair);
  };
  if (const auto *trace = solver.TracePoints())
    for (const TracePoint &t : *trace)
      add(t.Pair);
  else
    for (std::size_t i = 0; i < solver.SegmentCount(); ++i)
      add(solver.Segment(i));
  return r;
}

class GalleryRun : public ::testing::TestWithParam<std::string> {
protected:
  void SetUp() override {
    Entry = Gallery().Find(GetParam());
    ASSERT_NE(Entry, nullptr);
    Lines = ReadDataFile(Gallery().FileOf(*Entry));
  }

  // Reads the example with p and q replaced; false (with the message) when the read refuses.
  ::testing::AssertionResult ReadAt(const std::string &p, const std::string &q) {
    DataLineArray lines = Lines;
    lines[PValueLine] = p;
    lines[QValueLine] = q;
    KeptNotices notices;
    if (ReadData(G, Map, lines, notices) == 2)
      return ::testing::AssertionFailure() << notices.Statuses.back();
    return ::testing::AssertionSuccess();
  }

  Records Run(LocusMethod method) {
    NeverStop never;
    Solvers.SetSeed(20261209);
    EXPECT_TRUE(Solvers.Compute(method, G, Map, never)) << MethodName(method);
    return RecordsOf(*Solvers.Solver(method));
  }

  // |F(a) - F(b)| relative to the size of the image, the largest over the records.
  double WorstImageGap(const Records &records) {
    double worst = 0.0;
    const double size = std::hypot(G.BoxHigh[0] - G.BoxLow[0], G.BoxHigh[1] - G.BoxLow[1],
                                   G.BoxHigh[2] - G.BoxLow[2]);
    for (const Vector4 &pair : records.Pairs) {
      double a[3], b[3];
      Map.EvaluateMap(a[0], a[1], a[2], pair[0], pair[1]);
      Map.EvaluateMap(b[0], b[1], b[2], pair[2], pair[3]);
      worst = std::max(worst, std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]) / size);
    }
    return worst;
  }

  const Example *Entry = nullptr;
  DataLineArray Lines;
  Glob G;
  MapFunctions Map;
  LocusSolvers Solvers;
};

TEST_P(GalleryRun, EveryMethodThatAppliesFindsTrueDoublePoints) {
  ASSERT_TRUE(ReadAt(Lines[PValueLine], Lines[QValueLine]));
  std::set<LocusMethod> methods;
  for (int method = 0; method < 3; ++method)
    methods.insert(MethodInForce(G, method));
  for (const LocusMethod method : methods) {
    SCOPED_TRACE(MethodName(method));
    const Records records = Run(method);
    EXPECT_FALSE(records.Pairs.empty());
    EXPECT_TRUE(records.AllFinite);
    // The triangle method's segments cut flat triangles, not the surface itself.
    EXPECT_LT(WorstImageGap(records), method == LocusMethod::Triangles ? 0.05 : 1e-4);
  }
}

TEST_P(GalleryRun, WhereTheTextPromisesSingularPointsTheDoubleCurveIsThere) {
  ASSERT_FALSE(Entry->Checks.empty());
  for (const ExampleCheck &check : Entry->Checks) {
    SCOPED_TRACE("p = " + std::to_string(check.P) + ", q = " + std::to_string(check.Q));
    // The read refuses a (p, q) outside the ranges: each promise must be in reach of the square.
    ASSERT_TRUE(ReadAt(FormatDataNumber(check.P), FormatDataNumber(check.Q)));
    if (check.CrossCaps.value_or(0) + check.TriplePoints.value_or(0) == 0)
      continue;
    const Records records = Run(MethodInForce(G, 0));
    EXPECT_FALSE(records.Pairs.empty());
    EXPECT_TRUE(records.AllFinite);
  }
}

INSTANTIATE_TEST_SUITE_P(Gallery, GalleryRun, ::testing::ValuesIn(ExampleNames()),
                         [](const ::testing::TestParamInfo<std::string> &info) {
                           std::string name = info.param;
                           for (char &c : name)
                             if (c == '-')
                               c = '_';
                           return name;
                         });

} // namespace
} // namespace tandor
