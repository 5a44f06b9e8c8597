#pragma once
// Cross-caps: where Fu x Fv = 0. A scan of D on a grid of 128 x 128 cells gives the cells where
// |Fu x Fv| (from differences of F at the cell's corners) is locally least; Gauss-Newton with
// the exact derivatives of F refines each to a zero; a zero that is not isolated means the
// points with Fu x Fv = 0 form a curve, which is reported once instead.

#include <array>
#include <cstdint>
#include <vector>

#include "analysis/NormalisedMap.h"
#include "analysis/SingularPoints.h"
#include "analysis/SmallSolve.h"
#include "solvers/RunControl.h"

namespace tandor {

class CrossCapSearch {
public:
  static constexpr int Cells = 128; // per side of D: a cell is 3.125 picture pixels wide

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
  Refinement Refine(const NormalisedMap &F, const Vector2 &start) const;
  Vector3 Residual(const NormalisedMap &F, const Vector2 &st) const;
  Jacobian32 ResidualJacobian(const NormalisedMap &F, const Vector2 &st, const Vector3 &r) const;

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
  // Keeps a converged zero: in closed D, isolated, not yet listed.
  void Classify(const NormalisedMap &F, const Refinement &zero, SingularPoints &out);
  bool LiesOnZeroCurve(const NormalisedMap &F, const Vector2 &zero, const Vector2 &weak) const;
  double Tolerance() const;

  std::vector<Vector3> NodeRows;    // F at two rows of Cells + 1 grid nodes
  std::vector<double> CellResidual; // |Fs x Ft|^2 at the cell centres; infinity where undefined
  std::vector<std::array<float, 3>> CellVector; // Fs x Ft there, for the linear models
  std::vector<double> ScaleSamples;
  struct Seed {
    Vector2 Start{};
    double Residual = 0; // of its cell
  };
  std::vector<Seed> Seeds;    // least residual first
  std::vector<Vector2> Found; // the run's cross-caps in (s, t)
  double ScaleValue = 0;
};

} // namespace tandor
