#include "acMeanFilter.h"

#include "kvRuntime/kvDiagnostics.h"

KV_UNIT("pkMeaning\\acMeanFilter");

acMeanFilter::acMeanFilter(const char* name, bool swapped) : Swapped(swapped)
{
  Describe(name, "Meaning Filters", otFilter, fmParamDialog);
  WidthParam = Params->AddInteger("Window width", 1, 27, 3);
  HeightParam = Params->AddInteger("Window height", 1, 27, 3);
}

void acMeanFilter::AddRecursiveParam()
{
  RecursiveParam = Params->AddBoolean("Recursive executing", false);
}

void acMeanFilter::PreProcessing()
{
  WindowWidth = uint8_t((*Params)[WidthParam].GetInteger());
  WindowHeight = uint8_t((*Params)[HeightParam].GetInteger());
  Recursive = (*Params)[RecursiveParam].GetBoolean();
  const int horizontal = Swapped ? WindowHeight : WindowWidth;
  const int vertical = Swapped ? WindowWidth : WindowHeight;
  Extent = sWindowExtent::OfSize(horizontal, vertical);
  Window.resize(size_t(horizontal) * size_t(vertical));
}

void acMeanFilter::PostProcessing()
{
  Window.clear();
}

void acMeanFilter::TransformPixel(unsigned ux, unsigned uy)
{
  const cBMPSurface& in = Recursive ? *ResultSurface : *SourceSurface;
  const int x = int(ux);
  const int y = int(uy);
  uint8_t* v = Window.data();
  for (int dx = -Extent.Left; dx <= Extent.Right; ++dx)
    for (int dy = -Extent.Up; dy <= Extent.Down; ++dy) *v++ = in.GetPixel(x + dx, y + dy);
  ResultSurface->SetPixel(x, y, Mean(Window.data(), unsigned(Window.size())));
}

acSingleChannelOperation::sRowForm acMeanFilter::RowForm() const
{
  return {true, Extent, true, Recursive};
}

uint8_t acMeanFilter::MeanAt(const sWindowRows& in, int i, int c, uint8_t* window) const
{
  uint8_t* v = window;
  for (int dx = -Extent.Left; dx <= Extent.Right; ++dx) {
    const int offset = (i + dx) * in.Channels + c;
    for (int k = 0; k < Extent.Height(); ++k) *v++ = in.Rows[k][offset];
  }
  return Mean(window, unsigned(v - window));
}

void acMeanFilter::TransformRow(const sWindowRows& in, uint8_t* out, int count)
{
  std::vector<uint8_t> window(WindowCount());
  for (int i = 0; i < count; ++i)
    for (int c = 0; c < in.Channels; ++c) out[i * in.Channels + c] = MeanAt(in, i, c, window.data());
}

void acMeanFilter::WindowSums(const sWindowRows& in, int count, const double* table, double* sums) const
{
  const int channels = in.Channels;
  const int first = -Extent.Left * channels;
  const int end = (count + Extent.Right) * channels;
  std::vector<double> columns(size_t(end - first));
  double* column = columns.data() - first;
  for (int j = first; j < end; ++j) column[j] = table[in.Rows[0][j]];
  for (int k = 1; k < Extent.Height(); ++k) {
    const uint8_t* row = in.Rows[k];
    for (int j = first; j < end; ++j) column[j] += table[row[j]];
  }
  const int samples = count * channels;
  for (int j = 0; j < samples; ++j) sums[j] = column[j - Extent.Left * channels];
  for (int dx = -Extent.Left + 1; dx <= Extent.Right; ++dx) {
    const double* from = column + dx * channels;
    for (int j = 0; j < samples; ++j) sums[j] += from[j];
  }
}
