#include "solvers/LinearCase.h"

#include <cmath>

#include "solvers/TraceDrawing.h"

namespace tandor {

PointPair PairOf(const Vector2 &direction, const Vector3 &S) {
  const double a = direction[0], b = direction[1];
  const double mu = S[0], mv = S[1], t = S[2];
  return {mu + b * t, mv - a * t, mu - b * t, mv + a * t};
}

double LinearCase::Component(int component, const Vector3 &S) {
  const double t = S[2];
  // Pairs of nearly equal points are never zeros: the trivial solutions are not traced.
  if (!(std::fabs(t) > 1e-6))
    return 1.0;
  const PointPair P = PairOf(State.LinearDirection, S);
  const double p = State.ParamValue[0], q = State.ParamValue[1];
  const double first[4] = {P[0], P[1], p, q};
  const double second[4] = {P[2], P[3], p, q};
  const PlaneFunction &f = component == 0 ? Y : Z;
  FunctionEvaluations += 2;
  return (f(first) - f(second)) / t;
}

double LinearCase::ResidualComponent(int component, const Vector3 &S) {
  ++ComponentCalls;
  return Component(component, S);
}

void LinearCase::LinearResidual(Vector2 &G, const Vector3 &S) {
  ++ResidualCalls;
  G[0] = Component(0, S);
  G[1] = Component(1, S);
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
  State.LinearTrace.push_back({pieceStart ? 1 : 0, PairOf(State.LinearDirection, S)});
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

void TraceLinearLocus(TImplicitCurveLine3D &tracer, LinearCase &problem, Glob &glob) {
  glob.LinearTrace.clear(); // LinearTraceHigh = -1; the list keeps its room
  tracer.TraceLocus(problem.Residual(), problem.Inside(), problem.Record(), 1e-5, glob.BoxLow,
                    glob.BoxHigh, glob.CoarseCount, 200, static_cast<double>(glob.PixelLength), 0.0,
                    problem.Component());
}

void DrawLinearLocus(Glob &glob, Canvas &canvas, const PixelRect &rect, bool buildSiblings) {
  glob.SiblingShown = false;
  DrawTrace(canvas, rect, glob.LinearTrace, LinearLocusColour, glob.DomainLow, glob.DomainHigh,
            buildSiblings ? &glob.LinearSiblingRows : nullptr);
}

bool FindLinearSibling(const Glob &glob, int x, int y, int &siblingX, int &siblingY) {
  return FindSiblingInRows(glob.LinearSiblingRows, x, y, siblingX, siblingY);
}

} // namespace tandor
