// ComputeAtlas and its workers; TileCentre, TileSeed and StratumNumbers.

#include "analysis/ParameterAtlas.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>

#include "analysis/RunAnalysis.h"
#include "formula/InputError.h"
#include "problem/ReadData.h"
#include "solvers/LocusRun.h"

namespace tandor {

Vector2 TileCentre(const Vector2 &low, const Vector2 &high, int columns, int rows, int index) {
  const int column = index % columns, row = index / columns;
  const double fp = (column + 0.5) / columns, fq = (row + 0.5) / rows;
  return {low[0] + (high[0] - low[0]) * fp, high[1] - (high[1] - low[1]) * fq};
}

uint64_t TileSeed(uint64_t atlasSeed, int index) {
  // SplitMix64 of the pair: neighbouring tiles get unrelated seeds.
  uint64_t z = atlasSeed + 0x9E3779B97F4A7C15ull * (static_cast<uint64_t>(index) + 1);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

namespace {

class CancelControl final : public RunControl {
public:
  explicit CancelControl(const std::atomic<bool> &cancel) : Cancel(cancel) {}
  bool ProcessEventsAndCheckStop() override { return Cancel.load(std::memory_order_relaxed); }

private:
  const std::atomic<bool> &Cancel;
};

// The calling thread's scheduling as the system's idle class, or failing that, the lowest nice.
void RunWhenIdle() {
  sched_param none{};
  if (pthread_setschedparam(pthread_self(), SCHED_IDLE, &none) != 0)
    setpriority(PRIO_PROCESS, 0, 19);
}

// One worker's whole world: a problem read of its own, compiled functions, methods, search.
class AtlasWorker {
public:
  explicit AtlasWorker(const AtlasRequest &request) : Request(request) {
    KeptNotices notices;
    if (ReadData(Problem, Map, request.Lines, notices) == 2)
      throw InputError(notices.Statuses.back());
  }

  const Glob &ReadProblem() const { return Problem; }

  // The tile as a drag of (p, q) to its centre and Draw It would give it.
  bool Run(AtlasTile &tile, CancelControl &control) {
    const auto start = std::chrono::steady_clock::now();
    SetParamValue(Problem, Map, tile.Pq);
    if (Problem.IsLinear && !ComputeLinearDirection(Problem, Map)) {
      tile.Refusal = "The first function seems to be constant";
      return true;
    }
    Solvers.SetSeed(TileSeed(Request.Seed, tile.Index));
    const LocusMethod method = MethodInForce(Problem, Request.Method);
    Solvers.Compute(method, Problem, Map, control);
    if (control.ProcessEventsAndCheckStop() ||
        !Analysis.Analyse(Solvers, method, Problem, Map, control))
      return false;
    Count(method, tile);
    tile.Picture = TileBitmap(Request.TileSide);
    BitmapCanvas canvas(tile.Picture);
    Solvers.Draw(method, canvas, {0, 0, Request.TileSide, Request.TileSide}, false, Problem);
    tile.Ink = canvas.InkColour;
    tile.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return true;
  }

private:
  void Count(LocusMethod method, AtlasTile &tile) const {
    const LocusMethodSolver *solver = Solvers.Solver(method);
    if (const auto *trace = solver->TracePoints()) {
      tile.Records = trace->size();
      tile.Pieces = static_cast<std::size_t>(std::count_if(
          trace->begin(), trace->end(), [](const TracePoint &t) { return t.PieceStart == 1; }));
    } else {
      tile.Records = solver->SegmentCount();
    }
    const SingularPoints &points = Analysis.Result();
    tile.CrossCaps = points.CrossCaps.size();
    tile.TriplePoints = points.Triples.size();
    tile.SingularCurve = points.SingularCurve;
  }

  const AtlasRequest &Request;
  Glob Problem;
  MapFunctions Map;
  LocusSolvers Solvers;
  SingularPointAnalysis Analysis;
};

} // namespace

std::vector<AtlasTile> ComputeAtlas(const AtlasRequest &request, int jobs,
                                    AtlasProgress &progress) {
  // The first worker's read also checks the problem, before any thread starts.
  std::vector<std::unique_ptr<AtlasWorker>> workers;
  workers.push_back(std::make_unique<AtlasWorker>(request));
  const Glob &problem = workers.front()->ReadProblem();
  std::vector<AtlasTile> tiles;
  for (int index = 0; index < request.TileCount(); ++index)
    if (request.InPart(index)) {
      AtlasTile tile;
      tile.Index = index;
      tile.Pq =
          TileCentre(problem.ParamLow, problem.ParamHigh, request.Columns, request.Rows, index);
      tiles.push_back(std::move(tile));
    }
  const int count = std::clamp(jobs, 1, std::max(1, static_cast<int>(tiles.size())));
  while (static_cast<int>(workers.size()) < count)
    workers.push_back(std::make_unique<AtlasWorker>(request));

  // Each tile is taken by exactly one worker and written by it alone.
  std::atomic<std::size_t> next{0};
  std::vector<char> done(tiles.size(), 0);
  auto work = [&](AtlasWorker &worker) {
    if (progress.Idle)
      RunWhenIdle();
    CancelControl control(progress.Cancel);
    for (std::size_t i; (i = next.fetch_add(1)) < tiles.size();) {
      if (progress.Cancel.load())
        return;
      if (worker.Run(tiles[i], control)) {
        done[i] = 1;
        progress.Done.fetch_add(1);
      }
    }
  };
  std::vector<std::thread> threads;
  for (int k = 1; k < count; ++k)
    threads.emplace_back(work, std::ref(*workers[static_cast<std::size_t>(k)]));
  work(*workers.front());
  for (std::thread &t : threads)
    t.join();

  std::vector<AtlasTile> finished;
  for (std::size_t i = 0; i < tiles.size(); ++i)
    if (done[i])
      finished.push_back(std::move(tiles[i]));
  return finished;
}

std::vector<int> StratumNumbers(const std::vector<AtlasTile> &tiles) {
  std::vector<int> numbers;
  std::vector<const AtlasTile *> firsts;
  for (const AtlasTile &tile : tiles) {
    const auto found = std::find_if(firsts.begin(), firsts.end(),
                                    [&](const AtlasTile *f) { return f->SameStratum(tile); });
    numbers.push_back(static_cast<int>(found - firsts.begin()));
    if (found == firsts.end())
      firsts.push_back(&tile);
  }
  return numbers;
}

} // namespace tandor
