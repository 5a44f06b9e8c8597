// One full run of the linear-case tracer, as a drag of (p, q) makes it: trace and screen drawing.

#include <benchmark/benchmark.h>

#include <cmath>

#include "problem/Glob.h"
#include "solvers/FSpImplicitCurveLine3D.h"
#include "solvers/LinearCase.h"

namespace tandor {
namespace {

// values = (u, v, p, q)
double DefaultY(void*, const double* x) { return x[1] * (x[1] * x[1] - x[2]); }
double DefaultZ(void*, const double* x) {
  const double v2 = x[1] * x[1];
  return x[1] * (x[0] + v2 * v2 - x[2] * v2);
}
double CrossCapY(void*, const double* x) { return x[1] * x[1]; }
double CrossCapZ(void*, const double* x) { return x[0] * x[1]; }

class NullCanvas final : public Canvas {
public:
  void SetBrush(Rgb) override {}
  void SetBrushClear() override {}
  void FillRect(const PixelRect&) override {}
  void SetPen(Rgb, int, PenMode) override {}
  void MoveTo(int, int) override {}
  void LineTo(int, int) override {}
  void Ellipse(int, int, int, int) override {}
  void SetPixel(int, int, Rgb) override {}
  void SetFont(const FontSpec&) override {}
  void TextOut(int, int, std::string_view) override {}
  int TextWidth(std::string_view) override { return 0; }
  void SetClipRect(const PixelRect&) override {}
  void ClearClip() override {}
};

// x = u on [-1, 1]^2, as a read of the window leaves the state.
void SetSquare(Glob& glob, double p) {
  glob.DomainLow = {-1, -1};
  glob.DomainHigh = {1, 1};
  glob.DomainHalf = {1, 1};
  glob.DomainCentre = {0, 0};
  glob.HalfDiagonal = std::hypot(2.0, 2.0) / 2;
  glob.BoxLow = {-1, -1, -glob.HalfDiagonal};
  glob.BoxHigh = {1, 1, glob.HalfDiagonal};
  glob.PixelLength = std::sqrt(2.0L) * glob.HalfDiagonal / 400;
  glob.CoarseCount = 23;
  glob.LinearDirection = {1, 0};
  glob.ParamValue = {p, 0};
}

void RunNative(benchmark::State& state, PlaneFunction y, PlaneFunction z, double p) {
  Glob glob;
  SetSquare(glob, p);
  TImplicitCurveLine3D tracer;
  NullCanvas canvas;
  LinearCase problem(glob, y, z);
  for (auto _ : state) {
    TraceLinearLocus(tracer, problem, glob);
    DrawLinearLocus(glob, canvas, glob.PictureRect, true);
  }
  const double runs = static_cast<double>(state.iterations());
  state.counters["residuals"] = static_cast<double>(problem.ResidualCalls) / runs;
  state.counters["components"] = static_cast<double>(problem.ComponentCalls) / runs;
  state.counters["evaluations"] = static_cast<double>(problem.FunctionEvaluations) / runs;
  state.counters["records"] = static_cast<double>(glob.LinearTrace.size());
}

void BM_Linear_default(benchmark::State& state) {
  RunNative(state, {nullptr, DefaultY}, {nullptr, DefaultZ}, state.range(0) / 10.0);
}
void BM_Linear_crosscap(benchmark::State& state) {
  RunNative(state, {nullptr, CrossCapY}, {nullptr, CrossCapZ}, 1.0);
}

} // namespace
} // namespace tandor

// The argument of default is 10 p.
BENCHMARK(tandor::BM_Linear_default)->Name("BM_Linear/default")->Arg(10)->Arg(5)->Unit(
    benchmark::kMillisecond);
BENCHMARK(tandor::BM_Linear_crosscap)->Name("BM_Linear/crosscap")->Unit(benchmark::kMillisecond);
