// The singular points in tandor-cli render, end to end: the --stats keys, the --points file, the
// marks in the pictures and --no-points, on maps whose points are known by hand.

#include <gtest/gtest.h>

#include <QImage>
#include <QString>

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/RenderCommand.h"

namespace tandor {
namespace {

namespace fs = std::filesystem;

// (u, v^2, v^3 + (u^2 - p) v) with p = 1/2 pinches at (+-sqrt(1/2), 0).
const std::vector<std::string> TwoCrossCaps{
    "u", "v^2", "v^3+(u^2-p)v", "-1", "1", "-1", "1", "0", "1", "0", "1", "0.5", "0"};
// (u, v^3 - v, (u^2 - 2) v^2 + v^4): (u, -1), (u, 0), (u, 1) share their image where u^2 = 1;
// cross-caps at u^2 = 4/3, v^2 = 1/3.
const std::vector<std::string> TwoTriplePoints{
    "u", "v^3 - v", "(u^2 - 2) v^2 + v^4", "-1.5", "1.5", "-1.4", "1.4", "0", "1", "0", "1",
    "0", "0"};
// (v, u^2, v^2) folds D along u = 0, where Fu vanishes.
const std::vector<std::string> Fold{"v", "u^2", "v^2", "-1", "1", "-1", "1",
                                    "0", "1",   "0",   "1",  "0", "0"};

class PointsTest : public ::testing::Test {
protected:
  void SetUp() override {
    folder = fs::temp_directory_path() /
             ("tandor-points-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
  }
  void TearDown() override { fs::remove_all(folder); }

  std::string Path(const std::string &name) const { return (folder / name).string(); }
  std::string Problem(const std::vector<std::string> &lines) const {
    std::ofstream out(Path("problem.tdr"), std::ios::binary);
    for (const auto &line : lines)
      out << line << "\n";
    return Path("problem.tdr");
  }
  int Cli(std::vector<std::string> words) {
    words.insert(words.begin(), "tandor-cli");
    std::vector<char *> argv;
    for (auto &w : words)
      argv.push_back(w.data());
    std::ostringstream o, e;
    const int status = RunCli(static_cast<int>(argv.size()), argv.data(), o, e);
    out = o.str();
    err = e.str();
    return status;
  }
  // The numbers of a JSON array value of the stats line, in order, whatever the nesting.
  std::vector<double> Numbers(const std::string &key) const {
    const std::size_t at = out.find("\"" + key + "\": [");
    EXPECT_NE(at, std::string::npos) << key << " in " << out;
    if (at == std::string::npos)
      return {};
    std::size_t end = at + key.size() + 4;
    for (int depth = 0; end < out.size(); ++end) {
      depth += out[end] == '[' ? 1 : out[end] == ']' ? -1 : 0;
      if (depth == 0)
        break;
    }
    const std::string array = out.substr(at + key.size() + 4, end - at - key.size() - 3);
    std::vector<double> values;
    const std::regex number(R"(-?[0-9][0-9.e+-]*)");
    for (auto it = std::sregex_iterator(array.begin(), array.end(), number);
         it != std::sregex_iterator(); ++it)
      values.push_back(std::stod(it->str()));
    return values;
  }

  fs::path folder;
  std::string out, err;
};

TEST_F(PointsTest, TheStatsLineGivesTheCrossCapsAndTriplePoints) {
  const double r = std::sqrt(0.5);
  for (const char *method : {"descent", "gradual", "triangles"}) {
    SCOPED_TRACE(method);
    // x = u makes the linear case; u + 0v^2 is not linear proper and lets the method run.
    std::vector<std::string> lines = TwoCrossCaps;
    lines[0] = "u + 0v^2";
    ASSERT_EQ(Cli({"render", Problem(lines), "--method", method, "--stats", "--seed", "1"}), 0)
        << err;
    const std::vector<double> caps = Numbers("cross_caps");
    ASSERT_EQ(caps.size(), 4u) << out;
    EXPECT_NEAR(caps[0], -r, 1e-12);
    EXPECT_NEAR(caps[1], 0, 1e-12);
    EXPECT_NEAR(caps[2], r, 1e-12);
    EXPECT_NEAR(caps[3], 0, 1e-12);
    EXPECT_TRUE(std::regex_search(out, std::regex(R"("triple_points": \[\](, "seed": 1)?\}\n$)")))
        << out;
    EXPECT_EQ(out.find("singular_curve"), std::string::npos);
  }

  ASSERT_EQ(Cli({"render", Problem(TwoTriplePoints), "--stats"}), 0) << err;
  const std::vector<double> triples = Numbers("triple_points");
  const double expected[] = {-1, -1, -1, 0, -1, 1, 1, -1, 1, 0, 1, 1};
  ASSERT_EQ(triples.size(), std::size(expected)) << out;
  for (std::size_t k = 0; k < triples.size(); ++k)
    EXPECT_NEAR(triples[k], expected[k], 1e-12) << k;
  EXPECT_EQ(Numbers("cross_caps").size(), 8u);
  // 17 significant digits: sqrt(4/3) written to the last bit.
  const std::regex seventeen(R"(\[-1\.15470053837925\d\d, )");
  EXPECT_TRUE(std::regex_search(out, seventeen)) << out;

  ASSERT_EQ(Cli({"render", Problem(Fold), "--stats"}), 0) << err;
  EXPECT_NE(out.find("\"cross_caps\": [], \"triple_points\": [], \"singular_curve\": true}"),
            std::string::npos)
      << out;
}

TEST_F(PointsTest, ThePointsFileHasARowPerPointWithItsImage) {
  const std::string csv = Path("points.csv");
  ASSERT_EQ(Cli({"render", Problem(TwoTriplePoints), "--points", csv}), 0) << err;
  EXPECT_EQ(out, "");
  std::ifstream in(csv);
  std::string header;
  std::getline(in, header);
  EXPECT_EQ(header, "kind,u,v,x,y,z");
  std::vector<std::string> kinds;
  std::vector<std::vector<double>> rows;
  for (std::string line; std::getline(in, line);) {
    std::stringstream cells(line);
    std::string kind;
    std::getline(cells, kind, ',');
    kinds.push_back(kind);
    std::vector<double> row;
    for (std::string cell; std::getline(cells, cell, ',');)
      row.push_back(std::stod(cell));
    ASSERT_EQ(row.size(), 5u) << line;
    rows.push_back(row);
  }
  ASSERT_EQ(rows.size(), 4u + 2 * 3u);
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const double u = rows[k][0], v = rows[k][1];
    EXPECT_EQ(kinds[k], k < 4 ? "cross-cap" : "triple") << k;
    // Each row's image is F at its point.
    EXPECT_NEAR(rows[k][2], u, 1e-12) << k;
    EXPECT_NEAR(rows[k][3], v * v * v - v, 1e-12) << k;
    EXPECT_NEAR(rows[k][4], (u * u - 2) * v * v + v * v * v * v, 1e-12) << k;
  }
  // The three rows of a triple point follow each other, over one u.
  for (std::size_t k = 4; k < rows.size(); k += 3) {
    EXPECT_NEAR(rows[k][0], rows[k + 1][0], 1e-12);
    EXPECT_NEAR(rows[k][0], rows[k + 2][0], 1e-12);
    EXPECT_NEAR(rows[k][1], -1, 1e-12);
    EXPECT_NEAR(rows[k + 1][1], 0, 1e-12);
    EXPECT_NEAR(rows[k + 2][1], 1, 1e-12);
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 2) << "no temporary file is left";

