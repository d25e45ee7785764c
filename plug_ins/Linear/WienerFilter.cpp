#include "WienerFilter.h"

#include <algorithm>
#include <cmath>

#include "kvDiagnostics.h"

WienerFilter::WienerFilter()
{
  Name = "Wiener Filter";
  GroupName = "Linear Filters";
  OperationType = otFilter;
  FormMode = 1;
  KV_ASSERT_TEXT(Params != nullptr, "OperationParams != NULL", "020pkLinear\\WienerFilter");
  sParameterInfo info;
  info.theParameterType = ptInteger;
  info.Precision = 0;
  info.MinBound = 1;
  info.MaxBound = 27;
  info.DefaultValue = 3;
  info.ParameterName = "Window size";
  Params->AddNewParam(info);
  info.theParameterType = ptReal;
  info.Precision = 2;
  info.MinBound = 0;
  info.MaxBound = 500;
  info.DefaultValue = 10;
  info.ParameterName = "Noise variance";
  Params->AddNewParam(info);
}

void WienerFilter::OperationItself(const tTerminateFlag& terminated)
{
  WindowSize = uint8_t(std::clamp(Params->GetParam(0)->GetInteger(), 1, 255));
  NoiseVariance = Params->GetParam(1)->GetReal();
  const int width = ResultSurface->GetWidth(), height = ResultSurface->GetHeight();
  Left = int(std::min(FirstColumn, unsigned(width)));
  Top = int(std::min(FirstRow, unsigned(height)));
  RegionWidth = std::max(0, int(std::min(EndColumn, unsigned(width))) - Left);
  RegionHeight = std::max(0, int(std::min(EndRow, unsigned(height))) - Top);
  if (RegionWidth == 0 || RegionHeight == 0) return;
  const size_t size = size_t(RegionWidth) * RegionHeight;
  X.resize(size);
  M.resize(size);
  V.resize(size);
  const int channels = ResultSurface->GetChannelsCount();
  for (int c = 0; c < channels; ++c) {
    SourceSurface->CurrentChannel = c;
    ResultSurface->CurrentChannel = c;
    if (!GatherStatistics(c, channels, terminated)) return;
    for (size_t pos = 0; pos < size; ++pos) {
      const double d = V[pos] - NoiseVariance;
      // A window without variance carries no signal estimate beyond its mean (this also
      // covers a zero noise variance on a flat window, where the gain would be 0 / 0).
      if (d < 0 || V[pos] <= 0)
        X[pos] = M[pos];
      else if (d < V[pos])
        X[pos] = M[pos] + d * (X[pos] - M[pos]) / V[pos];
      // else: no noise, gain 1; kept as is, since mean + (value - mean) may round just
      // below the value and truncate one step down.
    }
    for (int r = 0; r < RegionHeight; ++r) {
      if (terminated.load(std::memory_order_relaxed)) return;
      uint8_t* out = ResultSurface->Row(Top + r) + Left * channels + c;
      const double* in = X.data() + size_t(r) * RegionWidth;
      for (int col = 0; col < RegionWidth; ++col) out[col * channels] = uint8_t(std::clamp(in[col], 0.0, 255.0));
    }
  }
}

// Window sums are kept as exact integers (a column sum per window column, slid down the rows,
// then a running sum across), so the mean of a flat window is exactly its value.
bool WienerFilter::GatherStatistics(int channel, int channels, const tTerminateFlag& terminated)
{
  const cBMPSurface& s = *SourceSurface;
  const int high = WindowSize / 2, low = high - WindowSize + 1;
  const int64_t n = int64_t(WindowSize) * WindowSize;
  const double n2 = double(n) * double(n);
  const int columns = RegionWidth + WindowSize - 1;
  ColumnSum.assign(size_t(columns), 0);
  ColumnSquares.assign(size_t(columns), 0);
  const unsigned share = 99u / unsigned(channels);
  auto addRow = [&](int y, int sign) {
    for (int i = 0; i < columns; ++i) {
      const int64_t v = s.GetPixel(Left + low + i, y);
      ColumnSum[size_t(i)] += sign * v;
      ColumnSquares[size_t(i)] += sign * v * v;
    }
  };
  for (int r = 0; r < RegionHeight; ++r) {
    if (terminated.load(std::memory_order_relaxed)) return false;
    OperationProgress(unsigned(channel) * share + unsigned(r) * share / unsigned(RegionHeight));
    const int y = Top + r;
    if (r == 0) {
      for (int dy = low; dy <= high; ++dy) addRow(y + dy, 1);
    } else {
      addRow(y - 1 + low, -1);
      addRow(y + high, 1);
    }
    int64_t sum = 0, squares = 0;
    for (int i = 0; i < WindowSize - 1; ++i) {
      sum += ColumnSum[size_t(i)];
      squares += ColumnSquares[size_t(i)];
    }
    for (int col = 0; col < RegionWidth; ++col) {
      if (terminated.load(std::memory_order_relaxed)) return false;
      sum += ColumnSum[size_t(col + WindowSize - 1)];
      squares += ColumnSquares[size_t(col + WindowSize - 1)];
      const size_t pos = size_t(r) * RegionWidth + col;
      X[pos] = s.GetPixel(Left + col, y);
      M[pos] = double(sum) / double(n);
      V[pos] = double(n * squares - sum * sum) / n2;
      sum -= ColumnSum[size_t(col)];
      squares -= ColumnSquares[size_t(col)];
    }
  }
  return true;
}
