#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QString>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/RenderCommand.h"
#include "solvers/LocusRun.h"

namespace tandor {
namespace {

namespace fs = std::filesystem;

const char *const FoldLines[13] = {"u^2", "v", "u^3 - u v", "-1", "1", "-1", "1",
                                   "0",   "2", "0",         "3",  "1", "0"};

class RenderTest : public ::testing::Test {
protected:
  void SetUp() override {
    folder = fs::temp_directory_path() /
             ("tandor-render-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
  }
  void TearDown() override { fs::remove_all(folder); }

  std::string Path(const std::string &name) const { return (folder / name).string(); }

  std::string Problem(std::vector<std::pair<int, std::string>> edits = {},
                      const std::string &name = "problem.tdr") const {
    std::vector<std::string> lines(std::begin(FoldLines), std::end(FoldLines));
    for (auto &[i, text] : edits)
      lines[i] = text;
    std::ofstream out(Path(name), std::ios::binary);
    for (const auto &line : lines)
      out << line << "\r\n";
    return Path(name);
  }

  int Cli(std::vector<std::string> words, RunControl *control = nullptr) {
    words.insert(words.begin(), "tandor-cli");
    std::vector<char *> argv;
    for (auto &w : words)
      argv.push_back(w.data());
    std::ostringstream o, e;
    const int status =
        control ? RunRender(static_cast<int>(argv.size()) - 1, argv.data() + 1, o, e, control)
                : RunCli(static_cast<int>(argv.size()), argv.data(), o, e);
    out = o.str();
    err = e.str();
    return status;
  }

  static std::vector<std::vector<double>> CsvRows(const std::string &path, std::string &header) {
    std::ifstream in(path);
    std::getline(in, header);
    std::vector<std::vector<double>> rows;
    for (std::string line; std::getline(in, line);) {
      std::vector<double> row;
      std::stringstream s(line);
      for (std::string cell; std::getline(s, cell, ',');)
        row.push_back(std::stod(cell));
      rows.push_back(row);
    }
    return rows;
  }

  fs::path folder;
  std::string out, err;
};

TEST_F(RenderTest, DrawsWritesAndCountsTheFold) {
  const std::string png = Path("fold.png"), svg = Path("fold.svg"), csv = Path("fold.csv");
  // Without the mark of the fold's cross-cap at the origin, the picture is the locus alone.
  ASSERT_EQ(Cli({"render", Problem(), "--png", png, "--svg", svg, "--csv", csv, "--stats",
                 "--no-points"}),
            0)
      << err;
  EXPECT_EQ(err, "");

  const std::regex stats(R"(\{"method": "descent", "records": (\d+), "pieces": (\d+), )"
                         R"("seconds": [0-9.]+, "map_evaluations": (\d+), )"
                         R"("cross_caps": \[\[(\S+), (\S+)\]\], "triple_points": \[\]\}\n)");
  std::smatch m;
  ASSERT_TRUE(std::regex_match(out, m, stats)) << out;
  const std::size_t records = std::stoul(m[1]);
  EXPECT_GT(std::stoul(m[3]), 4986u) << "at least the thresholds and the sample table";
  EXPECT_LT(std::hypot(std::stod(m[4]), std::stod(m[5])), 1e-12);

  std::string header;
  const auto rows = CsvRows(csv, header);
  EXPECT_EQ(header, "piece_start,u1,v1,u2,v2");
  ASSERT_EQ(rows.size(), records);
  std::size_t pieces = 0;
  for (const auto &r : rows) {
    ASSERT_EQ(r.size(), 5u);
    pieces += r[0] == 1;
    // The fold identifies (u, v) with (-u, v) on v = u^2.
    EXPECT_NEAR(r[1], -r[3], 1e-6);
    EXPECT_NEAR(r[2], r[4], 1e-6);
    EXPECT_NEAR(r[2], r[1] * r[1], 1e-6);
  }
  EXPECT_EQ(pieces, std::stoul(m[2]));

  QImage image(QString::fromStdString(png));
  ASSERT_EQ(image.size(), QSize(400, 400));
  int blue = 0;
  for (int y = 0; y < 400; ++y)
    for (int x = 0; x < 400; ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c == QColor(0, 0, 255)) {
        ++blue;
        const double u = (x - 200) / 200.0, v = (200 - y) / 200.0;
        EXPECT_LT(std::abs(v - u * u), 0.03) << x << "," << y;
      } else {
        ASSERT_EQ(c, QColor(Qt::white)) << x << "," << y;
      }
    }
  EXPECT_GT(blue, 400);

