#pragma once

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

} // namespace tandor