  // A target that cannot be replaced is named, and stays as it was.
  fs::create_directory(Path("taken.csv"));
  EXPECT_EQ(Cli({"render", Problem(TwoTriplePoints), "--points", Path("taken.csv")}), 1);
  EXPECT_EQ(err, "tandor-cli: " + Path("taken.csv") + ": Is a directory\n");
  EXPECT_TRUE(fs::is_directory(Path("taken.csv")));
}

// Stops at the given poll, as Ctrl+C would.
class StopAtPoll final : public RunControl {
public:
  explicit StopAtPoll(int at) : At(at) {}
  bool ProcessEventsAndCheckStop() override { return ++Polls >= At; }
  int At, Polls = 0;
};

TEST_F(PointsTest, AStoppedRunOrSearchSaysItsListsAreIncomplete) {
  std::vector<std::string> lines = TwoCrossCaps;
  lines[0] = "u + 0v^2"; // the descent method polls
  const std::string problem = Problem(lines);
  auto render = [&](RunControl &control, std::vector<std::string> options) {
    std::vector<std::string> words{"render", problem};
    words.insert(words.end(), options.begin(), options.end());
    std::vector<char *> argv;
    for (auto &w : words)
      argv.push_back(w.data());
    std::ostringstream o, e;
    const int status = RunRender(static_cast<int>(argv.size()), argv.data(), o, e, &control);
    out = o.str();
    return status;
  };
  const std::vector<std::string> both{"--stats", "--points", Path("p.csv")};
  // Stopped in the method: nothing is searched, and the line says so.
  StopAtPoll early(5);
  ASSERT_EQ(render(early, both), 0);
  EXPECT_EQ(early.Polls, 5) << "the search does not ask again";
  EXPECT_NE(out.find("\"cross_caps\": [], \"triple_points\": [], "
                     "\"singular_points_complete\": false}"),
            std::string::npos)
      << out;
  std::ifstream in(Path("p.csv"));
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(text, "kind,u,v,x,y,z\n");

  // Stopped at the search's first poll, after all of the method's: the search ends there.
  StopAtPoll never(1 << 30);
  ASSERT_EQ(render(never, {"--csv", Path("l.csv")}), 0);
  const int methodPolls = never.Polls;
  StopAtPoll inSearch(methodPolls + 1);
  ASSERT_EQ(render(inSearch, both), 0);
  EXPECT_EQ(inSearch.Polls, methodPolls + 1);
  EXPECT_NE(out.find("\"singular_points_complete\": false}"), std::string::npos) << out;
  StopAtPoll unstopped(1 << 30);
  ASSERT_EQ(render(unstopped, both), 0);
  EXPECT_GT(unstopped.Polls, methodPolls) << "the search polls too";
  EXPECT_EQ(out.find("singular_points_complete"), std::string::npos) << out;
}

// The pixels of an image that are black.
std::vector<QPoint> BlackPixels(const QImage &image) {
  std::vector<QPoint> black;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixelColor(x, y) == QColor(Qt::black))
        black.emplace_back(x, y);
  return black;
}

TEST_F(PointsTest, ThePicturesShowTheMarksUnlessAskedNotTo) {
  const std::string marked = Path("marked.png"), plain = Path("plain.png");
  const std::string svgMarked = Path("marked.svg"), svgPlain = Path("plain.svg");
  ASSERT_EQ(Cli({"render", Problem(TwoCrossCaps), "--png", marked, "--svg", svgMarked}), 0) << err;
  ASSERT_EQ(
      Cli({"render", Problem(TwoCrossCaps), "--png", plain, "--svg", svgPlain, "--no-points"}), 0)
      << err;
  const QImage withMarks(QString::fromStdString(marked)), without(QString::fromStdString(plain));
  ASSERT_EQ(withMarks.size(), QSize(400, 400));
  EXPECT_TRUE(BlackPixels(without).empty());
  // Two filled discs of radius 3 at (58.6, 200) and (341.4, 200), and nothing else black.
  const std::vector<QPoint> black = BlackPixels(withMarks);
  EXPECT_GT(black.size(), 40u);
  for (const QPoint &p : black)
    EXPECT_TRUE(std::abs(p.y() - 200) <= 3 &&
                (std::abs(p.x() - 59) <= 3 || std::abs(p.x() - 341) <= 3))
        << p.x() << "," << p.y();
  for (const QPoint &centre : {QPoint(59, 200), QPoint(341, 200)})
    EXPECT_EQ(withMarks.pixelColor(centre), QColor(Qt::black));
  // Away from the marks the pictures are the same.
  for (int y = 0; y < 400; ++y)
    for (int x = 0; x < 400; ++x)
      if (std::abs(y - 200) > 4) {
        ASSERT_EQ(withMarks.pixel(x, y), without.pixel(x, y)) << x << "," << y;
      }

  std::ifstream a(svgMarked), b(svgPlain);
  const std::string markedText((std::istreambuf_iterator<char>(a)), {});
  const std::string plainText((std::istreambuf_iterator<char>(b)), {});
  EXPECT_NE(markedText, plainText);
  EXPECT_NE(markedText.find("fill=\"#000000\""), std::string::npos);
  EXPECT_EQ(plainText.find("fill=\"#000000\""), std::string::npos);
}

// The gallery's index promises, for each example at some (p, q), how many cross-caps and triple
// points lie in D (derived by hand in examples/DERIVATIONS.md): every method's run finds
// exactly those, and never a curve where points are promised.
struct GalleryCheck {
  std::string Name, P, Q;
  int CrossCaps = -1, Triples = -1; // -1: nothing promised
};

std::vector<GalleryCheck> GalleryChecks(const fs::path &folder) {
  std::ifstream in(folder / "index.txt");
  std::vector<GalleryCheck> checks;
  std::string name;
  const std::regex check(R"(check\s*=\s*(\S+)\s+(\S+)\s+(\S+)\s+(\S+)\s*)");
  for (std::string line; std::getline(in, line);) {
    std::smatch m;
    if (line.starts_with('['))
      name = line.substr(1, line.find(']') - 1);
    else if (std::regex_match(line, m, check)) {
      auto count = [](const std::string &text) { return text == "-" ? -1 : std::stoi(text); };
      checks.push_back({name, m[1], m[2], count(m[3]), count(m[4])});
    }
  }
  return checks;
}

class GalleryPoints : public PointsTest, public ::testing::WithParamInterface<const char *> {};

TEST_P(GalleryPoints, EveryMethodFindsWhatTheGalleryPromises) {
  const char *source = std::getenv("TANDOR_SOURCE_DIR");
  const fs::path folder = fs::path(source != nullptr ? source : ".") / "examples";
  const std::vector<GalleryCheck> checks = GalleryChecks(folder);
  ASSERT_GE(checks.size(), 50u) << "examples/index.txt is missing or short";
  for (const GalleryCheck &c : checks) {
    SCOPED_TRACE(c.Name + " at p = " + c.P + ", q = " + c.Q);
    ASSERT_EQ(Cli({"render", (folder / (c.Name + ".tdr")).string(), "-p", c.P, "-q", c.Q,
                   "--method", GetParam(), "--seed", "1", "--stats"}),
              0)
        << err;
    EXPECT_EQ(out.find("singular_curve"), std::string::npos) << out;
    if (c.CrossCaps >= 0) {
      EXPECT_EQ(Numbers("cross_caps").size(), 2u * c.CrossCaps) << out;
    }
    if (c.Triples >= 0) {
      EXPECT_EQ(Numbers("triple_points").size(), 6u * c.Triples) << out;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cli, GalleryPoints, ::testing::Values("descent", "gradual", "triangles"),
                         [](const ::testing::TestParamInfo<const char *> &info) {
                           return std::string(info.param);
                         });

} // namespace
} // namespace tandor