  std::ifstream in(svg);
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(text.find("<svg"), std::string::npos);
  EXPECT_NE(text.find("viewBox=\"0 0 400 400\""), std::string::npos);
  EXPECT_NE(text.find("#0000ff"), std::string::npos);
}

TEST_F(RenderTest, SizeAndParameterOptions) {
  const std::string png = Path("small.png");
  ASSERT_EQ(Cli({"render", Problem(), "--png", png, "--size", "123", "-p", "pi/2", "-q", "0.5"}), 0)
      << err;
  EXPECT_EQ(QImage(QString::fromStdString(png)).size(), QSize(123, 123));
  EXPECT_EQ(out, "");
}

TEST_F(RenderTest, InputErrorsPrintTheReadsMessage) {
  const struct {
    std::vector<std::pair<int, std::string>> edits;
    std::vector<std::string> options;
    const char *message;
  } cases[] = {
      {{{3, "1"}}, {}, "The minimum of 'u' must be less than its maximum"},
      {{{5, "3"}}, {}, "The minimum of 'v' must be less than its maximum"},
      {{}, {"-p", "5"}, "p must be between its min and its max"},
      {{}, {"-q", "-1"}, "q must be between its min and its max"},
      {{}, {"-q", "cos(pi"}, "Check, please, the parentheses."},
      {{{2, ""}}, {}, "Perhaps you forgot to write something."},
      {{{0, "pu - qv"}}, {"-p", "0"}, "The first function seems to be almost constant"},
  };
  for (const auto &c : cases) {
    std::vector<std::string> words{"render", Problem(c.edits)};
    words.insert(words.end(), c.options.begin(), c.options.end());
    EXPECT_EQ(Cli(words), 1) << c.message;
    EXPECT_EQ(err, std::string(c.message) + "\n");
    EXPECT_EQ(out, "");
  }
}

TEST_F(RenderTest, FileErrorsNameTheFileAndTheReason) {
  const std::string missing = Path("missing.tdr");
  EXPECT_EQ(Cli({"render", missing}), 1);
  EXPECT_NE(err.find(missing), std::string::npos) << err;
  EXPECT_NE(err.find("No such file"), std::string::npos) << err;

  const std::string shortFile = Path("short.tdr");
  std::ofstream(shortFile) << "u\nv\n";
  EXPECT_EQ(Cli({"render", shortFile}), 1);
  EXPECT_NE(err.find("it has 2 lines; a data file has 13"), std::string::npos) << err;

  const std::string unwritable = Path("no/such/folder/out.png");
  EXPECT_EQ(Cli({"render", Problem(), "--png", unwritable}), 1);
  EXPECT_NE(err.find(unwritable), std::string::npos) << err;
  const std::string csv = Path("no/such/folder/out.csv");
  EXPECT_EQ(Cli({"render", Problem(), "--csv", csv}), 1);
  EXPECT_NE(err.find(csv), std::string::npos) << err;
  const std::string svg = Path("no/such/folder/out.svg");
  EXPECT_EQ(Cli({"render", Problem(), "--svg", svg}), 1);
  EXPECT_NE(err.find(svg), std::string::npos) << err;
  EXPECT_EQ(err.find("Success"), std::string::npos) << err;
}

TEST_F(RenderTest, UsageErrors) {
  const std::vector<std::vector<std::string>> cases{
      {"render"},
      {"render", "a.tdr", "b.tdr"},
      {"render", "a.tdr", "--size", "0"},
      {"render", "a.tdr", "--size", "12x"},
      {"render", "a.tdr", "--method", "newton"},
      {"render", "a.tdr", "--png"},
      {"render", "a.tdr", "--colour", "red"},
  };
  for (const auto &words : cases) {
    EXPECT_EQ(Cli(words), 2) << words.back();
    EXPECT_NE(err.find("usage: tandor-cli render"), std::string::npos);
  }
}

TEST_F(RenderTest, EveryMethodRunsOrIsRefusedClearly) {
  LocusSolvers solvers;
  const struct {
    const char *option;
    LocusMethod method;
  } methods[] = {{"descent", LocusMethod::Descent},
                 {"gradual", LocusMethod::Gradual},
                 {"triangles", LocusMethod::Triangles}};
  for (const auto &m : methods) {
    const int status = Cli({"render", Problem(), "--method", m.option, "--stats"});
    if (solvers.Available(m.method)) {
      EXPECT_EQ(status, 0) << m.option << err;
      EXPECT_NE(out.find(std::string("\"method\": \"") + m.option), std::string::npos);
    } else {
      EXPECT_EQ(status, 3) << m.option;
      EXPECT_EQ(err, std::string("tandor-cli: the method '") + m.option +
                         "' is not available in this build\n");
    }
  }
  // A linear first function takes the linear-case tracer whatever the method asked for.
  const int status = Cli({"render", Problem({{0, "u"}}), "--method", "descent", "--stats"});
  if (solvers.Available(LocusMethod::Linear))
    EXPECT_NE(out.find("\"method\": \"linear\""), std::string::npos);
  else
    EXPECT_EQ(status, 3);
}

class StopAtPoll : public RunControl {
public:
  explicit StopAtPoll(int stopAt) : StopAt(stopAt) {}
  bool ProcessEventsAndCheckStop() override { return ++Polls >= StopAt; }
  int StopAt, Polls = 0;
};

TEST_F(RenderTest, AStoppedRunStillWritesWhatItFound) {
  const std::string full = Path("full.csv"), part = Path("part.csv");
  ASSERT_EQ(Cli({"render", Problem(), "--csv", full}), 0);
  StopAtPoll control(300); // early in the sweep
  ASSERT_EQ(Cli({"render", Problem(), "--csv", part, "--png", Path("part.png")}, &control), 0);
  EXPECT_EQ(control.Polls, 300);
  std::string header;
  const auto fullRows = CsvRows(full, header);
  const auto partRows = CsvRows(part, header);
  EXPECT_GT(partRows.size(), 0u);
  EXPECT_LT(partRows.size(), fullRows.size());
  EXPECT_TRUE(fs::exists(Path("part.png")));
}

// Every output is written through a temporary file beside it: a write that fails leaves the
// target as it was and nothing else behind.
struct OutputKind {
  const char *option, *name;
  bool (*complete)(const std::string &path);
};

std::string Contents(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

bool CompletePng(const std::string &path) {
  return QImage(QString::fromStdString(path), "PNG").size() == QSize(400, 400);
}

bool CompleteSvg(const std::string &path) {
  const std::string text = Contents(path);
  return text.starts_with("<?xml") && text.ends_with("</svg>\n");
}

bool CompleteCsv(const std::string &path) {
  const std::string text = Contents(path);
  if (!text.starts_with("piece_start,u1,v1,u2,v2\n") || !text.ends_with('\n'))
    return false;
  std::stringstream rows(text);
  std::size_t count = 0;
  for (std::string row; std::getline(rows, row); ++count)
    if (std::count(row.begin(), row.end(), ',') != 4)
      return false;
  return count > 1;
}

void PrintTo(const OutputKind &kind, std::ostream *os) {
  *os << kind.option;
}

const OutputKind Outputs[] = {{"--png", "out.png", CompletePng},
                              {"--svg", "out.svg", CompleteSvg},
                              {"--csv", "out.csv", CompleteCsv},
                              {"--png3d", "out3d.png", CompletePng}};

// While it lives, a file this process writes cannot grow past the given size: the write fails
// with "File too large", whatever the user's privileges.
class FileSizeLimit {
public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &Old);
    Handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = Old;
    small.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &small);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &Old);
    std::signal(SIGXFSZ, Handler);
  }

