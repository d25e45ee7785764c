#pragma once
// Holds the shared random generator for a run of draws (a row of samples): one lock for the
// run instead of one per draw. The draws are exactly those Random and RandG would give in
// the same order. Keep a batch short-lived and never call Random/RandG/Randomize while
// holding one on the same thread.
#include "kvOperations/cRandomGenerator.h"

class cRandomBatch {
public:
  cRandomBatch() : State(cRandomGenerator::State()), Guard(State.Lock) {}
  cRandomBatch(const cRandomBatch&) = delete;
  cRandomBatch& operator=(const cRandomBatch&) = delete;

  unsigned Random(unsigned n) { return cRandomGenerator::DrawBelow(State, n); }
  // Uniform real in [0, 1), as RandomReal draws it.
  double Unit() { return cRandomGenerator::DrawUnit(State); }
  double RandG(double mean, double sd) { return mean + sd * cRandomGenerator::DrawNormal(State); }
  // n calls of RandG(mean, sd) at once.
  void RandG(double mean, double sd, double* out, size_t n) { cRandomGenerator::DrawNormals(State, mean, sd, out, n); }

private:
  cRandomGenerator::sGeneratorState& State;
  std::lock_guard<std::mutex> Guard;
};
