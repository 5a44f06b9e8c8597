// WriteLocusCsv: the computed pairs or segments written row by row into a file replacement.

#include "solvers/LocusCsv.h"

#include <charconv>
#include <initializer_list>

#include "problem/FileReplacement.h"

namespace tandor {

namespace {

std::string Number17(double value) {
  char buffer[40];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 17);
  return std::string(buffer, result.ptr);
}

// Rows go out in blocks: a large locus needs neither a write per row nor all of its text in
// memory at once.
class BlockWriter {
public:
  explicit BlockWriter(FileReplacement &file) : File(file) {}
  void Row(std::initializer_list<std::string> cells) {
    const char *separator = "";
    for (const std::string &cell : cells) {
      Block += separator;
      Block += cell;
      separator = ",";
    }
    Block += '\n';
    if (Block.size() >= BlockSize)
      Flush();
  }
  void Flush() {
    File.Write(Block);
    Block.clear();
  }

private:
  static constexpr std::size_t BlockSize = 1 << 16;
  FileReplacement &File;
  std::string Block;
};

} // namespace

void WriteLocusCsv(const LocusMethodSolver &solver, const std::string &path) {
  FileReplacement file(path);
  BlockWriter out(file);
  if (const auto *trace = solver.TracePoints()) {
    out.Row({"piece_start", "u1", "v1", "u2", "v2"});
    for (const TracePoint &t : *trace)
      out.Row({std::to_string(t.PieceStart), Number17(t.Pair[0]), Number17(t.Pair[1]),
               Number17(t.Pair[2]), Number17(t.Pair[3])});
  } else {
    out.Row({"u1", "v1", "u2", "v2"});
    for (std::size_t i = 0; i < solver.SegmentCount(); ++i) {
      const Vector4 s = solver.Segment(i);
      out.Row({Number17(s[0]), Number17(s[1]), Number17(s[2]), Number17(s[3])});
    }
  }
  out.Flush();
  file.Commit();
}

} // namespace tandor
