#pragma once
// Maps with closed-form derivatives, and problems computed the way the program computes them.

#include <cmath>
#include <functional>
#include <memory>
#include <numbers>
#include <string>

#include "formula/MapFunctions.h"
#include "problem/Glob.h"
#include "problem/ReadData.h"
#include "scene/SurfaceScene.h"
#include "solvers/CompiledCoordinates.h"
#include "solvers/CoordinateEvaluator.h"
#include "solvers/LocusRun.h"

namespace tandor::test {

using Field = std::function<Vector3(double, double)>;

// F with its partial derivatives dF/du and dF/dv.
struct AnalyticMap {
  Field F, Fu, Fv;
  double Value(int c, double u, double v) { return F(u, v)[c]; }
  ValueAndDerivative WithDerivative(int c, double u, double v, double du, double dv) {
    return {F(u, v)[c], du * Fu(u, v)[c] + dv * Fv(u, v)[c]};
  }
};

// The unit sphere, u the longitude and v the latitude: dF/du x dF/dv points outwards.
inline AnalyticMap UnitSphere() {
  using std::cos, std::sin;
  return {[](double u, double v) {
            return Vector3{cos(u) * cos(v), sin(u) * cos(v), sin(v)};
          },
          [](double u, double v) {
            return Vector3{-sin(u) * cos(v), cos(u) * cos(v), 0.0};
          },
          [](double u, double v) {
            return Vector3{-cos(u) * sin(v), -sin(u) * sin(v), cos(v)};
          }};
}

// The same sphere with u and v exchanged: the other side is the front.
inline AnalyticMap InsideOutSphere() {
  AnalyticMap s = UnitSphere();
  return {[s](double u, double v) { return s.F(v, u); },
          [s](double u, double v) { return s.Fv(v, u); },
          [s](double u, double v) { return s.Fu(v, u); }};
}

// A problem read from its thirteen lines and computed with a method, as tandor-cli does.
struct ComputedProblem {
  Glob glob;
  MapFunctions map;
  LocusSolvers solvers;
  CompiledCoordinates coordinates;
  LocusMethod method = LocusMethod::None;
  std::string Status;

  // Empty on success, else the read's message.
  std::string Compute(const DataLineArray &lines, int methodNumber) {
    KeptNotices notices;
    if (ReadData(glob, map, lines, notices) == 2)
      return notices.Statuses.empty() ? "rejected" : notices.Statuses.back();
    coordinates.Bind(map);
    method = MethodInForce(glob, methodNumber);
    NeverStop never;
    solvers.Compute(method, glob, map, never);
    return {};
  }
  void Build(SurfaceScene &scene, int quads = DefaultMeshQuads) {
    BuildSurfaceScene(coordinates, glob, solvers, method, scene, quads);
  }
};

// x = cos u, y = sin u cos u, z = v: a cylinder over a figure eight. L is u = pi/2 and
// u = 3 pi/2, its image the z axis.
inline DataLineArray FigureEightCylinder() {
  return {"cos(u)", "sin(u)cos(u)", "v", "0.2", "6", "-1", "1", "0", "2", "0", "3", "1", "0"};
}

// The default problem of the window.
inline DataLineArray DefaultProblem() {
  return {"u", "v(v^2 - p)", "v(u+v^4- pv^2)", "-1", "1", "-1", "1", "0", "2", "0", "pi", "1", "0"};
}

} // namespace tandor::test
