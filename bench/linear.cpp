// One full run of the linear case as a drag of (p, q) makes it: the trace and the screen
// drawing, through the compiled coordinate functions.

#include <benchmark/benchmark.h>

#include <string>

#include "formula/MapFunctions.h"
#include "problem/Glob.h"
#include "problem/ReadData.h"
#include "solvers/LinearCase.h"
#include "solvers/LinearCaseTracer.h"

namespace tandor {
namespace {

// values = (u, v, p, q): the same maps as plain C++, to tell the compiled code's share.
double DefaultY(void *, const double *x) {
  return x[1] * (x[1] * x[1] - x[2]);
}
double DefaultZ(void *, const double *x) {
  const double v2 = x[1] * x[1];
  return x[1] * (x[0] + v2 * v2 - x[2] * v2);
}
double CrossCapY(void *, const double *x) {
  return x[1] * x[1];
}
double CrossCapZ(void *, const double *x) {
  return x[0] * x[1];
}

void Run(benchmark::State &state, const char *y, const char *z, const char *p, bool compiled,
         PlaneFunction nativeY, PlaneFunction nativeZ, bool shortcut = true) {
  Glob glob;
  MapFunctions map;
  KeptNotices notices;
  const DataLineArray lines{"u", y,  z, "-1", "1", "-1", "1", "0", "2", "0", "3.14159265358979",
                            p,   "0"};
  if (ReadData(glob, map, lines, notices) != 1 || !glob.IsLinear) {
    state.SkipWithError("the problem does not read as a linear one");
    return;
  }
  TImplicitCurveLine3D tracer;
  NullCanvas canvas;
  LinearResult result;
  LinearCase problem(glob, result, compiled ? CompiledFunction(map[1]) : nativeY,
                     compiled ? CompiledFunction(map[2]) : nativeZ);
  for (auto _ : state) {
    if (shortcut) {
      TraceLinearLocus(tracer, problem, glob);
    } else {
      result.LinearTrace.clear();
      tracer.TraceLocus(problem.Residual(), problem.Inside(), problem.Record(), 1e-5, glob.BoxLow,
                        glob.BoxHigh, glob.CoarseCount, 200, static_cast<double>(glob.PixelLength),
                        0.0);
    }
    DrawLinearLocus(glob, result, canvas, glob.PictureRect, true);
  }
  const double runs = static_cast<double>(state.iterations());
  state.counters["residuals"] = static_cast<double>(problem.ResidualCalls) / runs;
  state.counters["components"] = static_cast<double>(problem.ComponentCalls) / runs;
  state.counters["evaluations"] = static_cast<double>(problem.FunctionEvaluations) / runs;
  state.counters["records"] = static_cast<double>(result.LinearTrace.size());
}

const char *const DefaultYText = "v(v^2 - p)";
const char *const DefaultZText = "v(u + v^4 - p v^2)";

void BM_Linear_default(benchmark::State &state) {
  Run(state, DefaultYText, DefaultZText, state.range(0) == 10 ? "1" : "0.5", true,
      {nullptr, DefaultY}, {nullptr, DefaultZ});
}
void BM_Linear_crosscap(benchmark::State &state) {
  Run(state, "v^2", "uv", "1", true, {nullptr, CrossCapY}, {nullptr, CrossCapZ});
}
// Without the catch's shortcut: the whole residual at every sample.
void BM_LinearWhole_default(benchmark::State &state) {
  Run(state, DefaultYText, DefaultZText, "1", true, {}, {}, false);
}
void BM_LinearNative_default(benchmark::State &state) {
  Run(state, DefaultYText, DefaultZText, state.range(0) == 10 ? "1" : "0.5", false,
      {nullptr, DefaultY}, {nullptr, DefaultZ});
}
void BM_LinearNative_crosscap(benchmark::State &state) {
  Run(state, "v^2", "uv", "1", false, {nullptr, CrossCapY}, {nullptr, CrossCapZ});
}

} // namespace
} // namespace tandor

// The argument of default is 10 p.
BENCHMARK(tandor::BM_Linear_default)
    ->Name("BM_Linear/default")
    ->Arg(10)
    ->Arg(5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(tandor::BM_Linear_crosscap)->Name("BM_Linear/crosscap")->Unit(benchmark::kMillisecond);
BENCHMARK(tandor::BM_LinearWhole_default)
    ->Name("BM_LinearWhole/default")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(tandor::BM_LinearNative_default)
    ->Name("BM_LinearNative/default")
    ->Arg(10)
    ->Arg(5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(tandor::BM_LinearNative_crosscap)
    ->Name("BM_LinearNative/crosscap")
    ->Unit(benchmark::kMillisecond);
