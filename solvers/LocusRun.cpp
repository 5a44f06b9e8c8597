// LocusSolvers: the four methods behind one dispatch, and the method in force.

#include "solvers/LocusRun.h"

namespace tandor {

LocusMethod MethodInForce(const Glob &glob, int method) {
  if (glob.IsLinear)
    return LocusMethod::Linear;
  switch (method) {
  case 0:
    return LocusMethod::Descent;
  case 1:
    return LocusMethod::Gradual;
  case 2:
    return LocusMethod::Triangles;
  default:
    return LocusMethod::None;
  }
}

const char *MethodName(LocusMethod method) {
  switch (method) {
  case LocusMethod::Linear:
    return "linear";
  case LocusMethod::Descent:
    return "descent";
  case LocusMethod::Gradual:
    return "gradual";
  case LocusMethod::Triangles:
    return "triangles";
  case LocusMethod::None:
    break;
  }
  return "none";
}

LocusSolvers::LocusSolvers() {
  // One line per method.
  Solvers[static_cast<int>(LocusMethod::Descent)] = MakeDescentSolver();
  Solvers[static_cast<int>(LocusMethod::Linear)] = MakeLinearSolver(Linear);
  Solvers[static_cast<int>(LocusMethod::Gradual)] = MakeGradualSolver();
  Solvers[static_cast<int>(LocusMethod::Triangles)] = MakeTrianglesSolver();
}

LocusMethodSolver *LocusSolvers::Solver(LocusMethod method) const {
  const int index = static_cast<int>(method);
  return index >= 0 && index < LocusMethodCount ? Solvers[index].get() : nullptr;
}

bool LocusSolvers::Compute(LocusMethod method, Glob &glob, MapFunctions &map, RunControl &control) {
  // Every run empties the linear case's trace, whichever method computes.
  Linear.LinearTrace.clear();
  LocusMethodSolver *solver = Solver(method);
  if (solver == nullptr)
    return false;
  LastMethod = method;
  solver->Compute(glob, map, control);
  return true;
}

void LocusSolvers::Draw(LocusMethod method, Canvas &canvas, const PixelRect &rect, bool screen,
                        Glob &glob, RunControl *control) {
  if (LocusMethodSolver *solver = Solver(method))
    solver->Draw(canvas, rect, screen, glob, control);
}

void LocusSolvers::SetSeed(std::optional<uint64_t> seed) {
  for (const auto &solver : Solvers)
    if (solver)
      solver->SetSeed(seed);
}

void LocusSolvers::SetThreads(int threads) {
  for (auto &solver : Solvers)
    if (solver)
      solver->SetThreads(threads);
}

bool LocusSolvers::FindSibling(int x, int row, int &siblingX, int &siblingY) const {
  const LocusMethodSolver *solver = Solver(LastMethod);
  return solver != nullptr && solver->FindSibling(x, row, siblingX, siblingY);
}

} // namespace tandor
