// AtlasJson, ReadAtlasJson and MergeAtlasParts, with the small JSON reader they need.

#include "analysis/AtlasJson.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <set>

#include "solvers/LocusRun.h"

namespace tandor {

namespace {

std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", u);
      out += escape;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string Number17(double value) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.17g", value);
  return buffer;
}

std::string HexColour(Rgb c) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", c.r, c.g, c.b);
  return buffer;
}

const char *const MethodNames[] = {"descent", "gradual", "triangles"};

// The JSON this file writes: objects, arrays, strings, numbers, booleans.
struct Value {
  enum class Kind { Null, Bool, Number, String, Array, Object } Type = Kind::Null;
  bool Boolean = false;
  double Number = 0;
  std::string Text;
  std::vector<Value> Items;
  std::map<std::string, Value, std::less<>> Members;

  const Value &At(std::string_view key) const {
    const auto found = Members.find(key);
    if (Type != Kind::Object || found == Members.end())
      throw AtlasFileError("the key \"" + std::string(key) + "\" is missing");
    return found->second;
  }
  double AsNumber(std::string_view what) const {
    if (Type != Kind::Number)
      throw AtlasFileError(std::string(what) + " is not a number");
    return Number;
  }
  long long AsInteger(std::string_view what, long long low, long long high) const {
    const double n = AsNumber(what);
    if (!(n >= static_cast<double>(low) && n <= static_cast<double>(high)) || n != std::floor(n))
      throw AtlasFileError(std::string(what) + " is out of range");
    return static_cast<long long>(n);
  }
  const std::string &AsText(std::string_view what) const {
    if (Type != Kind::String)
      throw AtlasFileError(std::string(what) + " is not a text");
    return Text;
  }
  const std::vector<Value> &AsArray(std::string_view what) const {
    if (Type != Kind::Array)
      throw AtlasFileError(std::string(what) + " is not a list");
    return Items;
  }
};

class Reader {
public:
  explicit Reader(std::string_view text) : Text(text) {}

  Value Document() {
    Value v = Parse(0);
    Skip();
    if (At != Text.size())
      Fail("text after the end");
    return v;
  }

private:
  [[noreturn]] void Fail(const char *what) const {
    throw AtlasFileError(std::string(what) + " at byte " + std::to_string(At));
  }
  void Skip() {
    while (At < Text.size() &&
           (Text[At] == ' ' || Text[At] == '\n' || Text[At] == '\r' || Text[At] == '\t'))
      ++At;
  }
  bool Take(char c) {
    Skip();
    if (At < Text.size() && Text[At] == c) {
      ++At;
      return true;
    }
    return false;
  }
  void Expect(char c) {
    if (!Take(c))
      Fail("unexpected character");
  }

  Value Parse(int depth) {
    if (depth > 16)
      Fail("nesting too deep");
    Skip();
    if (At >= Text.size())
      Fail("unexpected end");
    Value v;
    const char c = Text[At];
    if (c == '{') {
      ++At;
      v.Type = Value::Kind::Object;
      if (!Take('}')) {
        do {
          Skip();
          std::string key = String();
          Expect(':');
          v.Members[key] = Parse(depth + 1);
        } while (Take(','));
        Expect('}');
      }
    } else if (c == '[') {
      ++At;
      v.Type = Value::Kind::Array;
      if (!Take(']')) {
        do
          v.Items.push_back(Parse(depth + 1));
        while (Take(','));
        Expect(']');
      }
    } else if (c == '"') {
      v.Type = Value::Kind::String;
      v.Text = String();
    } else if (Text.substr(At, 4) == "true" || Text.substr(At, 5) == "false") {
      v.Type = Value::Kind::Bool;
      v.Boolean = Text[At] == 't';
      At += v.Boolean ? 4 : 5;
    } else {
      v.Type = Value::Kind::Number;
      const char *first = Text.data() + At;
      const auto [end, error] = std::from_chars(first, Text.data() + Text.size(), v.Number);
      if (error != std::errc() || !std::isfinite(v.Number))
        Fail("not a value");
      v.Text.assign(first, end); // integers past 2^53 are read again from it
      At += static_cast<std::size_t>(end - first);
    }
    return v;
  }

