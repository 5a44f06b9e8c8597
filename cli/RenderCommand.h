#pragma once
#include <iosfwd>

namespace tandor {

class RunControl;

// tandor-cli render FILE.tdr [--method descent|gradual|triangles] [-p P] [-q Q] [--png OUT.png]
//   [--svg OUT.svg] [--size N] [--csv OUT.csv] [--stats]
// args are the words after "render". Returns the exit status: 0 done, 1 input or file error,
// 2 usage error, 3 method not available. control (if given) replaces the Ctrl+C handling.
int RunRender(int argc, char **argv, std::ostream &out, std::ostream &err,
              RunControl *control = nullptr);

} // namespace tandor
