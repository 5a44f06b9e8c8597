#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "problem/FileReplacement.h"

namespace tandor {
namespace {

namespace fs = std::filesystem;

class FileReplacementTest : public ::testing::Test {
protected:
  void SetUp() override {
    folder = fs::temp_directory_path() /
             ("tandor-replace-" + std::to_string(getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
    path = (folder / "target").string();
    std::ofstream(path, std::ios::binary) << "old content\n";
  }
  void TearDown() override { fs::remove_all(folder); }

  std::string Contents() const {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::size_t Entries() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
  }

  fs::path folder;
  std::string path;
};

TEST_F(FileReplacementTest, TheTargetChangesOnlyAtTheCommit) {
  {
    FileReplacement file(path);
    file.Write("new ");
    file.Write("content, written in pieces\n");
    EXPECT_EQ(Contents(), "old content\n");
    EXPECT_EQ(Entries(), 2u) << "the temporary file lies beside the target";
    file.Commit();
  }
  EXPECT_EQ(Contents(), "new content, written in pieces\n");
  EXPECT_EQ(Entries(), 1u);
}

TEST_F(FileReplacementTest, AReplacementThatIsNotCommittedLeavesNothingBehind) {
  {
    FileReplacement file(path);
    file.Write("half of a fi");
  } // as when the writer throws before its commit
  EXPECT_EQ(Contents(), "old content\n");
  EXPECT_EQ(Entries(), 1u);
}

} // namespace
} // namespace tandor
