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
