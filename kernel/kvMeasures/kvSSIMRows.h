#pragma once
// The window SSIM of every pixel, a row at a time: the values the SSIM measure averages, for
// the compare page's quality map. Kept out of cChannelProperties.h, which nearly every unit reads.
#include <atomic>
#include <functional>

#include "kvMeasures/cChannelProperties.h"

// rowDone(y, values, rowTotal) gets row y's window SSIM of image against origin and their sum
// in pixel order, for rows firstRow .. endRow - 1 of one channel of two pictures of one geometry
// (the very values and sums, in the same order, that ComputeSSIM adds up).
using tIndexRowDone = std::function<void(int y, const double* values, double rowTotal)>;
void kvSSIMRows(const cBMPSurface& image, const cBMPSurface& origin, int channel, const sQualitySettings& settings,
                int firstRow, int endRow, const tIndexRowDone& rowDone, const std::atomic<bool>* stop = nullptr);
