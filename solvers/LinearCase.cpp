// LinearCase: the linear case's residual, inside test and store, and its sibling lookup.

#include "solvers/LinearCase.h"

#include <algorithm>
#include <cmath>

#include "solvers/TraceDrawing.h"

namespace tandor {

PointPair PairOf(const Vector2 &direction, const Vector3 &S) {
  const double a = direction[0], b = direction[1];
  const double mu = S[0], mv = S[1], t = S[2];
  return {mu + b * t, mv - a * t, mu - b * t, mv + a * t};
}

bool LinearCase::Arguments(const Vector3 &S, double (&first)[4], double (&second)[4]) const {
  // Pairs of nearly equal points are never zeros: the trivial solutions are not traced.
  if (!(std::fabs(S[2]) > 1e-6))
    return false;
  const PointPair P = PairOf(State.LinearDirection, S);
  const double p = State.ParamValue[0], q = State.ParamValue[1];
  const double values[2][4] = {{P[0], P[1], p, q}, {P[2], P[3], p, q}};
  std::copy(values[0], values[0] + 4, first);
  std::copy(values[1], values[1] + 4, second);
  return true;
}

double LinearCase::Difference(const PlaneFunction &f, const double (&first)[4],
                              const double (&second)[4], double t) {
  FunctionEvaluations += 2;
  return (f(first) - f(second)) / t;
}

double LinearCase::ResidualComponent(int component, const Vector3 &S) {
  ++ComponentCalls;
  double first[4], second[4];
  if (!Arguments(S, first, second))
    return 1.0;
  return Difference(component == 0 ? Y : Z, first, second, S[2]);
}

void LinearCase::LinearResidual(Vector2 &G, const Vector3 &S) {
  ++ResidualCalls;
  double first[4], second[4];
  if (!Arguments(S, first, second)) {
    G = {1.0, 1.0};
    return;
  }
  G[0] = Difference(Y, first, second, S[2]);
  G[1] = Difference(Z, first, second, S[2]);
}

bool LinearCase::LinearInside(const Vector3 &S) const {
  const double cu = State.DomainCentre[0], cv = State.DomainCentre[1];
  const double hu = State.DomainHalf[0], hv = State.DomainHalf[1];
  if (!(std::fabs(S[0] - cu) < hu) || !(std::fabs(S[1] - cv) < hv))
    return false;
  const PointPair P = PairOf(State.LinearDirection, S);
  return std::fabs(P[0] - cu) < hu && std::fabs(P[2] - cu) < hu && std::fabs(P[3] - cv) < hv &&
         std::fabs(P[1] - cv) < hv;
}

void LinearCase::LinearRecord(const Vector3 & /*previous*/, const Vector3 &S, bool pieceStart) {
  Result.LinearTrace.push_back({pieceStart ? 1 : 0, PairOf(State.LinearDirection, S)});
}

void LinearCase::ResidualThunk(void *c, Vector2 &G, const Vector3 &S) {
  static_cast<LinearCase *>(c)->LinearResidual(G, S);
}
double LinearCase::ComponentThunk(void *c, int component, const Vector3 &S) {
  return static_cast<LinearCase *>(c)->ResidualComponent(component, S);
}
bool LinearCase::InsideThunk(void *c, const Vector3 &S) {
  return static_cast<const LinearCase *>(c)->LinearInside(S);
}
void LinearCase::RecordThunk(void *c, const Vector3 &previous, const Vector3 &S, bool pieceStart) {
  static_cast<LinearCase *>(c)->LinearRecord(previous, S, pieceStart);
}

void TraceLinearLocus(TImplicitCurveLine3D &tracer, LinearCase &problem, const Glob &glob) {
  problem.Stored().LinearTrace.clear(); // LinearTraceHigh = -1; the list keeps its room
  tracer.TraceLocus(problem.Residual(), problem.Inside(), problem.Record(), 1e-5, glob.BoxLow,
                    glob.BoxHigh, glob.CoarseCount, 200, static_cast<double>(glob.PixelLength), 0.0,
                    problem.Component());
}

void DrawLinearLocus(Glob &glob, LinearResult &result, Canvas &canvas, const PixelRect &rect,
                     bool buildSiblings, RunControl *control) {
  glob.SiblingShown = false;
  DrawTrace(canvas, rect, result.LinearTrace, LinearLocusColour, glob.DomainLow, glob.DomainHigh,
            buildSiblings ? &result.LinearSiblingRows : nullptr, control);
}

bool FindLinearSibling(const LinearResult &result, int x, int y, int &siblingX, int &siblingY) {
  return FindSiblingInRows(result.LinearSiblingRows, x, y, siblingX, siblingY);
}

} // namespace tandor
