// WritePointsStats and WritePointsCsv: the singular points in tandor-cli render's outputs.

#include "cli/PointsOutput.h"

#include <charconv>

#include "problem/FileReplacement.h"

namespace tandor {

namespace {

// 17 significant digits, '.' whatever the locale, as the locus CSV has them; -0 (a product of
// 0 and a negative number) reads as 0.
std::string Coordinate(double value) {
  char buffer[40];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value + 0.0, std::chars_format::general, 17);
  return std::string(buffer, result.ptr);
}

std::string PointJson(const Vector2 &p) {
  std::string text(1, '[');
  text += Coordinate(p[0]);
  text += ", ";
  text += Coordinate(p[1]);
  text += ']';
  return text;
}

std::string Row(const char *kind, const Vector2 &p, const Vector3 &image) {
  std::string text = kind;
  for (double value : {p[0], p[1], image[0], image[1], image[2]}) {
    text += ',';
    text += Coordinate(value);
  }
  text += '\n';
  return text;
}

} // namespace

void WritePointsStats(const SingularPoints &points, std::ostream &out) {
  out << ", \"cross_caps\": [";
  const char *separator = "";
  for (const CrossCap &c : points.CrossCaps) {
    out << separator << PointJson(c.Point);
    separator = ", ";
  }
  out << "], \"triple_points\": [";
  separator = "";
  for (const TriplePoint &t : points.Triples) {
    out << separator << "[" << PointJson(t.Points[0]) << ", " << PointJson(t.Points[1]) << ", "
        << PointJson(t.Points[2]) << "]";
    separator = ", ";
  }
  out << "]";
  if (points.SingularCurve)
    out << ", \"singular_curve\": true";
  if (!points.Complete)
    out << ", \"singular_points_complete\": false";
}

void WritePointsCsv(const SingularPoints &points, const std::string &path) {
  std::string text = "kind,u,v,x,y,z\n";
  for (const CrossCap &c : points.CrossCaps)
    text += Row("cross-cap", c.Point, c.Image);
  for (const TriplePoint &t : points.Triples)
    for (const Vector2 &p : t.Points)
      text += Row("triple", p, t.Image);
  ReplaceFileContents(path, text);
}

} // namespace tandor
