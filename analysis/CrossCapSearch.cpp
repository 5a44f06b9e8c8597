#include "analysis/CrossCapSearch.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#include "analysis/CanonicalOrder.h"
#include "analysis/Polling.h"
#include "solvers/Kernels.h"

namespace tandor {

namespace {

constexpr double Infinity = std::numeric_limits<double>::infinity();
constexpr int NodesPerSide = CrossCapSearch::Cells + 1;
constexpr double CellWidth = 2.0 / CrossCapSearch::Cells;
constexpr int ScaleSpacing = 4;

// Accepted zeros: |Fs x Ft| at most this times the scale.
constexpr double ResidualFactor = 1e-11;
// The largest distance in (s, t) that a kept zero may still be from the exact one: far below
// the promised 1e-9 of D's diagonal, which is at least 1 in these units.
constexpr double AccuracyLimit = 1e-10;
// Central differences of the exact first derivatives: the step balances the truncation error
// (step^2) against the rounding of the derivatives (1e-16 / step).
constexpr double JacobianStep = 4e-6;
constexpr int MaxIterations = 60; // a degenerate zero converges only linearly
constexpr int MaxHalvings = 12;
// A walk that leaves D by more than this has found nothing in D.
constexpr double WalkMargin = 0.1;
// Rounding may put a zero on D's border just outside it.
constexpr double BorderSlack = 1e-12;
// A zero whose Jacobian's singular values differ by more than this is not regular: it may lie
// on a curve of zeros, which probes along the weak direction tell.
constexpr double RegularRatio = 1e-6;
constexpr double ProbeDistance = 2 * PicturePixel;
// The linear model of a cell must leave at most this part of |Fs x Ft| at its zero.
constexpr double ModelLeftover = 0.25;
// A walk whose |Fs x Ft| no longer falls below this part of the last value is at a least
// value above zero (a degenerate zero still gives a quarter or so per step).
constexpr double StallRatio = 0.9;
// Walks kept away from the zeros a seed found, after its first.
constexpr int MaxDeflations = 3;
// Two converged zeros closer than this are one.
constexpr double SameZero = 1e-7;

double Length(const Vector2 &a) {
  return std::sqrt(a[0] * a[0] + a[1] * a[1]);
}

bool InClosedSquare(const Vector2 &p, double slack) {
  return std::fabs(p[0]) <= 1 + slack && std::fabs(p[1]) <= 1 + slack;
}

} // namespace

bool CrossCapSearch::Run(const NormalisedMap &F, RunControl &control, SingularPoints &out) {
  SeedCount = RefinementCount = 0;
  Found.clear();
  if (!Scan(F, control))
    return false;
  FindScale();
  CollectSeeds();
  SeedCount = static_cast<int>(Seeds.size());
  PollEvery poll(control, 8);
  bool stopped = false;
  for (const Seed &seed : Seeds) {
    if (poll.Stop()) {
      stopped = true;
      break;
    }
    RefineSeed(F, seed.Start, out);
  }
  std::sort(Found.begin(), Found.end(), CanonicalOrder);
  for (const Vector2 &st : Found) {
    const Vector2 uv = F.ToClosedDomain(st);
    out.CrossCaps.push_back({uv, F.ValueAtPoint(uv)});
  }
  return !stopped;
}

bool CrossCapSearch::Scan(const NormalisedMap &F, RunControl &control) {
  NodeRows.resize(2 * NodesPerSide);
  CellResidual.resize(Cells * Cells);
  CellVector.resize(Cells * Cells);
  ScaleSamples.clear();
  PollEvery poll(control, 16);
  for (int j = 0; j < NodesPerSide; ++j) {
    if (poll.Stop())
      return false;
    Vector3 *row = &NodeRows[(j % 2) * NodesPerSide];
    const double t = j == Cells ? 1.0 : -1 + j * CellWidth;
    for (int i = 0; i < NodesPerSide; ++i)
      F.ValueInto({i == Cells ? 1.0 : -1 + i * CellWidth, t}, row[i]);
    if (j > 0)
      ScanCellRow(j - 1, &NodeRows[((j - 1) % 2) * NodesPerSide], row);
  }
  return true;
}

void CrossCapSearch::ScanCellRow(int j, const Vector3 *below, const Vector3 *above) {
  // Plain double arithmetic: these values only choose the seeds and the scale.
  constexpr double k = 1 / (2 * CellWidth);
  double *residual = &CellResidual[j * Cells];
  std::array<float, 3> *vectors = &CellVector[j * Cells];
  for (int i = 0; i < Cells; ++i) {
    const Vector3 &a = below[i], &b = below[i + 1], &c = above[i], &d = above[i + 1];
    double fs[3], ft[3];
    for (int m = 0; m < 3; ++m) {
      fs[m] = ((b[m] - a[m]) + (d[m] - c[m])) * k;
      ft[m] = ((c[m] - a[m]) + (d[m] - b[m])) * k;
    }
    const double n0 = fs[1] * ft[2] - fs[2] * ft[1], n1 = fs[2] * ft[0] - fs[0] * ft[2],
                 n2 = fs[0] * ft[1] - fs[1] * ft[0];
    const double r = n0 * n0 + n1 * n1 + n2 * n2; // squared: only compared
    residual[i] = std::isfinite(r) ? r : Infinity;
    vectors[i] = {static_cast<float>(n0), static_cast<float>(n1), static_cast<float>(n2)};
    // The scale from every fourth cell each way: some 600 samples are plenty for a median.
    if ((i | j) % ScaleSpacing == 0) {
      const double q = (fs[0] * fs[0] + fs[1] * fs[1] + fs[2] * fs[2] + ft[0] * ft[0] +
                        ft[1] * ft[1] + ft[2] * ft[2]) /
                       2;
      if (std::isfinite(q))
        ScaleSamples.push_back(q);
    }
  }
}

void CrossCapSearch::FindScale() {
  ScaleValue = 0;
  if (ScaleSamples.empty())
    return;
  // The median, so that a corner where F blows up does not loosen the tolerance everywhere.
  auto middle = ScaleSamples.begin() + ScaleSamples.size() / 2;
  std::nth_element(ScaleSamples.begin(), middle, ScaleSamples.end());
  ScaleValue = *middle;
  if (ScaleValue == 0) // F constant on most of D: the rest sets the scale
    ScaleValue = std::accumulate(ScaleSamples.begin(), ScaleSamples.end(), 0.0) /
                 static_cast<double>(ScaleSamples.size());
}

bool CrossCapSearch::IsLocalMinimum(int i, int j) const {
  const int index = j * Cells + i;
  const double r = CellResidual[index];
  if (!std::isfinite(r))
    return false;
  // On a plateau only its first cell in scan order is a minimum: strictly below the
  // neighbours before it, not above those after it. The row's own neighbours first, as most
  // cells fail there.
  if ((i > 0 && !(r < CellResidual[index - 1])) ||
      (i + 1 < Cells && !(r <= CellResidual[index + 1])))
    return false;
  for (const int dj : {-1, 1}) {
    const int nj = j + dj;
    if (nj < 0 || nj >= Cells)
      continue;
    for (int ni = std::max(i - 1, 0); ni <= std::min(i + 1, Cells - 1); ++ni) {
      const double other = CellResidual[nj * Cells + ni];
      if (dj < 0 ? !(r < other) : !(r <= other))
        return false;
    }
  }
  return true;
}

bool CrossCapSearch::IsAxisMinimum(int i, int j) const {
  const double *r = &CellResidual[j * Cells + i];
  const bool alongS = (i == 0 || *r <= r[-1]) && (i + 1 == Cells || *r <= r[1]);
  const bool alongT = (j == 0 || *r <= r[-Cells]) && (j + 1 == Cells || *r <= r[Cells]);
  return std::isfinite(*r) && (alongS || alongT);
}

bool CrossCapSearch::ModelZero(int i, int j, Vector2 &zero) const {
  auto vector = [this](int a, int b) {
    const std::array<float, 3> &f = CellVector[b * Cells + a];
    return Vector3{f[0], f[1], f[2]};
  };
  // Differences between neighbouring cells (one-sided at the edges) for the Jacobian.
  auto column = [&](int a0, int b0, int a1, int b1) {
    const Vector3 p = vector(a1, b1), m = vector(a0, b0);
    const double apart = CellWidth * ((a1 - a0) + (b1 - b0));
    return Vector3{(p[0] - m[0]) / apart, (p[1] - m[1]) / apart, (p[2] - m[2]) / apart};
  };
  const Jacobian32 J{column(std::max(i - 1, 0), j, std::min(i + 1, Cells - 1), j),
                     column(i, std::max(j - 1, 0), i, std::min(j + 1, Cells - 1))};
  const Vector3 r = vector(i, j);
  Vector2 d{};
  if (!LeastSquaresStep(J, r, d))
    return false;
  // The zero of the model must lie in this cell (with a little overlap), which then owns it,
  // and the model must nearly vanish there: a valley of |Fs x Ft| above zero has a least
  // point in every cell along it.
  constexpr double reach = 0.6 * CellWidth;
  if (!(std::fabs(d[0]) <= reach && std::fabs(d[1]) <= reach))
    return false;
  Vector3 left{};
  for (int c = 0; c < 3; ++c)
    left[c] = r[c] + J.Du[c] * d[0] + J.Dv[c] * d[1];
  if (!(Norm3(left) <= ModelLeftover * Norm3(r)))
    return false;
  zero = {-1 + (i + 0.5) * CellWidth + d[0], -1 + (j + 0.5) * CellWidth + d[1]};
  return true;
}

void CrossCapSearch::CollectSeeds() {
  Seeds.clear();
  for (int j = 0; j < Cells; ++j)
    for (int i = 0; i < Cells; ++i) {
      // Least among its neighbours, or along one axis with the linear model of Fs x Ft
      // vanishing in the cell: two cross-caps a cell or two apart, whose cells are not both
      // least among their neighbours, then each have a cell of their own.
      if (!IsAxisMinimum(i, j))
        continue;
      const double r = CellResidual[j * Cells + i];
      Vector2 zero{};
      if (ModelZero(i, j, zero))
        Seeds.push_back({zero, r, j * Cells + i});
      else if (IsLocalMinimum(i, j))
        Seeds.push_back(
            {{-1 + (i + 0.5) * CellWidth, -1 + (j + 0.5) * CellWidth}, r, j * Cells + i});
    }
  // Least residual first; ties in the order of the scan (a stable sort would allocate).
  std::sort(Seeds.begin(), Seeds.end(), [](const Seed &a, const Seed &b) {
    return a.Residual < b.Residual || (a.Residual == b.Residual && a.Cell < b.Cell);
  });
}

double CrossCapSearch::Tolerance() const {
  return ResidualFactor * ScaleValue;
}

Vector3 CrossCapSearch::Residual(const NormalisedMap &F, const Vector2 &st) const {
  const MapJet j = F.Jet(st);
  return Cross3(j.Fs, j.Ft);
}

void CrossCapSearch::RefineSeed(const NormalisedMap &F, const Vector2 &start, SingularPoints &out) {
  // Cross-caps a few pixels apart may share one seed, whose walk reaches one of them. Walks
  // from the same start kept away from the zeros known around it look for the others, until
  // one finds nothing new.
  Avoid.clear();
  for (int round = 0; round <= MaxDeflations; ++round) {
    ++RefinementCount;
    const std::size_t known = Found.size();
    const Vector2 *reached = Classify(F, Refine(F, start, Avoid), out);
    if (Found.size() > known)
      reached = &Found.back();
    else if (reached == nullptr || std::find(Avoid.begin(), Avoid.end(), *reached) != Avoid.end())
      return;
    Avoid.push_back(*reached);
  }
}

Vector3 CrossCapSearch::Objective(const NormalisedMap &F, const Vector2 &st,
                                  std::span<const Vector2> avoid) const {
  Vector3 r = Residual(F, st);
  // Deflation: divided by the squared distance to each known zero, the residual no longer
  // vanishes there, and a walk finds the zeros beside them.
  for (const Vector2 &z : avoid) {
    const double du = st[0] - z[0], dv = st[1] - z[1];
    const double m = 1 + 1 / (du * du + dv * dv);
    r = {r[0] * m, r[1] * m, r[2] * m};
  }
  return r;
}

Jacobian32 CrossCapSearch::ResidualJacobian(const NormalisedMap &F, const Vector2 &st,
                                            const Vector3 &r,
                                            std::span<const Vector2> avoid) const {
  Jacobian32 J;
  for (int k = 0; k < 2; ++k) {
    Vector2 plus = st, minus = st;
    plus[k] += JacobianStep;
    minus[k] -= JacobianStep;
    const Vector3 rp = Objective(F, plus, avoid), rm = Objective(F, minus, avoid);
    const bool p = std::isfinite(Norm3(rp)), m = std::isfinite(Norm3(rm));
    Vector3 &column = k == 0 ? J.Du : J.Dv;
    for (int c = 0; c < 3; ++c) {
      // One-sided where F is undefined on the other side (at the edge of where it is defined).
      if (p && m)
        column[c] = (rp[c] - rm[c]) / (2 * JacobianStep);
      else if (p)
        column[c] = (rp[c] - r[c]) / JacobianStep;
      else if (m)
        column[c] = (r[c] - rm[c]) / JacobianStep;
      else
        column[c] = std::numeric_limits<double>::quiet_NaN();
    }
  }
  return J;
}

CrossCapSearch::Refinement CrossCapSearch::Refine(const NormalisedMap &F, const Vector2 &start,
                                                  std::span<const Vector2> avoid) const {
  Refinement z;
  z.Point = start;
  Vector3 r = Objective(F, start, avoid);
  double n = Norm3(r);
  if (!std::isfinite(n))
    return z;
  double previousStep = Infinity, lastStep = Infinity;
  for (int k = 0; k < MaxIterations && n > 0; ++k) {
    const double before = n;
    Vector2 d{};
    if (!LeastSquaresStep(ResidualJacobian(F, z.Point, r, avoid), r, d))
      break;
    // Halve the step until |Fs x Ft| decreases; none that does means the walk is at its floor.
    bool moved = false;
    double lambda = 1;
    for (int h = 0; h < MaxHalvings && !moved; ++h, lambda /= 2) {
      const Vector2 y{z.Point[0] + lambda * d[0], z.Point[1] + lambda * d[1]};
      const Vector3 ry = Objective(F, y, avoid);
      const double ny = Norm3(ry);
      if (ny < n) { // false for NaN
        z.Point = y, r = ry, n = ny, moved = true;
        previousStep = lastStep;
        lastStep = lambda * Length(d);
      }
    }
    if (!moved || (k >= 2 && n > StallRatio * before && n > Tolerance()))
      break;
    if (!InClosedSquare(z.Point, WalkMargin))
      return z;
  }
  z.Finite = true;
  z.Residual = avoid.empty() ? n : Norm3(Residual(F, z.Point));
  // Linear convergence (a degenerate zero) leaves about one more step to go; faster
  // convergence leaves much less. A walk without two steps proves nothing, unless it sits
  // on an exact zero.
  if (n == 0)
    z.ErrorEstimate = 0;
  else if (previousStep < Infinity && lastStep < previousStep) {
    const double ratio = lastStep / previousStep;
    z.ErrorEstimate = ratio < 0.95 ? lastStep * ratio / (1 - ratio) : Infinity;
  } else
    z.ErrorEstimate = Infinity;
  return z;
}

bool CrossCapSearch::LiesOnZeroCurve(const NormalisedMap &F, const Vector2 &zero,
                                     const Vector2 &weak) const {
  for (const double side : {1.0, -1.0}) {
    const Vector2 probe{zero[0] + side * ProbeDistance * weak[0],
                        zero[1] + side * ProbeDistance * weak[1]};
    const Refinement z = Refine(F, probe);
    const Vector2 gap{z.Point[0] - zero[0], z.Point[1] - zero[1]};
    if (z.Finite && z.Residual <= Tolerance() && InClosedSquare(z.Point, BorderSlack) &&
        Length(gap) > ProbeDistance / 2)
      return true;
  }
  return false;
}

const Vector2 *CrossCapSearch::Classify(const NormalisedMap &F, const Refinement &zero,
                                        SingularPoints &out) {
  if (!zero.Finite || !(zero.Residual <= Tolerance()) || !InClosedSquare(zero.Point, BorderSlack))
    return nullptr;
  const Vector2 p{std::clamp(zero.Point[0], -1.0, 1.0), std::clamp(zero.Point[1], -1.0, 1.0)};
  const Vector3 r = Residual(F, p);
  const Jacobian32 J = ResidualJacobian(F, p, r, {});
  const GramSpectrum s = SpectrumOf(J);
  const bool regular = s.Large > 0 && std::sqrt(s.Small) > RegularRatio * std::sqrt(s.Large);
  double error = zero.ErrorEstimate;
  if (regular) {
    // Newton's own estimate: the step that would still be taken, with a factor for safety.
    Vector2 d{};
    error = LeastSquaresStep(J, r, d) ? 2 * Length(d) : Infinity;
  } else if (out.SingularCurve || LiesOnZeroCurve(F, p, s.Weak)) {
    out.SingularCurve = true; // its points are not listed
    return nullptr;
  }
  if (!(error <= AccuracyLimit))
    return nullptr;
  for (const Vector2 &f : Found)
    if (Length({f[0] - p[0], f[1] - p[1]}) <= SameZero)
      return &f;
  Found.push_back(p);
  return nullptr;
}

} // namespace tandor
