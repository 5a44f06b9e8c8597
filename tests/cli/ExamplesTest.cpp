// tandor-cli examples and render --example: the gallery listed, and an example drawn as its file
// would be.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "problem/ExampleGallery.h"

namespace tandor {
namespace {

namespace fs = std::filesystem;

class ExamplesTest : public ::testing::Test {
protected:
  void SetUp() override {
    folder = fs::temp_directory_path() /
             ("tandor-examples-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(folder);
  }
  void TearDown() override { fs::remove_all(folder); }

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
  static std::string Contents(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  fs::path folder;
  std::string out, err;
};

TEST_F(ExamplesTest, ListsEveryExampleWithItsTitleInTheIndexOrder) {
  ASSERT_EQ(Cli({"examples"}), 0) << err;
  const ExampleGallery gallery =
      ExampleGallery::Read(FindExampleFolder(ExampleFolderCandidates("")));
  std::istringstream lines(out);
  std::size_t count = 0;
  for (std::string line; std::getline(lines, line); ++count) {
    ASSERT_LT(count, gallery.Examples().size());
    const Example &e = gallery.Examples()[count];
    EXPECT_EQ(line.rfind(e.Name + "  ", 0), 0u) << line;
    EXPECT_EQ(line.substr(line.size() - e.Title.size()), e.Title);
    // The titles line up in one column.
    EXPECT_EQ(line.find(e.Title), out.find(gallery.Examples()[0].Title));
  }
  EXPECT_EQ(count, gallery.Examples().size());
  EXPECT_GE(count, 24u);

  // Run from the build, the program finds the gallery of its source tree.
  ASSERT_EQ(Cli({"examples", "--folder"}), 0);
  EXPECT_EQ(out, gallery.Folder() + "\n");
  EXPECT_EQ(Cli({"examples", "--all"}), 2);
  EXPECT_NE(err.find("unexpected argument '--all'"), std::string::npos);
}

TEST_F(ExamplesTest, RenderAnExampleAsItsFileWouldBe) {
  const std::string byName = (folder / "by-name.csv").string();
  const std::string byFile = (folder / "by-file.csv").string();
  const std::string file = FindExampleFolder(ExampleFolderCandidates("")) + "/curved-s1.tdr";
  ASSERT_EQ(Cli({"render", "--example", "curved-s1", "--method", "gradual", "--seed", "7", "--csv",
                 byName, "-p", "0.5", "--stats"}),
            0)
      << err;
  EXPECT_NE(out.find("\"method\": \"gradual\""), std::string::npos);
  ASSERT_EQ(
      Cli({"render", file, "--method", "gradual", "--seed", "7", "--csv", byFile, "-p", "0.5"}), 0);
  EXPECT_FALSE(Contents(byName).empty());
  EXPECT_EQ(Contents(byName), Contents(byFile));
}

TEST_F(ExamplesTest, AnUnknownExampleOrTwoProblemsAreRefused) {
  EXPECT_EQ(Cli({"render", "--example", "klein"}), 1);
  EXPECT_EQ(err, "tandor-cli: there is no example named 'klein' (tandor-cli examples lists "
                 "them)\n");
  EXPECT_EQ(Cli({"render", "a.tdr", "--example", "germ-s1"}), 2);
  EXPECT_NE(err.find("a data file or --example, not both"), std::string::npos);
  EXPECT_EQ(Cli({"render", "--example"}), 2);
  EXPECT_NE(err.find("'--example' needs a value"), std::string::npos);
}

} // namespace
} // namespace tandor
