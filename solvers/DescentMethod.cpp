// The Descent tracer as a method of the Draw-It run.

#include "solvers/DescentTracer.h"
#include "solvers/PairTracerMethod.h"

namespace tandor {

namespace {

class DescentSolver final : public PairTracerSolver<TTandorR2R3> {
public:
  void Compute(Glob &glob, MapFunctions &map, RunControl &control) override {
    Tracer->TraceLocus(map, glob.DomainLow, RunTolerance, glob.DomainHigh, glob.CoarseCount,
                       RunFineCount, static_cast<double>(glob.PixelLength), control);
  }
};

} // namespace

std::unique_ptr<LocusMethodSolver> MakeDescentSolver() {
  return std::make_unique<DescentSolver>();
}

} // namespace tandor
