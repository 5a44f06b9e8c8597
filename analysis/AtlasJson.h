#pragma once
// The atlas as JSON: what `tandor-cli atlas` writes, for a whole grid or for a part of it, and
// the reading and joining of parts into exactly what one run would have written.

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/ParameterAtlas.h"

namespace tandor {

struct AtlasFile {
  AtlasRequest Request;
  std::vector<AtlasTile> Tiles; // in index order
};

// A part (PartCount > 1) says which; a whole atlas does not.
std::string AtlasJson(const AtlasFile &atlas);

class AtlasFileError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Reads what AtlasJson wrote; throws AtlasFileError naming what is wrong.
AtlasFile ReadAtlasJson(std::string_view text);

// The parts of one atlas joined: they must agree on problem, grid, method, seed and tile side,
// and hold every tile once. Throws AtlasFileError otherwise, naming the missing tiles.
AtlasFile MergeAtlasParts(std::vector<AtlasFile> parts);

} // namespace tandor
