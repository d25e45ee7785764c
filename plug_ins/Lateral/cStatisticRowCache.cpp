#include "cStatisticRowCache.h"

#include <atomic>

#include "cROADStatistic.h"

uint64_t cStatisticRowCache::NewRun()
{
  static std::atomic<uint64_t> next{1};
  return next.fetch_add(1, std::memory_order_relaxed);
}

const uint16_t* cStatisticRowCache::Get(uint64_t run, const uint8_t* up, const uint8_t* mid, const uint8_t* down,
                                        int channels, int first, int end)
{
  sEntry* reuse = nullptr;
  for (sEntry& e : Entries) {
    if (e.Run == run && e.Up == up && e.Mid == mid && e.Down == down && e.Channels == channels && e.First == first &&
        e.End == end) {
      e.LastWindow = Window;
      return e.Values.data() - first;
    }
    // The longest unused entry not read by this window, once there are enough of them.
    if (e.LastWindow != Window && (!reuse || e.LastWindow < reuse->LastWindow)) reuse = &e;
  }
  if (!reuse || Entries.size() < Capacity) reuse = &Entries.emplace_back();
  *reuse = sEntry{run, up, mid, down, channels, first, end, Window, std::move(reuse->Values)};
  reuse->Values.resize(size_t(end - first));
  cROADStatistic::Row(up, mid, down, channels, first, end, reuse->Values.data() - first);
  return reuse->Values.data() - first;
}
