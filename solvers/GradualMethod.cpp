// The gradual-descent tracer as a method of the Draw-It run.

#include "solvers/CompiledCoordinates.h"
#include "solvers/GradualDescentTracer.h"
#include "solvers/PairTracerMethod.h"

namespace tandor {

namespace {

class GradualSolver final : public PairTracerSolver<TImplicitCurve4D> {
public:
  void Compute(Glob &glob, MapFunctions &map, RunControl &control) override {
    Coordinates.Bind(map);
    Tracer->BindEvaluators(map, Coordinates);
    Tracer->TraceLocus(glob.DomainLow, glob.DomainHigh, RunTolerance, glob.CoarseCount,
                       static_cast<double>(glob.PixelLength), control);
  }

  void SetSeed(std::optional<uint64_t> seed) override { Tracer->SetProjectionSeed(seed); }
  std::optional<uint64_t> SeedUsed() const override { return Tracer->ProjectionSeedUsed(); }

private:
  CompiledCoordinates Coordinates;
};

} // namespace

std::unique_ptr<LocusMethodSolver> MakeGradualSolver() {
  return std::make_unique<GradualSolver>();
}

} // namespace tandor
