#pragma once
#include <iosfwd>

namespace tandor {

// tandor-cli eval: evaluates one formula. args holds the words after "eval".
int RunEvalCommand(int argc, char **argv, std::ostream &out, std::ostream &err);

// The usage line of the eval command.
extern const char *const EvalUsage;

} // namespace tandor
