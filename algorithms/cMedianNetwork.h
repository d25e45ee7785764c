#pragma once
// A comparator network that selects the median (rank (count-1)/2, the lower middle for an
// even count) of `count` inputs, applied to many independent sets at once: input k of set i
// lies at block[k * BlockWidth + i]. The same min/max step runs across all sets, which the
// compiler turns into vector instructions.
#include <cstdint>
#include <vector>

class cMedianNetwork {
public:
  static constexpr unsigned BlockWidth = 64;

  cMedianNetwork() = default;
  explicit cMedianNetwork(unsigned count) { Build(count); }
  // Builds the network for count inputs (count >= 1); cheap to call again with the same count.
  void Build(unsigned count);
  unsigned GetCount() const { return Count; }
  unsigned GetComparatorCount() const { return unsigned(Steps.size()); }
  // Row of the block that holds the medians after Apply.
  unsigned ResultRow() const { return Count ? (Count - 1) / 2 : 0; }
  // Runs the network on every set of a block of Count x BlockWidth bytes; lanes a caller did
  // not fill are computed too (keep them initialised) and ignored.
  void Apply(uint8_t* block) const;

private:
  enum eStepKind : uint8_t { skBoth, skMinOnly, skMaxOnly };
  struct sStep {
    uint16_t Low;
    uint16_t High;
    eStepKind Kind;
  };
  unsigned Count = 0;
  std::vector<sStep> Steps;
};
