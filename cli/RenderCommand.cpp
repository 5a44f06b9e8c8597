// tandor-cli render (Render, InterruptControl): a data file read, one method run, its picture,
// drawing and record list written, with the singular points found after the run.

#include "cli/RenderCommand.h"

#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "analysis/RunAnalysis.h"
#include "analysis/SingularPointMarks.h"
#include "cli/ExamplesCommand.h"
#include "cli/PointsOutput.h"
#include "cli/SurfacePicture.h"
#include "formula/MapFunctions.h"
#include "problem/DataFile.h"
#include "problem/FileReplacement.h"
#include "problem/Glob.h"
#include "problem/ReadData.h"
#include "solvers/LocusCsv.h"
#include "solvers/LocusRun.h"
#include "ui/PictureFiles.h"

namespace tandor {

namespace {

constexpr const char *Usage =
    "usage: tandor-cli render FILE.tdr [--method descent|gradual|triangles] [-p P] [-q Q]\n"
    "                         [--png OUT.png] [--svg OUT.svg] [--size N] [--csv OUT.csv] "
    "[--stats]\n"
    "                         [--seed N] [--jobs N] [--points OUT.csv] [--no-points]\n"
    "                         [--png3d OUT.png] [--view YAW,PITCH]\n"
    "       tandor-cli render --example NAME [the same options]\n"
    "Reads the problem's 13 lines and computes its double-point locus with the method in\n"
    "force (the linear-case tracer when x(u,v) is linear proper, otherwise --method,\n"
    "descent by default).\n"
    "  --example NAME the problem of the gallery's example NAME (tandor-cli examples)\n"
    "  -p P, -q Q     replace the parameter values (any constant formula)\n"
    "  --png OUT.png  the picture as the window draws it, N x N pixels (--size, 400)\n"
    "  --svg OUT.svg  the same drawing as vector graphics\n"
    "  --csv OUT.csv  the computed locus, 17 significant digits\n"
    "  --png3d OUT.png  the surface in space with its double curve, N x N pixels; needs\n"
    "                 no display (OpenGL through Mesa's surfaceless EGL)\n"
    "  --view YAW,PITCH  the direction --png3d looks from, in degrees (-55,25)\n"
    "  --stats        one JSON line: method, records, pieces, seconds, map_evaluations,\n"
    "                 the seed for the methods that draw random numbers, and the\n"
    "                 singular points: cross_caps, triple_points (and singular_curve)\n"
    "  --points OUT.csv  the cross-caps and triple points as rows kind,u,v,x,y,z\n"
    "  --no-points    pictures without the marks of the singular points\n"
    "  --seed N       seeds Gradual Descent's projection and the triangle grid (a whole\n"
    "                 number from 0 to 2^64 - 1), so that a run can be made again; without\n"
    "                 it the clock seeds them\n"
    "  --jobs N       threads for Triangles Intersection (1 to 256; every core by default);\n"
    "                 the result is the same with any number\n"
    "Exit status: 0 done (also when stopped by Ctrl+C), 1 input or file error, 2 usage "
    "error,\n3 method not available.\n";

struct RenderOptions {
  std::string File;
  std::optional<std::string> Example;
  int Method = 0;
  std::optional<std::string> P, Q;
  std::optional<std::string> Png, Svg, Csv, Points, Png3d;
  std::optional<ViewDirection> View;
  int Size = 400;
  bool Stats = false;
  bool NoPoints = false;
  std::optional<uint64_t> Seed;
  std::optional<int> Jobs;

