// The triangle-intersection method as a method of the Draw-It run. It keeps no pairing of
// points, so it offers no sibling display.

#include "solvers/LocusRun.h"
#include "solvers/TriangleIntersection.h"

namespace tandor {

namespace {

class TrianglesSolver final : public LocusMethodSolver {
public:
  void Compute(Glob &glob, MapFunctions &map, RunControl &control) override {
    Dib->ComputeByTriangles(map, glob.DomainLow, glob.DomainHigh, control);
  }
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
  std::unique_ptr<CalcDib> Dib = std::make_unique<CalcDib>();
};

} // namespace

std::unique_ptr<LocusMethodSolver> MakeTrianglesSolver() {
  return std::make_unique<TrianglesSolver>();
}

} // namespace tandor
