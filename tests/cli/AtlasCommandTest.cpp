// tandor-cli atlas and atlas-merge end to end: the same JSON on one worker and on two, parts
// that merge into the whole, a picture, and the exit statuses.

#include <gtest/gtest.h>

#include <QImage>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"

namespace tandor {
namespace {

namespace fs = std::filesystem;

class AtlasCommand : public ::testing::Test {
protected:
  void SetUp() override {
    folder = fs::temp_directory_path() / ("tandor-atlas-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    std::ofstream out(Path("s1.tdr"), std::ios::binary);
    for (const char *line :
         {"u", "v^2", "v^3+(u^2-p)v", "-1", "1", "-1", "1", "-1", "1", "-1", "1", "0.5", "0"})
      out << line << "\r\n";
  }
  void TearDown() override { fs::remove_all(folder); }
  std::string Path(const std::string &name) const { return (folder / name).string(); }

  int Cli(std::vector<std::string> words) {
    words.insert(words.begin(), "tandor-cli");
    std::vector<char *> argv;
    for (auto &w : words)
      argv.push_back(w.data());
    std::ostringstream o, e;
    const int status = RunCli(static_cast<int>(argv.size()), argv.data(), o, e);
    err = e.str();
    return status;
  }
  // The JSON without the times, the one thing that differs between runs.
  std::string Timeless(const std::string &name) const {
    std::ifstream in(Path(name));
    std::stringstream text;
    text << in.rdbuf();
    return std::regex_replace(text.str(), std::regex("\"seconds\": [0-9.]+"), "");
  }
  fs::path folder;
  std::string err;
};

TEST_F(AtlasCommand, OneWorkerOrTwoOrThreePartsWriteTheSameAtlas) {
  const std::string grid = "5x4";
  ASSERT_EQ(Cli({"atlas", Path("s1.tdr"), "--grid", grid, "--jobs", "1", "--json", Path("one.json"),
                 "--png", Path("one.png")}),
            0)
      << err;
  ASSERT_EQ(
      Cli({"atlas", Path("s1.tdr"), "--grid", grid, "--jobs", "2", "--json", Path("two.json")}), 0);
  EXPECT_EQ(Timeless("one.json"), Timeless("two.json"));
  std::vector<std::string> merge{"atlas-merge"};
  for (int k = 0; k < 3; ++k) {
    const std::string part = Path("part" + std::to_string(k) + ".json");
    ASSERT_EQ(Cli({"atlas", Path("s1.tdr"), "--grid", grid, "--part", std::to_string(k) + "/3",
                   "--json", part}),
              0);
    merge.push_back(part);
  }
  merge.insert(merge.end(), {"--json", Path("merged.json"), "--png", Path("merged.png")});
  ASSERT_EQ(Cli(merge), 0) << err;
  EXPECT_EQ(Timeless("merged.json"), Timeless("one.json"));
  const QImage one(QString::fromStdString(Path("one.png")));
  const QImage merged(QString::fromStdString(Path("merged.png")));
  ASSERT_FALSE(one.isNull());
  EXPECT_EQ(one.size(), merged.size());
  EXPECT_EQ(one.width(), 5 * (96 + 8));
  // A part alone is not a whole: the missing tiles are named.
  EXPECT_EQ(Cli({"atlas-merge", Path("part0.json"), "--json", Path("x.json")}), 1);
  EXPECT_NE(err.find("missing tiles"), std::string::npos) << err;
  EXPECT_FALSE(fs::exists(Path("x.json")));
}

TEST_F(AtlasCommand, WrongUseAndBadInputGiveTheirStatuses) {
  EXPECT_EQ(Cli({"atlas", Path("s1.tdr"), "--grid", "0x3"}), 2);
  EXPECT_EQ(Cli({"atlas", Path("s1.tdr"), "--part", "3/3"}), 2);
  EXPECT_EQ(Cli({"atlas", Path("s1.tdr"), "--part", "0/2", "--png", Path("p.png")}), 2);
  EXPECT_EQ(Cli({"atlas"}), 2);
  EXPECT_EQ(Cli({"atlas", Path("none.tdr")}), 1);
  std::ofstream(Path("bad.json")) << "{\"tandor_atlas\": 1, \"problem\": [";
  EXPECT_EQ(Cli({"atlas-merge", Path("bad.json")}), 1);
  EXPECT_NE(err.find("bad.json"), std::string::npos) << err;
  EXPECT_EQ(Cli({"atlas", Path("s1.tdr"), "--grid", "2x2", "--json", Path("no/such/a.json")}), 1);
}

} // namespace
} // namespace tandor
