// One full run of the Descent tracer, as every drag of (p, q) makes it: preparation, the sweep
// of 139,656 cell pairs and the following of every caught curve.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "bench/BenchProblems.h"
#include "formula/MapFunctions.h"
#include "solvers/DescentTracer.h"

namespace {

using tandor::Vector2;

struct CountingMap {
  long evaluations = 0;
  void (*f)(double &, double &, double &, double, double);
  void operator()(double &x, double &y, double &z, double u, double v) {
    ++evaluations;
    f(x, y, z, u, v);
  }
};

void Fold(double &x, double &y, double &z, double u, double v) {
  x = u * u;
  y = v;
  z = u * u * u - u * v;
}

void CrossCapNonLinearFirst(double &x, double &y, double &z, double u, double v) {
  x = u + v * v * v * v;
  y = v * v;
  z = u * v;
}

void RunDescent(benchmark::State &state, void (*f)(double &, double &, double &, double, double)) {
  auto tracer = std::make_unique<tandor::TTandorR2R3>();
  tandor::NeverStop never;
  CountingMap map{0, f};
  long runs = 0;
  for (auto _ : state) {
    tracer->TraceLocus(map, Vector2{-1, -1}, 1e-5, Vector2{1, 1}, 23, 200, 0.005, never);
    benchmark::DoNotOptimize(tracer->TraceList.data());
    ++runs;
  }
  state.counters["map_evaluations"] = static_cast<double>(map.evaluations) / runs;
  state.counters["records"] = static_cast<double>(tracer->TraceList.size());
}

// The same runs through the compiled formulas, as the program makes them.
void RunDescentCompiled(benchmark::State &state, const char *x, const char *y, const char *z) {
  tandor::MapFunctions map;
  const char *texts[3] = {x, y, z};
  for (int c = 0; c < 3; ++c) {
    bool linear = false;
    std::string message;
    map[c].Compile(texts[c], "uv", "pq", linear, message);
    if (!message.empty()) {
      state.SkipWithError(message.c_str());
      return;
    }
  }
  auto evaluate = [&map](double &X, double &Y, double &Z, double u, double v) {
    map.EvaluateMap(X, Y, Z, u, v);
  };
  auto tracer = std::make_unique<tandor::TTandorR2R3>();
  tandor::NeverStop never;
  long runs = 0;
  for (auto _ : state) {
    tracer->TraceLocus(evaluate, Vector2{-1, -1}, 1e-5, Vector2{1, 1}, 23, 200, 0.005, never);
    benchmark::DoNotOptimize(tracer->TraceList.data());
    ++runs;
  }
  state.counters["map_evaluations"] = static_cast<double>(map.Evaluations) / runs;
  state.counters["records"] = static_cast<double>(tracer->TraceList.size());
}

// The problems of tests/data on their own domains.
void RunDescentProblem(benchmark::State &state, const bench::NamedProblem *problem) {
  tandor::MapFunctions map;
  bench::CompileInto(map, *problem);
  auto evaluate = [&map](double &X, double &Y, double &Z, double u, double v) {
    map.EvaluateMap(X, Y, Z, u, v);
  };
  auto tracer = std::make_unique<tandor::TTandorR2R3>();
  tandor::NeverStop never;
  long runs = 0;
  for (auto _ : state) {
    tracer->TraceLocus(evaluate, problem->low, 1e-5, problem->high, 23, 200, problem->PixelLength(),
                       never);
    benchmark::DoNotOptimize(tracer->TraceList.data());
    ++runs;
  }
  state.counters["map_evaluations"] = static_cast<double>(map.Evaluations) / runs;
  state.counters["records"] = static_cast<double>(tracer->TraceList.size());
}

BENCHMARK_CAPTURE(RunDescentProblem, KleinBottle, &bench::KleinBottle)
    ->Name("BM_Descent/KleinBottle")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunDescentProblem, Default, &bench::DefaultProblem)
    ->Name("BM_Descent/Default")
    ->Unit(benchmark::kMillisecond);

BENCHMARK_CAPTURE(RunDescent, Fold, Fold)->Name("BM_Descent/Fold")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunDescent, CrossCapNonLinearFirst, CrossCapNonLinearFirst)
    ->Name("BM_Descent/CrossCapNonLinearFirst")
    ->Unit(benchmark::kMillisecond);

BENCHMARK_CAPTURE(RunDescentCompiled, FoldCompiled, "u^2", "v", "u^3 - u v")
    ->Name("BM_Descent/FoldCompiled")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunDescentCompiled, CrossCapNonLinearFirstCompiled, "u + v^4", "v^2", "u v")
    ->Name("BM_Descent/CrossCapNonLinearFirstCompiled")
    ->Unit(benchmark::kMillisecond);

} // namespace