private:
  rlimit Old{};
  void (*Handler)(int) = nullptr;
};

class OutputFile : public RenderTest, public ::testing::WithParamInterface<OutputKind> {
protected:
  void TearDown() override {
    for (const auto &entry : fs::recursive_directory_iterator(folder))
      if (entry.is_directory())
        fs::permissions(entry.path(), fs::perms::owner_all);
    RenderTest::TearDown();
  }
  std::set<std::string> Entries(const fs::path &in) const {
    std::set<std::string> names;
    for (const auto &entry : fs::directory_iterator(in))
      names.insert(entry.path().filename().string());
    return names;
  }
};

TEST_P(OutputFile, AWriteThatFailsKeepsTheOldTargetAndLeavesNoTemporaryFile) {
  const OutputKind &kind = GetParam();
  const std::string problem = Problem(), target = Path(kind.name);
  std::ofstream(target, std::ios::binary) << "old content\n";
  {
    FileSizeLimit limit(100); // the write fails half-way
    EXPECT_EQ(Cli({"render", problem, kind.option, target}), 1);
  }
  EXPECT_EQ(err.rfind("tandor-cli: " + target + ": ", 0), 0u) << err;
  EXPECT_NE(err.find("File too large"), std::string::npos) << err;
  EXPECT_EQ(Contents(target), "old content\n");
  EXPECT_EQ(Entries(folder), (std::set<std::string>{"problem.tdr", kind.name}));

  // Without the limit the same target is replaced whole.
  ASSERT_EQ(Cli({"render", problem, kind.option, target}), 0) << err;
  EXPECT_TRUE(kind.complete(target));
  EXPECT_EQ(Entries(folder), (std::set<std::string>{"problem.tdr", kind.name}));
}

