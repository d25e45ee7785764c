#pragma once
// "Tamsel Filter": treats every sample equal to 0 or 255 as missing and rebuilds it from the
// nearest good samples, weighted by inverse squared distance. A sample is kept only while its
// distance stays below a bound that grows with its angle away from the nearest one, so good
// samples on other sides stay in while those hidden behind nearer ones drop out.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "kvOperations/acOperation.h"

class AdaptiveMeanFilter : public acOperation {
public:
  // The tables of math.dat cover offsets 1..TableSide per axis.
  static constexpr int TableSide = 50;
  static constexpr int MaxWindowRadius = 50;
  static constexpr const char* DataFileName = "math.dat";

  AdaptiveMeanFilter();
  void OperationItself(const tTerminateFlag& terminated) override;

  // Where math.dat is looked for, in order: the folder set here when one is set (alone);
  // otherwise the running executable's data folder (its own folder in the build, or
  // <prefix>/share/kvadra/ when installed), then the folder above the one holding this package
  // (packages live in <bin>/plug-ins/, the data file in <bin>), then the installed data folder
  // seen from the package (<prefix>/lib/kvadra/plug-ins/ to <prefix>/share/kvadra/).
  static void SetDataFolder(const std::string& folder);
  static std::vector<std::string> DataFileCandidates();

private:
  // One rebuilt sample's candidate list, parallel arrays.
  struct sCandidates {
    std::vector<float> Distance;
    std::vector<float> Angle;
    std::vector<float> Value;

    void Take(int to, float d, float a, float v);
    // Places entries first..end-1 as the insertion rule places them one by one: at the end,
    // except that an entry strictly nearer than the running minimum takes position first and
    // sends the entry it displaces to the end.
    void Place(int first, int end);
    // Chain pruning of the count entries: the entries after k - 1 must be accepted relative to
    // entry k - 1. Returns how many are left.
    int Prune(int count);
    // The inverse-squared-distance weighted mean of the first count entries, rounded.
    uint8_t WeightedMean(int count) const;
  };

  bool LoadTables();
  void PrepareOffsetTables();
  // false when the run was stopped.
  bool FilterChannel(int channel, const tTerminateFlag& terminated);
  uint8_t RebuildSample(int x, int y, sCandidates& list) const;
  // The nearest good sample to (x, y), mirrored into the picture, and its distance; nearestX
  // stays -1 when the picture has none.
  float FindNearestGood(int x, int y, int& nearestX, int& nearestY) const;
  // The window's good samples accepted relative to the nearest one (entry 0), placed in list;
  // returns their count.
  int GatherAccepted(int x, int y, int radius, float dN, float thetaN, float gN, sCandidates& list) const;
  uint8_t RebuildSmallWindow(int x, int y, int radius, int nearestDx, int nearestDy, uint8_t nearestValue) const;
  uint8_t RebuildNearWindow(int x, int y, int radius, int nearestDx, int nearestDy) const;

  float Distance(int dx, int dy) const;
  float Angle(int dx, int dy) const;

  int Width = 0;
  int Height = 0;
  int Channels = 0;
  // Per run: the channel being rebuilt and its noise map (1 good, 0 impulse), row-major.
  std::vector<uint8_t> Plane;
  std::vector<uint8_t> NoiseMap;
  // Row i = |dy| - 1, column j = |dx| - 1, as read from math.dat.
  std::array<float, TableSide * TableSide> DistanceTable{};
  std::array<float, TableSide * TableSide> AngleTable{};
  // Distance and angle of every signed offset within the window, indexed (dy + 50, dx + 50).
  static constexpr int OffsetSide = 2 * MaxWindowRadius + 1;
  std::vector<float> OffsetDistance;
  std::vector<float> OffsetAngle;
  // Accept of offset b relative to offset a, both within PairRadius, at a * PairSide^2 + b,
  // offsets indexed (dy + PairRadius) * PairSide + dx + PairRadius.
  static constexpr int PairRadius = 8;
  static constexpr int PairSide = 2 * PairRadius + 1;
  std::vector<uint8_t> PairAccepted;
  std::vector<float> PairDistance;  // distance of each such offset
  // Offsets within NearRadius, indexed (dy + NearRadius) * NearSide + dx + NearRadius: the set
  // each accepts as a bit mask, the rank of its distance among theirs (equal distances, equal
  // ranks), and per rank 1 / d^2 and v / d^2 for every sample value v.
  static constexpr int NearRadius = 3;
  static constexpr int NearSide = 2 * NearRadius + 1;
  std::array<uint64_t, NearSide * NearSide> NearAccepts{};
  std::array<uint8_t, NearSide * NearSide> NearRank{};
  std::array<ptrdiff_t, NearSide * NearSide> NearPlaneOffset{};  // dy * Width + dx
  std::vector<float> RankWeight;
  std::vector<float> RankValueWeight;  // rank * 256 + v
};
