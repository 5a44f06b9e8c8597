// The triangle-intersection method on maps whose double points are known, as the program runs
// it: formulas compiled to machine code and evaluated through MapFunctions. A whole run, the pair
// loop alone (the grid built once), and the same with plain C++ maps for comparison.
#include <benchmark/benchmark.h>

#include <array>
#include <memory>
#include <stdexcept>
#include <string>

#include "bench/BenchProblems.h"
#include "formula/MapFunctions.h"
#include "solvers/TriangleIntersection.h"

namespace {

using tandor::CalcDib;
using tandor::Vector2;

struct Problem {
  std::array<const char *, 3> formulas;
  void (*plain)(double &, double &, double &, double, double);
};

void Fold(double &x, double &y, double &z, double u, double v) {
  x = u * u;
  y = v;
  z = u * u * u - u * v;
}

// The cross-cap with a first function that is not linear.
void CrossCap(double &x, double &y, double &z, double u, double v) {
  x = u + v * v * v * v;
  y = v * v;
  z = u * v;
}

// No double points: almost nothing is refined, so its pair loop is the cost of the 5.6 million
// top-level plane tests alone.
void Paraboloid(double &x, double &y, double &z, double u, double v) {
  x = u;
  y = v;
  z = u * u + v * v;
}

const Problem FoldProblem{{"u^2", "v", "u^3-u*v"}, Fold};
const Problem ParaboloidProblem{{"u", "v", "u^2+v^2"}, Paraboloid};
const Problem CrossCapProblem{{"u+v^4", "v^2", "u*v"}, CrossCap};

struct Compiled {
  tandor::MapFunctions map;
  void operator()(double &x, double &y, double &z, double u, double v) {
    map.EvaluateMap(x, y, z, u, v);
  }
};

std::unique_ptr<Compiled> Compile(const Problem &problem) {
  auto compiled = std::make_unique<Compiled>();
  for (int c = 0; c < 3; ++c) {
    bool linear = false;
    std::string message;
    compiled->map[c].Compile(problem.formulas[c], "uv", "pq", linear, message);
    if (!message.empty())
      throw std::runtime_error(message);
  }
  return compiled;
}

struct Plain {
  void (*f)(double &, double &, double &, double, double);
  void operator()(double &x, double &y, double &z, double u, double v) const { f(x, y, z, u, v); }
};

void Counters(benchmark::State &state, const CalcDib &dib) {
  state.counters["pairs_tested"] = static_cast<double>(dib.Statistics().PairsTested);
  state.counters["pairs_refined"] = static_cast<double>(dib.Statistics().PairsRefined);
  state.counters["segments"] = static_cast<double>(dib.Segments().size());
  state.counters["s_per_run"] =
      benchmark::Counter(static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

template <class Map> void WholeRun(benchmark::State &state, Map &map) {
  auto dib = std::make_unique<CalcDib>();
  dib->SeedWith(7);
  tandor::NeverStop never;
  for (auto _ : state) {
    dib->ComputeByTriangles(map, {-1, -1}, {1, 1}, never);
    benchmark::DoNotOptimize(dib->Segments().data());
  }
  Counters(state, *dib);
}

template <class Map> void PairLoop(benchmark::State &state, Map &map, bool baseline = false) {
  auto dib = std::make_unique<CalcDib>();
  dib->SeedWith(7);
  dib->UseBaselineFilterOnly(baseline);
  tandor::NeverStop never;
  dib->BuildTriangles(map, {-1, -1}, {1, 1});
  for (auto _ : state) {
    dib->TestAllPairs(map, never);
    benchmark::DoNotOptimize(dib->Segments().data());
  }
  Counters(state, *dib);
}

void BM_Triangles(benchmark::State &state, const Problem &problem) {
  auto compiled = Compile(problem);
  WholeRun(state, *compiled);
}

void BM_TrianglePairLoop(benchmark::State &state, const Problem &problem) {
  auto compiled = Compile(problem);
  PairLoop(state, *compiled);
}

// The same loop with the follower filter held to the baseline instruction set.
void BM_TrianglePairLoopBaseline(benchmark::State &state, const Problem &problem) {
  auto compiled = Compile(problem);
  PairLoop(state, *compiled, true);
}

void BM_TrianglesPlainMap(benchmark::State &state, const Problem &problem) {
  Plain map{problem.plain};
  WholeRun(state, map);
}

// The compiled map as the pair loop's threads share it.
struct Shared {
  const tandor::MapFunctions &map;
  void operator()(double &x, double &y, double &z, double u, double v) {
    map.EvaluateShared(x, y, z, u, v);
  }
};

// The problems of tests/data on their own domains, with the pair loop on state.range(0) threads;
// the CPU time is that of all threads, the wall-clock time is what the user waits.
void BM_TrianglesProblem(benchmark::State &state, const bench::NamedProblem *problem) {
  Compiled compiled;
  bench::CompileInto(compiled.map, *problem);
  compiled.map.PrepareSharing();
  Shared shared{compiled.map};
  auto dib = std::make_unique<CalcDib>();
  dib->SeedWith(7);
  dib->Threads = static_cast<int>(state.range(0));
  tandor::NeverStop never;
  for (auto _ : state) {
    dib->ComputeByTriangles(shared, problem->low, problem->high, never);
    benchmark::DoNotOptimize(dib->Segments().data());
  }
  Counters(state, *dib);
}

BENCHMARK_CAPTURE(BM_TrianglesProblem, KleinBottle, &bench::KleinBottle)
    ->Name("BM_Triangles/KleinBottle")
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(2)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TrianglesProblem, Default, &bench::DefaultProblem)
    ->Name("BM_Triangles/Default")
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(2)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Triangles, fold, FoldProblem)
    ->Name("BM_Triangles/fold")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Triangles, crosscap, CrossCapProblem)
    ->Name("BM_Triangles/crosscap")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TrianglePairLoop, fold, FoldProblem)
    ->Name("BM_TrianglePairLoop/fold")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TrianglePairLoop, crosscap, CrossCapProblem)
    ->Name("BM_TrianglePairLoop/crosscap")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TrianglePairLoop, paraboloid, ParaboloidProblem)
    ->Name("BM_TrianglePairLoop/paraboloid")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TrianglePairLoopBaseline, paraboloid, ParaboloidProblem)
    ->Name("BM_TrianglePairLoopBaseline/paraboloid")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TrianglesPlainMap, fold, FoldProblem)
    ->Name("BM_TrianglesPlainMap/fold")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TrianglesPlainMap, crosscap, CrossCapProblem)
    ->Name("BM_TrianglesPlainMap/crosscap")
    ->Unit(benchmark::kMillisecond);

} // namespace
