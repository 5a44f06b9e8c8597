// The parameter atlas of the start-up problem, 8 x 8 tiles, on one worker and on two: the
// whole computation, with real time, since the work is spread over threads.

#include <benchmark/benchmark.h>

#include "analysis/ParameterAtlas.h"

namespace tandor {
namespace {

void BM_Atlas(benchmark::State &state) {
  AtlasRequest request;
  request.Lines = Glob().DataLines;
  request.Columns = request.Rows = 8;
  const int jobs = static_cast<int>(state.range(0));
  std::size_t tiles = 0;
  for (auto _ : state) {
    AtlasProgress progress;
    tiles = ComputeAtlas(request, jobs, progress).size();
  }
  state.counters["tiles"] = static_cast<double>(tiles);
}
BENCHMARK(BM_Atlas)->ArgName("jobs")->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

// A slower family, where a tile's run outweighs the start of the workers.
void BM_AtlasTriangles(benchmark::State &state) {
  AtlasRequest request;
  request.Lines = {"u^2 + sin(3v)",
                   "v^3 - p u",
                   "u v + cos(2 u v)",
                   "-1",
                   "1",
                   "-1",
                   "1",
                   "0",
                   "2",
                   "0",
                   "1",
                   "1",
                   "0"};
  request.Columns = request.Rows = 4;
  request.Method = 2;
  const int jobs = static_cast<int>(state.range(0));
  for (auto _ : state) {
    AtlasProgress progress;
    benchmark::DoNotOptimize(ComputeAtlas(request, jobs, progress).size());
  }
}
BENCHMARK(BM_AtlasTriangles)
    ->ArgName("jobs")
    ->Arg(1)
    ->Arg(2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tandor
