#include "TotalVariationFilter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

TotalVariationFilter::TotalVariationFilter()
{
  Describe("Total Variation Filter", "Variational Filters", otFilter, fmParamDialog);
  WeightParam = Params->AddReal("Weight", 0.001, 2, 0.1, 3);
  IterationsParam = Params->AddInteger("Iterations", 1, 1000, 200);
  ToleranceParam = Params->AddReal("Tolerance", 0, 0.1, 0.0002, 6);
}

void TotalVariationFilter::OperationItself(const tTerminateFlag& terminated)
{
  const bool plain = PixelReferenceRequested();
  NoteRanByRows(!plain);
  cChambolleSolver::sSettings settings;
  settings.Weight = (*Params)[WeightParam].GetReal();
  settings.Iterations = std::max(1, (*Params)[IterationsParam].GetInteger());
  settings.Tolerance = (*Params)[ToleranceParam].GetReal();

  const int channels = SourceSurface->GetChannelsCount();
  const int left = int(std::min(FirstColumn, unsigned(SourceSurface->GetWidth())));
  const int top = int(std::min(FirstRow, unsigned(SourceSurface->GetHeight())));
  const int w = std::max(0, int(std::min(EndColumn, unsigned(SourceSurface->GetWidth()))) - left);
  const int h = std::max(0, int(std::min(EndRow, unsigned(SourceSurface->GetHeight()))) - top);
  if (w == 0 || h == 0) return;
  Plane.resize(size_t(w) * size_t(h));
  for (int c = 0; c < channels; ++c) {
    for (int y = 0; y < h; ++y) {
      const uint8_t* in = SourceSurface->Row(top + y) + left * channels + c;
      double* out = Plane.data() + size_t(y) * w;
      for (int x = 0; x < w; ++x) out[x] = in[x * channels] / 255.0;
    }
    const auto proceed = [&](int i) {
      if (terminated.load(std::memory_order_relaxed)) return false;
      const int64_t done = int64_t(c) * settings.Iterations + i, all = int64_t(channels) * settings.Iterations;
      OperationProgress(unsigned(done * WorkProgress / all));
      return true;
    };
    if (!Solver.Solve(settings, Plane, w, h, plain, proceed, Smoothed)) return;
    for (int y = 0; y < h; ++y) {
      const double* in = Smoothed.data() + size_t(y) * w;
      uint8_t* out = ResultSurface->Row(top + y) + left * channels + c;
      for (int x = 0; x < w; ++x) out[x * channels] = uint8_t(std::clamp(std::floor(in[x] * 255.0 + 0.5), 0.0, 255.0));
    }
  }
}
