// Nanoseconds per evaluation of five formulas over a 1000 x 1000 grid of [-1, 1]^2 with p = 1:
// the machine code, the reference evaluator and the same formula written in C++ (double),
// every one called through a function pointer or the compiled formula's entry.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "bench/BenchProblems.h"
#include "formula/FormulaCompiler.h"
#include "formula/MapFunctions.h"

namespace {

using tandor::TOCFunctDDDoubleSafe;

constexpr int GridSize = 1000;

// p lives in memory, as the compiled formulas' parameters do.
double ParameterP = 1.0;

using NativeFormula = double (*)(const double *values);

double NativeA(const double *x) {
  const double u = x[0], v = x[1], v2 = v * v;
  return v * (u + v2 * v2 - ParameterP * v2);
}
double NativeB(const double *x) {
  const double u = x[0], v = x[1];
  return std::sin(u) * std::cos(v) + std::exp(-u * u - v * v);
}
double NativeC(const double *x) {
  const double u = x[0], v = x[1];
  return std::sqrt(std::fabs(u * v)) + std::log(1 + u * u) / (1 + v * v);
}
double NativeD(const double *x) {
  const double u = x[0], v = x[1];
  return 1 + (u + (v + (u * v + (u - (v * (u + 1 + (v - (u + 2))))))));
}
double NativeE(const double *x) {
  const double u = x[0], v = x[1];
  return std::atan(u / v) + std::tanh(u) - std::cosh(v);
}

// The Klein bottle's x: three distinct trigonometric values, each written several times.
double NativeF(const double *x) {
  const double u = x[0], v = x[1], c = std::cos(u), s = std::sin(u), cv = std::cos(v);
  const double c2 = c * c, c4 = c2 * c2, c6 = c4 * c2;
  return -2.0 / 15 * c * (3 * cv - 30 * s + 90 * c4 * s - 60 * c6 * s + 5 * c * cv * s);
}

struct Formula {
  const char *name;
  const char *text;
  NativeFormula native;
};

const Formula Formulas[] = {
    {"A", "v(u+v^4- pv^2)", NativeA},
    {"B", "sin(u)cos(v)+exp(-u u-v v)", NativeB},
    {"C", "sqrt(abs(u v))+ln(1+u u)/(1+v v)", NativeC},
    {"D", "1+(u+(v+(u v+(u-(v(u+1+(v-(u+2))))))))", NativeD},
    {"E", "arctan(u/v)+tanh(u)-cosh(v)", NativeE},
    {"F", bench::KleinBottle.x, NativeF},
};

std::unique_ptr<TOCFunctDDDoubleSafe> Compiled(const char *text) {
  auto f = std::make_unique<TOCFunctDDDoubleSafe>();
  bool linear = false;
  std::string message;
  f->Compile(text, "uv", "pq", linear, message);
  if (!message.empty()) {
    std::fprintf(stderr, "%s: %s\n", text, message.c_str());
    std::abort();
  }
  f->GenerateDerivativeCode();
  const double pq[2] = {ParameterP, 0.0};
  tandor::SetParameters(*f, pq);
  return f;
}

// One iteration is one row of the grid; the rows cycle through the whole square.
template <typename Evaluate> void OverTheGrid(benchmark::State &state, Evaluate evaluate) {
  const double step = 2.0 / (GridSize - 1);
  int row = 0;
  double sum = 0;
  for (auto _ : state) {
    double values[4] = {0, -1 + step * row, 1, 0};
    for (int column = 0; column < GridSize; ++column) {
      values[0] = -1 + step * column;
      sum += evaluate(values);
    }
    row = row + 1 == GridSize ? 0 : row + 1;
  }
  benchmark::DoNotOptimize(sum);
  state.counters["ns_per_eval"] = benchmark::Counter(
      GridSize, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void Jit(benchmark::State &state, const Formula &formula) {
  auto f = Compiled(formula.text);
  if (!f->UsesMachineCode())
    state.SkipWithError("no machine code on this system");
  OverTheGrid(state, [&](const double *values) { return f->Evaluate(values); });
}

void Reference(benchmark::State &state, const Formula &formula) {
  auto f = Compiled(formula.text);
  f->ValueEntry = nullptr; // the evaluator of a system without machine code
  OverTheGrid(state, [&](const double *values) { return f->Evaluate(values); });
}

void Native(benchmark::State &state, const Formula &formula) {
  NativeFormula native = formula.native;
  benchmark::DoNotOptimize(native);
  OverTheGrid(state, [&](const double *values) { return native(values); });
}

void JitWithDerivative(benchmark::State &state, const Formula &formula) {
  auto f = Compiled(formula.text);
  OverTheGrid(state, [&](const double *values) {
    const tandor::DerivativeResult r = f->EvaluateWithDerivative(values);
    return r.value + r.derivative;
  });
}

// The whole Klein bottle map through EvaluateMap, as the solvers call it.
void KleinMap(benchmark::State &state) {
  auto map = std::make_unique<tandor::MapFunctions>();
  bench::CompileInto(*map, bench::KleinBottle);
  OverTheGrid(state, [&](const double *values) {
    double x, y, z;
    map->EvaluateMap(x, y, z, values[0], values[1]);
    return x + y + z;
  });
}

void KleinMapWithDerivatives(benchmark::State &state) {
  auto map = std::make_unique<tandor::MapFunctions>();
  bench::CompileInto(*map, bench::KleinBottle);
  OverTheGrid(state, [&](const double *values) {
    double sum = 0;
    for (int c = 0; c < 3; ++c) {
      const tandor::DerivativeResult r = (*map)[c].EvaluateWithDerivative(values);
      sum += r.value + r.derivative;
    }
    return sum;
  });
}

const int Registered = [] {
  for (const Formula &formula : Formulas) {
    const std::string name = std::string("BM_Evaluate/") + formula.name;
    benchmark::RegisterBenchmark((name + "/jit").c_str(), Jit, formula);
    benchmark::RegisterBenchmark((name + "/reference").c_str(), Reference, formula);
    benchmark::RegisterBenchmark((name + "/native").c_str(), Native, formula);
  }
  benchmark::RegisterBenchmark("BM_EvaluateWithDerivative/A/jit", JitWithDerivative, Formulas[0]);
  benchmark::RegisterBenchmark("BM_EvaluateWithDerivative/F/jit", JitWithDerivative, Formulas[5]);
  benchmark::RegisterBenchmark("BM_EvaluateMap/KleinBottle", KleinMap);
  benchmark::RegisterBenchmark("BM_EvaluateMapWithDerivatives/KleinBottle",
                               KleinMapWithDerivatives);
  return 0;
}();

} // namespace
