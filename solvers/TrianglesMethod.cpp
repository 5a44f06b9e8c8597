// The triangle-intersection method as a method of the Draw-It run. It keeps no pairing of
// points, so it offers no sibling display.

#include <algorithm>
#include <atomic>
#include <thread>

#include "solvers/LocusRun.h"
#include "solvers/TriangleIntersection.h"

namespace tandor {

namespace {

// The map as the pair loop's threads call it together, counted.
struct SharedMap {
  const MapFunctions &Map;
  std::atomic<uint64_t> Evaluations{0};
  void operator()(double &x, double &y, double &z, double u, double v) {
    Evaluations.fetch_add(1, std::memory_order_relaxed);
    Map.EvaluateShared(x, y, z, u, v);
  }
};

class TrianglesSolver final : public LocusMethodSolver {
public:
  void Compute(Glob &glob, MapFunctions &map, RunControl &control) override {
    if (Dib->Threads <= 1) {
      Dib->ComputeByTriangles(map, glob.DomainLow, glob.DomainHigh, control);
      return;
    }
    map.PrepareSharing();
    SharedMap shared{map};
    Dib->ComputeByTriangles(shared, glob.DomainLow, glob.DomainHigh, control);
    map.Evaluations += shared.Evaluations.load();
  }
  void SetThreads(int threads) override { Dib->Threads = std::max(1, threads); }
  void Draw(Canvas &canvas, const PixelRect &rect, bool, Glob &glob, RunControl *control) override {
    Dib->DrawTriangleLocus(canvas, rect, glob.DomainLow, glob.DomainHigh, control);
  }
  void SetSeed(std::optional<uint64_t> seed) override {
    if (seed)
      Dib->SeedWith(*seed);
    else
      Dib->SeedFromClock();
  }
  std::optional<uint64_t> SeedUsed() const override { return Dib->SeedUsed(); }
  std::size_t SegmentCount() const override { return Dib->Segments().size(); }
  Vector4 Segment(std::size_t index) const override {
    const TLocusSegment &s = Dib->Segments()[index];
    return {s.u1, s.v1, s.u2, s.v2};
  }

private:
  // On the heap: the triangle table alone is some 1.5 MB.
  std::unique_ptr<CalcDib> Dib = [] {
    auto dib = std::make_unique<CalcDib>();
    dib->Threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    return dib;
  }();
};

} // namespace

std::unique_ptr<LocusMethodSolver> MakeTrianglesSolver() {
  return std::make_unique<TrianglesSolver>();
}

} // namespace tandor
