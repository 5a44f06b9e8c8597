#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "common/RecordingCanvas.h"
#include "solvers/DescentTracer.h"
#include "solvers/Kernels.h"

namespace tandor {
namespace {

using testing::RecordingCanvas;

struct PlainMap {
  std::function<Vector3(double, double)> f;
  long evaluations = 0;
  void operator()(double &x, double &y, double &z, double u, double v) {
    ++evaluations;
    const Vector3 r = f(u, v);
    x = r[0];
    y = r[1];
    z = r[2];
  }
};

// A map on [-1,1]^2 whose double-point locus is known: Curve(s) for s in [0, 1] walks it.
struct KnownLocus {
  std::string name;
  std::function<Vector3(double, double)> f;
  std::vector<std::function<Vector2(double)>> curves;
};

void PrintTo(const KnownLocus &locus, std::ostream *os) {
  *os << locus.name;
}

constexpr double Pi = 3.14159265358979323846;

std::vector<KnownLocus> KnownLoci() {
  return {
      {"CrossCap",
       [](double u, double v) {
         return Vector3{u, v * v, u * v};
       },
       {[](double s) {
         return Vector2{0, -1 + 2 * s};
       }}},
      {"CrossCapNonLinearFirst",
       [](double u, double v) {
         return Vector3{u + v * v * v * v, v * v, u * v};
       },
       {[](double s) {
         return Vector2{0, -1 + 2 * s};
       }}},
      {"Fold",
       [](double u, double v) {
         return Vector3{u * u, v, u * u * u - u * v};
       },
       {[](double s) {
         const double u = -1 + 2 * s;
         return Vector2{u, u * u};
       }}},
      // (u^2 - 0.36)^2 + v^2 = 0.04: two ovals, each point paired with its mirror in u = 0, so
      // each pair walks a closed curve of D x D.
      {"TwoOvals",
       [](double u, double v) {
         const double h = (u * u - 0.36) * (u * u - 0.36) + v * v - 0.04;
         return Vector3{u * u, v, u * h};
       },
       {[](double s) {
          return Vector2{std::sqrt(0.36 + 0.2 * std::cos(2 * Pi * s)), 0.2 * std::sin(2 * Pi * s)};
        },
        [](double s) {
          return Vector2{-std::sqrt(0.36 + 0.2 * std::cos(2 * Pi * s)), 0.2 * std::sin(2 * Pi * s)};
        }}},
  };
}

constexpr double PixelLength = 0.005; // sqrt(2) * half-diagonal / 400 on [-1,1]^2
const Vector2 Low{-1, -1}, High{1, 1};
const PixelRect Picture{0, 0, 400, 400};

// Distance in pixels from every pixel of the picture to the nearest point of a curve, for the
// pixels within 3 of it; farther ones stay at infinity.
class DistanceMap {
public:
  explicit DistanceMap(const KnownLocus &locus) : d(401 * 401, Infinity) {
    for (const auto &curve : locus.curves)
      for (int k = 0; k <= 40000; ++k) {
        const Vector2 p = ToPixel(curve(k / 40000.0));
        for (int x = int(p[0]) - 3; x <= int(p[0]) + 4; ++x)
          for (int y = int(p[1]) - 3; y <= int(p[1]) + 4; ++y)
            if (x >= 0 && x <= 400 && y >= 0 && y <= 400)
              d[x * 401 + y] = std::min(d[x * 401 + y], std::hypot(x - p[0], y - p[1]));
      }
  }
  double At(int x, int y) const {
    return x >= 0 && x <= 400 && y >= 0 && y <= 400 ? d[x * 401 + y] : Infinity;
  }
  static Vector2 ToPixel(const Vector2 &uv) { return {(uv[0] + 1) * 200, (1 - uv[1]) * 200}; }
  static constexpr double Infinity = std::numeric_limits<double>::infinity();

private:
  std::vector<double> d;
};

// The pixels that the recorded lines pass over.
std::vector<std::array<int, 2>> DrawnPixels(const RecordingCanvas &canvas) {
  std::vector<std::array<int, 2>> pixels;
  for (const auto &line : canvas.lines) {
    const int n = 4 * (std::abs(line.x2 - line.x1) + std::abs(line.y2 - line.y1)) + 1;
    for (int k = 0; k <= n; ++k)
      pixels.push_back({int(std::lround(line.x1 + (line.x2 - line.x1) * double(k) / n)),
                        int(std::lround(line.y1 + (line.y2 - line.y1) * double(k) / n))});
  }
  return pixels;
}

class DescentOnKnownLocus : public ::testing::TestWithParam<KnownLocus> {};

TEST_P(DescentOnKnownLocus, StoresHonestPairsAndDrawsExactlyTheLocus) {
  const KnownLocus &locus = GetParam();
  PlainMap map{locus.f};
  auto tracer = std::make_unique<TTandorR2R3>();
  NeverStop control;
  tracer->TraceLocus(map, Low, 1e-5, High, 23, 200, PixelLength, control);
  ASSERT_GT(tracer->TraceHigh(), 10);

  for (const TracePoint &t : tracer->TraceList) {
    const PointPair &x = t.Pair;
    const Vector3 F1 = locus.f(x[0], x[1]), F2 = locus.f(x[2], x[3]);
    // The residual |F2 - F1| / |P2 - P1| is what the corrector drives below its tolerance.
    ASSERT_LT(Distance3(F1, F2) / Distance2({x[0], x[1]}, {x[2], x[3]}), 2e-6)
        << x[0] << " " << x[1] << " " << x[2] << " " << x[3];
    ASSERT_GT(Distance2({x[0], x[1]}, {x[2], x[3]}), PixelLength);
    ASSERT_TRUE(x[3] > x[1] + PixelLength ||
                (x[3] >= x[1] - PixelLength && x[2] > x[0] + PixelLength));
    for (double c : x)
      ASSERT_TRUE(c > -1 && c < 1);
  }

  RecordingCanvas canvas;
  tracer->DrawLocus(canvas, Picture, true, Low, High);
  const DistanceMap near(locus);
  const auto pixels = DrawnPixels(canvas);
  for (const auto &p : pixels)
    ASSERT_LE(near.At(p[0], p[1]), 2.0) << "drawn away from the locus at " << p[0] << "," << p[1];

  std::vector<char> drawn(401 * 401, 0);
  for (const auto &p : pixels)
    if (p[0] >= 0 && p[0] <= 400 && p[1] >= 0 && p[1] <= 400)
      drawn[p[0] * 401 + p[1]] = 1;
  double inside = 0, covered = 0;
  for (const auto &curve : locus.curves) {
    Vector2 prev = DistanceMap::ToPixel(curve(0));
    for (int k = 1; k <= 20000; ++k) {
      const Vector2 p = DistanceMap::ToPixel(curve(k / 20000.0));
      const double length = std::hypot(p[0] - prev[0], p[1] - prev[1]);
      prev = p;
      if (!(p[0] > 2 && p[0] < 398 && p[1] > 2 && p[1] < 398))
        continue;
      inside += length;
      bool hit = false;
      for (int x = int(p[0]) - 2; x <= int(p[0]) + 3 && !hit; ++x)
        for (int y = int(p[1]) - 2; y <= int(p[1]) + 3 && !hit; ++y)
          hit = drawn[x * 401 + y] && std::hypot(x - p[0], y - p[1]) <= 2;
      if (hit)
        covered += length;
    }
  }
  EXPECT_GE(covered, 0.9 * inside);
}

INSTANTIATE_TEST_SUITE_P(Maps, DescentOnKnownLocus, ::testing::ValuesIn(KnownLoci()),
                         [](const auto &info) { return info.param.name; });

} // namespace
} // namespace tandor