TEST_P(OutputFile, ATargetThatIsAFolderStaysAsItWas) {
  const OutputKind &kind = GetParam();
  const std::string problem = Problem(), target = Path(kind.name);
  fs::create_directory(target);
  std::ofstream(target + "/inside") << "kept\n";
  EXPECT_EQ(Cli({"render", problem, kind.option, target}), 1);
  EXPECT_EQ(err, "tandor-cli: " + target + ": Is a directory\n");
  EXPECT_EQ(Contents(target + "/inside"), "kept\n");
  EXPECT_EQ(Entries(folder), (std::set<std::string>{"problem.tdr", kind.name}));
}

TEST_P(OutputFile, AFolderThatCannotBeWrittenIsNamedWithItsReason) {
  const OutputKind &kind = GetParam();
  const std::string problem = Problem();
  const fs::path locked = folder / "locked";
  fs::create_directory(locked);
  const std::string target = (locked / kind.name).string();
  std::ofstream(target, std::ios::binary) << "old content\n";
  fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
  if (access(locked.c_str(), W_OK) == 0)
    GTEST_SKIP() << "this user writes into any folder";
  EXPECT_EQ(Cli({"render", problem, kind.option, target}), 1);
  EXPECT_EQ(err, "tandor-cli: " + target + ": Permission denied\n");
  EXPECT_EQ(Contents(target), "old content\n");
  EXPECT_EQ(Entries(locked), (std::set<std::string>{kind.name}));
}

INSTANTIATE_TEST_SUITE_P(Cli, OutputFile, ::testing::ValuesIn(Outputs),
                         [](const ::testing::TestParamInfo<OutputKind> &info) {
                           return std::string(info.param.option + 2);
                         });

// Ctrl+C ends the computation early; the outputs of what was found are still written whole, and
// a Ctrl+C that comes while they are written does not end the program half-way.
class CtrlCAtPoll : public RunControl {
public:
  explicit CtrlCAtPoll(int at) : At(at) {}
  bool ProcessEventsAndCheckStop() override {
    if (++Polls < At)
      return false;
    std::raise(SIGINT);
    return true;
  }
  int At, Polls = 0;
};

TEST_F(RenderTest, CtrlCStillWritesEveryOutputWhole) {
  const std::string problem = Problem();
  const std::string png = Path("out.png"), svg = Path("out.svg"), csv = Path("out.csv");
  EXPECT_EXIT(
      {
        CtrlCAtPoll control(300);
        std::exit(Cli({"render", problem, "--png", png, "--svg", svg, "--csv", csv}, &control));
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_TRUE(CompletePng(png));
  EXPECT_TRUE(CompleteSvg(svg));
  EXPECT_TRUE(CompleteCsv(csv));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 4) << "no temporary file is left";
}

TEST(InterruptControl, CtrlCRequestsAStopWhileTheRunLasts) {
  const auto before = std::signal(SIGINT, SIG_IGN);
  {
    InterruptControl control;
    EXPECT_FALSE(control.ProcessEventsAndCheckStop());
    std::raise(SIGINT);
    EXPECT_TRUE(control.ProcessEventsAndCheckStop());
  }
  EXPECT_EQ(std::signal(SIGINT, before), SIG_IGN) << "the previous handler is back";
  InterruptControl fresh;
  EXPECT_FALSE(fresh.ProcessEventsAndCheckStop()) << "a new run starts without a request";
}

} // namespace
} // namespace tandor