  std::string String() {
    if (At >= Text.size() || Text[At] != '"')
      Fail("a text was expected");
    ++At;
    std::string out;
    while (At < Text.size() && Text[At] != '"') {
      char c = Text[At++];
      if (c == '\\') {
        if (At >= Text.size())
          Fail("unexpected end");
        c = Text[At++];
        if (c == 'u') {
          unsigned code = 0;
          if (At + 4 > Text.size() ||
              std::from_chars(Text.data() + At, Text.data() + At + 4, code, 16).ptr !=
                  Text.data() + At + 4 ||
              code > 0x7f)
            Fail("an escape this program does not write");
          c = static_cast<char>(code);
          At += 4;
        } else if (c != '"' && c != '\\' && c != '/') {
          Fail("an escape this program does not write");
        }
      }
      out += c;
    }
    if (At >= Text.size())
      Fail("unexpected end");
    ++At;
    return out;
  }

  std::string_view Text;
  std::size_t At = 0;
};

AtlasTile ReadTile(const Value &v, const AtlasRequest &request) {
  AtlasTile tile;
  tile.Index = static_cast<int>(v.At("index").AsInteger("index", 0, request.TileCount() - 1));
  tile.Pq = {v.At("p").AsNumber("p"), v.At("q").AsNumber("q")};
  if (const auto found = v.Members.find("refusal"); found != v.Members.end()) {
    tile.Refusal = found->second.AsText("refusal");
    return tile;
  }
  const long long big = 1LL << 52;
  tile.Records = static_cast<std::size_t>(v.At("records").AsInteger("records", 0, big));
  tile.Pieces = static_cast<std::size_t>(v.At("pieces").AsInteger("pieces", 0, big));
  tile.CrossCaps = static_cast<std::size_t>(v.At("cross_caps").AsInteger("cross_caps", 0, big));
  tile.TriplePoints =
      static_cast<std::size_t>(v.At("triple_points").AsInteger("triple_points", 0, big));
  const Value &curve = v.At("singular_curve");
  if (curve.Type != Value::Kind::Bool)
    throw AtlasFileError("singular_curve is not true or false");
  tile.SingularCurve = curve.Boolean;
  tile.Seconds = v.At("seconds").AsNumber("seconds");
  const std::string &ink = v.At("ink").AsText("ink");
  unsigned rgb = 0;
  if (ink.size() != 7 || ink[0] != '#' ||
      std::from_chars(ink.data() + 1, ink.data() + 7, rgb, 16).ptr != ink.data() + 7)
    throw AtlasFileError("ink is not a colour");
  tile.Ink = {static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
              static_cast<uint8_t>(rgb)};
  if (!TileBitmap::Decode(v.At("picture").AsText("picture"), request.TileSide, tile.Picture))
    throw AtlasFileError("the picture of tile " + std::to_string(tile.Index) + " is damaged");
  return tile;
}

bool SameAtlas(const AtlasRequest &a, const AtlasRequest &b) {
  return a.Lines == b.Lines && a.Columns == b.Columns && a.Rows == b.Rows && a.Method == b.Method &&
         a.Seed == b.Seed && a.TileSide == b.TileSide;
}

} // namespace

std::string AtlasJson(const AtlasFile &atlas) {
  const AtlasRequest &s = atlas.Request;
  std::string out = "{\"tandor_atlas\": 1,\n \"problem\": [";
  for (std::size_t i = 0; i < s.Lines.size(); ++i)
    out += (i ? ", " : "") + Quoted(s.Lines[i]);
  out += "],\n \"grid\": [" + std::to_string(s.Columns) + ", " + std::to_string(s.Rows) +
         "], \"method\": \"" + MethodNames[s.Method] + "\", \"seed\": " + std::to_string(s.Seed) +
         ", \"tile_side\": " + std::to_string(s.TileSide);
  if (s.PartCount > 1)
    out += ", \"part\": [" + std::to_string(s.PartIndex) + ", " + std::to_string(s.PartCount) + "]";
  out += ",\n \"tiles\": [";
  for (std::size_t i = 0; i < atlas.Tiles.size(); ++i) {
    const AtlasTile &t = atlas.Tiles[i];
    out += i ? ",\n  " : "\n  ";
    out += "{\"index\": " + std::to_string(t.Index) + ", \"p\": " + Number17(t.Pq[0]) +
           ", \"q\": " + Number17(t.Pq[1]);
    if (!t.Refusal.empty()) {
      out += ", \"refusal\": " + Quoted(t.Refusal) + "}";
      continue;
    }
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.6f", t.Seconds);
    out += ", \"records\": " + std::to_string(t.Records) +
           ", \"pieces\": " + std::to_string(t.Pieces) +
           ", \"cross_caps\": " + std::to_string(t.CrossCaps) +
           ", \"triple_points\": " + std::to_string(t.TriplePoints) +
           ", \"singular_curve\": " + (t.SingularCurve ? "true" : "false") +
           ", \"seconds\": " + seconds + ", \"ink\": \"" + HexColour(t.Ink) +
           "\", \"picture\": \"" + t.Picture.Encoded() + "\"}";
  }
  out += "\n ]}\n";
  return out;
}