  // The singular points are searched only for an output that shows them.
  bool MarksDrawn() const { return !NoPoints && (Png || Svg); }
  bool PointsWanted() const { return MarksDrawn() || Stats || Points; }
};

class UsageError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

int MethodNumber(std::string_view name) {
  if (name == "descent")
    return 0;
  if (name == "gradual")
    return 1;
  if (name == "triangles")
    return 2;
  throw UsageError("unknown method '" + std::string(name) + "'");
}

int SizeOf(std::string_view text) {
  int n = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (error != std::errc() || end != text.data() + text.size() || n < 1 || n > MaxPictureSize)
    throw UsageError("the size must be a whole number from 1 to 16384");
  return n;
}

int JobsOf(std::string_view text) {
  int n = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (error != std::errc() || end != text.data() + text.size() || n < 1 || n > 256)
    throw UsageError("the number of jobs must be a whole number from 1 to 256");
  return n;
}

uint64_t SeedOf(std::string_view text) {
  uint64_t seed = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seed);
  if (error != std::errc() || end != text.data() + text.size())
    throw UsageError("the seed must be a whole number from 0 to 18446744073709551615");
  return seed;
}

RenderOptions ParseOptions(int argc, char **argv) {
  RenderOptions o;
  bool haveFile = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view word = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc)
        throw UsageError("'" + std::string(word) + "' needs a value");
      return argv[++i];
    };
    if (word == "--method")
      o.Method = MethodNumber(value());
    else if (word == "-p")
      o.P = value();
    else if (word == "-q")
      o.Q = value();
    else if (word == "--png")
      o.Png = value();
    else if (word == "--svg")
      o.Svg = value();
    else if (word == "--csv")
      o.Csv = value();
    else if (word == "--png3d")
      o.Png3d = value();
    else if (word == "--view") {
      o.View = ParseViewDirection(value());
      if (!o.View)
        throw UsageError("the view must be two numbers of degrees, YAW,PITCH");
    } else if (word == "--size")
      o.Size = SizeOf(value());
    else if (word == "--stats")
      o.Stats = true;
    else if (word == "--seed")
      o.Seed = SeedOf(value());
    else if (word == "--jobs")
      o.Jobs = JobsOf(value());
    else if (word == "--points")
      o.Points = value();
    else if (word == "--no-points")
      o.NoPoints = true;
    else if (word == "--example")
      o.Example = value();
    else if (!haveFile && !(word.size() > 1 && word[0] == '-')) {
      o.File = word;
      haveFile = true;
    } else
      throw UsageError("unexpected argument '" + std::string(word) + "'");
  }
  if (haveFile && o.Example)
    throw UsageError("a data file or --example, not both");
  if (!haveFile && !o.Example)
    throw UsageError("no data file given");
  return o;
}

// Remembers a stop once seen, so that the search after the method knows the method was stopped.
class RememberedStop final : public RunControl {
public:
  explicit RememberedStop(RunControl &control) : Control(control) {}
  bool ProcessEventsAndCheckStop() override {
    Seen = Seen || Control.ProcessEventsAndCheckStop();
    return Seen;
  }
  bool Seen = false;

private:
  RunControl &Control;
};

struct Run {
  Glob glob;
  MapFunctions map;
  LocusSolvers solvers;
  LocusMethod method = LocusMethod::None;
  SingularPointAnalysis points;
  bool marks = false; // the pictures show the singular points
};

// The picture as the window draws it, filling the rectangle asked for, with the marks of the
// singular points over the locus unless they are not wanted. Only the printer's drawing is
// wanted: the sibling rows of the screen drawing have no use here.
void DrawLocusPicture(Run &run, Canvas &canvas, const PixelRect &rect) {
  run.solvers.Draw(run.method, canvas, rect, false, run.glob);
  if (run.marks)
    DrawSingularPoints(canvas, rect, run.glob.DomainLow, run.glob.DomainHigh, run.points.Result());
}

void WritePng3d(Run &run, const std::string &path, int size,
                const std::optional<ViewDirection> &view) {
  QImage image;
  try {
    image = RenderSurfacePicture(size, view, run.glob, run.map, run.solvers, run.method);
  } catch (const SurfacePictureError &e) {
    throw FileError(path, e.what());
  }
  WritePngImage(path, image);
}

void WriteStats(const Run &run, std::ostream &out, double seconds, uint64_t evaluations) {
  const LocusMethodSolver *solver = run.solvers.Solver(run.method);
  std::size_t records = 0, pieces = 0;
  if (const auto *trace = solver->TracePoints()) {
    records = trace->size();
    for (const TracePoint &t : *trace)
      pieces += t.PieceStart == 1 ? 1 : 0;
  } else {
    records = solver->SegmentCount();
  }
  char secondsText[32];
  std::snprintf(secondsText, sizeof secondsText, "%.6f", seconds);
  out << "{\"method\": \"" << MethodName(run.method) << "\", \"records\": " << records
      << ", \"pieces\": " << pieces << ", \"seconds\": " << secondsText
      << ", \"map_evaluations\": " << evaluations;
  WritePointsStats(run.points.Result(), out);
  if (const std::optional<uint64_t> seed = solver->SeedUsed())
    out << ", \"seed\": " << *seed;
  out << "}\n";
}

