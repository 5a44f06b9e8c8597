#pragma once
// Linear-case problems whose double points are known in closed form, and a Glob set up for them
// the way a read of the window sets it up.

#include <cmath>
#include <numbers>
#include <string>

#include "problem/Glob.h"
#include "solvers/LinearCase.h"

namespace tandor::testing {

// values = (u, v, p, q)
using PlainFunction = double (*)(void *, const double *values);

struct LinearProblem {
  std::string Name;
  Vector2 Coefficients;  // x(u, v) = a u + b v
  PlainFunction X, Y, Z; // X only serves the checks
  Vector2 Low{-1, -1}, High{1, 1};
  int Branches = 1;
  // Branch b of L (0 <= b < Branches) at s in [0, 1] for the parameter p, with the sibling of
  // that point: (u, v, sibling u, sibling v).
  PointPair (*CurvePoint)(int branch, double s, double p);
};

inline void SetLinearProblem(Glob &glob, const LinearProblem &problem, double p = 1.0,
                             double q = 0.0) {
  glob.DomainLow = problem.Low;
  glob.DomainHigh = problem.High;
  for (int k = 0; k < 2; ++k) {
    glob.DomainHalf[k] = (problem.High[k] - problem.Low[k]) / 2;
    glob.DomainCentre[k] = (problem.High[k] + problem.Low[k]) / 2;
    glob.BoxLow[k] = problem.Low[k];
    glob.BoxHigh[k] = problem.High[k];
  }
  glob.HalfDiagonal =
      std::hypot(problem.High[0] - problem.Low[0], problem.High[1] - problem.Low[1]) / 2;
  glob.BoxLow[2] = -glob.HalfDiagonal;
  glob.BoxHigh[2] = glob.HalfDiagonal;
  glob.PixelLength = std::sqrt(2.0L) * glob.HalfDiagonal / 400;
  glob.CoarseCount = 23;
  const double n = std::hypot(problem.Coefficients[0], problem.Coefficients[1]);
  glob.LinearDirection = {problem.Coefficients[0] / n, problem.Coefficients[1] / n};
  glob.ParamValue = {p, q};
  glob.IsLinear = true;
}

inline LinearCase MakeLinearCase(Glob &glob, const LinearProblem &problem) {
  return LinearCase(glob, PlaneFunction(nullptr, problem.Y), PlaneFunction(nullptr, problem.Z));
}

// F(u, v) of a problem.
inline Vector3 Image(const LinearProblem &problem, double u, double v, const Glob &glob) {
  const double values[4] = {u, v, glob.ParamValue[0], glob.ParamValue[1]};
  return {problem.X(nullptr, values), problem.Y(nullptr, values), problem.Z(nullptr, values)};
}

} // namespace tandor::testing
