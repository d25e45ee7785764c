#pragma once
// One filter bank: decomposition low/high-pass and reconstruction low/high-pass filters.
#include <string>
#include <vector>

struct cWavelet {
  std::string Name;
  std::vector<double> DecompositionLow;
  std::vector<double> DecompositionHigh;
  std::vector<double> ReconstructionLow;
  std::vector<double> ReconstructionHigh;
};
