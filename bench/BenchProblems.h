#pragma once
// Problems the benchmarks share with tests/data: the map's formulas, its domain, p and q, and the
// PixelLength the program would give the tracers for that domain.

#include <cmath>
#include <stdexcept>
#include <string>

#include "base/Vectors.h"
#include "formula/MapFunctions.h"

namespace bench {

struct NamedProblem {
  const char *x, *y, *z;
  tandor::Vector2 low, high;
  double p, q;

  // sqrt(2) * half-diagonal of D / 400: one pixel of the picture in D.
  double PixelLength() const {
    const double hu = (high[0] - low[0]) / 2, hv = (high[1] - low[1]) / 2;
    return std::sqrt(2.0) * std::sqrt(hu * hu + hv * hv) / 400;
  }
};

// tests/data/klein-bottle.tdr: a real surface whose formulas share most of their trigonometry.
inline const NamedProblem KleinBottle{
    "-2/15 cos(u)(3cos(v) - 30sin(u) + 90cos(u)^4 sin(u) - 60cos(u)^6 sin(u) + "
    "5cos(u)cos(v)sin(u))",
    "-1/15 sin(u)(3cos(v) - 3cos(u)^2 cos(v) - 48cos(u)^4 cos(v) + 48cos(u)^6 cos(v) - 60sin(u) "
    "+ 5cos(u)cos(v)sin(u) - 5cos(u)^3 cos(v)sin(u) - 80cos(u)^5 cos(v)sin(u) + 80cos(u)^7 "
    "cos(v)sin(u))",
    "2/15 (3 + 5cos(u)sin(u))sin(v)",
    {0.2, -M_PI},
    {2.9, M_PI},
    0,
    0};

// tests/data/default.tdr: the problem the window starts with.
inline const NamedProblem DefaultProblem{"u", "v(v^2 - p)", "v(u+v^4- pv^2)", {-1, -1}, {1, 1}, 1,
                                         0};

// The problem's three functions compiled as the program compiles them, derivatives included.
inline void CompileInto(tandor::MapFunctions &map, const NamedProblem &problem) {
  const char *texts[3] = {problem.x, problem.y, problem.z};
  for (int c = 0; c < 3; ++c) {
    bool linear = false;
    std::string message;
    map[c].Compile(texts[c], "uv", "pq", linear, message);
    if (!message.empty())
      throw std::runtime_error(message);
    map[c].GenerateDerivativeCode();
  }
  map.SetParameters(problem.p, problem.q);
}

} // namespace bench
