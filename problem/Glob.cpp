#include "problem/Glob.h"

namespace tandor {

Glob::Glob() {
  DataToLines(*this);
  // The list through which every data file is read and written.
  DataList.reserve(DataLineCount);
}

} // namespace tandor
