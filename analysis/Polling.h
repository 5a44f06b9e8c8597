#pragma once
// Lets the run's control breathe at a fixed rhythm of work units.

#include "solvers/RunControl.h"

namespace tandor {

class PollEvery {
public:
  PollEvery(RunControl &control, int every) : Control(control), Every(every) {}
  // Counts one unit of work; at every Every-th, true when a stop was asked for.
  bool Stop() { return ++Count % Every == 0 && Control.ProcessEventsAndCheckStop(); }

private:
  RunControl &Control;
  int Every;
  int Count = 0;
};

} // namespace tandor
