// The gallery's index (the real one, and what a broken one is told) and the order in which the
// programs look for the gallery.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "problem/DataFile.h"
#include "problem/ExampleGallery.h"

namespace tandor {
namespace {

namespace fs = std::filesystem;

std::string SourceExamples() {
  return FindExampleFolder(ExampleFolderCandidates(""));
}

TEST(ExampleGallery, TheIndexNamesEveryExampleFileAndEachReadsAsAProblem) {
  const std::string folder = SourceExamples();
  ASSERT_FALSE(folder.empty());
  const ExampleGallery gallery = ExampleGallery::Read(folder);
  EXPECT_GE(gallery.Examples().size(), 24u);
  EXPECT_EQ(gallery.Groups(),
            (std::vector<std::string>{"Map germs", "Germs in curved coordinates", "Surfaces"}));

  std::set<std::string> indexed;
  for (const Example &e : gallery.Examples()) {
    SCOPED_TRACE(e.Name);
    indexed.insert(e.Name);
    EXPECT_NO_THROW(ReadDataFile(gallery.FileOf(e)));
    EXPECT_FALSE(e.Checks.empty());
    // The text is read in one line of the status bar and the menu's tool tip: a few sentences.
    EXPECT_LT(e.Text.size(), 500u);
    EXPECT_EQ(gallery.Find(e.Name), &e);
  }
  for (const auto &entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() == ".tdr") {
      EXPECT_EQ(indexed.count(entry.path().stem().string()), 1u)
          << entry.path() << " is not in the index";
    }
  }
  EXPECT_EQ(gallery.Find("no-such-example"), nullptr);
}

class GalleryFolders : public ::testing::Test {
protected:
  void SetUp() override {
    root = fs::temp_directory_path() /
           ("tandor-gallery-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root);
    fs::create_directories(root);
  }
  void TearDown() override { fs::remove_all(root); }

  std::string WriteIndex(const fs::path &folder, const std::string &text) {
    fs::create_directories(folder);
    std::ofstream(folder / ExampleIndexName) << text;
    return folder.string();
  }

  fs::path root;
};

TEST_F(GalleryFolders, AnInstallationBesideTheProgramComesFirstThenTheBuildsOwnFolders) {
  const fs::path bin = root / "usr" / "bin";
  fs::create_directories(bin);
  const std::vector<std::string> candidates = ExampleFolderCandidates(bin.string());
  ASSERT_GE(candidates.size(), 2u);
  EXPECT_EQ(candidates[0], (root / "usr" / "share" / "tandor" / "examples").string());
  // Then the source tree this program was built from.
  EXPECT_EQ(candidates[1], SourceExamples());
  EXPECT_EQ(FindExampleFolder(candidates), SourceExamples());

  WriteIndex(candidates[0], "[a]\ngroup = g\ntitle = t\ntext = x\n");
  EXPECT_EQ(FindExampleFolder(candidates), candidates[0]);

  // A folder without an index does not count, nor does an index that is a folder.
  EXPECT_EQ(FindExampleFolder({(root / "empty").string(), candidates[0]}), candidates[0]);
  fs::create_directories(root / "odd" / ExampleIndexName);
  EXPECT_EQ(FindExampleFolder({(root / "odd").string()}), "");
  EXPECT_EQ(FindExampleFolder({}), "");
}

TEST_F(GalleryFolders, AnIndexReadsInItsOrderWithChecksAndComments) {
  const std::string folder = WriteIndex(root / "g", "# a comment\n\n"
                                                    "[second-one]\n"
                                                    "group = B\n"
                                                    "title = The = sign stays in a value\n"
                                                    "text = Drag right.\n"
                                                    "check = 0.5 -1 2 -\n"
                                                    "[first]\r\n"
                                                    "group = A\r\n"
                                                    "title = T\r\n"
                                                    "text = U\r\n");
  const ExampleGallery gallery = ExampleGallery::Read(folder);
  ASSERT_EQ(gallery.Examples().size(), 2u);
  const Example &e = gallery.Examples()[0];
  EXPECT_EQ(e.Name, "second-one");
  EXPECT_EQ(e.Title, "The = sign stays in a value");
  ASSERT_EQ(e.Checks.size(), 1u);
  EXPECT_EQ(e.Checks[0].P, 0.5);
  EXPECT_EQ(e.Checks[0].Q, -1.0);
  EXPECT_EQ(e.Checks[0].CrossCaps, 2);
  EXPECT_EQ(e.Checks[0].TriplePoints, std::nullopt);
  EXPECT_EQ(gallery.Examples()[1].Text, "U");
  EXPECT_EQ(gallery.Groups(), (std::vector<std::string>{"B", "A"}));
  EXPECT_EQ(gallery.FileOf(e), (root / "g" / "second-one.tdr").string());
}

TEST_F(GalleryFolders, ABrokenIndexNamesItselfTheLineAndTheFault) {
  const std::string entry = "[a]\ngroup = g\ntitle = t\ntext = x\n";
  const struct {
    std::string text;
    const char *fault;
  } cases[] = {
      {"# only a comment\n", "the index names no example"},
      {"group = g\n", "line 1: a key before the first [name]"},
      {"[Capital]\n", "line 1: an entry starts with [name]"},
      {"[a\n", "line 1: an entry starts with [name]"},
      {entry + "colour = red\n", "line 5: unknown key 'colour'"},
      {entry + "just words\n", "line 5: expected \"key = value\""},
      {entry + "check = 1 2 3\n", "line 5: a check is \"p q crosscaps triples\""},
      {entry + "check = 1 2 3 4 5\n", "line 5: a check is"},
      {entry + "check = x 2 3 4\n", "line 5: 'x' is not a number"},
      {entry + "check = 1 2 -3 4\n", "line 5: '-3' is neither a count nor '-'"},
      {entry + "[b]\ngroup = g\n", "line 6: the example 'b' needs a group, a title and a text"},
      {entry + "[a]\n", "line 5: the example 'a' is named twice"},
  };
  for (const auto &c : cases) {
    const std::string folder = WriteIndex(root / "broken", c.text);
    const std::string index = (fs::path(folder) / ExampleIndexName).string();
    try {
      ExampleGallery::Read(folder);
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const FileError &e) {
      EXPECT_EQ(e.Path, index);
      EXPECT_EQ(e.Reason.rfind(c.fault, 0), 0u) << e.Reason;
    }
  }
  try {
    ExampleGallery::Read((root / "missing").string());
    ADD_FAILURE() << "a missing index was accepted";
  } catch (const FileError &e) {
    EXPECT_EQ(e.Path, (root / "missing" / ExampleIndexName).string());
    EXPECT_EQ(e.Reason, "No such file or directory");
  }
}

} // namespace
} // namespace tandor
