// tandor-cli render (Render, InterruptControl): a data file read, one method run, its picture,
// drawing and record list written.

#include "cli/RenderCommand.h"

#include <QIODevice>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgGenerator>

#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "formula/MapFunctions.h"
#include "problem/DataFile.h"
#include "problem/FileReplacement.h"
#include "problem/Glob.h"
#include "problem/ReadData.h"
#include "solvers/LocusRun.h"
#include "ui/QtCanvas.h"

namespace tandor {

namespace {

constexpr const char *Usage =
    "usage: tandor-cli render FILE.tdr [--method descent|gradual|triangles] [-p P] [-q Q]\n"
    "                         [--png OUT.png] [--svg OUT.svg] [--size N] [--csv OUT.csv] "
    "[--stats]\n"
    "                         [--seed N] [--jobs N]\n"
    "Reads the problem's 13 lines and computes its double-point locus with the method in\n"
    "force (the linear-case tracer when x(u,v) is linear proper, otherwise --method,\n"
    "descent by default).\n"
    "  -p P, -q Q     replace the parameter values (any constant formula)\n"
    "  --png OUT.png  the picture as the window draws it, N x N pixels (--size, 400)\n"
    "  --svg OUT.svg  the same drawing as vector graphics\n"
    "  --csv OUT.csv  the computed locus, 17 significant digits\n"
    "  --stats        one JSON line: method, records, pieces, seconds, map_evaluations,\n"
    "                 and the seed for the methods that draw random numbers\n"
    "  --seed N       seeds Gradual Descent's projection and the triangle grid (a whole\n"
    "                 number from 0 to 2^64 - 1), so that a run can be made again; without\n"
    "                 it the clock seeds them\n"
    "  --jobs N       threads for Triangles Intersection (1 to 256; every core by default);\n"
    "                 the result is the same with any number\n"
    "Exit status: 0 done (also when stopped by Ctrl+C), 1 input or file error, 2 usage "
    "error,\n3 method not available.\n";

struct RenderOptions {
  std::string File;
  int Method = 0;
  std::optional<std::string> P, Q;
  std::optional<std::string> Png, Svg, Csv;
  int Size = 400;
  bool Stats = false;
  std::optional<uint64_t> Seed;
  std::optional<int> Jobs;
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
  if (error != std::errc() || end != text.data() + text.size() || n < 1 || n > 16384)
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
    else if (word == "--size")
      o.Size = SizeOf(value());
    else if (word == "--stats")
      o.Stats = true;
    else if (word == "--seed")
      o.Seed = SeedOf(value());
    else if (word == "--jobs")
      o.Jobs = JobsOf(value());
    else if (!haveFile && !(word.size() > 1 && word[0] == '-')) {
      o.File = word;
      haveFile = true;
    } else
      throw UsageError("unexpected argument '" + std::string(word) + "'");
  }
  if (!haveFile)
    throw UsageError("no data file given");
  return o;
}

// For vector output: whole lines instead of the raster line's pixels.
class VectorCanvas final : public Canvas {
public:
  explicit VectorCanvas(QPainter &painter) : Painter(painter), Inner(painter) {}
  void SetBrush(Rgb c) override { Inner.SetBrush(c); }
  void SetBrushClear() override { Inner.SetBrushClear(); }
  void FillRect(const PixelRect &r) override { Inner.FillRect(r); }
  void SetPen(Rgb c, int w, PenMode m) override {
    Inner.SetPen(c, w, m);
    Pen = QPen(ToQColor(c), w < 1 ? 1 : w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  }
  void MoveTo(int x, int y) override {
    Inner.MoveTo(x, y);
    Current = QPoint(x, y);
  }
  void LineTo(int x, int y) override {
    Inner.MoveTo(x, y);
    Painter.setPen(Pen);
    Painter.drawLine(Current, QPoint(x, y));
    Current = QPoint(x, y);
  }
  void Ellipse(int l, int t, int r, int b) override { Inner.Ellipse(l, t, r, b); }
  void SetPixel(int x, int y, Rgb c) override { Inner.SetPixel(x, y, c); }
  void SetFont(const FontSpec &f) override { Inner.SetFont(f); }
  void TextOut(int x, int y, std::string_view t) override { Inner.TextOut(x, y, t); }
  int TextWidth(std::string_view t) override { return Inner.TextWidth(t); }
  void SetClipRect(const PixelRect &r) override { Inner.SetClipRect(r); }
  void ClearClip() override { Inner.ClearClip(); }

private:
  QPainter &Painter;
  QtCanvas Inner;
  QPen Pen;
  QPoint Current;
};

struct Run {
  Glob glob;
  MapFunctions map;
  LocusSolvers solvers;
  LocusMethod method = LocusMethod::None;
};

// Qt's writers want a device: this one passes what they write on to a file replacement and
// keeps the first failure, which Qt's writers do not always report.
class ReplacementDevice final : public QIODevice {
public:
  explicit ReplacementDevice(FileReplacement &file) : File(file) { open(QIODevice::WriteOnly); }
  bool isSequential() const override { return true; }
  std::optional<FileError> Failure;

protected:
  qint64 readData(char *, qint64) override { return -1; }
  qint64 writeData(const char *data, qint64 size) override {
    if (Failure)
      return -1;
    try {
      File.Write(std::string_view(data, static_cast<std::size_t>(size)));
    } catch (const FileError &e) {
      Failure = e;
      return -1;
    }
    return size;
  }

private:
  FileReplacement &File;
};

// The target changes only when everything was written. write(device) answers whether Qt's
// writer succeeded; a failure of the file itself is reported with the system's reason.
template <class Writer>
void WriteThroughQt(const std::string &path, Writer write, const char *failure) {
  FileReplacement file(path);
  ReplacementDevice device(file);
  const bool written = write(device);
  if (device.Failure)
    throw *device.Failure;
  if (!written)
    throw FileError(path, failure);
  file.Commit();
}

void WritePng(Run &run, const std::string &path, int size) {
  QImage image(size, size, QImage::Format_RGB32);
  if (image.isNull())
    throw FileError(path, "there is not enough memory for a picture of this size");
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    QtCanvas canvas(painter);
    canvas.SetBrush(White);
    run.solvers.Draw(run.method, canvas, {0, 0, size, size}, true, run.glob);
  }
  WriteThroughQt(
      path, [&](QIODevice &device) { return image.save(&device, "PNG"); },
      "the picture could not be written");
}

bool DrawSvg(Run &run, QIODevice &device, int size) {
  QSvgGenerator generator;
  generator.setOutputDevice(&device);
  generator.setSize(QSize(size, size));
  generator.setViewBox(QRect(0, 0, size, size));
  generator.setTitle("Double-point locus");
  QPainter painter;
  if (!painter.begin(&generator))
    return false;
  {
    VectorCanvas canvas(painter);
    canvas.SetBrush(White);
    run.solvers.Draw(run.method, canvas, {0, 0, size, size}, false, run.glob);
  }
  return painter.end();
}

void WriteSvg(Run &run, const std::string &path, int size) {
  WriteThroughQt(
      path, [&](QIODevice &device) { return DrawSvg(run, device, size); },
      "the drawing could not be written");
}

std::string Number17(double value) {
  char buffer[40];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 17);
  return std::string(buffer, result.ptr);
}

