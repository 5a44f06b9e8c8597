// The computed loci of the problems in tests/data, pinned byte for byte: every method's CSV
// output, with a fixed seed, must hash to the value recorded in tests/data/golden-csv.txt.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QCryptographicHash>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"

namespace tandor {
namespace {

namespace fs = std::filesystem;

fs::path DataFolder() {
  const char *source = std::getenv("TANDOR_SOURCE_DIR");
  return fs::path(source != nullptr ? source : ".") / "tests" / "data";
}

struct GoldenLine {
  std::string File, Method, Hash;
};

std::vector<GoldenLine> GoldenList() {
  std::ifstream in(DataFolder() / "golden-csv.txt");
  std::vector<GoldenLine> lines;
  for (std::string text; std::getline(in, text);) {
    if (text.empty() || text[0] == '#')
      continue;
    std::istringstream words(text);
    GoldenLine line;
    words >> line.File >> line.Method >> line.Hash;
    lines.push_back(line);
  }
  return lines;
}

std::string Sha256OfFile(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Sha256)
      .toHex()
      .toStdString();
}

class GoldenOutput : public ::testing::Test {
protected:
  void SetUp() override {
    folder = fs::temp_directory_path() / ("tandor-golden-" + std::to_string(::getpid()));
    fs::create_directories(folder);
  }
  void TearDown() override { fs::remove_all(folder); }

  int Render(std::vector<std::string> words) {
    words.insert(words.begin(), {"tandor-cli", "render"});
    std::vector<char *> argv;
    for (auto &w : words)
      argv.push_back(w.data());
    std::ostringstream o, e;
    const int status = RunCli(static_cast<int>(argv.size()), argv.data(), o, e);
    out = o.str();
    err = e.str();
    return status;
  }

  // The hash of the CSV of one run, which must have used the method named: a linear problem
  // takes the linear case whatever method it is given.
  std::string CsvHash(const std::string &file, const std::string &method, const std::string &seed,
                      const std::vector<std::string> &more = {}) {
    const std::string csv = (folder / "out.csv").string();
    std::vector<std::string> words{
        (DataFolder() / file).string(), "--seed", seed, "--csv", csv, "--stats"};
    words.insert(words.end(), more.begin(), more.end());
    if (method != "linear")
      words.insert(words.end(), {"--method", method});
    EXPECT_EQ(Render(words), 0) << file << " " << method << ": " << err;
    EXPECT_NE(out.find("\"method\": \"" + method + "\""), std::string::npos) << file << ": " << out;
    return Sha256OfFile(csv);
  }

  fs::path folder;
  std::string out, err;
};

TEST_F(GoldenOutput, EveryProblemAndMethodGivesTheRecordedBytes) {
  const std::vector<GoldenLine> list = GoldenList();
  ASSERT_GE(list.size(), 12u) << "tests/data/golden-csv.txt is missing or short";
  std::set<std::string> listed;
  for (const GoldenLine &line : list) {
    listed.insert(line.File);
    EXPECT_EQ(CsvHash(line.File, line.Method, "1"), line.Hash)
        << "the result of " << line.File << " with " << line.Method << " changed";
  }
  // A problem added to the folder without its hashes would be pinned by nothing.
  for (const auto &entry : fs::directory_iterator(DataFolder())) {
    if (entry.path().extension() != ".tdr")
      continue;
    EXPECT_TRUE(listed.count(entry.path().filename().string()))
        << entry.path().filename() << " has no line in golden-csv.txt";
  }
}

// The triangle method's pair loop on one thread or on two gives the same list in the same order.
TEST_F(GoldenOutput, TrianglesGiveTheRecordedBytesOnOneThreadAndOnTwo) {
  int checked = 0;
  for (const GoldenLine &line : GoldenList()) {
    if (line.Method != "triangles")
      continue;
    for (const char *jobs : {"1", "2"})
      EXPECT_EQ(CsvHash(line.File, line.Method, "1", {"--jobs", jobs}), line.Hash)
          << line.File << " with " << jobs << " threads";
    ++checked;
  }
  EXPECT_GE(checked, 5);
  // Another seed: the threads agree with each other.
  EXPECT_EQ(CsvHash("klein-bottle.tdr", "triangles", "99", {"--jobs", "1"}),
            CsvHash("klein-bottle.tdr", "triangles", "99", {"--jobs", "2"}));
  const std::string file = (DataFolder() / "fold.tdr").string();
  for (const char *bad : {"0", "-2", "x", "257", ""}) {
    EXPECT_EQ(Render({file, "--jobs", bad}), 2) << bad;
    EXPECT_NE(err.find("the number of jobs must be a whole number from 1 to 256"),
              std::string::npos)
        << err;
  }
}

// Without --seed the clock seeds the run, and --stats tells the seed: given back, it repeats
// the run exactly. The methods that draw nothing report no seed.
TEST_F(GoldenOutput, TheReportedSeedRepeatsAClockSeededRun) {
  const std::regex seedField(R"(, "seed": (\d+)\}\n$)");
  for (const std::string method : {"gradual", "triangles"}) {
    const std::string first = (folder / "first.csv").string();
    ASSERT_EQ(Render({(DataFolder() / "wavy.tdr").string(), "--method", method, "--stats", "--csv",
                      first}),
              0)
        << err;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(out, m, seedField)) << out;
    const std::string again = Sha256OfFile(first);
    EXPECT_EQ(CsvHash("wavy.tdr", method, m[1]), again) << method << " with seed " << m[1];
  }
  for (const std::string method : {"descent", "linear"}) {
    const std::string file = method == "linear" ? "default.tdr" : "wavy.tdr";
    std::vector<std::string> words{(DataFolder() / file).string(), "--stats", "--seed", "5"};
    if (method != "linear")
      words.insert(words.end(), {"--method", method});
    ASSERT_EQ(Render(words), 0) << err;
    EXPECT_EQ(out.find("seed"), std::string::npos) << out;
  }
}

TEST_F(GoldenOutput, ASeedIsAWholeNumberThatFitsSixtyFourBits) {
  const std::string file = (DataFolder() / "fold.tdr").string();
  for (const char *bad : {"-1", "x", "1.5", "18446744073709551616", ""}) {
    EXPECT_EQ(Render({file, "--seed", bad}), 2) << bad;
    EXPECT_NE(err.find("the seed must be a whole number"), std::string::npos) << err;
  }
  EXPECT_EQ(Render({file, "--seed"}), 2);
  EXPECT_EQ(Render({file, "--method", "triangles", "--seed", "18446744073709551615", "--stats"}),
            0);
  EXPECT_NE(out.find("\"seed\": 18446744073709551615}"), std::string::npos) << out;
}

} // namespace
} // namespace tandor
