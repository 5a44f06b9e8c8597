#pragma once
// Which method computes the locus and which routine draws it: the one path that the window's
// Draw-It run and tandor-cli share. Each method plugs in as a LocusMethodSolver.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "formula/MapFunctions.h"
#include "problem/Glob.h"
#include "solvers/Canvas.h"
#include "solvers/LinearCase.h"
#include "solvers/RunControl.h"
#include "solvers/Trace.h"

namespace tandor {

// The window's Method: 0 "Descent", 1 "Gradual Descent", 2 "Triangles Intersection".
enum class LocusMethod { Linear, Descent, Gradual, Triangles, None };
inline constexpr int LocusMethodCount = 4;

// Constants of every run: the tracers' tolerance and the fine count, which they accept unused.
inline constexpr double RunTolerance = 1e-5;
inline constexpr int RunFineCount = 200;

// The linear-case tracer when x(u,v) is linear proper, otherwise the method chosen; None for a
// method number that names nothing.
LocusMethod MethodInForce(const Glob &glob, int method);

// The name tandor-cli shows: "linear", "descent", "gradual", "triangles".
const char *MethodName(LocusMethod method);

class LocusMethodSolver {
public:
  virtual ~LocusMethodSolver() = default;
  // Computes the locus of the problem in force, replacing the previous result; returns early,
  // keeping what was found, when control asks for a stop.
  virtual void Compute(Glob &glob, MapFunctions &map, RunControl &control) = 0;
  // Draws the result into rect; screen is false on the printer (no sibling rows are built).
  // With control given, a drawing of a huge result polls it and ends where a stop is asked.
  virtual void Draw(Canvas &canvas, const PixelRect &rect, bool screen, Glob &glob,
                    RunControl *control) = 0;
  // The sibling of a pixel of the last screen drawing; the triangle method has none.
  virtual bool FindSibling(int x, int row, int &siblingX, int &siblingY) const {
    (void)x, (void)row, (void)siblingX, (void)siblingY;
    return false;
  }
  // The result: the curve tracers' trace, or the triangle method's segments (u1, v1, u2, v2).
  virtual const std::vector<TracePoint> *TracePoints() const { return nullptr; }
  virtual std::size_t SegmentCount() const { return 0; }
  // The methods that draw random numbers (the gradual tracer's projection, the triangle grid's
  // jitter) use the given seed in every later run, or the clock without one; the others
  // ignore it and have no seed to tell.
  virtual void SetSeed(std::optional<uint64_t> seed) { (void)seed; }
  virtual std::optional<uint64_t> SeedUsed() const { return std::nullopt; }
  // The threads a method may use (the triangle method's pair loop; every core unless told).
  virtual void SetThreads(int threads) { (void)threads; }
  virtual Vector4 Segment(std::size_t index) const {
    (void)index;
    return {};
  }
};

// One instance of each method, made when the program starts and kept to its end.
class LocusSolvers {
public:
  LocusSolvers();

  // Null for a method that is not built into this program.
  LocusMethodSolver *Solver(LocusMethod method) const;
  bool Available(LocusMethod method) const { return Solver(method) != nullptr; }

  // Empties the linear case's stored trace, then computes with the method; false (and nothing
  // computed) when the method is not available.
  bool Compute(LocusMethod method, Glob &glob, MapFunctions &map, RunControl &control);
  // Draws the result of the method; nothing happens for one that is not available. A drawing
  // of a huge result polls control, if given, and ends where a stop is asked.
  void Draw(LocusMethod method, Canvas &canvas, const PixelRect &rect, bool screen, Glob &glob,
            RunControl *control = nullptr);
  // Gives every method the seed of its later runs (none: the clock).
  void SetSeed(std::optional<uint64_t> seed);
  void SetThreads(int threads);
  // The sibling display of the method of the last computation.
  bool FindSibling(int x, int row, int &siblingX, int &siblingY) const;
  LocusMethod LastMethod = LocusMethod::None;

  // The linear case's trace and sibling rows, which its method fills and reads.
  LinearResult Linear;

private:
  std::array<std::unique_ptr<LocusMethodSolver>, LocusMethodCount> Solvers;
};

// The factories of the methods; each method's own file defines its factory.
std::unique_ptr<LocusMethodSolver> MakeDescentSolver();
std::unique_ptr<LocusMethodSolver> MakeLinearSolver(LinearResult &result);
std::unique_ptr<LocusMethodSolver> MakeGradualSolver();
std::unique_ptr<LocusMethodSolver> MakeTrianglesSolver();

} // namespace tandor
