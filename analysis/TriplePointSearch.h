#pragma once
// Triple points: three points of D with one image. Seeds come from the run's result: places where
// two pieces of L pass within a few pixels of each other while pairing their points with
// siblings far apart (two branches crossing, or a point with two different siblings). Newton's
// method on F(P1) - F(P2) = 0, F(P1) - F(P3) = 0, six equations in six unknowns, refines each.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "analysis/NormalisedMap.h"
#include "analysis/SingularPoints.h"
#include "solvers/RunControl.h"

namespace tandor {

class TriplePointSearch {
public:
  using Triple = std::array<Vector2, 3>; // in (s, t)

  // Fills out.Triples. imageScale is the image size of a unit of s or t (the root of the
  // cross-cap search's scale). False when control asked for a stop, with the triple points
  // verified so far kept.
  bool Run(const NormalisedMap &F, double imageScale, std::span<const PairSegment> locus,
           RunControl &control, SingularPoints &out);

  // What Newton's method reached from a start.
  struct Refinement {
    Triple Points{};
    double Residual = 0;      // the length of (F(P1) - F(P2), F(P1) - F(P3))
    double Tolerance = 0;     // what the residual had to reach, given the size of F there
    double ErrorEstimate = 0; // distance still to the exact points
    bool Finite = false;
  };
  Refinement Refine(const NormalisedMap &F, const Triple &start) const;

  // Statistics of the last run.
  int CandidateCount = 0; // seeds that reached Newton's method
  int SkippedCount = 0;   // seeds close to a triple point found before, or to a failed one
  int PieceCount = 0;     // pieces kept in the buckets, retraces left out

  // A piece of L in (s, t) with the siblings of its ends.
  struct HalfSegment {
    Vector2 A0{}, A1{}, S0{}, S1{};
    Vector2 Along{};           // A1 - A0
    Vector2 Low{}, High{};     // the box of A0 and A1
    double InverseLength2 = 0; // 1 / |A1 - A0|^2, 0 for a piece of no length
    double Stretch = 1;        // how much longer its siblings are than the piece, 1 to 10

    static HalfSegment Of(const Vector2 &a0, const Vector2 &a1, const Vector2 &s0,
                          const Vector2 &s1);
    // The fraction along the piece of its point nearest to a.
    double NearestFraction(const Vector2 &a) const;
  };

private:
  void BuildHalfSegments(const NormalisedMap &F, std::span<const PairSegment> locus);
  bool FindCandidates(const NormalisedMap &F, RunControl &control);
  // Whether a lies on g with the sibling that g gives it.
  static bool OnPiece(const HalfSegment &g, const Vector2 &a, const Vector2 &sibling);
  // Whether a lies on a piece kept before, with the sibling that piece gives it.
  bool OnKeptPiece(const Vector2 &a, const Vector2 &sibling) const;
  bool SeedFrom(const HalfSegment &a, const HalfSegment &b, Triple &seed) const;
  // Whether each point of seed lies near a point of one triple of the list.
  static bool NearAny(const std::vector<Triple> &list, const Triple &seed);
  // Adds a converged triple point that passes every test (once); false when it fails one.
  bool Keep(const Refinement &r);

  double ImageScale = 0;
  std::vector<HalfSegment> Halves;
  // The pieces kept in the buckets of a grid over D (by their middles), each bucket's a list
  // through Next.
  struct KeptPiece {
    HalfSegment Piece;
    int32_t Next = -1;
  };
  std::vector<KeptPiece> Pool;
  std::vector<int32_t> BucketHead; // the last piece kept in each bucket, -1 for none
  std::vector<Triple> Found;
  std::vector<Triple> Tried; // seeds refined, up to a limit
};

} // namespace tandor
