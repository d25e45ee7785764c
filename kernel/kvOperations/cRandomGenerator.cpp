#include "cRandomGenerator.h"

#include <chrono>
#include <cmath>
#include <mutex>
#include <random>

namespace {

uint64_t SplitMix64(uint64_t& state)
{
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

struct sGeneratorState {
  std::mutex Lock;
  std::mt19937_64 Engine{0};
  bool Deterministic = false;
  uint64_t SeedSequence = 0;
  // The polar method yields deviates in pairs.
  bool HasSpare = false;
  double Spare = 0.0;
};

sGeneratorState& State()
{
  static sGeneratorState state;
  return state;
}

double UnitReal(std::mt19937_64& engine)
{
  return double(engine() >> 11) * 0x1.0p-53;
}

void Reseed(sGeneratorState& s, uint64_t seed)
{
  s.Engine.seed(seed);
  s.HasSpare = false;
}

}  // namespace

namespace cRandomGenerator {

unsigned Random(unsigned n)
{
  if (n == 0) return 0;
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.Lock);
  // Rejection of the top partial range keeps every value equally likely.
  const uint64_t range = n;
  const uint64_t limit = UINT64_MAX - (UINT64_MAX % range);
  uint64_t v;
  do {
    v = s.Engine();
  } while (v >= limit);
  return unsigned(v % range);
}

double RandomReal()
{
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.Lock);
  return UnitReal(s.Engine);
}

double RandG(double mean, double sd)
{
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.Lock);
  if (s.HasSpare) {
    s.HasSpare = false;
    return mean + sd * s.Spare;
  }
  double u, v, q;
  do {
    u = 2.0 * UnitReal(s.Engine) - 1.0;
    v = 2.0 * UnitReal(s.Engine) - 1.0;
    q = u * u + v * v;
  } while (q >= 1.0 || q == 0.0);
  const double f = std::sqrt(-2.0 * std::log(q) / q);
  s.Spare = v * f;
  s.HasSpare = true;
  return mean + sd * u * f;
}

void Randomize()
{
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.Lock);
  if (s.Deterministic) {
    Reseed(s, SplitMix64(s.SeedSequence));
    return;
  }
  const auto now = std::chrono::high_resolution_clock::now().time_since_epoch().count();
  uint64_t mix = uint64_t(now) ^ (uint64_t(std::random_device{}()) << 32);
  Reseed(s, SplitMix64(mix));
}

void SetSeed(uint64_t seed)
{
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.Lock);
  s.Deterministic = true;
  s.SeedSequence = seed;
  Reseed(s, SplitMix64(s.SeedSequence));
}

void ClearSeed()
{
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.Lock);
  s.Deterministic = false;
}

bool IsDeterministic()
{
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.Lock);
  return s.Deterministic;
}

}  // namespace cRandomGenerator
