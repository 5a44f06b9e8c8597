// CalcDib::TestAllPairsTogether: the pair loop of the triangle method on several threads. The
// first members are dealt out in runs of ChunkSize; each run's segments are kept apart and
// joined in the order of the first members, which is the order one thread stores them in, so
// the list is the same whatever the number of threads. The calling thread works too, and it
// alone polls the caller's control; the helpers see a stop through a flag at their own polls.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

#include "solvers/TriangleIntersection.h"

namespace tandor {

namespace {

// Small enough that the threads finish close together (the first members near the end of the
// table have few followers), large enough that dealing costs nothing.
constexpr int ChunkSize = 16;

// A helper's polls: the stop the calling thread saw.
class SharedStop final : public RunControl {
public:
  explicit SharedStop(const std::atomic<bool> &stop) : Stop(stop) {}
  bool ProcessEventsAndCheckStop() override { return Stop.load(std::memory_order_relaxed); }

private:
  const std::atomic<bool> &Stop;
};

// What the threads share during one run.
struct PairLoopShare {
  int Chunks = 0;
  int LastA = 0;
  std::vector<std::vector<TLocusSegment>> Found; // per chunk
  std::atomic<int> Next{0};
  std::atomic<int> FullAt; // the first chunk that filled the list alone; later ones are not needed
  std::atomic<bool> Stop{false};
  std::mutex Lock;
  std::condition_variable HelperDone;
  int HelpersRunning = 0;
  std::exception_ptr Failure;

  explicit PairLoopShare(int chunks, int lastA)
      : Chunks(chunks), LastA(lastA), Found(static_cast<std::size_t>(chunks)), FullAt(chunks) {}
};

} // namespace

void CalcDib::CopyRunFrom(const CalcDib &owner) {
  const std::size_t used = static_cast<std::size_t>(owner.TriangleCount()) + 1;
  std::copy_n(owner.Triangles.begin(), used, Triangles.begin());
  PlaneX = owner.PlaneX;
  PlaneY = owner.PlaneY;
  PlaneZ = owner.PlaneZ;
  NormalX = owner.NormalX;
  NormalY = owner.NormalY;
  NormalZ = owner.NormalZ;
  StoredDomain = owner.StoredDomain;
  BaselineFilterOnly = owner.BaselineFilterOnly;
  MaxSegments = owner.MaxSegments;
  PollWork = owner.PollWork;
  Threads = 1;
}

namespace {

// Takes chunks until none is left or the run must end. A chunk that fills the list alone ends only
// the chunks after it: the list one thread makes is complete up to there.
template <class TestRange>
void WorkThroughChunks(PairLoopShare &share, CalcDib &dib, TestRange testRange) {
  for (;;) {
    const int c = share.Next.fetch_add(1);
    if (c >= share.Chunks || c > share.FullAt.load() || share.Stop.load())
      return;
    const int firstA = 1 + c * ChunkSize;
    const int lastA = std::min(share.LastA, firstA + ChunkSize - 1);
    dib.ClearSegments();
    const bool whole = testRange(firstA, lastA);
    const std::span<const TLocusSegment> found = dib.Segments();
    share.Found[static_cast<std::size_t>(c)].assign(found.begin(), found.end());
    const bool full = dib.LastSegmentIndex() + 2 >= dib.MaxSegments;
    dib.ClearSegments();
    if (!whole) {
      if (full) {
        int expected = share.FullAt.load();
        while (c < expected && !share.FullAt.compare_exchange_weak(expected, c)) {
        }
      } else {
        share.Stop.store(true);
      }
    }
  }
}

} // namespace

bool CalcDib::TestAllPairsTogether(MapEvaluator F, RunControl &control) {
  const int lastA = TriangleCount() - 2;
  PairLoopShare share((lastA + ChunkSize - 1) / ChunkSize, lastA);
  const int helpers = std::min(Threads - 1, share.Chunks);
  while (static_cast<int>(Helpers.size()) < helpers)
    Helpers.push_back(std::make_unique<CalcDib>());

  std::vector<std::thread> threads;
  share.HelpersRunning = helpers;
  for (int h = 0; h < helpers; ++h)
    try {
      CalcDib &helper = *Helpers[static_cast<std::size_t>(h)];
      helper.CopyRunFrom(*this);
      helper.ClearSegments();
      helper.Stats = {};
      threads.emplace_back([&share, &helper, F] {
        try {
          SharedStop stop(share.Stop);
          WorkThroughChunks(share, helper, [&](int firstA, int lastA) {
            return helper.TestFirstMemberRange(F, stop, firstA, lastA);
          });
        } catch (...) {
          const std::lock_guard<std::mutex> lock(share.Lock);
          share.Failure = std::current_exception();
          share.Stop.store(true);
        }
        const std::lock_guard<std::mutex> lock(share.Lock);
        --share.HelpersRunning;
        share.HelperDone.notify_all();
      });
    } catch (const std::system_error &) {
      // No more threads to be had: the ones running and this one do the work.
      const std::lock_guard<std::mutex> lock(share.Lock);
      share.HelpersRunning -= helpers - h;
      break;
    }

  // This thread works through the chunks as well, polling the caller's control as one thread
  // would; then it keeps polling while the helpers finish.
  RunPoll poll(control, Stats.PairsRefined, PollWork);
  try {
    WorkThroughChunks(share, *this, [&](int firstA, int lastA) {
      const bool whole = TestFirstMemberRange(F, poll, firstA, lastA);
      if (poll.StopSeen())
        share.Stop.store(true);
      return whole;
    });
  } catch (...) {
    share.Stop.store(true);
    for (std::thread &t : threads)
      t.join();
    throw;
  }
  {
    std::unique_lock<std::mutex> lock(share.Lock);
    while (share.HelpersRunning > 0) {
      if (share.HelperDone.wait_for(lock, std::chrono::milliseconds(5)) ==
              std::cv_status::timeout &&
          !share.Stop.load()) {
        lock.unlock();
        if (poll.ProcessEventsAndCheckStop())
          share.Stop.store(true);
        lock.lock();
      }
    }
  }
  for (std::thread &t : threads)
    t.join();
  if (share.Failure)
    std::rethrow_exception(share.Failure);

  for (std::size_t h = 0; h < threads.size(); ++h) {
    const TriangleStatistics &s = Helpers[h]->Stats;
    Stats.PairsTested += s.PairsTested;
    Stats.PairsRefined += s.PairsRefined;
  }
  // The chunks' segments in the order of their first members, up to where one thread would
  // have found the list full.
  ClearSegments();
  const int fullAt = share.FullAt.load();
  for (int c = 0; c < share.Chunks && c <= fullAt; ++c)
    for (std::size_t i = 0; i + 1 < share.Found[static_cast<std::size_t>(c)].size(); i += 2) {
      if (Full())
        return false;
      const auto &found = share.Found[static_cast<std::size_t>(c)];
      AddSegmentPair({Vector2{found[i].u1, found[i].v1}, Vector2{found[i + 1].u1, found[i + 1].v1},
                      Vector2{found[i].u2, found[i].v2},
                      Vector2{found[i + 1].u2, found[i + 1].v2}});
    }
  return !share.Stop.load() && !Full();
}

} // namespace tandor
