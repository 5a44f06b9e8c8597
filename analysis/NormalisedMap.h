#pragma once
// F on D seen through the coordinates (s, t) of the square [-1, 1]^2: s = -1 is uMin, s = 1 is
// uMax, and likewise t for v. The singular-point searches work there, so that their tolerances
// and steps mean the same on every domain and a picture pixel is 2/400 in s and in t alike.

#include <algorithm>

#include "solvers/CoordinateEvaluator.h"
#include "solvers/MapEvaluator.h"
#include "solvers/Trace.h"

namespace tandor {

// One picture pixel in s or t: the picture spans the 2 units of each with 400 pixels.
inline constexpr double PicturePixel = 2.0 / 400.0;

// F with its exact first derivatives along s and t (those along u and v times D's half-widths).
struct MapJet {
  Vector3 F{}, Fs{}, Ft{};
};

class NormalisedMap {
public:
  NormalisedMap(const MapEvaluator &map, const CoordinateEvaluator &coordinates, const Vector2 &low,
                const Vector2 &high)
      : Map(map), Coordinates(coordinates), Low(low),
        High(high), Centre{(low[0] + high[0]) / 2, (low[1] + high[1]) / 2},
        Half{(high[0] - low[0]) / 2, (high[1] - low[1]) / 2} {}

  Vector2 ToDomain(const Vector2 &st) const {
    return {Centre[0] + Half[0] * st[0], Centre[1] + Half[1] * st[1]};
  }
  // For a point of the closed square: the same, kept within D against rounding.
  Vector2 ToClosedDomain(const Vector2 &st) const {
    const Vector2 uv = ToDomain(st);
    return {std::clamp(uv[0], Low[0], High[0]), std::clamp(uv[1], Low[1], High[1])};
  }
  Vector2 FromDomain(const Vector2 &uv) const {
    return {(uv[0] - Centre[0]) / Half[0], (uv[1] - Centre[1]) / Half[1]};
  }

  // F at a point (u, v) of D itself.
  Vector3 ValueAtPoint(const Vector2 &uv) const {
    Vector3 F{};
    Map(F[0], F[1], F[2], uv[0], uv[1]);
    return F;
  }

  Vector3 Value(const Vector2 &st) const {
    Vector3 F{};
    ValueInto(st, F);
    return F;
  }
  // The same written in place: a scan that copies each value after the evaluator stored it
  // waits on the store every time.
  void ValueInto(const Vector2 &st, Vector3 &F) const {
    const Vector2 uv = ToDomain(st);
    Map(F[0], F[1], F[2], uv[0], uv[1]);
  }

  MapJet Jet(const Vector2 &st) const {
    const Vector2 uv = ToDomain(st);
    MapJet j;
    for (int c = 0; c < 3; ++c) {
      const ValueAndDerivative alongS = Coordinates.WithDerivative(c, uv[0], uv[1], Half[0], 0);
      const ValueAndDerivative alongT = Coordinates.WithDerivative(c, uv[0], uv[1], 0, Half[1]);
      j.F[c] = alongS.Value;
      j.Fs[c] = alongS.Derivative;
      j.Ft[c] = alongT.Derivative;
    }
    return j;
  }

private:
  MapEvaluator Map;
  CoordinateEvaluator Coordinates;
  Vector2 Low, High, Centre, Half;
};

} // namespace tandor
