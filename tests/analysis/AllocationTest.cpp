// A drag of (p, q) repeats the search after every run: once its buffers have grown, it must not
// allocate. Counted by replacing the global allocation functions of this test program.

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "MethodRuns.h"

namespace {
bool Counting = false;
int Allocations = 0;
} // namespace

void *operator new(std::size_t size) {
  if (Counting)
    ++Allocations;
  if (void *p = std::malloc(size == 0 ? 1 : size))
    return p;
  throw std::bad_alloc();
}
void operator delete(void *p) noexcept {
  std::free(p);
}
void operator delete(void *p, std::size_t) noexcept {
  std::free(p);
}

namespace tandor::testing {
namespace {

TEST(Allocation, ASecondSearchOnTheSameRunAllocatesNothing) {
  Glob glob;
  MapFunctions map;
  KeptNotices notices;
  const DataLineArray lines{
      "u", "v^3 - v", "(u^2 - 2) v^2 + v^4", "-1.5", "1.5", "-1.4", "1.4", "0", "1", "0", "1",
      "0", "0"};
  ASSERT_EQ(ReadData(glob, map, lines, notices), 1);
  LocusSolvers solvers;
  NeverStop never;
  SingularPointAnalysis analysis;
  for (const LocusMethod method : {LocusMethod::Linear, LocusMethod::Descent}) {
    solvers.Compute(method, glob, map, never);
    ASSERT_TRUE(analysis.Analyse(solvers, method, glob, map, never));
    ASSERT_EQ(analysis.Result().Triples.size(), 2u);
    Counting = true;
    Allocations = 0;
    analysis.Analyse(solvers, method, glob, map, never);
    Counting = false;
    EXPECT_EQ(Allocations, 0) << MethodName(method);
    EXPECT_EQ(analysis.Result().Triples.size(), 2u);
  }
}

} // namespace
} // namespace tandor::testing
