// ExampleGallery: the gallery's index read line by line; the folders where it is looked for.

#include "problem/ExampleGallery.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "problem/FileReplacement.h"

#ifndef TANDOR_SOURCE_EXAMPLES
#define TANDOR_SOURCE_EXAMPLES ""
#endif
#ifndef TANDOR_INSTALLED_EXAMPLES
#define TANDOR_INSTALLED_EXAMPLES ""
#endif

namespace tandor {

namespace {

std::string_view Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos)
    return {};
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

bool IsExampleName(std::string_view name) {
  if (name.empty())
    return false;
  for (const char c : name)
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'))
      return false;
  return true;
}

// One line of the index that makes no sense: the index and the line number say where.
class IndexReader {
public:
  explicit IndexReader(std::string path) : Path(std::move(path)) {}

  std::vector<Example> Read() {
    std::ifstream in(Path);
    if (!in)
      throw FileError(Path, std::strerror(errno));
    for (std::string line; std::getline(in, line);) {
      ++LineNumber;
      ReadLine(Trimmed(line));
    }
    if (in.bad())
      throw FileError(Path, std::strerror(errno));
    CheckLastEntry();
    if (Entries.empty())
      throw FileError(Path, "the index names no example");
    return std::move(Entries);
  }

private:
  [[noreturn]] void Fail(const std::string &reason) const {
    throw FileError(Path, "line " + std::to_string(LineNumber) + ": " + reason);
  }

  void ReadLine(std::string_view line) {
    if (line.empty() || line.front() == '#')
      return;
    if (line.front() == '[') {
      if (line.back() != ']' || !IsExampleName(line.substr(1, line.size() - 2)))
        Fail("an entry starts with [name], the name in small letters, digits and '-'");
      CheckLastEntry();
      Entries.push_back({});
      Entries.back().Name = line.substr(1, line.size() - 2);
      for (std::size_t i = 0; i + 1 < Entries.size(); ++i)
        if (Entries[i].Name == Entries.back().Name)
          Fail("the example '" + Entries.back().Name + "' is named twice");
      return;
    }
    const auto equals = line.find('=');
    if (equals == std::string_view::npos)
      Fail("expected \"key = value\"");
    if (Entries.empty())
      Fail("a key before the first [name]");
    SetKey(Trimmed(line.substr(0, equals)), Trimmed(line.substr(equals + 1)));
  }

  void SetKey(std::string_view key, std::string_view value) {
    Example &e = Entries.back();
    if (key == "group")
      e.Group = value;
    else if (key == "title")
      e.Title = value;
    else if (key == "text")
      e.Text = value;
    else if (key == "check")
      e.Checks.push_back(CheckOf(value));
    else
      Fail("unknown key '" + std::string(key) + "'");
  }

  ExampleCheck CheckOf(std::string_view value) const {
    std::istringstream words{std::string(value)};
    std::string p, q, crossCaps, triples, extra;
    if (!(words >> p >> q >> crossCaps >> triples) || (words >> extra))
      Fail("a check is \"p q crosscaps triples\"");
    ExampleCheck check;
    check.P = NumberOf(p);
    check.Q = NumberOf(q);
    check.CrossCaps = CountOf(crossCaps);
    check.TriplePoints = CountOf(triples);
    return check;
  }

  double NumberOf(const std::string &text) const {
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
      Fail("'" + text + "' is not a number");
    return value;
  }

  std::optional<int> CountOf(const std::string &text) const {
    if (text == "-")
      return std::nullopt;
    int count = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
    if (error != std::errc() || end != text.data() + text.size() || count < 0)
      Fail("'" + text + "' is neither a count nor '-'");
    return count;
  }

  void CheckLastEntry() const {
    if (Entries.empty())
      return;
    const Example &e = Entries.back();
    if (e.Group.empty() || e.Title.empty() || e.Text.empty())
      Fail("the example '" + e.Name + "' needs a group, a title and a text");
  }

  std::string Path;
  int LineNumber = 0;
  std::vector<Example> Entries;
};

} // namespace

ExampleGallery ExampleGallery::Read(const std::string &folder) {
  ExampleGallery gallery;
  gallery.Where = folder;
  gallery.Entries = IndexReader((std::filesystem::path(folder) / ExampleIndexName).string()).Read();
  return gallery;
}

const Example *ExampleGallery::Find(std::string_view name) const {
  for (const Example &e : Entries)
    if (e.Name == name)
      return &e;
  return nullptr;
}

std::string ExampleGallery::FileOf(const Example &example) const {
  return (std::filesystem::path(Where) / (example.Name + ".tdr")).string();
}

std::vector<std::string> ExampleGallery::Groups() const {
  std::vector<std::string> groups;
  for (const Example &e : Entries)
    if (std::find(groups.begin(), groups.end(), e.Group) == groups.end())
      groups.push_back(e.Group);
  return groups;
}

std::vector<std::string> ExampleFolderCandidates(const std::string &programFolder) {
  std::vector<std::string> candidates;
  if (!programFolder.empty())
    candidates.push_back(
        (std::filesystem::path(programFolder) / ".." / "share" / "tandor" / "examples")
            .lexically_normal()
            .string());
  for (const char *built : {TANDOR_SOURCE_EXAMPLES, TANDOR_INSTALLED_EXAMPLES})
    if (*built != '\0')
      candidates.emplace_back(built);
  return candidates;
}

std::string FindExampleFolder(const std::vector<std::string> &candidates) {
  for (const std::string &folder : candidates) {
    std::error_code error;
    if (std::filesystem::is_regular_file(std::filesystem::path(folder) / ExampleIndexName, error))
      return folder;
  }
  return {};
}

} // namespace tandor
