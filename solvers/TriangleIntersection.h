#pragma once
// The triangle-intersection method: D is cut into a fixed grid of small triangles, F is taken as
// flat on each, and every pair of image triangles is tested for a cut in space. Pairs whose flat
// images pass the plane tests are refined three levels deep around their centroids; the cut of
// the finest pieces gives one straight segment of L in each of the two parameter triangles.

#include <array>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <random>
#include <span>
#include <vector>

#include "solvers/Canvas.h"
#include "solvers/MapEvaluator.h"
#include "solvers/RunControl.h"
#include "solvers/Trace.h"

namespace tandor {

// One triangle of D with its flat image. A point X of the image plane with
// X - P0 = s (P1 - P0) + t (P2 - P0) has s = (X - P0).d1 and t = (X - P0).d2.
struct TDomainTriangle {
  std::array<Vector2, 3> Corner{}; // parameter corners (u, v)
  std::array<Vector3, 3> P{};      // image corners F(Corner)
  Vector3 d1{}, d2{};              // dual vectors of the image's sides P1 - P0, P2 - P0
  Vector3 n{};                     // unit normal of the image
  bool Degenerate = true;          // no usable image plane: takes part in no test
};

// One straight piece of L in D, from (u1, v1) to (u2, v2).
struct TLocusSegment {
  double u1 = 0, v1 = 0, u2 = 0, v2 = 0;
  friend bool operator==(const TLocusSegment &, const TLocusSegment &) = default;
};

// End 1 in A, end 1 in B, end 2 in A, end 2 in B.
using TriangleEndPoints = std::array<Vector2, 4>;

struct TriangleStatistics {
  uint64_t PairsTested = 0;  // top-level pair tests
  uint64_t PairsRefined = 0; // pair splits, at every depth
};

// The rectangle D of a run, which every stored end point lies in.
struct TriangleDomain {
  Vector2 Low{-std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
  Vector2 High{std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()};
};

class CalcDib {
public:
  static constexpr int GridSize = 41;
  static constexpr int MaxGridSize = 61;
  static constexpr int TriangleCapacity = 2 * MaxGridSize * MaxGridSize;
  static constexpr int RefineDepth = 3;
  static constexpr double PlaneTolerance = 1e-10;
  static constexpr double DegenerateNormal = 1e-18;
  static constexpr int PollInterval = 30;
  static constexpr int PollCounterStart = 5;
  static constexpr std::size_t InitialSegmentRoom = 500;
  static constexpr int SegmentGrowth = 50;
  // What one run may store, and how much refinement may pass between two polls. Ordinary
  // problems store up to some 2,500,000 segments; a surface crumpled finer than the grid can
  // ask for tens of millions, over a gigabyte and a minute. At the cap (256 MB) the run ends
  // as a stop would end it. 10,000 refinements take 15 to 60 ms.
  static constexpr int DefaultMaxSegments = 8'000'000;
  static constexpr uint64_t DefaultPollWork = 10'000;
  static constexpr Rgb LocusColour{0, 128, 0};

  // The distances of a triangle's image corners from another image's plane and the sum of
  // their classes (+1 above, -1 below, 2 on it).
  struct PlaneSide {
    std::array<double, 3> d{};
    int sum = 0;
  };

  CalcDib();

  // Replaces the stored segments with those of F over [low, high]. A stop seen at a poll keeps
  // the segments found so far. F is used during the call only.
  void ComputeByTriangles(MapEvaluator F, const Vector2 &low, const Vector2 &high,
                          RunControl &control);

  // Fills rect with the canvas's brush and draws the stored segments in green. A long drawing
  // polls control, if given, and ends where a stop is asked.
  void DrawTriangleLocus(Canvas &canvas, const PixelRect &rect, const Vector2 &low,
                         const Vector2 &high, RunControl *control = nullptr) const;

  std::span<const TLocusSegment> Segments() const {
    return {SegmentList.data(), static_cast<std::size_t>(LastSegment + 1)};
  }
  int LastSegmentIndex() const { return LastSegment; }
  const TriangleStatistics &Statistics() const { return Stats; }

  // Runs after this one use the given seed instead of the clock, so a grid can be repeated.
  void SeedWith(uint64_t seed) { FixedSeed = seed; }
  void SeedFromClock() { FixedSeed.reset(); }
  // The seed of the last grid, drawn from the clock or given.
  uint64_t SeedUsed() const { return LastSeed; }