int Render(RenderOptions o, std::ostream &out, std::ostream &err, RunControl *control) {
  if (o.Example) {
    o.File = ExampleFile(*o.Example, err);
    if (o.File.empty())
      return 1;
  }
  DataLineArray lines;
  try {
    lines = ReadDataFile(o.File);
  } catch (const DataFileError &e) {
    err << "tandor-cli: " << e.Path << ": " << e.Reason << "\n";
    return 1;
  }
  if (o.P)
    lines[PValueLine] = *o.P;
  if (o.Q)
    lines[QValueLine] = *o.Q;

  auto run = std::make_unique<Run>();
  // The window shows a refused read's message in its status bar; here it goes to stderr, and the
  // notice about a non-linear first function, which is no error, is not shown at all.
  KeptNotices notices;
  if (ReadData(run->glob, run->map, lines, notices) == 2) {
    err << notices.Statuses.back() << "\n";
    return 1;
  }
  DataToLines(run->glob);
  run->method = MethodInForce(run->glob, o.Method);
  if (!run->solvers.Available(run->method)) {
    err << "tandor-cli: the method '" << MethodName(run->method)
        << "' is not available in this build\n";
    return 3;
  }

  // Ctrl+C stops the computation, and what was found is still written whole: the handler stays
  // in place until the outputs are out.
  InterruptControl interrupt;
  RememberedStop stop(control ? *control : interrupt);
  run->solvers.SetSeed(o.Seed);
  if (o.Jobs)
    run->solvers.SetThreads(*o.Jobs);
  run->map.Evaluations = 0;
  const auto start = std::chrono::steady_clock::now();
  run->solvers.Compute(run->method, run->glob, run->map, stop);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  // The method's own figures: the search after it is not part of them.
  const uint64_t evaluations = run->map.Evaluations;
  // A stopped method's result is not searched: its points would be counted as all there are.
  if (o.PointsWanted() && !stop.Seen)
    run->points.Analyse(run->solvers, run->method, run->glob, run->map, stop);
  else if (stop.Seen)
    run->points.Stopped();
  run->marks = o.MarksDrawn();

  try {
    auto draw = [&run](Canvas &canvas, const PixelRect &rect) {
      DrawLocusPicture(*run, canvas, rect);
    };
    if (o.Png)
      WritePngPicture(*o.Png, o.Size, draw);
    if (o.Svg)
      WriteSvgPicture(*o.Svg, o.Size, draw);
    if (o.Csv)
      WriteLocusCsv(*run->solvers.Solver(run->method), *o.Csv);
    if (o.Points)
      WritePointsCsv(run->points.Result(), *o.Points);
    if (o.Png3d)
      WritePng3d(*run, *o.Png3d, o.Size, o.View);
  } catch (const FileError &e) {
    err << "tandor-cli: " << e.what() << "\n";
    return 1;
  }
  if (o.Stats)
    WriteStats(*run, out, seconds, evaluations);
  return 0;
}

} // namespace

namespace {
volatile std::sig_atomic_t InterruptRequested = 0;
extern "C" void OnInterrupt(int) {
  InterruptRequested = 1;
}
} // namespace

InterruptControl::InterruptControl() {
  InterruptRequested = 0;
  Previous = std::signal(SIGINT, OnInterrupt);
}

InterruptControl::~InterruptControl() {
  std::signal(SIGINT, Previous);
}

bool InterruptControl::ProcessEventsAndCheckStop() {
  return InterruptRequested != 0;
}

int RunRender(int argc, char **argv, std::ostream &out, std::ostream &err, RunControl *control) {
  for (int i = 1; i < argc; ++i)
    if (std::string_view(argv[i]) == "--help" || std::string_view(argv[i]) == "-h") {
      out << Usage;
      return 0;
    }
  RenderOptions options;
  try {
    options = ParseOptions(argc, argv);
  } catch (const UsageError &e) {
    err << "tandor-cli render: " << e.what() << "\n" << Usage;
    return 2;
  }
  return Render(options, out, err, control);
}

} // namespace tandor
