#pragma once
// The read of the problem from its thirteen texts (the window's fields, or a data file's lines):
// evaluate and check the bounds, compile the three coordinate functions, derive what the
// solvers need.

#include <optional>
#include <string>
#include <vector>

#include "formula/MapFunctions.h"
#include "problem/Glob.h"

namespace tandor {

// What a read tells its surroundings: the window shows the text in its status bar and beeps;
// tandor-cli prints the text of a refused read or stays quiet. Whatever follows a successful
// read (the window moves its circle) the caller does once ReadData has returned.
class ReadNotices {
public:
  virtual ~ReadNotices() = default;
  virtual void ShowStatus(const std::string &text) = 0;
  virtual void Beep() = 0;
  // Before the message of a refused read: the line whose text must be corrected.
  virtual void RefusedAt(DataLine) {}
};

// Notices kept rather than shown: the last status is a refused read's message.
class KeptNotices final : public ReadNotices {
public:
  void ShowStatus(const std::string &text) override { Statuses.push_back(text); }
  void Beep() override { ++Beeps; }
  void RefusedAt(DataLine line) override { Refused = line; }
  std::vector<std::string> Statuses;
  int Beeps = 0;
  std::optional<DataLine> Refused;
};

inline constexpr const char *NotLinearNotice =
    "Since the first equation is not linear, the general algorithm will be used";
inline constexpr const char *AlmostConstantMessage =
    "The first function seems to be almost constant";

// Leading and trailing blanks and control characters removed.
std::string TrimField(const std::string &text);

// 0 when nothing changed since the last completed run, 1 when the problem changed (or no run has
// completed yet), 2 when the input was rejected: its message has then gone to ShowStatus,
// followed by a beep, and the values stored before the failing step stay stored.
int ReadData(Glob &glob, MapFunctions &map, const DataLineArray &fieldTexts, ReadNotices &notices);

// LinearDirection from LinearTerms and the coefficients held by the compiled x function; false,
// with the direction left unnormalised, when it is too short to mean anything.
bool ComputeLinearDirection(Glob &glob, const MapFunctions &map);

} // namespace tandor
