// The 3D view of the default problem: frames per second while orbiting (headless EGL, so on
// this machine Mesa's llvmpipe), the time to rebuild the scene after a drag of (p, q), and
// the time to pick the point under the mouse.

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

// The window's default problem, computed as a run computes it.
struct DefaultProblem {
  Glob glob;
  MapFunctions map;
  LocusSolvers solvers;
  CompiledCoordinates coordinates;
  LocusMethod method = LocusMethod::None;
  SurfaceScene scene;

  DefaultProblem() {
    KeptNotices notices;
    const DataLineArray lines{
        "u", "v(v^2 - p)", "v(u+v^4- pv^2)", "-1", "1", "-1", "1", "0", "2", "0", "pi", "1", "0"};
    ReadData(glob, map, lines, notices);
    coordinates.Bind(map);
    method = MethodInForce(glob, 0);
    NeverStop never;
    solvers.Compute(method, glob, map, never);
    BuildSurfaceScene(coordinates, glob, solvers, method, scene);
  }
};

// One frame of a drag that orbits, 500 x 500 as the window opens, finished before the next.
// The argument is the number of samples per pixel.
void OrbitFrames(benchmark::State &state) {
  DefaultProblem problem;
  HeadlessGl gl;
  SceneRenderer renderer;
  OffscreenTarget target(500, 500, static_cast<int>(state.range(0)));
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
  state.SetLabel(gl.RendererName());
}
BENCHMARK(OrbitFrames)->Arg(0)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();

// The mesh alone (160 x 160 quads, normals from the derivative code, the robust box) after p
// and q changed.
void RebuildMesh(benchmark::State &state) {
  DefaultProblem problem;
  double p = 0.5;
  for (auto _ : state) {
    p = p > 1.5 ? 0.5 : p + 0.01;
    problem.map.SetParameters(p, 0.0);
    BuildSurfaceMesh(problem.coordinates, problem.glob.DomainLow, problem.glob.DomainHigh,
                     DefaultMeshQuads, problem.scene.Mesh);
    benchmark::DoNotOptimize(problem.scene.Mesh.Triangles.data());
  }
}
BENCHMARK(RebuildMesh)->Unit(benchmark::kMillisecond);

// Everything a drag adds to the run for the 3D view: the mesh, the image of the new locus, and
// the copy to the GPU.
void RebuildAndUpload(benchmark::State &state) {
  DefaultProblem problem;
  HeadlessGl gl;
  SceneRenderer renderer;
  double p = 0.5;
  for (auto _ : state) {
    p = p > 1.5 ? 0.5 : p + 0.01;
    problem.map.SetParameters(p, 0.0);
    BuildSurfaceScene(problem.coordinates, problem.glob, problem.solvers, problem.method,
                      problem.scene);
    renderer.Upload(problem.scene);
    glFinish();
  }
}
BENCHMARK(RebuildAndUpload)->Unit(benchmark::kMillisecond)->UseRealTime();

// What a mouse move over the 3D view costs: the ray through the pixel against every triangle.
void PickUnderTheMouse(benchmark::State &state) {
  DefaultProblem problem;
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
