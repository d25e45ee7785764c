#pragma once
// The ROAD statistic of window rows kept between the rows of a run: a window W rows high
// shares W - 1 statistic rows with the window of the next row, so each is computed once
// instead of W times. Only rows that are the picture's own are kept (padded border rows are
// rebuilt into a reused buffer), and under the run's number, so no later run reads them.
#include <cstddef>
#include <cstdint>
#include <vector>

class cStatisticRowCache {
public:
  // A number no earlier run of any filter had.
  static uint64_t NewRun();
  // Starts the statistic rows of a window of `rows` rows: the rows found or computed until the
  // next call stay valid until then. Room for two windows keeps the rows the next one shares.
  void BeginWindow(int rows)
  {
    ++Window;
    Capacity = 2 * size_t(rows);
  }
  // R of the middle row at samples first .. end - 1, indexed like the rows
  // (cROADStatistic::Row).
  const uint16_t* Get(uint64_t run, const uint8_t* up, const uint8_t* mid, const uint8_t* down, int channels, int first,
                      int end);

private:
  struct sEntry {
    uint64_t Run = 0;
    const uint8_t* Up = nullptr;
    const uint8_t* Mid = nullptr;
    const uint8_t* Down = nullptr;
    int Channels = 0;
    int First = 0;
    int End = 0;
    uint64_t LastWindow = 0;
    std::vector<uint16_t> Values;
  };
  std::vector<sEntry> Entries;
  uint64_t Window = 0;
  size_t Capacity = 0;
};
