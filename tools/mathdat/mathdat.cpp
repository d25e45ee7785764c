// Writes "math.dat", the distance and angle tables of the Tamsel filter: two 50 x 50 tables of
// little-endian 32-bit reals, row i = |dy| - 1, column j = |dx| - 1. The distance table holds
// the Euclidean length of the offset, the angle table atan(|dy| / |dx|) in radians.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {
constexpr int TableSide = 50;

void AppendLittleEndian(std::vector<unsigned char>& out, float value)
{
  uint32_t bits;
  static_assert(sizeof(bits) == sizeof(value));
  std::memcpy(&bits, &value, sizeof(bits));
  for (int b = 0; b < 4; ++b) out.push_back(static_cast<unsigned char>((bits >> (8 * b)) & 0xFFu));
}
}  // namespace

int main(int argc, char** argv)
{
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output file>\n", argv[0]);
    return 2;
  }
  std::vector<unsigned char> bytes;
  bytes.reserve(2 * TableSide * TableSide * 4);
  for (int i = 0; i < TableSide; ++i)
    for (int j = 0; j < TableSide; ++j) AppendLittleEndian(bytes, float(std::hypot(double(i + 1), double(j + 1))));
  for (int i = 0; i < TableSide; ++i)
    for (int j = 0; j < TableSide; ++j) AppendLittleEndian(bytes, float(std::atan2(double(i + 1), double(j + 1))));

  // Write beside the target and rename, so an interrupted build never leaves a short table.
  const std::string target = argv[1];
  const std::string temporary = target + ".part";
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (!file) {
    std::perror(temporary.c_str());
    return 1;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed || std::rename(temporary.c_str(), target.c_str()) != 0) {
    std::perror(target.c_str());
    std::remove(temporary.c_str());
    return 1;
  }
  return 0;
}
