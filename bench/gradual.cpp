// One full run of the gradual-descent tracer, as every drag of (p, q) makes it: preparation, the
// sweep of 139,656 cell pairs and the following of every caught curve. The maps are compiled
// formulas, as in the program, and the same maps as plain C++ for comparison with BM_Descent.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "bench/BenchProblems.h"
#include "formula/MapFunctions.h"
#include "solvers/CompiledCoordinates.h"
#include "solvers/GradualDescentTracer.h"

namespace {

using tandor::ValueAndDerivative;
using tandor::Vector2;
using tandor::Vector3;

struct Problem {
  const char *x, *y, *z;
  Vector3 (*f)(double u, double v);
  // Row c: (dF_c/du, dF_c/dv).
  std::array<Vector2, 3> (*jacobian)(double u, double v);
};

const Problem Fold{
    "u^2", "v", "u^3 - u v",
    [](double u, double v) {
      return Vector3{u * u, v, u * u * u - u * v};
    },
    [](double u, double v) {
      return std::array<Vector2, 3>{Vector2{2 * u, 0}, Vector2{0, 1}, Vector2{3 * u * u - v, -u}};
    }};

const Problem CrossCapNonLinearFirst{
    "u + v^4", "v^2", "u v",
    [](double u, double v) {
      return Vector3{u + v * v * v * v, v * v, u * v};
    },
    [](double u, double v) {
      return std::array<Vector2, 3>{Vector2{1, 4 * v * v * v}, Vector2{0, 2 * v}, Vector2{v, u}};
    }};

// The problem's map as plain C++, counted like the compiled one.
struct PlainMap {
  const Problem &P;
  uint64_t MapCalls = 0, ValueEvaluations = 0, DerivativeEvaluations = 0;
  void operator()(double &x, double &y, double &z, double u, double v) {
    ++MapCalls;
    const Vector3 f = P.f(u, v);
    x = f[0], y = f[1], z = f[2];
  }
  double Value(int c, double u, double v) {
    ++ValueEvaluations;
    return P.f(u, v)[c];
  }
  ValueAndDerivative WithDerivative(int c, double u, double v, double du, double dv) {
    ++DerivativeEvaluations;
    const Vector2 g = P.jacobian(u, v)[c];
    return {P.f(u, v)[c], du * g[0] + dv * g[1]};
  }
};

struct CompiledMap {
  tandor::MapFunctions Functions;
  void operator()(double &x, double &y, double &z, double u, double v) {
    Functions.EvaluateMap(x, y, z, u, v);
  }
};

void Report(benchmark::State &state, double runs, uint64_t maps, uint64_t values,
            uint64_t derivatives, const tandor::TImplicitCurve4D &tracer) {
  state.counters["map_evaluations"] = static_cast<double>(maps) / runs;
  state.counters["value_evaluations"] = static_cast<double>(values) / runs;
  state.counters["derivative_evaluations"] = static_cast<double>(derivatives) / runs;
  // In evaluations of F as a whole: one coordinate function is a third of F.
  state.counters["F_equivalents"] =
      (static_cast<double>(maps) + static_cast<double>(values + derivatives) / 3) / runs;
  state.counters["records"] = static_cast<double>(tracer.TraceList.size());
}

template <class Map, class Coordinates>
void Trace(benchmark::State &state, Map &map, Coordinates &coordinates, double &runs,
           tandor::TImplicitCurve4D &tracer, const bench::NamedProblem *domain = nullptr) {
  tracer.BindEvaluators(map, coordinates);
  tracer.SetProjectionSeed(1); // every run the same work
  tandor::NeverStop never;
  const Vector2 low = domain ? domain->low : Vector2{-1, -1};
  const Vector2 high = domain ? domain->high : Vector2{1, 1};
  const double pixel = domain ? domain->PixelLength() : 0.005;
  for (auto _ : state) {
    tracer.TraceLocus(low, high, 1e-5, 23, pixel, never);
    benchmark::DoNotOptimize(tracer.TraceList.data());
    ++runs;
  }
}

void RunCompiled(benchmark::State &state, const Problem *problem) {
  auto map = std::make_unique<CompiledMap>();
  const char *texts[3] = {problem->x, problem->y, problem->z};
  for (int c = 0; c < 3; ++c) {
    bool linear = false;
    std::string message;
    map->Functions[c].Compile(texts[c], "uv", "pq", linear, message);
    if (!message.empty()) {
      state.SkipWithError(message.c_str());
      return;
    }
    map->Functions[c].GenerateDerivativeCode();
  }
  map->Functions.SetParameters(0.5, 0.5);
  tandor::CompiledCoordinates coordinates(map->Functions);
  auto tracer = std::make_unique<tandor::TImplicitCurve4D>();
  double runs = 0;
  Trace(state, *map, coordinates, runs, *tracer);
  Report(state, runs, map->Functions.Evaluations, coordinates.ValueEvaluations,
         coordinates.DerivativeEvaluations, *tracer);
}

// The problems of tests/data on their own domains.
void RunProblem(benchmark::State &state, const bench::NamedProblem *problem) {
  auto map = std::make_unique<CompiledMap>();
  bench::CompileInto(map->Functions, *problem);
  tandor::CompiledCoordinates coordinates(map->Functions);
  auto tracer = std::make_unique<tandor::TImplicitCurve4D>();
  double runs = 0;
  Trace(state, *map, coordinates, runs, *tracer, problem);
  Report(state, runs, map->Functions.Evaluations, coordinates.ValueEvaluations,
         coordinates.DerivativeEvaluations, *tracer);
}

void RunPlain(benchmark::State &state, const Problem *problem) {
  PlainMap map{*problem};
  auto tracer = std::make_unique<tandor::TImplicitCurve4D>();
  double runs = 0;
  Trace(state, map, map, runs, *tracer);
  Report(state, runs, map.MapCalls, map.ValueEvaluations, map.DerivativeEvaluations, *tracer);
}

BENCHMARK_CAPTURE(RunProblem, KleinBottle, &bench::KleinBottle)
    ->Name("BM_Gradual/KleinBottle")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunProblem, Default, &bench::DefaultProblem)
    ->Name("BM_Gradual/Default")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunCompiled, Fold, &Fold)->Name("BM_Gradual/Fold")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunCompiled, CrossCapNonLinearFirst, &CrossCapNonLinearFirst)
    ->Name("BM_Gradual/CrossCapNonLinearFirst")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunPlain, Fold, &Fold)
    ->Name("BM_Gradual/Fold/PlainC++")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunPlain, CrossCapNonLinearFirst, &CrossCapNonLinearFirst)
    ->Name("BM_Gradual/CrossCapNonLinearFirst/PlainC++")
    ->Unit(benchmark::kMillisecond);

} // namespace
