// The singular-point search after a run, as a drag of (p, q) makes it: on the result of the
// method in force and the compiled coordinate functions. BM_DrawIt is the run it follows (the
// method and its screen drawing), without and with the search.

#include <benchmark/benchmark.h>

#include <string>

#include "analysis/RunAnalysis.h"
#include "formula/MapFunctions.h"
#include "problem/Glob.h"
#include "problem/ReadData.h"
#include "solvers/LocusRun.h"

namespace tandor {
namespace {

struct Problem {
  const char *Name;
  DataLineArray Lines;
  int Method; // the Method menu's choice where x is not linear
};

const Problem Problems[] = {
    // What the window's fields hold at start-up, the problem a first Draw It computes.
    {"default",
     {"u", "v(v^2 - p)", "v(u+v^4- pv^2)", "-1", "1", "-1", "1", "0", "2", "0", "pi", "1", "0"},
     0},
    {"umbrella",
     {"u", "v^2", "v^3+(u^2-p)v", "-1", "1", "-1", "1", "0", "1", "0", "1", "0.5", "0"},
     0},
    {"fold", {"u^2", "v", "u^3 - p u v", "-1", "1", "-1", "1", "0", "2", "0", "1", "1", "0"}, 0},
    {"triple",
     {"u", "v^3 - v", "u v^2 + v^4", "-2", "0.5", "-1.5", "1.5", "0", "1", "0", "1", "0", "0"},
     0},
};

class Setup {
public:
  explicit Setup(const Problem &p) {
    KeptNotices notices;
    Ok = ReadData(G, Map, p.Lines, notices) == 1;
    Method = MethodInForce(G, p.Method);
  }
  void Run() {
    Solvers.Compute(Method, G, Map, Never);
    Solvers.Draw(Method, Canvas, G.PictureRect, true, G);
  }
  bool Ok = false;
  Glob G;
  MapFunctions Map;
  LocusSolvers Solvers;
  LocusMethod Method = LocusMethod::None;
  NeverStop Never;
  NullCanvas Canvas;
  SingularPointAnalysis Analysis;
};

void BM_SingularPoints(benchmark::State &state, const Problem &p) {
  Setup s(p);
  if (!s.Ok) {
    state.SkipWithError("the problem does not read");
    return;
  }
  s.Run();
  for (auto _ : state)
    s.Analysis.Analyse(s.Solvers, s.Method, s.G, s.Map, s.Never);
  const SingularPoints &r = s.Analysis.Result();
  state.counters["cross_caps"] = static_cast<double>(r.CrossCaps.size());
  state.counters["triples"] = static_cast<double>(r.Triples.size());
  state.counters["seeds"] = s.Analysis.Finder.CrossCaps.SeedCount;
  state.counters["triple_tries"] = s.Analysis.Finder.Triples.CandidateCount;
}

void BM_DrawIt(benchmark::State &state, const Problem &p, bool withPoints) {
  Setup s(p);
  if (!s.Ok) {
    state.SkipWithError("the problem does not read");
    return;
  }
  for (auto _ : state) {
    s.Run();
    if (withPoints)
      s.Analysis.Analyse(s.Solvers, s.Method, s.G, s.Map, s.Never);
  }
}

void Register() {
  for (const Problem &p : Problems) {
    const std::string name = p.Name;
    benchmark::RegisterBenchmark(("BM_SingularPoints/" + name).c_str(), BM_SingularPoints, p)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("BM_DrawIt/" + name).c_str(), BM_DrawIt, p, false)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("BM_DrawItWithPoints/" + name).c_str(), BM_DrawIt, p, true)
        ->Unit(benchmark::kMillisecond);
  }
}

} // namespace
} // namespace tandor

int main(int argc, char **argv) {
  tandor::Register();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
