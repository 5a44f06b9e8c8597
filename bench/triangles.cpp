// The triangle-intersection method on maps whose double points are known: a whole run, and the
// pair loop alone (the grid built once).
#include <benchmark/benchmark.h>

#include <string>

#include "solvers/CalcDib.h"

namespace {

using tandor::CalcDib;
using tandor::Vector2;

struct Fold {
  void operator()(double &x, double &y, double &z, double u, double v) const {
    x = u * u;
    y = v;
    z = u * u * u - u * v;
  }
};

// The cross-cap with a first function that is not linear.
struct CrossCap {
  void operator()(double &x, double &y, double &z, double u, double v) const {
    x = u + v * v * v * v;
    y = v * v;
    z = u * v;
  }
};

template <class Map> void Counters(benchmark::State &state, const CalcDib &dib) {
  state.counters["pairs_tested"] = static_cast<double>(dib.Statistics().PairsTested);
  state.counters["pairs_refined"] = static_cast<double>(dib.Statistics().PairsRefined);
  state.counters["segments"] = static_cast<double>(dib.Segments().size());
  state.counters["s_per_run"] =
      benchmark::Counter(static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

template <class Map> void BM_Triangles(benchmark::State &state) {
  Map map;
  CalcDib dib;
  dib.SeedWith(7);
  tandor::NeverStop never;
  const Vector2 low{-1, -1}, high{1, 1};
  for (auto _ : state) {
    dib.ComputeByTriangles(map, low, high, never);
    benchmark::DoNotOptimize(dib.Segments().data());
  }
  Counters<Map>(state, dib);
}

template <class Map> void BM_TrianglePairLoop(benchmark::State &state) {
  Map map;
  CalcDib dib;
  dib.SeedWith(7);
  tandor::NeverStop never;
  dib.BuildTriangles(map, {-1, -1}, {1, 1});
  for (auto _ : state) {
    dib.TestAllPairs(never);
    benchmark::DoNotOptimize(dib.Segments().data());
  }
  Counters<Map>(state, dib);
}

BENCHMARK(BM_Triangles<Fold>)->Name("BM_Triangles/fold")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Triangles<CrossCap>)->Name("BM_Triangles/crosscap")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrianglePairLoop<Fold>)
    ->Name("BM_TrianglePairLoop/fold")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrianglePairLoop<CrossCap>)
    ->Name("BM_TrianglePairLoop/crosscap")
    ->Unit(benchmark::kMillisecond);

} // namespace
