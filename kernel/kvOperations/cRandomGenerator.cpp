#include "kvOperations/cRandomGenerator.h"

#include <chrono>
#include <vector>

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

void DrawNormals(sGeneratorState& s, double mean, double sd, double* out, size_t n)
{
  size_t first = 0;
  if (n > 0 && s.HasSpare) {
    s.HasSpare = false;
    out[first++] = mean + sd * s.Spare;
  }
  const size_t pairs = (n - first + 1) / 2;
  if (pairs == 0) return;
  std::vector<double> u(pairs), v(pairs), q(pairs);
  // Every candidate is written and a rejected one overwritten by the next: no branch on the
  // accept test, which goes either way at random.
  for (size_t k = 0; k < pairs;) {
    const double a = 2.0 * DrawUnit(s) - 1.0;
    const double b = 2.0 * DrawUnit(s) - 1.0;
    const double r = a * a + b * b;
    u[k] = a;
    v[k] = b;
    q[k] = r;
    k += size_t((r < 1.0) & (r != 0.0));
  }
  // The logarithms one by one (the library's own, as DrawNormal takes them), the factors
  // after them; a pair's first deviate is returned, its second kept as the spare.
  std::vector<double> f(pairs);
  for (size_t k = 0; k < pairs; ++k) f[k] = std::log(q[k]);
  for (size_t k = 0; k < pairs; ++k) f[k] = std::sqrt(-2.0 * f[k] / q[k]);
  const size_t whole = (n - first) / 2;
  double* to = out + first;
  for (size_t k = 0; k < whole; ++k) {
    to[2 * k] = mean + sd * (u[k] * f[k]);
    to[2 * k + 1] = mean + sd * (v[k] * f[k]);
  }
  if (whole < pairs) {
    to[2 * whole] = mean + sd * (u[whole] * f[whole]);
    s.Spare = v[whole] * f[whole];
    s.HasSpare = true;
  }
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

uint64_t DrawSeed()
{
  auto& s = State();
  std::lock_guard<std::mutex> guard(s.Lock);
  return SplitMix64(s.SeedSequence);
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
