#pragma once
#include <array>
#include <cstdint>

#include "formula/FormulaCompiler.h"
#include "formula/MapRoutine.h"

namespace tandor {

// The three compiled coordinate functions of F = (x, y, z).
class MapFunctions {
public:
  std::array<TOCFunctDDDoubleSafe, 3> Functions; // x, y, z

  TOCFunctDDDoubleSafe &operator[](int c) { return Functions[c]; }
  const TOCFunctDDDoubleSafe &operator[](int c) const { return Functions[c]; }

  // F(u, v), evaluated in the order x, y, z with the p and q last given to the functions.
  void EvaluateMap(double &x, double &y, double &z, double u, double v) {
    ++Evaluations;
    const double uv[2] = {u, v};
    if (const MapEntry entry = Routine.EntryFor(Functions); entry != nullptr) {
      double xyz[3];
      entry(uv, xyz);
      x = xyz[0], y = xyz[1], z = xyz[2];
      return;
    }
    x = Functions[0].Evaluate(uv);
    y = Functions[1].Evaluate(uv);
    z = Functions[2].Evaluate(uv);
  }

  // F(u, v) for threads that share the functions: they are only read, nothing is counted. Run
  // PrepareSharing on the owning thread first, and compile nothing while threads evaluate.
  void PrepareSharing() { Routine.EntryFor(Functions); }
  void EvaluateShared(double &x, double &y, double &z, double u, double v) const {
    const double uv[2] = {u, v};
    if (Routine.Entry != nullptr && Routine.IsFor(Functions)) {
      double xyz[3];
      Routine.Entry(uv, xyz);
      x = xyz[0], y = xyz[1], z = xyz[2];
      return;
    }
    x = Functions[0].Evaluate(uv);
    y = Functions[1].Evaluate(uv);
    z = Functions[2].Evaluate(uv);
  }

  // So that the solvers can take the map wherever they take "evaluate F at (u, v)".
  void operator()(double &x, double &y, double &z, double u, double v) {
    EvaluateMap(x, y, z, u, v);
  }

  void SetParameters(double p, double q) {
    const double pq[2] = {p, q};
    for (auto &f : Functions)
      tandor::SetParameters(f, pq);
  }

  // How many times EvaluateMap ran; for statistics only.
  uint64_t Evaluations = 0;
  // The three functions as one routine, made at the first evaluation after a compile.
  MapRoutine Routine;
};

} // namespace tandor
