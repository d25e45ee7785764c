#include "AdaptiveMeanFilter.h"

#include <dlfcn.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <mutex>
#include <numbers>

#include "kvPixels/kvBorderRule.h"
#include "kvRuntime/kvInstallPaths.h"
#include "kvMessages/cUserDialogs.h"

namespace {
constexpr float Pi = std::numbers::pi_v<float>;
constexpr float TwoPi = 2.0f * std::numbers::pi_v<float>;
constexpr float NoMinimum = 100.0f;

std::mutex DataFolderLock;
std::string& DataFolderSetting()
{
  static std::string folder;
  return folder;
}

// Any object of this module; dladdr on it names the package file.
const char ModuleAnchor = 0;

float LittleEndianFloat(const unsigned char* p)
{
  const uint32_t bits = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
  float value;
  std::memcpy(&value, &bits, sizeof(value));
  return value;
}
inline bool Accept(float dr, float thetaR, float d, float theta)
{
  float delta = std::fabs(theta - thetaR);
  const float wrapped = std::fabs(delta - TwoPi);
  if (wrapped < delta && wrapped > 0.0f) delta = wrapped;
  return (0.9f * delta + 1.0f) * dr > d;
}

// The weighted sum over the sum of weights, rounded half up into a sample.
inline uint8_t RoundedMean(float weighted, float weights)
{
  const float result = std::floor(weighted / weights + 0.5f);
  return uint8_t(std::clamp(result, 0.0f, 255.0f));
}
}  // namespace

AdaptiveMeanFilter::AdaptiveMeanFilter()
{
  Describe("Tamsel Filter", "Misc Filters", otFilter, fmNoDialog);
}

void AdaptiveMeanFilter::SetDataFolder(const std::string& folder)
{
  std::lock_guard<std::mutex> guard(DataFolderLock);
  DataFolderSetting() = folder;
}

std::vector<std::string> AdaptiveMeanFilter::DataFileCandidates()
{
  namespace fs = std::filesystem;
  {
    std::lock_guard<std::mutex> guard(DataFolderLock);
    if (!DataFolderSetting().empty()) return {(fs::path(DataFolderSetting()) / DataFileName).string()};
  }
  std::vector<std::string> candidates;
  const auto add = [&candidates](const fs::path& path) {
    const std::string name = path.lexically_normal().string();
    if (std::find(candidates.begin(), candidates.end(), name) == candidates.end()) candidates.push_back(name);
  };
  const std::string executableFolder = kvExecutableFolder();
  if (!executableFolder.empty()) add(fs::path(kvDataFolder(executableFolder)) / DataFileName);
  Dl_info info{};
  std::error_code error;
  if (dladdr(&ModuleAnchor, &info) != 0 && info.dli_fname != nullptr && info.dli_fname[0] != '\0') {
    const fs::path module = fs::absolute(info.dli_fname, error);
    if (!error) {
      const fs::path plugIns = module.parent_path();
      add(plugIns.parent_path() / DataFileName);
      // Installed: <prefix>/lib/kvadra/plug-ins/ and <prefix>/share/kvadra/.
      add(plugIns / ".." / ".." / ".." / "share" / "kvadra" / DataFileName);
    }
  }
  return candidates;
}

