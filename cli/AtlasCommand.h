#pragma once
// tandor-cli atlas and atlas-merge (RunAtlas, RunAtlasMerge): the parameter atlas of a problem,
// whole or in parts, and the parts joined.
#include <iosfwd>

namespace tandor {

// argv[0] is "atlas". Exit status as render's: 0 done (also when stopped by Ctrl+C, with the
// tiles done so far), 1 input or file error, 2 usage error.
int RunAtlas(int argc, char **argv, std::ostream &out, std::ostream &err);

// argv[0] is "atlas-merge"; the part files and the outputs follow.
int RunAtlasMerge(int argc, char **argv, std::ostream &out, std::ostream &err);

} // namespace tandor
