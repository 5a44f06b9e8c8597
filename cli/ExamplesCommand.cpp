// tandor-cli examples (RunExamplesCommand), FindGallery and ExampleFile.

#include "cli/ExamplesCommand.h"

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string_view>

#include "problem/FileReplacement.h"

namespace tandor {

namespace {

constexpr const char *Usage =
    "usage: tandor-cli examples [--folder]\n"
    "Lists the example gallery: each example's name and title. tandor-cli render --example\n"
    "NAME draws one; the window opens them from File > Examples.\n"
    "  --folder  print the gallery's folder instead\n"
    "The gallery is looked for in ../share/tandor/examples beside the program (an\n"
    "installation), then in the source tree the program was built from, then in the\n"
    "installation prefix it was built for.\n";

std::string ProgramFolder() {
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : program.parent_path().string();
}

void ListExamples(const ExampleGallery &gallery, std::ostream &out) {
  std::size_t width = 0;
  for (const Example &e : gallery.Examples())
    width = std::max(width, e.Name.size());
  for (const Example &e : gallery.Examples())
    out << e.Name << std::string(width + 2 - e.Name.size(), ' ') << e.Title << "\n";
}

} // namespace

std::optional<ExampleGallery> FindGallery(std::ostream &err) {
  const std::vector<std::string> candidates = ExampleFolderCandidates(ProgramFolder());
  const std::string folder = FindExampleFolder(candidates);
  if (folder.empty()) {
    err << "tandor-cli: the example gallery was not found; it was looked for in:\n";
    for (const std::string &c : candidates)
      err << "  " << c << "\n";
    return std::nullopt;
  }
  try {
    return ExampleGallery::Read(folder);
  } catch (const FileError &e) {
    err << "tandor-cli: " << e.what() << "\n";
    return std::nullopt;
  }
}

std::string ExampleFile(const std::string &name, std::ostream &err) {
  const std::optional<ExampleGallery> gallery = FindGallery(err);
  if (!gallery)
    return {};
  const Example *example = gallery->Find(name);
  if (example == nullptr) {
    err << "tandor-cli: there is no example named '" << name
        << "' (tandor-cli examples lists them)\n";
    return {};
  }
  return gallery->FileOf(*example);
}

int RunExamplesCommand(int argc, char **argv, std::ostream &out, std::ostream &err) {
  bool folderOnly = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view word = argv[i];
    if (word == "--help" || word == "-h") {
      out << Usage;
      return 0;
    }
    if (word != "--folder") {
      err << "tandor-cli examples: unexpected argument '" << word << "'\n" << Usage;
      return 2;
    }
    folderOnly = true;
  }
  const std::optional<ExampleGallery> gallery = FindGallery(err);
  if (!gallery)
    return 1;
  if (folderOnly)
    out << gallery->Folder() << "\n";
  else
    ListExamples(*gallery, out);
  return 0;
}

} // namespace tandor