bool AdaptiveMeanFilter::LoadTables()
{
  constexpr size_t tableBytes = size_t(TableSide) * TableSide * 4;
  std::vector<unsigned char> bytes(2 * tableBytes);
  for (const std::string& fileName : DataFileCandidates()) {
    std::FILE* file = std::fopen(fileName.c_str(), "rb");
    if (!file) continue;
    // A short file is refused rather than read past its end.
    const size_t got = std::fread(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    if (got != bytes.size()) return false;
    for (size_t k = 0; k < DistanceTable.size(); ++k) {
      DistanceTable[k] = LittleEndianFloat(&bytes[4 * k]);
      AngleTable[k] = LittleEndianFloat(&bytes[tableBytes + 4 * k]);
    }
    return true;
  }
  return false;
}

// Offsets along an axis are their own length and direction; others come from the tables
// (or, beyond them, from the same formulas the tables were made with).
inline float AdaptiveMeanFilter::Distance(int dx, int dy) const
{
  const int ax = std::abs(dx);
  const int ay = std::abs(dy);
  if (ax == 0) return float(ay);
  if (ay == 0) return float(ax);
  if (ax <= TableSide && ay <= TableSide) return DistanceTable[size_t(ay - 1) * TableSide + size_t(ax - 1)];
  return float(std::hypot(double(ax), double(ay)));
}

inline float AdaptiveMeanFilter::Angle(int dx, int dy) const
{
  const int ax = std::abs(dx);
  const int ay = std::abs(dy);
  if (dx == 0) return dy > 0 ? Pi / 2.0f : 3.0f * Pi / 2.0f;
  if (dy == 0) return dx > 0 ? 0.0f : Pi;
  const float a = (ax <= TableSide && ay <= TableSide) ? AngleTable[size_t(ay - 1) * TableSide + size_t(ax - 1)]
                                                       : float(std::atan2(double(ay), double(ax)));
  if (dx > 0) return dy > 0 ? a : TwoPi - a;
  return dy > 0 ? Pi - a : Pi + a;
}

void AdaptiveMeanFilter::PrepareOffsetTables()
{
  OffsetDistance.assign(size_t(OffsetSide) * OffsetSide, 0.0f);
  OffsetAngle.assign(size_t(OffsetSide) * OffsetSide, 0.0f);
  for (int dy = -MaxWindowRadius; dy <= MaxWindowRadius; ++dy)
    for (int dx = -MaxWindowRadius; dx <= MaxWindowRadius; ++dx) {
      if (dx == 0 && dy == 0) continue;
      const size_t k = size_t(dy + MaxWindowRadius) * OffsetSide + size_t(dx + MaxWindowRadius);
      OffsetDistance[k] = Distance(dx, dy);
      OffsetAngle[k] = Angle(dx, dy);
    }
  // Whether b is accepted relative to a, for every pair of offsets near the centre.
  constexpr int pairs = PairSide * PairSide;
  PairAccepted.assign(size_t(pairs) * pairs, 0);
  auto offsetIndex = [](int p) {
    return size_t(p / PairSide - PairRadius + MaxWindowRadius) * OffsetSide +
           size_t(p % PairSide - PairRadius + MaxWindowRadius);
  };
  PairDistance.resize(pairs);
  for (int p = 0; p < pairs; ++p) PairDistance[size_t(p)] = OffsetDistance[offsetIndex(p)];
  for (int a = 0; a < pairs; ++a)
    for (int b = 0; b < pairs; ++b)
      PairAccepted[size_t(a) * pairs + size_t(b)] = Accept(OffsetDistance[offsetIndex(a)], OffsetAngle[offsetIndex(a)],
                                                           OffsetDistance[offsetIndex(b)], OffsetAngle[offsetIndex(b)]);

  constexpr int near = NearSide * NearSide;
  auto nearDistance = [this](int o) {
    return OffsetDistance[size_t(o / NearSide - NearRadius + MaxWindowRadius) * OffsetSide +
                          size_t(o % NearSide - NearRadius + MaxWindowRadius)];
  };
  auto nearAngle = [this](int o) {
    return OffsetAngle[size_t(o / NearSide - NearRadius + MaxWindowRadius) * OffsetSide +
                       size_t(o % NearSide - NearRadius + MaxWindowRadius)];
  };
  std::vector<float> distances;
  for (int o = 0; o < near; ++o)
    if (o != near / 2) distances.push_back(nearDistance(o));
  std::sort(distances.begin(), distances.end());
  distances.erase(std::unique(distances.begin(), distances.end()), distances.end());
  RankWeight.resize(distances.size());
  RankValueWeight.resize(distances.size() * 256);
  for (size_t r = 0; r < distances.size(); ++r) {
    // The very expressions of the plain weighted sum, so the tabled terms are its terms.
    const float squared = distances[r] * distances[r];
    RankWeight[r] = 1.0f / squared;
    for (int v = 0; v < 256; ++v) RankValueWeight[r * 256 + size_t(v)] = float(v) / squared;
  }
  for (int a = 0; a < near; ++a) {
    NearPlaneOffset[size_t(a)] = ptrdiff_t(a / NearSide - NearRadius) * Width + (a % NearSide - NearRadius);
    if (a == near / 2) continue;
    NearRank[size_t(a)] =
        uint8_t(std::lower_bound(distances.begin(), distances.end(), nearDistance(a)) - distances.begin());
    uint64_t accepts = 0;
    for (int b = 0; b < near; ++b)
      if (b != near / 2 && Accept(nearDistance(a), nearAngle(a), nearDistance(b), nearAngle(b)))
        accepts |= uint64_t(1) << b;
    NearAccepts[size_t(a)] = accepts;
  }
}

void AdaptiveMeanFilter::OperationItself(const tTerminateFlag& terminated)
{
  if (!LoadTables()) {
    cUserDialogs::ShowMessage("Oblom");
    StopRun();
    return;
  }
  Width = SourceSurface->GetWidth();
  Height = SourceSurface->GetHeight();
  Channels = SourceSurface->GetChannelsCount();
  // The result starts as the source: channels left alone and rows a stop never reached keep
  // the source samples.
  ResultSurface->MakeCopyFrom(*SourceSurface);
  PrepareOffsetTables();
  bool stopped = false;
  for (int channel = 0; channel < Channels && !stopped; ++channel) stopped = !FilterChannel(channel, terminated);
  Plane.clear();
  Plane.shrink_to_fit();
  NoiseMap.clear();
  NoiseMap.shrink_to_fit();
  if (stopped) OperationTerminated();
}

bool AdaptiveMeanFilter::FilterChannel(int channel, const tTerminateFlag& terminated)
{
  const size_t pixels = size_t(Width) * size_t(Height);
  Plane.resize(pixels);
  NoiseMap.resize(pixels + 8);
  size_t zeros = 0;
  size_t fulls = 0;
  for (int y = 0; y < Height; ++y) {
    const uint8_t* row = SourceSurface->Row(y);
    uint8_t* plane = &Plane[size_t(y) * size_t(Width)];
    uint8_t* map = &NoiseMap[size_t(y) * size_t(Width)];
    for (int x = 0; x < Width; ++x) {
      const uint8_t v = row[size_t(x) * size_t(Channels) + size_t(channel)];
      plane[x] = v;
      zeros += v == 0;
      fulls += v == 255;
      map[x] = (v != 0 && v != 255) ? 1 : 0;
    }
  }
  // Only pictures with both kinds of impulse and at least one good sample are touched.
  if (zeros == 0 || fulls == 0 || zeros + fulls == pixels) return true;

  sCandidates list;
  const size_t capacity = size_t(OffsetSide) * OffsetSide + 1;
  list.Distance.resize(capacity);
  list.Angle.resize(capacity);
  list.Value.resize(capacity);
  for (int y = 0; y < Height; ++y) {
    uint8_t* out = ResultSurface->Row(y);
    const uint8_t* map = &NoiseMap[size_t(y) * size_t(Width)];
    for (int x = 0; x < Width; ++x)
      if (!map[x]) out[size_t(x) * size_t(Channels) + size_t(channel)] = RebuildSample(x, y, list);
    if (terminated.load(std::memory_order_relaxed)) return false;
    if (Channels == 3)
      OperationProgress(unsigned(y) * 33u / unsigned(Height) + unsigned(channel) * 33u);
    else
      OperationProgress(unsigned(y) * 99u / unsigned(Height));
  }
  return true;
}

uint8_t AdaptiveMeanFilter::RebuildSample(int x, int y, sCandidates& list) const
{
  int nearestX = -1;
  int nearestY = -1;
  const float dN = FindNearestGood(x, y, nearestX, nearestY);
  if (nearestX < 0) return Plane[size_t(y) * size_t(Width) + size_t(x)];

  const float thetaN = Angle(nearestX - x, nearestY - y);
  const float gN = Plane[size_t(nearestY) * size_t(Width) + size_t(nearestX)];

  int radius = int(std::floor((0.9 * std::numbers::pi + 1.0) * double(dN) * 0.5 + 0.5));
  radius = std::min(radius, MaxWindowRadius);

  if (radius <= NearRadius && x - radius >= 0 && x + radius < Width && y - radius >= 0 && y + radius < Height)
    return RebuildNearWindow(x, y, radius, nearestX - x, nearestY - y);
  if (radius <= PairRadius && x - radius >= 0 && x + radius < Width && y - radius >= 0 && y + radius < Height)
    return RebuildSmallWindow(x, y, radius, nearestX - x, nearestY - y, uint8_t(gN));

  const int count = GatherAccepted(x, y, radius, dN, thetaN, gN, list);
  return list.WeightedMean(list.Prune(count));
}

// Square rings, sides top, bottom, left, right; the first strictly smaller distance wins.
// Distances use the offsets before mirroring. Every sample of the picture lies on some ring
// below max(width, height), so the search always ends.
inline float AdaptiveMeanFilter::FindNearestGood(int x, int y, int& nearestX, int& nearestY) const
{
  float nearest = std::numeric_limits<float>::infinity();
  auto consider = [&](int dx, int dy) {
    const int mx = kvReflectIndex(x + dx, Width);
    const int my = kvReflectIndex(y + dy, Height);
    if (!NoiseMap[size_t(my) * size_t(Width) + size_t(mx)]) return;
    const float d = Distance(dx, dy);
    if (d < nearest) {
      nearest = d;
      nearestX = mx;
      nearestY = my;
    }
  };
  // Inside the picture the first ring needs no mirroring: the first good sample along an axis
  // in the ring's order (top, bottom, left, right), else the first good one on a diagonal.
  if (x >= 1 && x + 1 < Width && y >= 1 && y + 1 < Height) {
    static constexpr int ring[8][2] = {{0, -1}, {0, 1}, {-1, 0}, {1, 0}, {-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
    const uint8_t* map = &NoiseMap[size_t(y) * size_t(Width) + size_t(x)];
    for (const auto& [dx, dy] : ring)
      if (map[ptrdiff_t(dy) * Width + dx]) {
        nearest = Distance(dx, dy);
        nearestX = x + dx;
        nearestY = y + dy;
        break;
      }
  }
  const int lastRing = std::max(Width, Height);
  for (int r = 1; r <= lastRing && nearestX < 0; ++r) {
    for (int dx = -r; dx <= r; ++dx) consider(dx, -r);
    for (int dx = -r; dx <= r; ++dx) consider(dx, r);
    for (int dy = -r + 1; dy <= r - 1; ++dy) consider(-r, dy);
    for (int dy = -r + 1; dy <= r - 1; ++dy) consider(r, dy);
  }
  return nearest;
}

// The accepted entries are first gathered in their order (written always, kept by the accept
// flag, so the flag costs no branch), then placed.
inline int AdaptiveMeanFilter::GatherAccepted(int x, int y, int radius, float dN, float thetaN, float gN,
                                              sCandidates& list) const
{
  int count = 1;
  list.Take(0, dN, thetaN, gN);
  const bool inside = x - radius >= 0 && x + radius < Width && y - radius >= 0 && y + radius < Height;
  for (int wy = -radius; wy <= radius; ++wy) {
    const int my = inside ? y + wy : kvReflectIndex(y + wy, Height);
    const uint8_t* mapRow = &NoiseMap[size_t(my) * size_t(Width)];
    const uint8_t* planeRow = &Plane[size_t(my) * size_t(Width)];
    const size_t offsetRow = size_t(wy + MaxWindowRadius) * OffsetSide + MaxWindowRadius;
    for (int wx = -radius; wx <= radius; ++wx) {
      const int mx = inside ? x + wx : kvReflectIndex(x + wx, Width);
      const float d = OffsetDistance[size_t(ptrdiff_t(offsetRow) + wx)];
      const float a = OffsetAngle[size_t(ptrdiff_t(offsetRow) + wx)];
      list.Take(count, d, a, float(planeRow[mx]));
      count += mapRow[mx] && Accept(dN, thetaN, d, a);
    }
  }
  list.Place(1, count);
  return count;
}

inline void AdaptiveMeanFilter::sCandidates::Take(int to, float d, float a, float v)
{
  Distance[size_t(to)] = d;
  Angle[size_t(to)] = a;
  Value[size_t(to)] = v;
}

inline void AdaptiveMeanFilter::sCandidates::Place(int first, int end)
{
  if (first >= end) return;  // nothing kept but the nearest: no entry to read
  float minimum = NoMinimum;
  for (int n = first; n < end; ++n) {
    const float d = Distance[size_t(n)];
    if (!(d < minimum)) continue;
    minimum = d;
    if (n > first) {
      const float a = Angle[size_t(n)], v = Value[size_t(n)];
      Take(n, Distance[size_t(first)], Angle[size_t(first)], Value[size_t(first)]);
      Take(first, d, a, v);
    }
  }
}

inline int AdaptiveMeanFilter::sCandidates::Prune(int count)
{
  for (int k = 2; k < count; ++k) {
    const float dr = Distance[size_t(k - 1)];
    const float ar = Angle[size_t(k - 1)];
    int kept = k;
    for (int i = k; i < count; ++i) {
      const float d = Distance[size_t(i)], a = Angle[size_t(i)], v = Value[size_t(i)];
      Take(kept, d, a, v);
      kept += Accept(dr, ar, d, a);
    }
    Place(k, kept);
    count = kept;
  }
  return count;
}

inline uint8_t AdaptiveMeanFilter::sCandidates::WeightedMean(int count) const
{
  float weighted = 0.0f;
  float weights = 0.0f;
  for (int i = 0; i < count; ++i) {
    const float squared = Distance[size_t(i)] * Distance[size_t(i)];
    weighted += Value[size_t(i)] / squared;
    weights += 1.0f / squared;
  }
  return RoundedMean(weighted, weights);
}

// A window inside the picture holds the nearest sample unmirrored, so dN and thetaN are those
// of its offset, and every accept test is a look-up of an offset pair. An entry is its offset's
// pair index and its value in one word, so moving it is one store.
uint8_t AdaptiveMeanFilter::RebuildSmallWindow(int x, int y, int radius, int nearestDx, int nearestDy,
                                               uint8_t nearestValue) const
{
  constexpr int pairs = PairSide * PairSide;
  auto pairIndex = [](int dx, int dy) { return uint32_t((dy + PairRadius) * PairSide + dx + PairRadius); };
  std::array<uint32_t, pairs + 1> entry;
  auto distance = [&](uint32_t e) { return PairDistance[e >> 8]; };
  auto place = [&](int first, int end) {
    if (first >= end) return;  // nothing kept but the nearest: no entry to read
    float minimum = NoMinimum;
    for (int n = first; n < end; ++n) {
      const float d = distance(entry[size_t(n)]);
      if (!(d < minimum)) continue;
      minimum = d;
      std::swap(entry[size_t(n)], entry[size_t(first)]);
    }
  };
  entry[0] = (pairIndex(nearestDx, nearestDy) << 8) | nearestValue;
  int count = 1;
  const uint8_t* nearestAccepts = &PairAccepted[size_t(entry[0] >> 8) * pairs];
  for (int wy = -radius; wy <= radius; ++wy) {
    const uint8_t* mapRow = &NoiseMap[size_t(y + wy) * size_t(Width)];
    const uint8_t* planeRow = &Plane[size_t(y + wy) * size_t(Width)];
    for (int wx = -radius; wx <= radius; ++wx) {
      const uint32_t o = pairIndex(wx, wy);
      entry[size_t(count)] = (o << 8) | planeRow[x + wx];
      count += mapRow[x + wx] & nearestAccepts[o];
    }
  }
  place(1, count);
  for (int k = 2; k < count; ++k) {
    const uint8_t* accepts = &PairAccepted[size_t(entry[size_t(k - 1)] >> 8) * pairs];
    int kept = k;
    for (int i = k; i < count; ++i) {
      const uint32_t e = entry[size_t(i)];
      entry[size_t(kept)] = e;
      kept += accepts[e >> 8];
    }
    place(k, kept);
    count = kept;
  }
  float weighted = 0.0f;
  float weights = 0.0f;
  for (int i = 0; i < count; ++i) {
    const float d = distance(entry[size_t(i)]);
    const float squared = d * d;
    weighted += float(entry[size_t(i)] & 0xFF) / squared;
    weights += 1.0f / squared;
  }
  return RoundedMean(weighted, weights);
}

// The small window's rules again for the commonest windows (a nearest sample at distance 1 or
// the square root of 2): the entries are offsets within NearRadius, so the set a pruning step
// keeps is one mask, a step that drops nothing skips its compaction, distances compare as
// ranks, and the weighted sum takes its terms from tables.
uint8_t AdaptiveMeanFilter::RebuildNearWindow(int x, int y, int radius, int nearestDx, int nearestDy) const
{
  auto nearIndex = [](int dx, int dy) { return (dy + NearRadius) * NearSide + dx + NearRadius; };
  // Each window row's flags (bytes 0 or 1, the map padded so 8 can be read) packed to bits.
  uint64_t good = 0;
  const uint64_t rowBits = (uint64_t(1) << (2 * radius + 1)) - 1;
  for (int wy = -radius; wy <= radius; ++wy) {
    uint64_t flags;
    std::memcpy(&flags, &NoiseMap[size_t(y + wy) * size_t(Width) + size_t(x - radius)], sizeof(flags));
    good |= (((flags * 0x0102040810204080u) >> 56) & rowBits) << nearIndex(-radius, wy);
  }
  std::array<uint8_t, NearSide * NearSide + 1> entry;
  entry[0] = uint8_t(nearIndex(nearestDx, nearestDy));
  uint64_t remaining = good & NearAccepts[entry[0]];
  int count = 1;
  for (uint64_t bits = remaining; bits != 0; bits &= bits - 1) entry[size_t(count++)] = uint8_t(std::countr_zero(bits));
  // The insertion rule's placing without a branch on the data.
  auto place = [&](int first, int end) {
    if (first >= end) return;  // nothing kept but the nearest: no entry to read
    uint8_t front = entry[size_t(first)];
    unsigned minimum = NearRank[front];
    for (int n = first + 1; n < end; ++n) {
      const uint8_t e = entry[size_t(n)];
      const unsigned rank = NearRank[e];
      const bool nearer = rank < minimum;
      minimum = nearer ? rank : minimum;
      entry[size_t(n)] = nearer ? front : e;
      front = nearer ? e : front;
    }
    entry[size_t(first)] = front;
  };
  place(1, count);
  // remaining: the entries at positions k .. count - 1.
  for (int k = 2; k < count; ++k) {
    remaining &= ~(uint64_t(1) << entry[size_t(k - 1)]);
    const uint64_t accepts = NearAccepts[entry[size_t(k - 1)]];
    if ((remaining & ~accepts) != 0) {
      remaining &= accepts;
      int kept = k;
      for (int i = k; i < count; ++i) {
        const uint8_t e = entry[size_t(i)];
        entry[size_t(kept)] = e;
        kept += int((accepts >> e) & 1);
      }
      count = kept;
    }
    place(k, count);
  }
  const uint8_t* centre = &Plane[size_t(y) * size_t(Width) + size_t(x)];
  float weighted = 0.0f;
  float weights = 0.0f;
  for (int i = 0; i < count; ++i) {
    const uint8_t e = entry[size_t(i)];
    const size_t rank = NearRank[e];
    weighted += RankValueWeight[rank * 256 + centre[NearPlaneOffset[e]]];
    weights += RankWeight[rank];
  }
  return RoundedMean(weighted, weights);
}
