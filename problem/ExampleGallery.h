#pragma once
// ExampleGallery: the example problems of examples/ (or of an installation) and their index, and
// the order in which the programs look for that folder.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tandor {

// What an example's text promises at one (p, q): the cross-caps and triple points in D, where it
// promises a number.
struct ExampleCheck {
  double P = 0.0, Q = 0.0;
  std::optional<int> CrossCaps, TriplePoints;
};

struct Example {
  std::string Name;  // the file is Name + ".tdr" in the gallery's folder
  std::string Group; // the submenu of File > Examples
  std::string Title; // the menu item, and what tandor-cli examples prints
  std::string Text;  // what it shows and where to drag (p, q)
  std::vector<ExampleCheck> Checks;
};

class ExampleGallery {
public:
  // Reads folder/index.txt. Throws FileError naming the index for a file that cannot be read
  // and for a line it does not understand (with the line's number).
  static ExampleGallery Read(const std::string &folder);

  const std::string &Folder() const { return Where; }
  const std::vector<Example> &Examples() const { return Entries; }
  // Null when no example has that name.
  const Example *Find(std::string_view name) const;
  std::string FileOf(const Example &example) const;
  // The groups in the order of their first example.
  std::vector<std::string> Groups() const;

private:
  std::string Where;
  std::vector<Example> Entries;
};

// The index file inside a gallery folder.
inline constexpr const char *ExampleIndexName = "index.txt";

// Where the programs look for the gallery, first to last:
// 1. programFolder/../share/tandor/examples: an installation under any prefix (the package puts
//    the programs in /usr/bin and the gallery in /usr/share/tandor/examples);
// 2. the examples folder of the source tree the program was built from: a program run from its
//    build folder;
// 3. the gallery of the installation prefix the program was built for: a program run from
//    somewhere else after `cmake --install`.
std::vector<std::string> ExampleFolderCandidates(const std::string &programFolder);

// The first candidate that holds an index; empty when none does.
std::string FindExampleFolder(const std::vector<std::string> &candidates);

} // namespace tandor
