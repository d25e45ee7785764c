#include "LeeFilter.h"

#include <algorithm>

#include "kvDiagnostics.h"

LeeFilter::LeeFilter()
{
  Name = "Lee Filter";
  GroupName = "Misc Filters";
  OperationType = otFilter;
  FormMode = 1;
  KV_ASSERT_TEXT(Params != nullptr, "OperationParams != NULL", "990pkAdaptive\\LeeFilter");
  sParameterInfo info;
  info.theParameterType = ptInteger;
  info.Precision = 0;
  info.MinBound = 1;
  info.MaxBound = 27;
  info.DefaultValue = 7;
  info.ParameterName = "Window size";
  Params->AddNewParam(info);
}

// The window holds exactly W x W samples (an even size uses the same off-centre window as
// every other filter), so the mean divides by the number of samples it really summed and the
// spread by one less; a single sample has no spread.
void LeeFilter::WindowStatistics(const cBMPSurface& surface, int x, int y, unsigned& mean, int64_t& spread) const
{
  const int high = WindowSize / 2, low = high - WindowSize + 1;
  const int64_t n = int64_t(WindowSize) * WindowSize;
  int64_t sum = 0, squares = 0;
  for (int dx = low; dx <= high; ++dx)
    for (int dy = low; dy <= high; ++dy) {
      const int64_t v = surface.GetPixel(x + dx, y + dy);
      sum += v;
      squares += v * v;
    }
  const int64_t m = (sum + n - 1) / n;
  mean = unsigned(m);
  // Sum of (v - m)^2, expanded so one pass over the window suffices.
  spread = n > 1 ? (squares - 2 * m * sum + n * m * m) / (n - 1) : 0;
}

void LeeFilter::PreProcessing()
{
  WindowSize = uint8_t(std::clamp(Params->GetParam(0)->GetInteger(), 1, 255));
  const int channels = SourceSurface->GetChannelsCount();
  double total = 0.0;
  for (int c = 0; c < channels; ++c) {
    SourceSurface->CurrentChannel = c;
    int64_t sum = 0, blocks = 0;
    for (unsigned y = FirstRow; y < EndRow; y += WindowSize)
      for (unsigned x = FirstColumn; x < EndColumn; x += WindowSize) {
        unsigned mean = 0;
        int64_t spread = 0;
        WindowStatistics(*SourceSurface, int(x), int(y), mean, spread);
        sum += spread;
        ++blocks;
      }
    if (blocks > 0) total += double(sum) / double(blocks);
  }
  NoiseVariance = channels > 0 ? total / channels : 0.0;
}

void LeeFilter::TransformPixel(unsigned x, unsigned y)
{
  unsigned mean = 0;
  int64_t spread = 0;
  WindowStatistics(*SourceSurface, int(x), int(y), mean, spread);
  if (double(spread) > NoiseVariance)
    ResultSurface->SetPixel(int(x), int(y), SourceSurface->GetPixel(int(x), int(y)));
  else
    ResultSurface->SetPixel(int(x), int(y), uint8_t(mean));
}

// The window statistics are exact integers, so sliding sums give the very values the
// per-sample formula gives: a column sum per window column, moved down one row at a time,
// and a running sum across them.
void LeeFilter::OperationItself(const tTerminateFlag& terminated)
{
  if (SourceSurface->GetHeight() != ResultSurface->GetHeight() || SourceSurface->GetWidth() != ResultSurface->GetWidth() ||
      SourceSurface->GetChannelsCount() != ResultSurface->GetChannelsCount() || !RegionInsideSurface()) {
    acSingleChannelOperation::OperationItself(terminated);
    return;
  }
  PreProcessing();
  const int channels = SourceSurface->GetChannelsCount();
  const int high = WindowSize / 2, low = high - WindowSize + 1;
  const size_t columns = size_t(EndColumn - FirstColumn) + WindowSize - 1;
  ColumnSum.assign(size_t(channels), std::vector<int64_t>(columns, 0));
  ColumnSquares.assign(size_t(channels), std::vector<int64_t>(columns, 0));
  for (unsigned y = FirstRow; y < EndRow && !terminated.load(std::memory_order_relaxed); ++y) {
    for (int c = 0; c < channels; ++c) {
      SourceSurface->CurrentChannel = c;
      ResultSurface->CurrentChannel = c;
      if (y == FirstRow) {
        for (int dy = low; dy <= high; ++dy) AddRow(int(y) + dy, 1);
      } else {
        AddRow(int(y) - 1 + low, -1);
        AddRow(int(y) + high, 1);
      }
      FilterRow(int(y));
    }
    OperationProgress((y - FirstRow) * 99 / (EndRow - FirstRow));
  }
  PostProcessing();
}

void LeeFilter::AddRow(int y, int sign)
{
  const int high = WindowSize / 2, low = high - WindowSize + 1;
  std::vector<int64_t>& sums = ColumnSum[size_t(SourceSurface->CurrentChannel)];
  std::vector<int64_t>& squares = ColumnSquares[size_t(SourceSurface->CurrentChannel)];
  const int first = int(FirstColumn) + low;
  for (size_t i = 0; i < sums.size(); ++i) {
    const int64_t v = SourceSurface->GetPixel(first + int(i), y);
    sums[i] += sign * v;
    squares[i] += sign * v * v;
  }
}

void LeeFilter::FilterRow(int y)
{
  const std::vector<int64_t>& sums = ColumnSum[size_t(SourceSurface->CurrentChannel)];
  const std::vector<int64_t>& squares = ColumnSquares[size_t(SourceSurface->CurrentChannel)];
  const int64_t n = int64_t(WindowSize) * WindowSize;
  const int channels = SourceSurface->GetChannelsCount();
  const uint8_t* in = SourceSurface->Row(y) + SourceSurface->CurrentChannel;
  uint8_t* out = ResultSurface->Row(y) + SourceSurface->CurrentChannel;
  int64_t sum = 0, square = 0;
  for (int i = 0; i + 1 < WindowSize; ++i) {
    sum += sums[size_t(i)];
    square += squares[size_t(i)];
  }
  for (unsigned x = FirstColumn; x < EndColumn; ++x) {
    const size_t i = x - FirstColumn;
    sum += sums[i + WindowSize - 1];
    square += squares[i + WindowSize - 1];
    const int64_t m = (sum + n - 1) / n;
    const int64_t spread = n > 1 ? (square - 2 * m * sum + n * m * m) / (n - 1) : 0;
    out[size_t(x) * channels] = double(spread) > NoiseVariance ? in[size_t(x) * channels] : uint8_t(m);
    sum -= sums[i];
    square -= squares[i];
  }
}
