// Glob: the start-up problem, and SetParamValue, the one way (p, q) changes.

#include "problem/Glob.h"

#include "formula/MapFunctions.h"

namespace tandor {

Glob::Glob() {
  DataToLines(*this);
  // The list through which every data file is read and written.
  DataList.reserve(DataLineCount);
}

void SetParamValue(Glob &glob, MapFunctions &map, const Vector2 &pq) {
  map.SetParameters(pq[0], pq[1]);
  glob.ParamValue = pq;
}

} // namespace tandor
