// The 3D view: frames per second while orbiting the default problem and the Klein bottle
// (headless EGL, so on this machine Mesa's llvmpipe), the time to rebuild the scene after a drag
// of (p, q), and the time to pick the point under the mouse.

#include <benchmark/benchmark.h>

#include <epoxy/gl.h>

#include <string>

#include "formula/MapFunctions.h"
#include "problem/Glob.h"
#include "problem/ReadData.h"
#include "scene/HeadlessGl.h"
#include "scene/SceneRenderer.h"
#include "scene/SurfacePicking.h"
#include "scene/SurfaceScene.h"
#include "solvers/CompiledCoordinates.h"
#include "solvers/LocusRun.h"

namespace tandor {
namespace {

// The window's default problem.
const DataLineArray DefaultLines{
    "u", "v(v^2 - p)", "v(u+v^4- pv^2)", "-1", "1", "-1", "1", "0", "2", "0", "pi", "1", "0"};

// The Klein bottle of tests/data: long formulas, a surface that passes through itself.
const DataLineArray KleinBottleLines{
    "-2/15 cos(u)(3cos(v) - 30sin(u) + 90cos(u)^4 sin(u) - 60cos(u)^6 sin(u) + "
    "5cos(u)cos(v)sin(u))",
    "-1/15 sin(u)(3cos(v) - 3cos(u)^2 cos(v) - 48cos(u)^4 cos(v) + 48cos(u)^6 cos(v) - 60sin(u) "
    "+ 5cos(u)cos(v)sin(u) - 5cos(u)^3 cos(v)sin(u) - 80cos(u)^5 cos(v)sin(u) + 80cos(u)^7 "
    "cos(v)sin(u))",
    "2/15 (3 + 5cos(u)sin(u))sin(v)",
    "0.2",
    "2.9",
    "-pi",
    "pi",
    "0",
    "1",
    "0",
    "1",
    "0",
    "0"};

const DataLineArray &Lines(int problem) {
  return problem == 0 ? DefaultLines : KleinBottleLines;
}

const char *ProblemName(int problem) {
  return problem == 0 ? "default problem" : "Klein bottle";
}

// A problem computed with Descent as a run computes it, and its scene.
struct ComputedProblem {
  Glob glob;
  MapFunctions map;
  LocusSolvers solvers;
  CompiledCoordinates coordinates;
  LocusMethod method = LocusMethod::None;
  SurfaceScene scene;

  explicit ComputedProblem(const DataLineArray &lines) {
    KeptNotices notices;
    ReadData(glob, map, lines, notices);
    coordinates.Bind(map);
    method = MethodInForce(glob, 0);
    NeverStop never;
    solvers.Compute(method, glob, map, never);
    BuildSurfaceScene(coordinates, glob, solvers, method, scene);
  }
};

// One frame of a drag that orbits, 500 x 500 as the window opens, finished before the next.
// Arguments: the problem (0 default, 1 Klein bottle) and the samples per pixel (the window asks
// for 4).
void OrbitFrames(benchmark::State &state) {
  ComputedProblem problem(Lines(static_cast<int>(state.range(0))));
  HeadlessGl gl;
  SceneRenderer renderer;
  OffscreenTarget target(500, 500, static_cast<int>(state.range(1)));
  renderer.Upload(problem.scene);
  Camera camera;
  camera.Frame(problem.scene.Mesh);
  target.Bind();
  for (auto _ : state) {
    camera.Orbit(3.0, 1.0);
    renderer.Render(camera, ViewOptions{}, 500, 500);
    glFinish();
  }
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.SetLabel(std::string(ProblemName(static_cast<int>(state.range(0)))) + ", " +
                 gl.RendererName());
}
BENCHMARK(OrbitFrames)->ArgsProduct({{0, 1}, {0, 4}})->Unit(benchmark::kMillisecond)->UseRealTime();

// The next (p, q) of a drag across the square, through the one way (p, q) changes.
void NextParameters(ComputedProblem &problem, double &p) {
  p = p > 1.5 ? 0.5 : p + 0.01;
  SetParamValue(problem.glob, problem.map, {p, problem.glob.ParamValue[1]});
}

// The mesh alone (160 x 160 quads, normals from the derivative code, the robust box) after p
// and q changed.
void RebuildMesh(benchmark::State &state) {
  ComputedProblem problem(Lines(static_cast<int>(state.range(0))));
  double p = 0.5;
  for (auto _ : state) {
    NextParameters(problem, p);
    BuildSurfaceMesh(problem.coordinates, problem.glob.DomainLow, problem.glob.DomainHigh,
                     DefaultMeshQuads, problem.scene.Mesh);
    benchmark::DoNotOptimize(problem.scene.Mesh.Triangles.data());
  }
  state.SetLabel(ProblemName(static_cast<int>(state.range(0))));
}
BENCHMARK(RebuildMesh)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Everything a drag adds to the run while the 3D view is open: the mesh, the image of the new
// locus, and the copy to the GPU.
void RebuildAndUpload(benchmark::State &state) {
  ComputedProblem problem(Lines(static_cast<int>(state.range(0))));
  HeadlessGl gl;
  SceneRenderer renderer;
  double p = 0.5;
  for (auto _ : state) {
    NextParameters(problem, p);
    BuildSurfaceScene(problem.coordinates, problem.glob, problem.solvers, problem.method,
                      problem.scene);
    renderer.Upload(problem.scene);
    glFinish();
  }
  state.SetLabel(ProblemName(static_cast<int>(state.range(0))));
}
BENCHMARK(RebuildAndUpload)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// What a mouse move over the 3D view costs: the ray through the pixel against every triangle.
void PickUnderTheMouse(benchmark::State &state) {
  ComputedProblem problem(DefaultLines);
  Camera camera;
  camera.Frame(problem.scene.Mesh);
  double x = 150;
  for (auto _ : state) {
    x = x > 350 ? 150 : x + 1;
    benchmark::DoNotOptimize(PickSurface(problem.scene.Mesh, camera, x, 250, 500, 500));
  }
}
BENCHMARK(PickUnderTheMouse)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace tandor
