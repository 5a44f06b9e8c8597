#pragma once
#include <iosfwd>

namespace tandor {

// tandor-cli's whole behaviour, callable from tests: returns the exit status.
int RunCli(int argc, char **argv);
int RunCli(int argc, char **argv, std::ostream &out, std::ostream &err);

} // namespace tandor
