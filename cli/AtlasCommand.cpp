// RunAtlas and RunAtlasMerge: tandor-cli's parameter atlas, its parts and their merge.

#include "cli/AtlasCommand.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <charconv>
#include <chrono>
#include <fstream>
#include <future>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>

#include "analysis/AtlasDrawing.h"
#include "analysis/AtlasJson.h"
#include "cli/RenderCommand.h"
#include "formula/InputError.h"
#include "problem/DataFile.h"
#include "problem/FileReplacement.h"
#include "ui/PictureFiles.h"
#include "ui/QtCanvas.h"

namespace tandor {

namespace {

constexpr const char *AtlasUsage =
    "usage: tandor-cli atlas FILE.tdr [--grid NxM] [--method descent|gradual|triangles]\n"
    "                        [--jobs N] [--seed S] [--tile PIXELS] [--part K/N]\n"
    "                        [--png OUT.png] [--json OUT.json]\n"
    "Runs the method (and the singular-point search) at the centre of every cell of an\n"
    "N x M grid over the parameter square, on N workers (--jobs, every core by default).\n"
    "  --grid NxM     columns (p) by rows (q), 1 to 64 each (6x6)\n"
    "  --seed S       seeds every tile's random numbers from S (1), so an atlas is made again\n"
    "  --tile PIXELS  the side of a tile's picture (96)\n"
    "  --part K/N     only the tiles whose index is K modulo N, for atlas-merge\n"
    "  --png OUT.png  the atlas as the window draws it\n"
    "  --json OUT.json  the tiles: p, q, records, pieces, cross_caps, triple_points,\n"
    "                 seconds and the tile's picture\n"
    "Exit status: 0 done (also when stopped by Ctrl+C), 1 input or file error, 2 usage error.\n";

constexpr const char *MergeUsage =
    "usage: tandor-cli atlas-merge PART.json... [--png OUT.png] [--json OUT.json]\n"
    "Joins the parts of one atlas (tandor-cli atlas --part K/N) into what one run would have\n"
    "written. Exit status: 0 done, 1 input or file error (parts that do not match, missing\n"
    "tiles), 2 usage error.\n";

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

int WholeNumber(std::string_view text, int low, int high, const char *what) {
  int n = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (error != std::errc() || end != text.data() + text.size() || n < low || n > high)
    throw UsageError(std::string(what) + " must be a whole number from " + std::to_string(low) +
                     " to " + std::to_string(high));
  return n;
}

std::pair<int, int> PairOf(std::string_view text, char separator, int low, int high,
                           const char *what) {
  const std::size_t at = text.find(separator);
  if (at == std::string_view::npos)
    throw UsageError(std::string(what) + " is written A" + separator + "B");
  return {WholeNumber(text.substr(0, at), low, high, what),
          WholeNumber(text.substr(at + 1), low, high, what)};
}

struct Outputs {
  std::optional<std::string> Png, Json;
};

void WriteOutputs(const AtlasFile &atlas, const Outputs &o) {
  if (o.Json)
    ReplaceFileContents(*o.Json, AtlasJson(atlas));
  if (o.Png) {
    // The labels need fonts, and fonts need an application; without a display the offscreen
    // platform serves.
    std::unique_ptr<QGuiApplication> application;
    if (QGuiApplication::instance() == nullptr) {
      if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
      static int argumentCount = 1;
      static char name[] = "tandor-cli";
      static char *arguments[] = {name, nullptr};
      application = std::make_unique<QGuiApplication>(argumentCount, arguments);
    }
    const AtlasLayout layout(atlas.Request);
    QImage image(layout.Width(), layout.Height(), QImage::Format_RGB32);
    if (image.isNull())
      throw FileError(*o.Png, "there is not enough memory for a picture of this size");
    {
      QPainter painter(&image);
      QtCanvas canvas(painter);
      DrawAtlas(canvas, atlas);
    }
    WritePngImage(*o.Png, image);
  }
}

// Waits for the workers, telling the terminal how far they are and passing Ctrl+C on.
std::vector<AtlasTile> RunWithProgress(const AtlasRequest &request, int jobs, std::ostream &err,
                                       bool terminal) {
  AtlasProgress progress;
  InterruptControl interrupt;
  auto result =
      std::async(std::launch::async, [&] { return ComputeAtlas(request, jobs, progress); });
  int total = 0;
  for (int i = 0; i < request.TileCount(); ++i)
    total += request.InPart(i) ? 1 : 0;
  while (result.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
    if (interrupt.ProcessEventsAndCheckStop())
      progress.Cancel = true;
    if (terminal)
      err << "\rtandor-cli atlas: " << progress.Done.load() << " of " << total << " tiles"
          << std::flush;
  }
  if (terminal)
    err << "\rtandor-cli atlas: " << progress.Done.load() << " of " << total << " tiles\n";
  return result.get();
}

int Atlas(int argc, char **argv, std::ostream &err) {
  AtlasFile atlas;
  AtlasRequest &request = atlas.Request;
  std::optional<std::string> file;
  Outputs outputs;
  int jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  for (int i = 1; i < argc; ++i) {
    const std::string_view word = argv[i];
    auto value = [&]() -> std::string_view {
      if (i + 1 >= argc)
        throw UsageError("'" + std::string(word) + "' needs a value");
      return argv[++i];
    };
    if (word == "--grid") {
      std::tie(request.Columns, request.Rows) = PairOf(value(), 'x', 1, 64, "the grid");
    } else if (word == "--method") {
      const std::string_view name = value();
      if (name == "descent" || name == "gradual" || name == "triangles")
        request.Method = name == "descent" ? 0 : name == "gradual" ? 1 : 2;
      else
        throw UsageError("unknown method '" + std::string(name) + "'");
    } else if (word == "--jobs") {
      jobs = WholeNumber(value(), 1, 256, "the number of jobs");
    } else if (word == "--seed") {
      const std::string_view text = value();
      const auto [end, error] =
          std::from_chars(text.data(), text.data() + text.size(), request.Seed);
      if (error != std::errc() || end != text.data() + text.size())
        throw UsageError("the seed must be a whole number from 0 to 18446744073709551615");
    } else if (word == "--tile") {
      request.TileSide = WholeNumber(value(), 8, 1024, "the tile side");
    } else if (word == "--part") {
      std::tie(request.PartIndex, request.PartCount) = PairOf(value(), '/', 0, 1 << 16, "the part");
      if (request.PartCount < 1 || request.PartIndex >= request.PartCount)
        throw UsageError("the part K/N needs 0 <= K < N");
    } else if (word == "--png") {
      outputs.Png = std::string(value());
    } else if (word == "--json") {
      outputs.Json = std::string(value());
    } else if (!word.empty() && word[0] == '-') {
      throw UsageError("unknown option '" + std::string(word) + "'");
    } else if (file) {
      throw UsageError("only one problem file");
    } else {
      file = std::string(word);
    }
  }
  if (!file)
    throw UsageError("a problem file is needed");
  if (outputs.Png && request.PartCount > 1)
    throw UsageError("a part has no picture of its own: merge the parts for one");
  try {
    request.Lines = ReadDataFile(*file);
  } catch (const DataFileError &e) {
    err << "tandor-cli: " << e.Path << ": " << e.Reason << "\n";
    return 1;
  }
  try {
    atlas.Tiles = RunWithProgress(request, jobs, err, isatty(STDERR_FILENO) == 1);
  } catch (const InputError &e) {
    err << e.what() << "\n";
    return 1;
  }
  try {
    WriteOutputs(atlas, outputs);
  } catch (const FileError &e) {
    err << "tandor-cli: " << e.what() << "\n";
    return 1;
  }
  return 0;
}

std::string ReadWhole(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw AtlasFileError("cannot be read");
  std::ostringstream text;
  text << in.rdbuf();
  if (text.str().size() > (256u << 20))
    throw AtlasFileError("is too large for an atlas part");
  return text.str();
}

int Merge(int argc, char **argv, std::ostream &err) {
  std::vector<std::string> paths;
  Outputs outputs;
  for (int i = 1; i < argc; ++i) {
    const std::string_view word = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc)
        throw UsageError("'" + std::string(word) + "' needs a value");
      return argv[++i];
    };
    if (word == "--png")
      outputs.Png = value();
    else if (word == "--json")
      outputs.Json = value();
    else if (!word.empty() && word[0] == '-')
      throw UsageError("unknown option '" + std::string(word) + "'");
    else
      paths.emplace_back(word);
  }
  if (paths.empty())
    throw UsageError("at least one part is needed");
  std::vector<AtlasFile> parts;
  for (const std::string &path : paths) {
    try {
      parts.push_back(ReadAtlasJson(ReadWhole(path)));
    } catch (const AtlasFileError &e) {
      err << "tandor-cli: " << path << ": " << e.what() << "\n";
      return 1;
    }
  }
  try {
    WriteOutputs(MergeAtlasParts(std::move(parts)), outputs);
  } catch (const AtlasFileError &e) {
    err << "tandor-cli atlas-merge: " << e.what() << "\n";
    return 1;
  } catch (const FileError &e) {
    err << "tandor-cli: " << e.what() << "\n";
    return 1;
  }
  return 0;
}

template <class Command>
int WithUsage(int argc, char **argv, std::ostream &out, std::ostream &err, const char *usage,
              const char *name, Command command) {
  for (int i = 1; i < argc; ++i)
    if (std::string_view(argv[i]) == "--help" || std::string_view(argv[i]) == "-h") {
      out << usage;
      return 0;
    }
  try {
    return command(argc, argv, err);
  } catch (const UsageError &e) {
    err << "tandor-cli " << name << ": " << e.what() << "\n" << usage;
    return 2;
  }
}

} // namespace

int RunAtlas(int argc, char **argv, std::ostream &out, std::ostream &err) {
  return WithUsage(argc, argv, out, err, AtlasUsage, "atlas", Atlas);
}

int RunAtlasMerge(int argc, char **argv, std::ostream &out, std::ostream &err) {
  return WithUsage(argc, argv, out, err, MergeUsage, "atlas-merge", Merge);
}

} // namespace tandor
