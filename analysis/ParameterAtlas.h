#pragma once
// The parameter atlas: one run of a method, and of the singular-point search, at the centre of
// each cell of an n x m grid over the parameter square, each tile with its counts and a small
// picture of L. Every tile depends only on the problem, its (p, q) and its seed, so a pool of
// workers, each with its own compiled functions and method state, computes them in any order
// and any number with the same result.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/TileBitmap.h"
#include "problem/Glob.h"

namespace tandor {

struct AtlasRequest {
  DataLineArray Lines; // the problem, as a data file holds it
  int Columns = 6, Rows = 6;
  int Method = 0; // the window's method number; a linear x(u, v) takes the linear case
  uint64_t Seed = 1;
  int TileSide = 96;                // pixels of a tile's picture
  int PartIndex = 0, PartCount = 1; // only the tiles whose index is PartIndex modulo PartCount

  bool InPart(int index) const { return index % PartCount == PartIndex; }
  int TileCount() const { return Columns * Rows; }
};

struct AtlasTile {
  int Index = 0;       // row by row, the top row (the largest q) first, as the square shows it
  Vector2 Pq{};        // the centre of the tile's cell
  std::string Refusal; // empty when the tile was computed, else why not
  std::size_t Records = 0, Pieces = 0;
  std::size_t CrossCaps = 0, TriplePoints = 0;
  bool SingularCurve = false;
  double Seconds = 0;
  TileBitmap Picture;
  Rgb Ink = Black;

  // Tiles with the same counts lie in one stratum of the family.
  bool SameStratum(const AtlasTile &other) const {
    return Refusal.empty() == other.Refusal.empty() && CrossCaps == other.CrossCaps &&
           TriplePoints == other.TriplePoints && SingularCurve == other.SingularCurve;
  }
};

// The centre of the cell of a tile: p grows to the right, q upward.
Vector2 TileCentre(const Vector2 &low, const Vector2 &high, int columns, int rows, int index);

// A tile's own seed, drawn from the atlas seed so that no two tiles share one.
uint64_t TileSeed(uint64_t atlasSeed, int index);

// Shared with the caller while the workers run: how many tiles are done, and a request to end.
struct AtlasProgress {
  std::atomic<int> Done{0};
  std::atomic<bool> Cancel{false};
  // The workers run only when the machine is otherwise idle (a background atlas must never
  // slow what the user is doing).
  bool Idle = false;
};

// The tiles of the request's part, in index order; jobs workers (at least one). Throws InputError
// with the read's message when the problem is refused. After a cancel the tiles not done are
// missing from the result.
std::vector<AtlasTile> ComputeAtlas(const AtlasRequest &request, int jobs, AtlasProgress &progress);

// The strata of a whole atlas: for each tile, the number of its stratum, in order of first
// appearance.
std::vector<int> StratumNumbers(const std::vector<AtlasTile> &tiles);

} // namespace tandor
