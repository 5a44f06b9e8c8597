#pragma once
// tandor-cli examples, and the gallery lookup that render --example shares with it.

#include <iosfwd>
#include <optional>
#include <string>

#include "problem/ExampleGallery.h"

namespace tandor {

// tandor-cli examples [--folder]: argv[0] is "examples". Lists every example's name and title,
// or with --folder the gallery's folder. Returns 0, 1 when no gallery is found, 2 on wrong usage.
int RunExamplesCommand(int argc, char **argv, std::ostream &out, std::ostream &err);

// The gallery where ExampleFolderCandidates finds it for this program; without one, err hears
// where it was looked for.
std::optional<ExampleGallery> FindGallery(std::ostream &err);

// The data file of the example named; empty, with the reason on err, when there is none.
std::string ExampleFile(const std::string &name, std::ostream &err);

} // namespace tandor