AtlasFile ReadAtlasJson(std::string_view text) {
  const Value root = Reader(text).Document();
  if (root.At("tandor_atlas").AsInteger("tandor_atlas", 1, 1) != 1)
    throw AtlasFileError("not an atlas of this program");
  AtlasFile atlas;
  AtlasRequest &s = atlas.Request;
  const auto &problem = root.At("problem").AsArray("problem");
  if (problem.size() != s.Lines.size())
    throw AtlasFileError("the problem does not have thirteen lines");
  for (std::size_t i = 0; i < problem.size(); ++i)
    s.Lines[i] = problem[i].AsText("a line of the problem");
  const auto &grid = root.At("grid").AsArray("grid");
  if (grid.size() != 2)
    throw AtlasFileError("the grid is not two numbers");
  s.Columns = static_cast<int>(grid[0].AsInteger("the grid", 1, 256));
  s.Rows = static_cast<int>(grid[1].AsInteger("the grid", 1, 256));
  const std::string &method = root.At("method").AsText("method");
  const auto name = std::find(std::begin(MethodNames), std::end(MethodNames), method);
  if (name == std::end(MethodNames))
    throw AtlasFileError("unknown method \"" + method + "\"");
  s.Method = static_cast<int>(name - std::begin(MethodNames));
  const Value &seed = root.At("seed");
  seed.AsNumber("seed");
  if (std::from_chars(seed.Text.data(), seed.Text.data() + seed.Text.size(), s.Seed).ptr !=
      seed.Text.data() + seed.Text.size())
    throw AtlasFileError("seed is not a whole number");
  s.TileSide = static_cast<int>(root.At("tile_side").AsInteger("tile_side", 1, 4096));
  if (const auto found = root.Members.find("part"); found != root.Members.end()) {
    const auto &part = found->second.AsArray("part");
    if (part.size() != 2)
      throw AtlasFileError("part is not two numbers");
    s.PartCount = static_cast<int>(part[1].AsInteger("part", 1, 1 << 20));
    s.PartIndex = static_cast<int>(part[0].AsInteger("part", 0, s.PartCount - 1));
  }
  for (const Value &tile : root.At("tiles").AsArray("tiles"))
    atlas.Tiles.push_back(ReadTile(tile, s));
  return atlas;
}

AtlasFile MergeAtlasParts(std::vector<AtlasFile> parts) {
  if (parts.empty())
    throw AtlasFileError("no parts were given");
  AtlasFile whole;
  whole.Request = parts.front().Request;
  whole.Request.PartIndex = 0;
  whole.Request.PartCount = 1;
  std::vector<std::unique_ptr<AtlasTile>> byIndex(
      static_cast<std::size_t>(whole.Request.TileCount()));
  for (std::size_t k = 0; k < parts.size(); ++k) {
    if (!SameAtlas(parts[k].Request, whole.Request))
      throw AtlasFileError("part " + std::to_string(k + 1) +
                           " is of another problem, grid, method, seed or tile size");
    for (AtlasTile &tile : parts[k].Tiles) {
      auto &slot = byIndex[static_cast<std::size_t>(tile.Index)];
      if (slot)
        throw AtlasFileError("tile " + std::to_string(tile.Index) + " is in two parts");
      slot = std::make_unique<AtlasTile>(std::move(tile));
    }
  }
  std::string missing;
  int missingCount = 0;
  for (std::size_t i = 0; i < byIndex.size(); ++i)
    if (!byIndex[i] && ++missingCount <= 20)
      missing += (missing.empty() ? "" : ", ") + std::to_string(i);
  if (missingCount > 0)
    throw AtlasFileError("missing tiles: " + missing + (missingCount > 20 ? ", ..." : "") + " (" +
                         std::to_string(missingCount) + " in all)");
  for (auto &tile : byIndex)
    whole.Tiles.push_back(std::move(*tile));
  return whole;
}

} // namespace tandor
