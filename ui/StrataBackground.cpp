// StrataBackground: the strata behind the parameter square.

#include "ui/StrataBackground.h"

#include <thread>

#include "analysis/AtlasDrawing.h"

namespace tandor {

StrataBackground::~StrataBackground() {
  Discard();
}

bool StrataBackground::SameAs(const DataLineArray &problem, int method) const {
  // The values of p and q choose a point of the square, not the family it shows.
  for (int line = XLine; line <= QMaxLine; ++line)
    if (problem[line] != Problem[line])
      return false;
  return method == Method;
}

void StrataBackground::Update(const DataLineArray &problem, int method) {
  if ((Busy() || Ready()) && SameAs(problem, method))
    return;
  Discard();
  Problem = problem;
  Method = method;
  AtlasRequest request;
  request.Lines = problem;
  request.Method = method;
  request.Columns = request.Rows = Grid;
  request.TileSide = 8; // the pictures are not shown; only the counts are
  Progress = std::make_unique<AtlasProgress>();
  Progress->Idle = true;
  const int jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  Running = std::async(std::launch::async, [request, jobs, progress = Progress.get()] {
    return ComputeAtlas(request, jobs, *progress);
  });
}

void StrataBackground::Discard() {
  if (Running.valid()) {
    Progress->Cancel = true;
    try {
      Running.get();
    } catch (const std::exception &) {
      // A discarded atlas has nothing to tell.
    }
  }
  Running = {};
  Tints = QImage();
  Method = -1;
}

bool StrataBackground::Poll() {
  if (!Running.valid() || Running.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
    return false;
  std::vector<AtlasTile> tiles;
  try {
    tiles = Running.get();
  } catch (const std::exception &) {
    // A problem the read refused has no strata; the square stays white.
  }
  Running = {};
  if (static_cast<int>(tiles.size()) != Grid * Grid)
    return false;
  QImage image(Grid, Grid, QImage::Format_RGB32);
  const std::vector<int> strata = StratumNumbers(tiles);
  for (std::size_t k = 0; k < tiles.size(); ++k) {
    const Rgb tint = StratumTint(strata[k], !tiles[k].Refusal.empty());
    image.setPixelColor(tiles[k].Index % Grid, tiles[k].Index / Grid,
                        QColor(tint.r, tint.g, tint.b));
  }
  Tints = image;
  return true;
}

} // namespace tandor
