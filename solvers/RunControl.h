#pragma once

#include <cstdint>

namespace tandor {

// How a long computation lets its caller breathe: the window processes its pending events, the
// command-line program looks at its Ctrl+C flag.
class RunControl {
public:
  virtual ~RunControl() = default;
  // Process pending events, then tell whether a stop was requested.
  virtual bool ProcessEventsAndCheckStop() = 0;
};

class NeverStop final : public RunControl {
public:
  bool ProcessEventsAndCheckStop() override { return false; }
};

// The polls of one run. A method polls at its own fixed points (every so many cell pairs or
// triangles) through ProcessEventsAndCheckStop; between them, the loops that can run long call
// Breathe, which polls once more whenever the method's work counter has grown by WorkPerPoll
// since the last poll, so that a stop is seen soon even inside one long walk. The limit lies far
// above what ordinary problems do between two fixed polls. A stop, once seen, stays seen and the
// control is not asked again. Lives for one run: it refers to the caller's control and counter.
class RunPoll final : public RunControl {
public:
  RunPoll(RunControl &control, const uint64_t &work, uint64_t workPerPoll)
      : Control(control), Work(work), WorkPerPoll(workPerPoll), WorkAtPoll(work) {}
  RunPoll(const RunPoll &) = delete;
  RunPoll &operator=(const RunPoll &) = delete;

  bool ProcessEventsAndCheckStop() override {
    WorkAtPoll = Work;
    if (!Stopped)
      Stopped = Control.ProcessEventsAndCheckStop();
    return Stopped;
  }
  // True when the run must end.
  bool Breathe() {
    if (!Stopped && Work - WorkAtPoll >= WorkPerPoll)
      ProcessEventsAndCheckStop();
    return Stopped;
  }
  bool StopSeen() const { return Stopped; }

private:
  RunControl &Control;
  const uint64_t &Work;
  const uint64_t WorkPerPoll;
  uint64_t WorkAtPoll;
  bool Stopped = false;
};

} // namespace tandor
