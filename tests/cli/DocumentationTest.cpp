// What the installed documentation promises about tandor-cli: the version it answers and a man
// page that keeps up with the options its --help lists.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"

namespace tandor {
namespace {

std::string RunForOutput(std::vector<std::string> words, int &status) {
  words.insert(words.begin(), "tandor-cli");
  std::vector<char *> argv;
  for (std::string &w : words)
    argv.push_back(w.data());
  argv.push_back(nullptr);
  std::ostringstream out, err;
  status = RunCli(static_cast<int>(words.size()), argv.data(), out, err);
  return out.str();
}

std::string SourceFile(const std::string &relative) {
  const char *root = std::getenv("TANDOR_SOURCE_DIR");
  if (root == nullptr)
    return {};
  std::ifstream in(std::string(root) + "/" + relative);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(Documentation, VersionIsOneLineWithTheReleaseNumber) {
  int status = -1;
  const std::string out = RunForOutput({"--version"}, status);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(std::regex_match(out, std::regex("tandor-cli [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << out;
  const std::string usage = RunForOutput({"--help"}, status);
  EXPECT_NE(usage.find("--version"), std::string::npos);
}

TEST(Documentation, ManPageNamesEveryOptionOfEveryCommand) {
  const std::string page = SourceFile("packaging/tandor-cli.1");
  ASSERT_FALSE(page.empty()) << "packaging/tandor-cli.1 not found (TANDOR_SOURCE_DIR unset?)";
  std::set<std::string> options;
  for (std::vector<std::string> help :
       {std::vector<std::string>{"--help"}, std::vector<std::string>{"eval", "--help"},
        std::vector<std::string>{"render", "--help"},
        std::vector<std::string>{"examples", "--help"}, std::vector<std::string>{"atlas", "--help"},
        std::vector<std::string>{"atlas-merge", "--help"}}) {
    int status = -1;
    const std::string text = RunForOutput(help, status);
    ASSERT_EQ(status, 0);
    const std::regex option("(^|[ \\[])(--?[a-z]+)");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option);
         it != std::sregex_iterator(); ++it)
      options.insert((*it)[2]);
  }
  EXPECT_GE(options.size(), 12u);
  for (const std::string &o : options) {
    // roff writes a hyphen of an option as \-.
    std::string escaped;
    for (char c : o)
      escaped += c == '-' ? std::string("\\-") : std::string(1, c);
    EXPECT_NE(page.find(escaped), std::string::npos) << o << " is not in the man page";
  }
}

} // namespace
} // namespace tandor
