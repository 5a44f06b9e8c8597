// tandor-cli's main(): everything it does is RunCli, which the tests call too.

#include "cli/Cli.h"

int main(int argc, char **argv) {
  return tandor::RunCli(argc, argv);
}
