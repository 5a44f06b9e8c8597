#include "cli/Cli.h"

int main(int argc, char **argv) {
  return tandor::RunCli(argc, argv);
}
