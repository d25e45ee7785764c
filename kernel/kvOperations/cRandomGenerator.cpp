#include "cRandomGenerator.h"

#include <chrono>

namespace {

uint64_t SplitMix64(uint64_t& state)
{
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

void Reseed(cRandomGenerator::sGeneratorState& s, uint64_t seed)
{
  s.Engine.seed(seed);
  s.HasSpare = false;
}

}  // namespace

namespace cRandomGenerator {

sGeneratorState& State()
{
  static sGeneratorState state;
  return state;
}

unsigned Random(unsigned n)
{
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.Lock);
  return DrawBelow(s, n);
}

double RandomReal()
{
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.Lock);
  return DrawUnit(s);
}

double RandG(double mean, double sd)
{
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.Lock);
  return mean + sd * DrawNormal(s);
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
