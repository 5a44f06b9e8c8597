#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "problem/DataFile.h"

namespace tandor {
namespace {

namespace fs = std::filesystem;

class DataFileTest : public ::testing::Test {
protected:
  void SetUp() override {
    folder = fs::temp_directory_path() /
             ("tandor-datafile-" + std::to_string(getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
  }
  void TearDown() override {
    fs::permissions(folder, fs::perms::owner_all);
    fs::remove_all(folder);
  }

  std::string Path(const std::string &name) const { return (folder / name).string(); }

  static void Put(const std::string &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  static std::string Get(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::size_t EntriesInFolder() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
  }

  // What a failing read reports, or "" when it does not fail.
  static std::string ReadFailure(const std::string &path) {
    try {
      ReadDataFile(path);
    } catch (const DataFileError &e) {
      EXPECT_EQ(e.Path, path);
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos);
      return e.Reason;
    }
    return "";
  }

  fs::path folder;
  const DataLineArray problem{"u", "v(v^2 - p)", "v(u+v^4- pv^2)",   "-1", "1", "-1", "1", "0",
                              "2", "0",          "3.14159265358979", "1",  "0"};
};

TEST_F(DataFileTest, WritesThirteenCrLfLinesAndReadsThemBack) {
  const std::string path = Path("problem.tdr");
  WriteDataFile(path, problem);
  std::string expected;
  for (const auto &line : problem)
    expected += line + "\r\n";
  EXPECT_EQ(Get(path), expected);
  EXPECT_EQ(ReadDataFile(path), problem);
  EXPECT_EQ(EntriesInFolder(), 1u) << "no temporary file is left behind";
}

TEST_F(DataFileTest, ReplacesAnExistingFileAndKeepsItsPermissions) {
  const std::string path = Path("old.tdr");
  Put(path, "old content\n");
  chmod(path.c_str(), 0640);
  WriteDataFile(path, problem);
  EXPECT_EQ(ReadDataFile(path), problem);
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST_F(DataFileTest, SavingThroughALinkReplacesTheLinkedFile) {
  const std::string target = Path("target.tdr"), link = Path("link.tdr");
  Put(target, "x\n");
  fs::create_symlink(target, link);
  WriteDataFile(link, problem);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadDataFile(target), problem);
}

TEST_F(DataFileTest, AFailedWriteLeavesTheOldFile) {
  const std::string path = Path("kept.tdr");
  Put(path, "precious\n");
  // A file size limit makes the write itself fail, whatever the user's privileges.
  DataLineArray longProblem = problem;
  longProblem[0] = std::string(100000, 'u');
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 4096;
  setrlimit(RLIMIT_FSIZE, &small);
  EXPECT_THROW(WriteDataFile(path, longProblem), DataFileError);
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(Get(path), "precious\n");
  EXPECT_EQ(EntriesInFolder(), 1u) << "the temporary file is removed";
}

TEST_F(DataFileTest, WritingOverAFolderFailsAndLeavesNoTemporaryFile) {
  const std::string path = Path("sub");
  fs::create_directory(path);
  try {
    WriteDataFile(path, problem);
    FAIL() << "a folder cannot be replaced by a data file";
  } catch (const DataFileError &e) {
    EXPECT_EQ(e.Path, path);
  }
  EXPECT_TRUE(fs::is_directory(path));
  EXPECT_EQ(EntriesInFolder(), 1u);
}

TEST_F(DataFileTest, ReadsLfAndCrLfTakesTheFirstThirteenLines) {
  struct Case {
    std::string bytes;
    std::string line0, line12;
  };
  const Case cases[] = {
      {"a\nb\nc\n1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n", "a", "10"},
      {"a\r\nb\r\nc\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10", "a", "10"},
      {"a\nb\nc\n1\n2\n3\n4\n5\n6\n7\n8\n9\n10\nmore\nlines\n", "a", "10"},
      {"\n\n\n\n\n\n\n\n\n\n\n\n\n", "", ""}, // thirteen empty lines are still thirteen lines
      {"x y\tz\r\nb\nc\r\n1\n2\n3\n4\n5\n6\n7\n8\n9\n  q  \r\n", "x y\tz", "  q  "},
  };
  const std::string path = Path("in.tdr");
  for (const auto &c : cases) {
    Put(path, c.bytes);
    const DataLineArray lines = ReadDataFile(path);
    EXPECT_EQ(lines[0], c.line0);
    EXPECT_EQ(lines[12], c.line12);
    EXPECT_EQ(lines[1].find('\r'), std::string::npos);
  }
}

// Some editors begin a UTF-8 file with a byte-order mark; it used to reach the x field and give
// "You did use a character not allowed.".
TEST_F(DataFileTest, ALeadingByteOrderMarkIsSkipped) {
  const std::string path = Path("marked.tdr");
  std::string text;
  for (const auto &line : problem)
    text += line + "\r\n";
  Put(path, "\xEF\xBB\xBF" + text);
  EXPECT_EQ(ReadDataFile(path), problem);
  // Only at the very start, and only once: elsewhere the bytes are the line's own.
  Put(path, "\xEF\xBB\xBF\xEF\xBB\xBF" + text);
  EXPECT_EQ(ReadDataFile(path)[0], "\xEF\xBB\xBFu");
  Put(path, "u\n\xEF\xBB\xBFv(v^2 - p)" + text.substr(text.find("\r\nv(u")));
  EXPECT_EQ(ReadDataFile(path)[1], "\xEF\xBB\xBFv(v^2 - p)");
  // A mark and fewer than thirteen lines is still a short file.
  Put(path, "\xEF\xBB\xBFu\nv\n");
  EXPECT_EQ(ReadFailure(path), "it has 2 lines; a data file has 13");
}

TEST_F(DataFileTest, BadFilesAreRefusedWithTheirReason) {
  const std::string missing = Path("missing.tdr");
  EXPECT_NE(ReadFailure(missing), "");

  EXPECT_EQ(ReadFailure(folder.string()), "it is a folder, not a data file");

  const std::string shortFile = Path("short.tdr");
  Put(shortFile, "u\nv\nw\n0\n1\n");
  EXPECT_EQ(ReadFailure(shortFile), "it has 5 lines; a data file has 13");
  Put(shortFile, "");
  EXPECT_EQ(ReadFailure(shortFile), "it has 0 lines; a data file has 13");
  Put(shortFile, "u");
  EXPECT_EQ(ReadFailure(shortFile), "it has 1 line; a data file has 13");

  const std::string binary = Path("picture.png");
  Put(binary, std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) + std::string(40, '\n'));
  EXPECT_EQ(ReadFailure(binary), "it is a binary file, not a data file");

  const std::string huge = Path("huge.tdr");
  Put(huge, "u\n");
  fs::resize_file(huge, 100u << 20); // sparse: costs no disk
  EXPECT_EQ(ReadFailure(huge), "the file is too large to be a data file");
  fs::remove(huge);

  // A named pipe with no writer would block an ordinary open for ever.
  const std::string pipe = Path("pipe.tdr");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_EQ(ReadFailure(pipe), "it is not a regular file");

  if (geteuid() != 0) {
    const std::string locked = Path("locked.tdr");
    WriteDataFile(locked, problem);
    chmod(locked.c_str(), 0);
    EXPECT_EQ(ReadFailure(locked), "Permission denied");
  }
}

} // namespace
} // namespace tandor
