#pragma once
#include <cstdint>

#include "kvOperations/acOperation.h"

class cRandomBatch;

// Streaks of a faulty scanner line: each row (or column) of the region is, with the given
// probability, replaced by uniform random values 0..255, one draw per sample. Continues the
// shared random sequence (no reseed).
class UniformStringNoise : public acOperation {
public:
  UniformStringNoise();
  void OperationItself(const tTerminateFlag& terminated) override;

private:
  // Fills x0..x1-1 of row y (or y0..y1-1 of column x) in every channel; false when stopped.
  bool FillRow(unsigned y, cRandomBatch& rnd, const tTerminateFlag& terminated);
  bool FillColumn(unsigned x, cRandomBatch& rnd, const tTerminateFlag& terminated);

  double Probability = 0.0;
  uint8_t NoiseType = 0;
  bool Inside = false;
};
