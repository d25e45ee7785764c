#pragma once
// The one process-wide random generator every package shares. Without a fixed seed it
// behaves like the run-time library's: Randomize reseeds from the clock. With SetSeed the
// generator is seeded from that number and every Randomize takes the next seed of a sequence
// derived from it, so the same sequence of operations gives the same pictures.
//
// Every draw goes through the inline Draw* functions below on the locked state, whether it
// is taken one at a time (Random, RandG: one lock per draw) or in a run (cRandomBatch: one
// lock per run), so both give the same sequence.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <random>

namespace cRandomGenerator {

struct sGeneratorState {
  std::mutex Lock;
  std::mt19937_64 Engine{0};
  bool Deterministic = false;
  uint64_t SeedSequence = 0;
  // The polar method yields deviates in pairs; the second one waits here.
  bool HasSpare = false;
  double Spare = 0.0;
};

// The shared state; lock it before drawing (Random/RandG and cRandomBatch do).
sGeneratorState& State();

// Uniform integer 0..n-1 from the top 32 bits of one engine output, by multiply and shift
// with rejection of the few products that would favour some values (no modulo bias).
inline unsigned DrawBelow(sGeneratorState& s, unsigned n)
{
  if (n == 0) return 0;
  uint64_t m = (s.Engine() >> 32) * uint64_t(n);
  if (uint32_t(m) < n) {
    const uint32_t threshold = uint32_t(-n) % n;  // 2^32 mod n
    while (uint32_t(m) < threshold) m = (s.Engine() >> 32) * uint64_t(n);
  }
  return unsigned(m >> 32);
}

// Uniform real in [0, 1) with 53 random bits.
inline double DrawUnit(sGeneratorState& s)
{
  return double(s.Engine() >> 11) * 0x1.0p-53;
}

// Standard normal deviate by the polar method.
inline double DrawNormal(sGeneratorState& s)
{
  if (s.HasSpare) {
    s.HasSpare = false;
    return s.Spare;
  }
  double u, v, q;
  do {
    u = 2.0 * DrawUnit(s) - 1.0;
    v = 2.0 * DrawUnit(s) - 1.0;
    q = u * u + v * v;
  } while (q >= 1.0 || q == 0.0);
  const double f = std::sqrt(-2.0 * std::log(q) / q);
  s.Spare = v * f;
  s.HasSpare = true;
  return u * f;
}

// n normal deviates mean + sd * DrawNormal, exactly as n such calls give them and leaving the
// state as they leave it; faster for long runs: the polar method's pairs are chosen first,
// then their logarithms taken, then the rest of the arithmetic in loops that vectorise.
void DrawNormals(sGeneratorState& s, double mean, double sd, double* out, size_t n);

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
// The next number of the fixed seed's sequence (advancing it): a seed for a part of a run
// that must not depend on what ran before it.
uint64_t DrawSeed();
}  // namespace cRandomGenerator

// The run-time library names the operations use.
inline unsigned Random(unsigned n)
{
  return cRandomGenerator::Random(n);
}
inline double RandG(double mean, double sd)
{
  return cRandomGenerator::RandG(mean, sd);
}
inline void Randomize()
{
  cRandomGenerator::Randomize();
}