  // The steps of a run, open for tests. Those given F use it during the call only: refinement
  // evaluates F at the centroids. BuildTriangles also sets the domain of the stored ends.
  void BuildTriangles(MapEvaluator F, const Vector2 &low, const Vector2 &high);
  // Index 0 prepares a triangle that is not stored.
  void PrepareTriangle(TDomainTriangle T, int index);
  static void PrepareTriangle(TDomainTriangle &T);
  // False when the run was ended early, by a stop or by a full list.
  bool TestAllPairs(MapEvaluator F, RunControl &control);
  // depth 0 for table triangles. A and B are only read: refinement makes its sub-triangles
  // apart from them, so the table never changes.
  void TestTrianglePair(MapEvaluator F, const TDomainTriangle &A, const TDomainTriangle &B,
                        int depth);
  void SplitTrianglePair(MapEvaluator F, const TDomainTriangle &A, const TDomainTriangle &B,
                         int depth);
  // Stores the two segments unless the list is full.
  void AddSegmentPair(const TriangleEndPoints &ends);
  void ClearSegments() { LastSegment = -1; }

  int TriangleCount() const { return 2 * GridSize * GridSize; }
  const TDomainTriangle &Triangle(int index) const { return Triangles[index]; }
  double GridU(int i) const { return U[i]; }
  double GridV(int i) const { return V[i]; }
  // The pair filter without the wider instruction set, which must give the same result.
  void UseBaselineFilterOnly(bool on) { BaselineFilterOnly = on; }

  int MaxSegments = DefaultMaxSegments;
  uint64_t PollWork = DefaultPollWork; // refinements between two polls of a run
  // Threads of the pair loop, the calling one included. With more than one, F is called from
  // all of them at once and must allow it; the segments are those of one thread, in its order.
  int Threads = 1;

private:
  // Binds the map of a call for its duration.
  class MapScope {
  public:
    MapScope(CalcDib &dib, MapEvaluator F) : Dib(dib), Previous(dib.Map) { Dib.Map = F; }
    ~MapScope() { Dib.Map = Previous; }
    MapScope(const MapScope &) = delete;
    MapScope &operator=(const MapScope &) = delete;

  private:
    CalcDib &Dib;
    MapEvaluator Previous;
  };

  void SeedGenerator();
  void TestPair(const TDomainTriangle &A, const TDomainTriangle &B, int depth);
  void SplitPair(const TDomainTriangle &A, const TDomainTriangle &B, int depth);
  bool TestFirstMembers(RunControl &control, int firstA, int lastA);
  // TestAllPairs over the first members firstA..lastA, adding to the segments and statistics.
  bool TestFirstMemberRange(MapEvaluator F, RunControl &control, int firstA, int lastA);
  // TestAllPairs on Threads threads: TrianglePairThreads.cpp.
  bool TestAllPairsTogether(MapEvaluator F, RunControl &control);
  // What a helper of the pair loop reads of this run: the table, the planes, the domain.
  void CopyRunFrom(const CalcDib &owner);
  bool InDomain(TriangleEndPoints &ends) const;
  bool Full() const { return LastSegment + 2 >= MaxSegments; }
  double NextUniform();
  void StorePlane(int index, const TDomainTriangle &T);
  static bool PlanesCut(const TDomainTriangle &A, const TDomainTriangle &B, PlaneSide &sideA,
                        PlaneSide &sideB);
  void TestFirstMemberPair(int node, const TDomainTriangle &B, int depth);
  void TestCuttingPair(int node, const TDomainTriangle &B, const PlaneSide &sideA,
                       const PlaneSide &sideB, int depth);
  void SplitFirstMemberPair(int node, const TDomainTriangle &B, int depth);
  void AddCut(const TDomainTriangle &A, const TDomainTriangle &B, const PlaneSide &sideA,
              const PlaneSide &sideB);
  bool TestAgainstFollowers(const TDomainTriangle &A, int first, int skip, int last);

  MapEvaluator Map;         // only during a call that was given one
  RunPoll *Watch = nullptr; // only during TestAllPairs
  TriangleDomain StoredDomain;
  std::array<double, MaxGridSize + 1> U{}, V{};
  // Indexed from 1; entry 0 is unused.
  std::vector<TDomainTriangle> Triangles;
  // What the top-level plane test reads of every triangle, column by column, padded to whole
  // blocks with planes that reject everything.
  std::vector<double> PlaneX, PlaneY, PlaneZ, NormalX, NormalY, NormalZ;
  // The followers that pass that test, for one first member.
  std::vector<int> Followers;
  bool BaselineFilterOnly = false;

  // The first member of the pairs under test and its sub-triangles down to the last depth.
  std::array<TDomainTriangle, 1 + 3 + 9 + 27> FirstMemberTree{};
  std::array<bool, 1 + 3 + 9> FirstMemberSplit{};

  std::vector<TLocusSegment> SegmentList;
  int LastSegment = -1;
  // Counts the first members of a run, which poll at every PollInterval-th.
  int PollCounter = PollCounterStart;
  // The pair loop's helpers on other threads, kept from run to run.
  std::vector<std::unique_ptr<CalcDib>> Helpers;
  TriangleStatistics Stats;

  std::mt19937_64 Generator;
  std::optional<uint64_t> FixedSeed;
  uint64_t LastSeed = 0;
};

} // namespace tandor
