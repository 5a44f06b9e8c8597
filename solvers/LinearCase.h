#pragma once
// The problem side of the linear case: the residual, the inside test and the store that the
// tracer is given, bound to the problem state, the result they fill (LinearTrace) and the
// drawing of that result with its sibling table (LinearSiblingRows). Shared by the window and
// tandor-cli.

#include <cstdint>
#include <vector>

#include "problem/Glob.h"
#include "solvers/Canvas.h"
#include "solvers/LinearCaseTracer.h"
#include "solvers/RunControl.h"
#include "solvers/Trace.h"

namespace tandor {

class MapFunctions;

// One coordinate function of F at the values (u, v, p, q): the compiled y or z in the program,
// plain C++ in tests.
using PlaneFunction = RoutineRef<double(const double *values)>;

inline constexpr Rgb LinearLocusColour{255, 170, 136};

// What the linear case leaves: the trace of its last run, and the sibling rows of its last
// screen drawing.
struct LinearResult {
  std::vector<TracePoint> LinearTrace;
  SiblingTable LinearSiblingRows;
};

inline int LinearTraceHigh(const LinearResult &result) {
  return static_cast<int>(result.LinearTrace.size()) - 1;
}

class LinearCase {
public:
  // Reads LinearDirection, DomainCentre, DomainHalf and ParamValue of glob at every call, and
  // stores into the trace of result.
  LinearCase(const Glob &glob, LinearResult &result, PlaneFunction y, PlaneFunction z)
      : State(glob), Result(result), Y(y), Z(z) {}

  void LinearResidual(Vector2 &G, const Vector3 &S);
  // Component 0 (from y) or 1 (from z) of the residual, exactly as LinearResidual gives it.
  double ResidualComponent(int component, const Vector3 &S);
  bool LinearInside(const Vector3 &S) const;
  void LinearRecord(const Vector3 &previous, const Vector3 &S, bool pieceStart);

  LinearResult &Stored() { return Result; }

  ResidualRoutine Residual() { return {this, &ResidualThunk}; }
  ResidualComponentRoutine Component() { return {this, &ComponentThunk}; }
  InsideRoutine Inside() { return {this, &InsideThunk}; }
  RecordRoutine Record() { return {this, &RecordThunk}; }

  // Work counters: every coordinate function evaluated, and the calls asking for the whole of
  // G or for one component.
  uint64_t FunctionEvaluations = 0;
  uint64_t ResidualCalls = 0;
  uint64_t ComponentCalls = 0;

private:
  // The values (u, v, p, q) of both points of the pair; false for a pair of nearly equal points,
  // whose residual is (1, 1).
  bool Arguments(const Vector3 &S, double (&first)[4], double (&second)[4]) const;
  double Difference(const PlaneFunction &f, const double (&first)[4], const double (&second)[4],
                    double t);
  static void ResidualThunk(void *c, Vector2 &G, const Vector3 &S);
  static double ComponentThunk(void *c, int component, const Vector3 &S);
  static bool InsideThunk(void *c, const Vector3 &S);
  static void RecordThunk(void *c, const Vector3 &previous, const Vector3 &S, bool pieceStart);

  const Glob &State;
  LinearResult &Result;
  PlaneFunction Y, Z;
};

// The pair (u1, v1, u2, v2) of S = (mu, mv, t) along the unit direction (a, b) of x(u, v).
PointPair PairOf(const Vector2 &direction, const Vector3 &S);

// What a run of the linear case does: empties the problem's LinearTrace and traces with the
// run's constants (tolerance 1e-5, BoxLow, BoxHigh, CoarseCount, fine count 200, PixelLength,
// no record spacing).
void TraceLinearLocus(TImplicitCurveLine3D &tracer, LinearCase &problem, const Glob &glob);

// A compiled coordinate function as a PlaneFunction.
PlaneFunction CompiledFunction(const TOCFunctDDDoubleSafe &formula);

// The same bound to the compiled y and z of map, storing into result.
void TraceLinearLocus(TImplicitCurveLine3D &tracer, MapFunctions &map, const Glob &glob,
                      LinearResult &result);

// Both tracks of LinearTrace into rect; with buildSiblings (the screen drawing) also rebuilds
// LinearSiblingRows. Every drawing leaves no sibling circle on the picture. A long drawing
// polls control, if given, and ends where a stop is asked.
void DrawLinearLocus(Glob &glob, LinearResult &result, Canvas &canvas, const PixelRect &rect,
                     bool buildSiblings, RunControl *control = nullptr);

// The sibling of the pixel (x, y) of the screen drawing, from LinearSiblingRows.
bool FindLinearSibling(const LinearResult &result, int x, int y, int &siblingX, int &siblingY);

} // namespace tandor
