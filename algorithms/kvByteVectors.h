#pragma once
// 32 bytes at a time for the small selection networks: GCC vector types with min, max, loads
// and stores that vectorise on any target, and the compare-exchange the networks are made of,
// for single bytes and for vectors alike.
#include <algorithm>
#include <cstdint>
#include <cstring>

// The 32-byte vectors never cross a call of another unit (everything here is inlined), so the
// note that their passing differs with and without AVX does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

#define KV_INLINE inline __attribute__((always_inline))

namespace kvByteVectors {

typedef uint8_t tVector __attribute__((vector_size(32)));
typedef int8_t tMask __attribute__((vector_size(32)));
constexpr int Lanes = 32;

KV_INLINE uint8_t Min(uint8_t a, uint8_t b)
{
  return std::min(a, b);
}
KV_INLINE uint8_t Max(uint8_t a, uint8_t b)
{
  return std::max(a, b);
}
KV_INLINE tVector Min(tVector a, tVector b)
{
  return a < b ? a : b;
}
KV_INLINE tVector Max(tVector a, tVector b)
{
  return a < b ? b : a;
}

KV_INLINE tVector Load(const uint8_t* p)
{
  tVector v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

KV_INLINE void Store(uint8_t* p, tVector v)
{
  std::memcpy(p, &v, sizeof v);
}

// The compare-exchange: a gets the smaller, b the larger (bytes or vectors of them).
template <class T>
KV_INLINE void Order(T& a, T& b)
{
  const T lo = Min(a, b);
  b = Max(a, b);
  a = lo;
}

// The classic 19-exchange median of nine, in place, on bytes or on vectors of them.
template <class T>
KV_INLINE T MedianOfNine(T* p)
{
  // One line a layer of the network.
  // clang-format off
  Order(p[1], p[2]); Order(p[4], p[5]); Order(p[7], p[8]);
  Order(p[0], p[1]); Order(p[3], p[4]); Order(p[6], p[7]);
  Order(p[1], p[2]); Order(p[4], p[5]); Order(p[7], p[8]);
  Order(p[0], p[3]); Order(p[5], p[8]); Order(p[4], p[7]);
  Order(p[3], p[6]); Order(p[1], p[4]); Order(p[2], p[5]);
  Order(p[4], p[7]); Order(p[4], p[2]); Order(p[6], p[4]);
  Order(p[4], p[2]);
  // clang-format on
  return p[4];
}

}  // namespace kvByteVectors