// Rows go out in blocks: a large locus needs neither a write per row nor all of its text in
// memory at once.
class BlockWriter {
public:
  explicit BlockWriter(FileReplacement &file) : File(file) {}
  void Row(std::initializer_list<std::string> cells) {
    const char *separator = "";
    for (const std::string &cell : cells) {
      Block += separator;
      Block += cell;
      separator = ",";
    }
    Block += '\n';
    if (Block.size() >= BlockSize)
      Flush();
  }
  void Flush() {
    File.Write(Block);
    Block.clear();
  }

private:
  static constexpr std::size_t BlockSize = 1 << 16;
  FileReplacement &File;
  std::string Block;
};

void WriteCsv(const Run &run, const std::string &path) {
  FileReplacement file(path);
  BlockWriter out(file);
  const LocusMethodSolver *solver = run.solvers.Solver(run.method);
  if (const auto *trace = solver->TracePoints()) {
    out.Row({"piece_start", "u1", "v1", "u2", "v2"});
    for (const TracePoint &t : *trace)
      out.Row({std::to_string(t.PieceStart), Number17(t.Pair[0]), Number17(t.Pair[1]),
               Number17(t.Pair[2]), Number17(t.Pair[3])});
  } else {
    out.Row({"u1", "v1", "u2", "v2"});
    for (std::size_t i = 0; i < solver->SegmentCount(); ++i) {
      const Vector4 s = solver->Segment(i);
      out.Row({Number17(s[0]), Number17(s[1]), Number17(s[2]), Number17(s[3])});
    }
  }
  out.Flush();
  file.Commit();
}

void WriteStats(const Run &run, std::ostream &out, double seconds) {
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
      << ", \"map_evaluations\": " << run.map.Evaluations;
  if (const std::optional<uint64_t> seed = solver->SeedUsed())
    out << ", \"seed\": " << *seed;
  out << "}\n";
}

int Render(const RenderOptions &o, std::ostream &out, std::ostream &err, RunControl *control) {
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
  run->solvers.SetSeed(o.Seed);
  if (o.Jobs)
    run->solvers.SetThreads(*o.Jobs);
  run->map.Evaluations = 0;
  const auto start = std::chrono::steady_clock::now();
  run->solvers.Compute(run->method, run->glob, run->map, control ? *control : interrupt);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  try {
    if (o.Png)
      WritePng(*run, *o.Png, o.Size);
    if (o.Svg)
      WriteSvg(*run, *o.Svg, o.Size);
    if (o.Csv)
      WriteCsv(*run, *o.Csv);
  } catch (const FileError &e) {
    err << "tandor-cli: " << e.what() << "\n";
    return 1;
  }
  if (o.Stats)
    WriteStats(*run, out, seconds);
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
