#pragma once
// Cross-caps: where Fu x Fv = 0. A scan of D on a grid of 96 x 96 cells (F at the corners,
// Fu x Fv from their differences) gives the seeds: cells where |Fu x Fv| is least among their
// neighbours, and cells least along one axis whose linear model of Fu x Fv vanishes inside them.
// Gauss-Newton with the exact derivatives of F refines each seed to a zero, and walks deflated
// at the zeros a seed found look for others beside them. A zero that is not isolated means the
// points with Fu x Fv = 0 form a curve, which is reported once instead of its points.
//
// Fine enough for the picture: a mark is a disc 7 pixels wide, and two cross-caps 6 pixels
// apart (1.4 cells) are told apart on strongly curved maps in every direction of D.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "analysis/NormalisedMap.h"
#include "analysis/SingularPoints.h"
#include "analysis/SmallSolve.h"
#include "solvers/RunControl.h"

namespace tandor {

class CrossCapSearch {
public:
  static constexpr int Cells = 96; // per side of D: a cell is 4.2 picture pixels wide

  // Fills out.CrossCaps and out.SingularCurve; false when control asked for a stop, with the
  // cross-caps verified so far kept.
  bool Run(const NormalisedMap &F, RunControl &control, SingularPoints &out);

  // The median over the scan's cells of (|Fs|^2 + |Ft|^2) / 2: |Fs| |Ft| at a typical point,
  // the unit of |Fs x Ft|. Its root is the image size of a unit of s or t.
  double Scale() const { return ScaleValue; }

  // What a refinement from a start reached.
  struct Refinement {
    Vector2 Point{};
    double Residual = 0;      // |Fs x Ft| there, exact derivatives
    double ErrorEstimate = 0; // distance still to the zero, from the last steps
    bool Finite = false;      // false when the walk met a value that is not finite
  };
  // Gauss-Newton from start, on the residual deflated at the known zeros to avoid.
  Refinement Refine(const NormalisedMap &F, const Vector2 &start,
                    std::span<const Vector2> avoid = {}) const;
  // Fs x Ft with the exact derivatives.
  Vector3 Residual(const NormalisedMap &F, const Vector2 &st) const;
  // The same, deflated at the zeros to avoid.
  Vector3 Objective(const NormalisedMap &F, const Vector2 &st,
                    std::span<const Vector2> avoid) const;
  // The objective's Jacobian by central differences; r is its value at st.
  Jacobian32 ResidualJacobian(const NormalisedMap &F, const Vector2 &st, const Vector3 &r,
                              std::span<const Vector2> avoid) const;

  // Statistics of the last run.
  int SeedCount = 0;
  int RefinementCount = 0;

private:
  // F at the grid's nodes row by row, and each row of cells as soon as its nodes are known.
  bool Scan(const NormalisedMap &F, RunControl &control);
  void ScanCellRow(int j, const Vector3 *below, const Vector3 *above);
  void FindScale();
  void CollectSeeds();
  bool IsLocalMinimum(int i, int j) const;
  // Least along s or along t.
  bool IsAxisMinimum(int i, int j) const;
  // Where the linear model of Fs x Ft from the neighbouring cells vanishes, if in the cell.
  bool ModelZero(int i, int j, Vector2 &zero) const;
  // Keeps a converged zero that lies in closed D, is isolated and is not yet listed; for one
  // listed before, the listed one.
  const Vector2 *Classify(const NormalisedMap &F, const Refinement &zero, SingularPoints &out);
  void RefineSeed(const NormalisedMap &F, const Vector2 &start, SingularPoints &out);
  bool LiesOnZeroCurve(const NormalisedMap &F, const Vector2 &zero, const Vector2 &weak) const;
  double Tolerance() const;

  std::vector<Vector3> NodeRows;    // F at two rows of Cells + 1 grid nodes
  std::vector<double> CellResidual; // |Fs x Ft|^2 at the cell centres; infinity where undefined
  std::vector<std::array<float, 3>> CellVector; // Fs x Ft there, for the linear models
  std::vector<double> ScaleSamples;
  struct Seed {
    Vector2 Start{};
    double Residual = 0; // of its cell
    int32_t Cell = 0;
  };
  std::vector<Seed> Seeds;    // least residual first
  std::vector<Vector2> Found; // the run's cross-caps in (s, t)
  std::vector<Vector2> Avoid; // the zeros one seed has found
  double ScaleValue = 0;
};

} // namespace tandor
