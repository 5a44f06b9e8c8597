#pragma once
#include <iosfwd>

namespace tandor {

// tandor-cli eval: evaluates one formula. argv[0] is "eval", its options and FORMULA follow.
// Returns the exit status: 0, 1 when the formula does not compile, 2 on wrong usage.
int RunEvalCommand(int argc, char **argv, std::ostream &out, std::ostream &err);

// The usage line of the eval command.
extern const char *const EvalUsage;

} // namespace tandor
