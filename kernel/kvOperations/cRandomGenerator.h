#pragma once
// The one process-wide random generator every package shares. Without a fixed seed it
// behaves like the run-time library's: Randomize reseeds from the clock. With SetSeed the
// generator is seeded from that number and every Randomize takes the next seed of a sequence
// derived from it, so the same sequence of operations gives the same pictures.
#include <cstdint>

namespace cRandomGenerator {
// Uniform integer 0..n-1 without modulo bias (0 for n = 0).
unsigned Random(unsigned n);
// Uniform real in [0, 1).
double RandomReal();
// Normal deviate with the given mean and standard deviation.
double RandG(double mean, double sd);
// Reseeds from the clock, or from the deterministic sequence when a seed is fixed.
void Randomize();
// Fixes the seed: reproducible experiments.
void SetSeed(uint64_t seed);
// Back to clock reseeding.
void ClearSeed();
bool IsDeterministic();
}  // namespace cRandomGenerator

// The run-time library names the operations use.
inline unsigned Random(unsigned n) { return cRandomGenerator::Random(n); }
inline double RandG(double mean, double sd) { return cRandomGenerator::RandG(mean, sd); }
inline void Randomize() { cRandomGenerator::Randomize(); }
