#include "cli/Cli.h"

#include <iostream>
#include <string_view>

namespace tandor {

int RunCli(int argc, char** argv) { return RunCli(argc, argv, std::cout, std::cerr); }

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err) {
  (void)out;
  if (argc < 2) {
    err << "usage: tandor-cli eval|render ...\n";
    return 2;
  }
  err << "tandor-cli: unknown command '" << std::string_view(argv[1]) << "'\n";
  return 2;
}

} // namespace tandor
