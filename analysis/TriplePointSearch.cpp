#include "analysis/TriplePointSearch.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "analysis/CanonicalOrder.h"
#include "analysis/Polling.h"
#include "analysis/SmallSolve.h"
#include "solvers/Kernels.h"

namespace tandor {

namespace {

constexpr double Infinity = std::numeric_limits<double>::infinity();

// Two pieces of L closer than this in the picture may cross between their stored points.
constexpr double Reach = 3 * PicturePixel;
// A seed's three points must lie this far apart; a kept triple's, more than a pixel.
constexpr double SeedSeparation = 2 * PicturePixel;
constexpr double KeptSeparation = PicturePixel;
// A seed whose points all lie this close to those of a triple point found before is that one,
// and one this close to a seed tried before leads where that one led.
constexpr double NearRadius = 3 * PicturePixel;
constexpr std::size_t MaxTried = 256;
// A piece within this of a kept one, with its siblings as close, is a retrace of it.
constexpr double CoverRadius = PicturePixel / 2;
constexpr double ResidualFactor = 1e-11;
// |F| carries rounding of about 1e-16 of itself, which no refinement can remove.
constexpr double RoundingFactor = 1e-15;
constexpr double AccuracyLimit = 1e-10; // in (s, t); see the cross-cap search
constexpr double PivotFloor = 1e-13;
constexpr int MaxIterations = 40;
constexpr int MaxHalvings = 10;
constexpr double WalkMargin = 0.1;
constexpr double BorderSlack = 1e-12;
constexpr double SameTriple = 1e-7;
// Pieces are at most this long (a tracer's step is up to 10 pixels). Two that come within the
// reach then have their middles at most 13 pixels apart: in neighbouring buckets of 13.3.
constexpr double MaxPiece = 10 * PicturePixel;
constexpr int Buckets = 30;

using Triple = TriplePointSearch::Triple;

Vector2 Lerp(const Vector2 &a, const Vector2 &b, double x) {
  return {a[0] + x * (b[0] - a[0]), a[1] + x * (b[1] - a[1])};
}

double Distance(const Vector2 &a, const Vector2 &b) {
  const double du = a[0] - b[0], dv = a[1] - b[1];
  return std::sqrt(du * du + dv * dv);
}

double Dot(const Vector2 &a, const Vector2 &b) {
  return a[0] * b[0] + a[1] * b[1];
}

// The closest points of the segments p0-p1 and q0-q1, as fractions along each.
void ClosestPoints(const Vector2 &p0, const Vector2 &p1, const Vector2 &q0, const Vector2 &q1,
                   double &x, double &y) {
  const Vector2 d1{p1[0] - p0[0], p1[1] - p0[1]}, d2{q1[0] - q0[0], q1[1] - q0[1]};
  const Vector2 r{p0[0] - q0[0], p0[1] - q0[1]};
  const double a = Dot(d1, d1), e = Dot(d2, d2), f = Dot(d2, r);
  if (a <= 0 && e <= 0) {
    x = y = 0;
    return;
  }
  if (a <= 0) {
    x = 0;
    y = std::clamp(f / e, 0.0, 1.0);
    return;
  }
  const double c = Dot(d1, r);
  if (e <= 0) {
    y = 0;
    x = std::clamp(-c / a, 0.0, 1.0);
    return;
  }
  const double b = Dot(d1, d2), denominator = a * e - b * b;
  x = denominator > 0 ? std::clamp((b * f - c * e) / denominator, 0.0, 1.0) : 0.0;
  y = (b * x + f) / e;
  if (y < 0) {
    y = 0;
    x = std::clamp(-c / a, 0.0, 1.0);
  } else if (y > 1) {
    y = 1;
    x = std::clamp((b - c) / a, 0.0, 1.0);
  }
}

bool Finite(const Vector2 &a) {
  return std::isfinite(a[0]) && std::isfinite(a[1]);
}

bool InClosedSquare(const Vector2 &p, double slack) {
  return std::fabs(p[0]) <= 1 + slack && std::fabs(p[1]) <= 1 + slack;
}

int BucketOf(double x) {
  const double b = std::floor((x + 1) / (2.0 / Buckets));
  return static_cast<int>(std::clamp(b, 0.0, Buckets - 1.0));
}

// F and its derivatives at the three points, and the six residuals.
struct TripleJets {
  std::array<MapJet, 3> Jet;
  std::array<double, 6> G{};
  double Norm = 0, Size = 0; // |G|, and the largest |F| of the three
};

TripleJets JetsAt(const NormalisedMap &F, const Triple &X) {
  TripleJets j;
  for (int k = 0; k < 3; ++k)
    j.Jet[k] = F.Jet(X[k]);
  for (int c = 0; c < 3; ++c) {
    j.G[c] = j.Jet[0].F[c] - j.Jet[1].F[c];
    j.G[3 + c] = j.Jet[0].F[c] - j.Jet[2].F[c];
  }
  long double sum = 0;
  for (double g : j.G)
    sum += static_cast<long double>(g) * g;
  j.Norm = static_cast<double>(std::sqrt(sum));
  for (const MapJet &m : j.Jet)
    j.Size = std::max(j.Size, Norm3(m.F));
  return j;
}

// The Newton step d with J d = -G; false where J is singular.
bool NewtonStep(const TripleJets &j, std::array<double, 6> &d) {
  std::array<std::array<long double, 6>, 6> A{};
  std::array<long double, 6> b{};
  for (int c = 0; c < 3; ++c) {
    for (int row : {c, 3 + c}) {
      A[row][0] = j.Jet[0].Fs[c];
      A[row][1] = j.Jet[0].Ft[c];
      b[row] = -static_cast<long double>(j.G[row]);
    }
    A[c][2] = -j.Jet[1].Fs[c];
    A[c][3] = -j.Jet[1].Ft[c];
    A[3 + c][4] = -j.Jet[2].Fs[c];
    A[3 + c][5] = -j.Jet[2].Ft[c];
  }
  return SolveSquare<6>(A, b, d, PivotFloor);
}

double Length(const std::array<double, 6> &d) {
  long double s = 0;
  for (double x : d)
    s += static_cast<long double>(x) * x;
  return static_cast<double>(std::sqrt(s));
}

Triple Moved(const Triple &X, const std::array<double, 6> &d, double lambda) {
  Triple Y = X;
  for (int k = 0; k < 3; ++k)
    Y[k] = {X[k][0] + lambda * d[2 * k], X[k][1] + lambda * d[2 * k + 1]};
  return Y;
}

} // namespace

TriplePointSearch::HalfSegment TriplePointSearch::HalfSegment::Of(const Vector2 &a0,
                                                                  const Vector2 &a1,
                                                                  const Vector2 &s0,
                                                                  const Vector2 &s1) {
  HalfSegment h{a0, a1, s0, s1};
  h.Along = {a1[0] - a0[0], a1[1] - a0[1]};
  h.Low = {std::min(a0[0], a1[0]), std::min(a0[1], a1[1])};
  h.High = {std::max(a0[0], a1[0]), std::max(a0[1], a1[1])};
  const double length = Distance(a0, a1);
  h.InverseLength2 = length > 0 ? 1 / (length * length) : 0.0;
  h.Stretch = length > 0 ? std::clamp(Distance(s0, s1) / length, 1.0, 10.0) : 1.0;
  return h;
}

bool TriplePointSearch::Run(const NormalisedMap &F, double imageScale,
                            std::span<const PairSegment> locus, RunControl &control,
                            SingularPoints &out) {
  ImageScale = imageScale;
  CandidateCount = SkippedCount = PieceCount = 0;
  Found.clear();
  BuildHalfSegments(F, locus);
  const bool stopped = !FindCandidates(F, control);
  std::sort(Found.begin(), Found.end(),
            [](const Triple &a, const Triple &b) { return CanonicalOrder(a[0], b[0]); });
  for (const Triple &T : Found) {
    TriplePoint t;
    for (int k = 0; k < 3; ++k)
      t.Points[k] = F.ToClosedDomain(T[k]);
    t.Image = F.ValueAtPoint(t.Points[0]);
    out.Triples.push_back(t);
  }
  return !stopped;
}

void TriplePointSearch::BuildHalfSegments(const NormalisedMap &F,
                                          std::span<const PairSegment> locus) {
  Halves.clear();
  for (const PairSegment &s : locus) {
    const Vector2 p0 = F.FromDomain({s.From[0], s.From[1]}),
                  q0 = F.FromDomain({s.From[2], s.From[3]});
    const Vector2 p1 = F.FromDomain({s.To[0], s.To[1]}), q1 = F.FromDomain({s.To[2], s.To[3]});
    if (!Finite(p0) || !Finite(q0) || !Finite(p1) || !Finite(q1))
      continue;
    // Each half of the pair is a piece of L whose siblings are the other half; long ones go in
    // parts, so that the pieces near a piece lie in the buckets around its middle.
    const int parts = static_cast<int>(
        std::clamp(std::ceil(std::max(Distance(p0, p1), Distance(q0, q1)) / MaxPiece), 1.0, 64.0));
    for (int k = 0; k < parts; ++k) {
      const double x0 = static_cast<double>(k) / parts, x1 = static_cast<double>(k + 1) / parts;
      const Vector2 a0 = Lerp(p0, p1, x0), a1 = Lerp(p0, p1, x1);
      const Vector2 b0 = Lerp(q0, q1, x0), b1 = Lerp(q0, q1, x1);
      Halves.push_back(HalfSegment::Of(a0, a1, b0, b1));
      Halves.push_back(HalfSegment::Of(b0, b1, a0, a1));
    }
  }
}

bool TriplePointSearch::FindCandidates(const NormalisedMap &F, RunControl &control) {
  PollEvery pollChecks(control, 1024), pollNewton(control, 8);
  Tried.clear();
  Pool.clear();
  BucketHead.assign(Buckets * Buckets, -1);
  // In the order of the result, so that its pieces are read once and in turn. A method may
  // trace one branch many times over: a piece whose ends lie on pieces kept before, with the
  // same siblings, adds nothing; the others are looked at with the pieces kept near them and
  // kept in the bucket of their middle.
  for (const HalfSegment &h : Halves) {
    const int bi = BucketOf((h.A0[0] + h.A1[0]) / 2), bj = BucketOf((h.A0[1] + h.A1[1]) / 2);
    if (OnKeptPiece(h.A0, h.S0) && OnKeptPiece(h.A1, h.S1))
      continue;
    for (int j = std::max(bj - 1, 0); j <= std::min(bj + 1, Buckets - 1); ++j)
      for (int i = std::max(bi - 1, 0); i <= std::min(bi + 1, Buckets - 1); ++i)
        for (int32_t k = BucketHead[j * Buckets + i]; k >= 0; k = Pool[k].Next) {
          if (pollChecks.Stop())
            return false;
          Triple seed{};
          if (!SeedFrom(Pool[k].Piece, h, seed))
            continue;
          if (NearAny(Found, seed) || NearAny(Tried, seed)) {
            ++SkippedCount;
            continue;
          }
          if (pollNewton.Stop())
            return false;
          ++CandidateCount;
          Keep(Refine(F, seed));
          if (Tried.size() < MaxTried)
            Tried.push_back(seed);
        }
    const int32_t bucket = bj * Buckets + bi;
    Pool.push_back({h, BucketHead[bucket]});
    BucketHead[bucket] = static_cast<int32_t>(Pool.size() - 1);
  }
  PieceCount = static_cast<int>(Pool.size());
  return true;
}

double TriplePointSearch::HalfSegment::NearestFraction(const Vector2 &a) const {
  const double x = ((a[0] - A0[0]) * Along[0] + (a[1] - A0[1]) * Along[1]) * InverseLength2;
  return std::clamp(x, 0.0, 1.0);
}

bool TriplePointSearch::OnPiece(const HalfSegment &g, const Vector2 &a, const Vector2 &sibling) {
  // Squared distances: this runs for every piece in every bucket.
  auto square = [](const Vector2 &p, const Vector2 &q) {
    return (p[0] - q[0]) * (p[0] - q[0]) + (p[1] - q[1]) * (p[1] - q[1]);
  };
  if (a[0] < g.Low[0] - CoverRadius || a[0] > g.High[0] + CoverRadius ||
      a[1] < g.Low[1] - CoverRadius || a[1] > g.High[1] + CoverRadius)
    return false;
  const double x = g.NearestFraction(a);
  const double r = 2 * CoverRadius * g.Stretch;
  return square(a, Lerp(g.A0, g.A1, x)) <= CoverRadius * CoverRadius &&
         square(sibling, Lerp(g.S0, g.S1, x)) <= r * r;
}

bool TriplePointSearch::OnKeptPiece(const Vector2 &a, const Vector2 &sibling) const {
  // A piece that a lies on has its middle within 5.5 pixels of a: in a's bucket, most often,
  // or in one next to it.
  const int ai = BucketOf(a[0]), aj = BucketOf(a[1]);
  auto onOneIn = [&](int i, int j) {
    for (int32_t k = BucketHead[j * Buckets + i]; k >= 0; k = Pool[k].Next)
      if (OnPiece(Pool[k].Piece, a, sibling))
        return true;
    return false;
  };
  if (onOneIn(ai, aj))
    return true;
  for (int j = std::max(aj - 1, 0); j <= std::min(aj + 1, Buckets - 1); ++j)
    for (int i = std::max(ai - 1, 0); i <= std::min(ai + 1, Buckets - 1); ++i)
      if ((i != ai || j != aj) && onOneIn(i, j))
        return true;
  return false;
}

bool TriplePointSearch::SeedFrom(const HalfSegment &a, const HalfSegment &b, Triple &seed) const {
  for (int k = 0; k < 2; ++k)
    if (a.Low[k] > b.High[k] + Reach || b.Low[k] > a.High[k] + Reach)
      return false;
  double x = 0, y = 0;
  ClosestPoints(a.A0, a.A1, b.A0, b.A1, x, y);
  const Vector2 pa = Lerp(a.A0, a.A1, x);
  // Siblings are compared at one point of L: b's point nearest to a's, so that two traces of
  // one branch agree wherever along their overlap the closest points happened to fall.
  const double nearest = b.NearestFraction(pa);
  const double gap = Distance(pa, Lerp(b.A0, b.A1, nearest));
  if (!(gap <= Reach))
    return false;
  seed = {pa, Lerp(a.S0, a.S1, x), Lerp(b.S0, b.S1, nearest)};
  // Where the pieces only come near each other (a branch ending beside another, a lone
  // point), one branch's siblings also differ by the gap, stretched as the pieces stretch
  // their siblings.
  const double stretch = std::max(a.Stretch, b.Stretch);
  // The same branch met again, or the neighbourhood of a cross-cap, pairs with (nearly) the
  // same sibling.
  return Distance(seed[1], seed[2]) > SeedSeparation + 2 * stretch * gap &&
         Distance(seed[0], seed[1]) > SeedSeparation && Distance(seed[0], seed[2]) > SeedSeparation;
}

bool TriplePointSearch::NearAny(const std::vector<Triple> &list, const Triple &seed) {
  for (const Triple &T : list) {
    bool all = true;
    for (const Vector2 &p : seed)
      all = all && std::any_of(T.begin(), T.end(),
                               [&](const Vector2 &q) { return Distance(p, q) <= NearRadius; });
    if (all)
      return true;
  }
  return false;
}

TriplePointSearch::Refinement TriplePointSearch::Refine(const NormalisedMap &F,
                                                        const Triple &start) const {
  Refinement z;
  z.Points = start;
  TripleJets j = JetsAt(F, start);
  if (!std::isfinite(j.Norm))
    return z;
  for (int k = 0; k < MaxIterations && j.Norm > 0; ++k) {
    std::array<double, 6> d{};
    if (!NewtonStep(j, d))
      break;
    bool moved = false;
    double lambda = 1;
    for (int h = 0; h < MaxHalvings && !moved; ++h, lambda /= 2) {
      const Triple Y = Moved(z.Points, d, lambda);
      const TripleJets jy = JetsAt(F, Y);
      if (jy.Norm < j.Norm) // false for NaN
        z.Points = Y, j = jy, moved = true;
    }
    if (!moved)
      break;
    for (const Vector2 &p : z.Points)
      if (!InClosedSquare(p, WalkMargin))
        return z;
  }
  z.Finite = true;
  z.Residual = j.Norm;
  z.Tolerance = ResidualFactor * ImageScale + RoundingFactor * j.Size;
  // Newton's own estimate where the six equations are regular: the step still to take, with a
  // factor for safety. Where they are singular the three sheets are not transversal.
  std::array<double, 6> d{};
  z.ErrorEstimate = j.Norm == 0 ? 0 : NewtonStep(j, d) ? 2 * Length(d) : Infinity;
  return z;
}

bool TriplePointSearch::Keep(const Refinement &r) {
  if (!r.Finite || !(r.Residual <= r.Tolerance) || !(r.ErrorEstimate <= AccuracyLimit))
    return false;
  Triple T = r.Points;
  for (Vector2 &p : T) {
    if (!InClosedSquare(p, BorderSlack))
      return false;
    p = {std::clamp(p[0], -1.0, 1.0), std::clamp(p[1], -1.0, 1.0)};
  }
  if (!(Distance(T[0], T[1]) > KeptSeparation && Distance(T[0], T[2]) > KeptSeparation &&
        Distance(T[1], T[2]) > KeptSeparation))
    return false;
  std::sort(T.begin(), T.end(), CanonicalOrder);
  for (const Triple &f : Found)
    if (Distance(f[0], T[0]) <= SameTriple && Distance(f[1], T[1]) <= SameTriple &&
        Distance(f[2], T[2]) <= SameTriple)
      return true; // found again
  Found.push_back(T);
  return true;
}

} // namespace tandor
