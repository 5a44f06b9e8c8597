#pragma once
#include <iosfwd>

#include "solvers/RunControl.h"

namespace tandor {

// Ctrl+C asks the run to stop, like the window's Stop button; the handler is in place only while
// the object lives.
class InterruptControl final : public RunControl {
public:
  InterruptControl();
  ~InterruptControl() override;
  InterruptControl(const InterruptControl &) = delete;
  InterruptControl &operator=(const InterruptControl &) = delete;
  bool ProcessEventsAndCheckStop() override;

private:
  void (*Previous)(int);
};

// tandor-cli render FILE.tdr [--method descent|gradual|triangles] [-p P] [-q Q] [--png OUT.png]
//   [--svg OUT.svg] [--size N] [--csv OUT.csv] [--stats] [--seed N] [--points OUT.csv]
//   [--no-points]
// argv[0] is "render", the options follow. Returns the exit status: 0 done, 1 input or file error,
// 2 usage error, 3 method not available. control (if given) replaces Ctrl+C as the stop check;
// Ctrl+C is caught either way until the outputs are written.
int RunRender(int argc, char **argv, std::ostream &out, std::ostream &err,
              RunControl *control = nullptr);

} // namespace tandor
