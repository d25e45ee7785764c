#include "UniformStringNoise.h"

#include "kvRuntime/kvDiagnostics.h"
#include "kvOperations/cRandomBatch.h"

KV_UNIT("220pkStringNoise\\UniformStringNoise");

namespace {
// The probability as entered: the stored integer over 10^precision, divided once, so a
// probability of k % hits exactly k of the 100 draws.
double EnteredValue(const cOperationParameter* param)
{
  double scale = 1.0;
  for (unsigned i = 0; i < param->GetPrecision(); ++i) scale *= 10.0;
  return double(param->GetRawValue()) / scale;
}
}  // namespace

UniformStringNoise::UniformStringNoise()
{
  Describe("Streaks Noise", "None", otNoise, fmParamDialog);
  sParameterInfo info;
  info.theParameterType = ptReal;
  info.ParameterName = "Probability";
  info.MinBound = 0;
  info.MaxBound = 1;
  info.DefaultValue = 0.2;
  info.Precision = 2;
  Params->AddNewParam(info);
  info.theParameterType = ptEnumerated;
  info.ParameterName = "Noise type";
  info.AddEnumString("Horizontal");
  info.AddEnumString("Vertical");
  info.DefaultValue = 0;
  Params->AddNewParam(info);
}

bool UniformStringNoise::FillRow(unsigned y, cRandomBatch& rnd, const tTerminateFlag& terminated)
{
  const int channels = SourceSurface->GetChannelsCount();
  if (Inside) {
    uint8_t* row = ResultSurface->Row(int(y));
    for (unsigned x = FirstColumn; x < EndColumn; ++x) {
      if (terminated.load(std::memory_order_relaxed)) return false;
      for (int c = 0; c < channels; ++c) row[x * unsigned(channels) + unsigned(c)] = uint8_t(rnd.Random(256));
    }
    return true;
  }
  for (unsigned x = FirstColumn; x < EndColumn; ++x) {
    if (terminated.load(std::memory_order_relaxed)) return false;
    for (int c = 0; c < channels; ++c) {
      ResultSurface->CurrentChannel = c;
      ResultSurface->SetPixel(int(x), int(y), uint8_t(rnd.Random(256)));
    }
  }
  return true;
}

bool UniformStringNoise::FillColumn(unsigned x, cRandomBatch& rnd, const tTerminateFlag& terminated)
{
  const int channels = SourceSurface->GetChannelsCount();
  for (unsigned y = FirstRow; y < EndRow; ++y) {
    if (terminated.load(std::memory_order_relaxed)) return false;
    if (Inside) {
      uint8_t* sample = ResultSurface->Row(int(y)) + x * unsigned(channels);
      for (int c = 0; c < channels; ++c) sample[c] = uint8_t(rnd.Random(256));
    } else {
      for (int c = 0; c < channels; ++c) {
        ResultSurface->CurrentChannel = c;
        ResultSurface->SetPixel(int(x), int(y), uint8_t(rnd.Random(256)));
      }
    }
  }
  return true;
}

void UniformStringNoise::OperationItself(const tTerminateFlag& terminated)
{
  if (SourceSurface->GetHeight() != ResultSurface->GetHeight() ||
      SourceSurface->GetWidth() != ResultSurface->GetWidth() ||
      SourceSurface->GetChannelsCount() != ResultSurface->GetChannelsCount()) {
    OperationTerminated();
    return;
  }
  Probability = EnteredValue(Params->GetParam(0));
  NoiseType = uint8_t(Params->GetParam(1)->GetEnumSelectedIndex());
  // Lines inside the picture are written through the rows; a region reaching past the
  // picture goes through the surface's border folding.
  Inside = FirstRow <= EndRow && FirstColumn <= EndColumn && EndRow <= unsigned(SourceSurface->GetHeight()) &&
           EndColumn <= unsigned(SourceSurface->GetWidth());
  const bool horizontal = NoiseType == 0;
  const unsigned first = horizontal ? FirstRow : FirstColumn;
  const unsigned end = horizontal ? EndRow : EndColumn;
  for (unsigned line = first; line < end; ++line) {
    bool finished = true;
    {
      cRandomBatch rnd;
      if (rnd.Random(100) * 0.01 < Probability)
        finished = horizontal ? FillRow(line, rnd, terminated) : FillColumn(line, rnd, terminated);
    }
    if (!finished || terminated.load(std::memory_order_relaxed)) {
      OperationTerminated();
      return;
    }
    OperationProgress((line - first) * WorkProgress / (end - first));
  }
}
