#pragma once
// MapRoutine: the three coordinate functions of a map evaluated by one routine, so that what
// they share (the Klein bottle's cos u, sin u and cos v) is computed once per point. It gives
// the bits of the three evaluators called one after the other.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "formula/ExecutableBlock.h"
#include "formula/FormulaCompiler.h"

namespace tandor {

// xyz[k] := the value of function k at uv, as a double.
using MapEntry = void (*)(const double *uv, double *xyz);

class MapRoutine {
public:
  // The routine for these functions, made anew when one of them was compiled or generated since
  // it was made; null where it cannot be made (a function without machine code, or one that
  // asks for no reuse): the functions are then called one by one.
  MapEntry EntryFor(const std::array<TOCFunctDDDoubleSafe, 3> &functions) {
    if (!IsFor(functions))
      Make(functions);
    return Entry;
  }

  // Whether the routine was made from these functions as they are now.
  bool IsFor(const std::array<TOCFunctDDDoubleSafe, 3> &functions) const {
    for (std::size_t k = 0; k < 3; ++k)
      if (MadeFrom[k] != &functions[k] || Generations[k] != functions[k].CodeGeneration)
        return false;
    return true;
  }

  MapEntry Entry = nullptr;
  std::vector<uint8_t> Code;

private:
  void Make(const std::array<TOCFunctDDDoubleSafe, 3> &functions);

  std::unique_ptr<ExecutableBlock> Block;
  std::array<const TOCFunctDDDoubleSafe *, 3> MadeFrom{};
  std::array<uint64_t, 3> Generations{};
};

} // namespace tandor
