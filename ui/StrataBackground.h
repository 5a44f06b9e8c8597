#pragma once
// StrataBackground: View > Strata, the parameter square's background tinted by the strata of a
// 32 x 32 atlas of the problem in force. It is computed by idle-priority workers after a read
// that changed the problem or the method; a drag of (p, q) reads nothing and so restarts nothing.

#include <QImage>
#include <future>
#include <memory>
#include <vector>

#include "analysis/ParameterAtlas.h"

namespace tandor {

class StrataBackground {
public:
  ~StrataBackground();
  int Grid = 32;

  // The atlas of this problem and method, unless it is the one already made or under way.
  void Update(const DataLineArray &problem, int method);
  void Discard();
  // True once when a computation has just finished: the square should be painted again.
  bool Poll();
  bool Busy() const { return Running.valid(); }
  bool Ready() const { return !Tints.isNull(); }
  // One pixel per tile, the tint of its stratum; null until ready.
  const QImage &Image() const { return Tints; }

private:
  bool SameAs(const DataLineArray &problem, int method) const;

  DataLineArray Problem{};
  int Method = -1;
  std::unique_ptr<AtlasProgress> Progress;
  std::future<std::vector<AtlasTile>> Running;
  QImage Tints;
};

} // namespace tandor
