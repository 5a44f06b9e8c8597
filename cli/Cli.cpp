// tandor-cli's entry (RunCli): picks the command and hands it the rest of the arguments.

#include "cli/Cli.h"

#include <iostream>
#include <string_view>

#include "cli/AtlasCommand.h"
#include "cli/EvalCommand.h"
#include "cli/ExamplesCommand.h"
#include "cli/RenderCommand.h"

namespace tandor {

namespace {

const char *const Usage = "usage: tandor-cli <command> [options]\n"
                          "       tandor-cli --version\n"
                          "commands:\n"
                          "  eval     evaluate a formula (tandor-cli eval --help)\n"
                          "  render   draw the double-point locus of a problem\n"
                          "  examples list the example gallery\n"
                          "  atlas    the locus over a grid of (p, q) (tandor-cli atlas --help)\n"
                          "  atlas-merge  join the parts of an atlas\n";

} // namespace

int RunCli(int argc, char **argv) {
  return RunCli(argc, argv, std::cout, std::cerr);
}

int RunCli(int argc, char **argv, std::ostream &out, std::ostream &err) {
  if (argc < 2) {
    err << Usage;
    return 2;
  }
  const std::string_view command = argv[1];
  if (command == "--help" || command == "-h" || command == "help") {
    out << Usage;
    return 0;
  }
  if (command == "--version") {
    out << "tandor-cli " << TANDOR_VERSION << "\n";
    return 0;
  }
  // Each command gets the words from its own name on.
  if (command == "eval")
    return RunEvalCommand(argc - 1, argv + 1, out, err);
  if (command == "render")
    return RunRender(argc - 1, argv + 1, out, err);
  if (command == "examples")
    return RunExamplesCommand(argc - 1, argv + 1, out, err);
  if (command == "atlas")
    return RunAtlas(argc - 1, argv + 1, out, err);
  if (command == "atlas-merge")
    return RunAtlasMerge(argc - 1, argv + 1, out, err);
  err << "tandor-cli: unknown command '" << command << "'\n" << Usage;
  return 2;
}

} // namespace tandor
