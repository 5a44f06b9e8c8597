// The parameter atlas: tiles at the cells' centres, the same tiles whatever the number of
// workers and the same as a lone run of their (p, q), strata that change where the family does,
// and JSON parts that join into the whole.

#include <gtest/gtest.h>

#include <random>
#include <thread>

#include "analysis/AtlasDrawing.h"
#include "analysis/AtlasJson.h"
#include "analysis/ParameterAtlas.h"
#include "analysis/RunAnalysis.h"
#include "common/RecordingCanvas.h"
#include "problem/ReadData.h"
#include "solvers/LocusRun.h"
#include "solvers/RunControl.h"

namespace tandor {
namespace {

// x = u, y = v^2, z = v^3 + (u^2 - p) v: (u, v) and (u, -v) share their image on the circle
// u^2 + v^2 = p, which exists only for p > 0, with its two cross-caps at (+-sqrt(p), 0).
AtlasRequest S1Family(int columns, int rows, int method) {
  AtlasRequest request;
  request.Lines = {"u",  "v^2", "v^3+(u^2-p)v", "-1", "1",   "-1", "1",
                   "-1", "1",   "-1",           "1",  "0.5", "0"};
  request.Columns = columns;
  request.Rows = rows;
  request.Method = method;
  request.TileSide = 48;
  return request;
}

// A non-linear one, so that every method takes part: the S1 germ seen through a bend of space.
AtlasRequest BentFamily(int method) {
  AtlasRequest request = S1Family(3, 2, method);
  request.Lines[0] = "u + (v^2)^2/4";
  return request;
}

void ExpectSameTiles(const std::vector<AtlasTile> &a, const std::vector<AtlasTile> &b) {
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(a[i].Index, b[i].Index);
    EXPECT_EQ(a[i].Pq, b[i].Pq);
    EXPECT_EQ(a[i].Records, b[i].Records);
    EXPECT_EQ(a[i].Pieces, b[i].Pieces);
    EXPECT_EQ(a[i].CrossCaps, b[i].CrossCaps);
    EXPECT_EQ(a[i].TriplePoints, b[i].TriplePoints);
    EXPECT_TRUE(a[i].Picture == b[i].Picture);
  }
}

std::vector<AtlasTile> Compute(const AtlasRequest &request, int jobs) {
  AtlasProgress progress;
  return ComputeAtlas(request, jobs, progress);
}

TEST(Atlas, TilesSitAtTheCellCentresRowByRowFromTheTop) {
  const Vector2 low{0, 0}, high{1, 2};
  EXPECT_EQ(TileCentre(low, high, 2, 2, 0), (Vector2{0.25, 1.5}));
  EXPECT_EQ(TileCentre(low, high, 2, 2, 1), (Vector2{0.75, 1.5}));
  EXPECT_EQ(TileCentre(low, high, 2, 2, 3), (Vector2{0.75, 0.5}));
  AtlasTile tile;
  tile.Pq = {0.125, -0.875};
  tile.CrossCaps = 2;
  EXPECT_EQ(TileLabelParameters(tile), "p 0.125  q -0.875");
  EXPECT_EQ(TileLabelCounts(tile), "C 2, T 0");
  EXPECT_NE(TileSeed(1, 0), TileSeed(1, 1));
  EXPECT_NE(TileSeed(1, 0), TileSeed(2, 0));
}

TEST(Atlas, EveryMethodGivesTheSameTilesOnOneWorkerOrTwoAndAsALoneRun) {
  for (int method = 0; method < 3; ++method) {
    SCOPED_TRACE(method);
    const AtlasRequest request = BentFamily(method);
    const std::vector<AtlasTile> one = Compute(request, 1), two = Compute(request, 2);
    ExpectSameTiles(one, two);
    ASSERT_EQ(one.size(), 6u);

    // The last tile as the window computes it after a drag of (p, q) to the tile's centre.
    Glob glob;
    MapFunctions map;
    KeptNotices notices;
    ASSERT_EQ(ReadData(glob, map, request.Lines, notices), 1);
    const AtlasTile &tile = one.back();
    SetParamValue(glob, map, tile.Pq);
    LocusSolvers solvers;
    solvers.SetSeed(TileSeed(request.Seed, tile.Index));
    NeverStop never;
    const LocusMethod inForce = MethodInForce(glob, method);
    solvers.Compute(inForce, glob, map, never);
    SingularPointAnalysis analysis;
    ASSERT_TRUE(analysis.Analyse(solvers, inForce, glob, map, never));
    const LocusMethodSolver &solver = *solvers.Solver(inForce);
    EXPECT_EQ(tile.Records,
              solver.TracePoints() ? solver.TracePoints()->size() : solver.SegmentCount());
    EXPECT_EQ(tile.CrossCaps, analysis.Result().CrossCaps.size());
    EXPECT_GT(tile.Records, 0u);
  }
}

TEST(Atlas, TheStratumChangesExactlyWhereTheCircleOfDoublePointsIsBorn) {
  const std::vector<AtlasTile> tiles = Compute(S1Family(8, 1, 0), 2);
  ASSERT_EQ(tiles.size(), 8u);
  const std::vector<int> strata = StratumNumbers(tiles);
  for (const AtlasTile &tile : tiles) {
    SCOPED_TRACE(tile.Pq[0]);
    const bool born = tile.Pq[0] > 0;
    EXPECT_EQ(tile.CrossCaps, born ? 2u : 0u);
    EXPECT_EQ(tile.Picture.InkCount() > 0, born);
    EXPECT_EQ(strata[static_cast<std::size_t>(tile.Index)], born ? 1 : 0);
  }
}

TEST(Atlas, PartsReadBackAndJoinIntoTheWhole) {
  AtlasFile whole{S1Family(4, 3, 2), {}};
  whole.Tiles = Compute(whole.Request, 2);
  std::vector<AtlasFile> parts;
  for (int k = 0; k < 3; ++k) {
    AtlasFile part{whole.Request, {}};
    part.Request.PartIndex = k;
    part.Request.PartCount = 3;
    part.Tiles = Compute(part.Request, 1);
    parts.push_back(ReadAtlasJson(AtlasJson(part)));
    EXPECT_EQ(parts.back().Request.PartIndex, k);
  }
  AtlasFile merged = MergeAtlasParts(parts);
  for (AtlasFile *atlas : {&whole, &merged})
    for (AtlasTile &tile : atlas->Tiles)
      tile.Seconds = 0; // the one thing that differs from run to run
  EXPECT_EQ(AtlasJson(merged), AtlasJson(whole));

  std::vector<AtlasFile> missing{parts[0], parts[2]};
  try {
    MergeAtlasParts(missing);
    ADD_FAILURE() << "a missing part was not named";
  } catch (const AtlasFileError &e) {
    EXPECT_NE(std::string(e.what()).find("missing tiles: 1, 4, 7, 10"), std::string::npos);
  }
  parts[1].Request.Seed = 7;
  EXPECT_THROW(MergeAtlasParts(parts), AtlasFileError);
}

TEST(Atlas, DamagedJsonIsRefusedWithAReason) {
  AtlasFile atlas{S1Family(2, 1, 0), {}};
  atlas.Tiles = Compute(atlas.Request, 1);
  const std::string text = AtlasJson(atlas);
  std::mt19937 random(5);
  for (int trial = 0; trial < 300; ++trial) {
    std::string damaged = text;
    const std::size_t at = random() % damaged.size();
    if (trial % 2)
      damaged.resize(at);
    else
      damaged[at] = static_cast<char>(random() % 96 + 32);
    try {
      const AtlasFile read = ReadAtlasJson(damaged);
      // A change that still reads leaves a well-formed atlas.
      for (const AtlasTile &tile : read.Tiles)
        EXPECT_LT(tile.Index, read.Request.TileCount());
    } catch (const AtlasFileError &e) {
      EXPECT_FALSE(std::string(e.what()).empty());
    }
  }
}

TEST(Atlas, BitmapsTravelBitForBit) {
  std::mt19937 random(3);
  for (int side : {1, 7, 8, 48, 97}) {
    TileBitmap bitmap(side);
    for (int k = 0; k < side; ++k)
      bitmap.Set(static_cast<int>(random() % side), static_cast<int>(random() % side));
    TileBitmap back;
    ASSERT_TRUE(TileBitmap::Decode(bitmap.Encoded(), side, back)) << side;
    EXPECT_TRUE(back == bitmap) << side;
    EXPECT_FALSE(TileBitmap::Decode(bitmap.Encoded(), side + 8, back)) << side;
  }
  // Lines leave out their end pixel, as on the screen, and stay inside the tile.
  TileBitmap line(10);
  BitmapCanvas canvas(line);
  canvas.MoveTo(-5, 2);
  canvas.LineTo(20, 2);
  EXPECT_EQ(line.InkCount(), 10u);
}

TEST(Atlas, ACancelEndsEveryWorker) {
  AtlasRequest request = S1Family(6, 6, 2);
  AtlasProgress progress;
  std::thread canceller([&] {
    while (progress.Done.load() < 1)
      std::this_thread::yield();
    progress.Cancel = true;
  });
  const std::vector<AtlasTile> tiles = ComputeAtlas(request, 2, progress);
  canceller.join();
  EXPECT_LT(tiles.size(), 36u);
  EXPECT_GE(tiles.size(), 1u);
}

TEST(Atlas, TheDrawingTintsEachStratumAndLabelsEveryTile) {
  AtlasFile atlas{S1Family(2, 1, 0), {}};
  atlas.Tiles = Compute(atlas.Request, 1);
  testing::RecordingCanvas canvas;
  DrawAtlas(canvas, atlas);
  ASSERT_EQ(canvas.texts.size(), 4u);
  EXPECT_EQ(canvas.texts[1].text, "C 0, T 0");
  EXPECT_EQ(canvas.texts[3].text, "C 2, T 0");
  EXPECT_FALSE(canvas.pixels.empty());
  const AtlasLayout layout(atlas.Request);
  EXPECT_EQ(layout.TileAt(layout.CellWidth() + 1, 1), 1);
  EXPECT_FALSE(layout.TileAt(-1, 0).has_value());
}

} // namespace
} // namespace tandor
