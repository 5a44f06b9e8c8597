#pragma once
// The fold (u^2, v, u^3 - uv) on the square [-1, 1]^2, compiled: a small non-linear problem whose
// locus is the mirror pair u <-> -u along v = u^2, for tests that need a run to look at.

#include <gtest/gtest.h>
#include <string>

#include "formula/MapFunctions.h"
#include "problem/Glob.h"

namespace tandor::testing {

inline void SetUpFold(Glob &glob, MapFunctions &map) {
  const char *texts[3] = {"u^2", "v", "u^3 - u v"};
  for (int c = 0; c < 3; ++c) {
    bool linear = false;
    std::string message;
    map[c].Compile(texts[c], "uv", "pq", linear, message);
    ASSERT_EQ(message, "");
  }
  glob.DomainLow = {-1, -1};
  glob.DomainHigh = {1, 1};
  glob.PixelLength = 0.005L;
}

} // namespace tandor::testing
