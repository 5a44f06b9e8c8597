#pragma once
// The four methods run on a plain C++ map, their results handed over as the run hands them.

#include <memory>
#include <string>
#include <vector>

#include "PlainMaps.h"
#include "analysis/RunAnalysis.h"
#include "formula/MapFunctions.h"
#include "problem/ReadData.h"
#include "solvers/DescentTracer.h"
#include "solvers/GradualDescentTracer.h"
#include "solvers/LinearCase.h"
#include "solvers/LinearCaseTracer.h"
#include "solvers/LocusRun.h"
#include "solvers/TriangleIntersection.h"

namespace tandor::testing {

inline std::string Text(double x) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.17g", x);
  return buffer;
}

// The problem state of a domain as a read of the window derives it (x(u, v) = u).
inline void ReadDomain(Glob &glob, MapFunctions &map, const Vector2 &low, const Vector2 &high) {
  KeptNotices notices;
  const DataLineArray lines{"u", "0", "0", Text(low[0]), Text(high[0]), Text(low[1]), Text(high[1]),
                            "0", "1", "0", "1",          "0",           "0"};
  ASSERT_EQ(ReadData(glob, map, lines, notices), 1);
}

// The result of method on map over [low, high] as pieces between sibling pairs. The linear
// case takes y and z of map and x(u, v) = u.
inline std::vector<PairSegment> RunMethod(LocusMethod method, PlainMap &map, const Vector2 &low,
                                          const Vector2 &high) {
  Glob glob;
  MapFunctions compiled;
  ReadDomain(glob, compiled, low, high);
  const double pixel = static_cast<double>(glob.PixelLength);
  NeverStop never;
  std::vector<PairSegment> out;
  switch (method) {
  case LocusMethod::Linear: {
    auto y = [&](const double *x) { return map.Value(1, x[0], x[1]); };
    auto z = [&](const double *x) { return map.Value(2, x[0], x[1]); };
    LinearResult result;
    LinearCase problem(glob, result, y, z);
    TImplicitCurveLine3D tracer;
    TraceLinearLocus(tracer, problem, glob);
    AppendTraceSegments(result.LinearTrace, out);
    break;
  }
  case LocusMethod::Descent: {
    auto tracer = std::make_unique<TTandorR2R3>();
    tracer->TraceLocus(map, low, RunTolerance, high, glob.CoarseCount, RunFineCount, pixel, never);
    AppendTraceSegments(tracer->TraceList, out);
    break;
  }
  case LocusMethod::Gradual: {
    auto tracer = std::make_unique<TImplicitCurve4D>();
    tracer->BindEvaluators(map, map);
    tracer->TraceLocus(low, high, RunTolerance, glob.CoarseCount, pixel, never);
    AppendTraceSegments(tracer->TraceList, out);
    break;
  }
  case LocusMethod::Triangles: {
    auto dib = std::make_unique<CalcDib>();
    dib->ComputeByTriangles(map, low, high, never);
    const auto segments = dib->Segments();
    for (std::size_t k = 0; k + 1 < segments.size(); k += 2) {
      const TLocusSegment &a = segments[k], &b = segments[k + 1];
      out.push_back({{a.u1, a.v1, b.u1, b.v1}, {a.u2, a.v2, b.u2, b.v2}});
    }
    break;
  }
  case LocusMethod::None:
    break;
  }
  return out;
}

} // namespace tandor::testing
