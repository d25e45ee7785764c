#include "kvMeasures/cPictureComparison.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "kvMeasures/kvSSIMRows.h"
#include "kvRuntime/cWorkerPool.h"
#include "kvRuntime/kvDiagnostics.h"

namespace {

KV_UNIT("kvKernel_bpl\\kvImages\\cPictureComparison");

// Nine evenly spaced colours of the published viridis table (entries 0, 32, ..., 224, 255),
// joined by straight lines: close to the full table and free of its 256 rows.
const uint8_t ViridisStops[9][3] = {{68, 1, 84},    {71, 44, 122}, {59, 81, 139},  {44, 113, 142}, {33, 144, 141},
                                    {39, 173, 129}, {92, 200, 99}, {170, 220, 50}, {253, 231, 37}};

// Labels are drawn with a 3 x 5 digit font at twice its size, so the kernel needs no font files.
constexpr int GlyphScale = 2;
constexpr int GlyphWidth = 3 * GlyphScale;
constexpr int GlyphHeight = 5 * GlyphScale;
constexpr int GlyphAdvance = GlyphWidth + GlyphScale;

// Five rows of three bits, the top row first; bit 2 is the left column.
const uint8_t* GlyphRows(char c)
{
  static const uint8_t digits[10][5] = {{7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7},
                                        {5, 5, 7, 1, 1}, {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1},
                                        {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7}};
  static const uint8_t point[5] = {0, 0, 0, 0, 2};
  static const uint8_t minus[5] = {0, 0, 7, 0, 0};
  if (c >= '0' && c <= '9') return digits[c - '0'];
  if (c == '.') return point;
  if (c == '-') return minus;
  return nullptr;
}

void Fill(cBMPSurface& s, uint8_t value)
{
  for (int y = 0; y < s.GetHeight(); ++y)
    std::memset(s.Row(y), value, size_t(s.GetWidth()) * size_t(s.GetChannelsCount()));
}

void PutPixel(cBMPSurface& s, int x, int y, const uint8_t rgb[3])
{
  if (x < 0 || y < 0 || x >= s.GetWidth() || y >= s.GetHeight()) return;
  uint8_t* p = s.Row(y) + size_t(x) * 3;
  p[0] = rgb[2];
  p[1] = rgb[1];
  p[2] = rgb[0];
}

void DrawText(cBMPSurface& s, int left, int top, const std::string& text)
{
  static const uint8_t black[3] = {0, 0, 0};
  for (size_t i = 0; i < text.size(); ++i) {
    const uint8_t* rows = GlyphRows(text[i]);
    if (!rows) continue;
    const int x0 = left + int(i) * GlyphAdvance;
    for (int r = 0; r < 5; ++r)
      for (int c = 0; c < 3; ++c)
        if (rows[r] & (4 >> c))
          for (int dy = 0; dy < GlyphScale; ++dy)
            for (int dx = 0; dx < GlyphScale; ++dx)
              PutPixel(s, x0 + c * GlyphScale + dx, top + r * GlyphScale + dy, black);
  }
}

// Short enough for the bar's side: whole numbers from 10 on, else up to two decimals.
std::string LabelText(double value)
{
  char text[32];
  if (std::fabs(value) >= 10)
    std::snprintf(text, sizeof text, "%.0f", value);
  else
    std::snprintf(text, sizeof text, "%.2f", value);
  std::string s = text;
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  return s == "-0" ? "0" : s;
}

constexpr int LabelTicks = 5;
// Labels stand clear of their tick marks, which would otherwise read as minus signs.
constexpr int LabelOffset = 7;

std::vector<std::string> Labels(const sQualityMap& map)
{
  std::vector<std::string> labels;
  for (int i = 0; i < LabelTicks; ++i)
    labels.push_back(LabelText(map.Low + (map.High - map.Low) * double(i) / (LabelTicks - 1)));
  return labels;
}

int BarPanelWidth(const sQualityMap& map)
{
  size_t longest = 0;
  for (const std::string& label : Labels(map)) longest = std::max(longest, label.size());
  return cPictureComparison::BarWidth + LabelOffset + int(longest) * GlyphAdvance;
}
}  // namespace

bool cPictureComparison::SameGeometry(const cBMPSurface& a, const cBMPSurface& b)
{
  return a.GetWidth() == b.GetWidth() && a.GetHeight() == b.GetHeight() && a.GetChannelsCount() == b.GetChannelsCount();
}

std::string cPictureComparison::GeometryText(const cBMPSurface& s)
{
  return std::to_string(s.GetWidth()) + " x " + std::to_string(s.GetHeight()) +
         (s.GetChannelsCount() == 1 ? " grey" : " colour");
}

void cPictureComparison::Difference(const cBMPSurface& a, const cBMPSurface& b, const sDifferenceOptions& options,
                                    cBMPSurface& out)
{
  KV_ASSERT(SameGeometry(a, b), "SameGeometry(a, b)");
  const int w = a.GetWidth(), h = a.GetHeight(), channels = a.GetChannelsCount();
  const int gain = std::clamp(options.Gain, 1, MaxGain);
  const bool grey = options.Grey || channels == 1;
  out.SetSize(w, h, grey ? 1 : channels);
  // The shade of every difference -255..255, looked up instead of computed per sample.
  uint8_t shade[511];
  for (int d = -255; d <= 255; ++d)
    shade[d + 255] = uint8_t(options.Signed ? std::clamp(128 + d * gain, 0, 255) : std::min(255, std::abs(d) * gain));
  kvParallelFor(0, h, [&](int first, int end) {
    for (int y = first; y < end; ++y) {
      const uint8_t* ra = a.Row(y);
      const uint8_t* rb = b.Row(y);
      uint8_t* ro = out.Row(y);
      if (!grey || channels == 1) {
        for (size_t i = 0; i < size_t(w) * size_t(channels); ++i) ro[i] = shade[int(rb[i]) - int(ra[i]) + 255];
        continue;
      }
      for (int x = 0; x < w; ++x) {
        int sum = 0;
        for (int c = 0; c < channels; ++c) {
          const size_t i = size_t(x) * size_t(channels) + size_t(c);
          sum += shade[int(rb[i]) - int(ra[i]) + 255];
        }
        ro[x] = uint8_t((sum + channels / 2) / channels);
      }
    }
  });
}

bool cPictureComparison::SSIMMap(const cBMPSurface& a, const cBMPSurface& b, const sQualitySettings& settings,
                                 sQualityMap& map, const std::atomic<bool>* stop)
{
  KV_ASSERT(SameGeometry(a, b), "SameGeometry(a, b)");
  const int w = a.GetWidth(), h = a.GetHeight(), channels = a.GetChannelsCount();
  map.Width = w;
  map.Height = h;
  map.Low = 0.0;
  map.High = 1.0;
  map.Values.assign(size_t(w) * size_t(h), 0.0);
  map.Mean = 1.0;
  if (w == 0 || h == 0) return true;
  // Each channel's row sums, kept to add them up in the measure's own order afterwards.
  std::vector<double> rowTotals(size_t(channels) * size_t(h), 0.0);
  kvParallelFor(0, h, [&](int first, int end) {
    for (int c = 0; c < channels; ++c) {
      auto add = [&](int y, const double* values, double rowTotal) {
        double* out = map.Values.data() + size_t(y) * size_t(w);
        for (int x = 0; x < w; ++x) out[x] += values[x];
        rowTotals[size_t(c) * size_t(h) + size_t(y)] = rowTotal;
      };
      // B is the measured picture, A its origin, as in the History.
      kvSSIMRows(b, a, c, settings, first, end, add, stop);
    }
    if (channels > 1)
      for (size_t i = size_t(first) * size_t(w); i < size_t(end) * size_t(w); ++i) map.Values[i] /= channels;
  });
  if (stop && stop->load()) return false;
  double sum = 0.0;
  for (int c = 0; c < channels; ++c) {
    double total = 0.0;
    for (int y = 0; y < h; ++y) total += rowTotals[size_t(c) * size_t(h) + size_t(y)];
    sum += total / (double(w) * double(h));
  }
  map.Mean = sum / channels;
  return true;
}

void cPictureComparison::SquaredErrorMap(const cBMPSurface& a, const cBMPSurface& b, sQualityMap& map)
{
  KV_ASSERT(SameGeometry(a, b), "SameGeometry(a, b)");
  const int w = a.GetWidth(), h = a.GetHeight(), channels = a.GetChannelsCount();
  map.Width = w;
  map.Height = h;
  map.Values.assign(size_t(w) * size_t(h), 0.0);
  double total = 0.0, largest = 0.0;
  for (int y = 0; y < h; ++y) {
    const uint8_t* ra = a.Row(y);
    const uint8_t* rb = b.Row(y);
    double* out = map.Values.data() + size_t(y) * size_t(w);
    for (int x = 0; x < w; ++x) {
      double sum = 0.0;
      for (int c = 0; c < channels; ++c) {
        const size_t i = size_t(x) * size_t(channels) + size_t(c);
        const double d = double(rb[i]) - double(ra[i]);
        sum += d * d;
      }
      out[x] = sum / channels;
      total += out[x];
      largest = std::max(largest, out[x]);
    }
  }
  map.Mean = w > 0 && h > 0 ? total / (double(w) * double(h)) : 0.0;
  map.Low = 0.0;
  // A few outliers (impulses) would leave every other error in the darkest colour: the scale
  // ends at the 99th percentile, and larger errors take the top colour. A flat scale would
  // divide by 0, so identical pictures show the colour of 0.
  double top = largest;
  if (map.Values.size() > 100) {
    std::vector<double> sorted = map.Values;
    const auto rank = sorted.begin() + std::ptrdiff_t(sorted.size() * 99 / 100);
    std::nth_element(sorted.begin(), rank, sorted.end());
    top = *rank;
  }
  map.High = std::max(1.0, top);
}

void cPictureComparison::Viridis(double t, uint8_t rgb[3])
{
  t = std::isnan(t) ? 0.0 : std::clamp(t, 0.0, 1.0);
  const double position = t * 8.0;
  const int i = std::min(7, int(position));
  const double f = position - i;
  for (int c = 0; c < 3; ++c)
    rgb[c] = uint8_t(std::lround(ViridisStops[i][c] + f * (ViridisStops[i + 1][c] - ViridisStops[i][c])));
}

void cPictureComparison::RenderMap(const sQualityMap& map, cBMPSurface& out)
{
  out.SetSize(map.Width, map.Height, 3);
  // 1024 steps are finer than the 8-bit colours they end in.
  constexpr int Steps = 1024;
  std::vector<uint8_t> table(3 * (Steps + 1));
  for (int i = 0; i <= Steps; ++i) Viridis(double(i) / Steps, &table[3 * size_t(i)]);
  const double span = map.High > map.Low ? map.High - map.Low : 1.0;
  kvParallelFor(0, map.Height, [&](int first, int end) {
    for (int y = first; y < end; ++y) {
      const double* in = map.Values.data() + size_t(y) * size_t(map.Width);
      uint8_t* row = out.Row(y);
      for (int x = 0; x < map.Width; ++x) {
        const double t = std::clamp((in[x] - map.Low) / span, 0.0, 1.0);
        const uint8_t* rgb = &table[3 * size_t(std::lround(std::isnan(t) ? 0.0 : t * Steps))];
        row[3 * x] = rgb[2];
        row[3 * x + 1] = rgb[1];
        row[3 * x + 2] = rgb[0];
      }
    }
  });
}

void cPictureComparison::RenderColourBar(const sQualityMap& map, int height, cBMPSurface& out)
{
  out.SetSize(BarPanelWidth(map), std::max(height, 1), 3);
  Fill(out, 255);
  const int h = out.GetHeight();
  for (int y = 0; y < h; ++y) {
    uint8_t rgb[3];
    Viridis(h > 1 ? 1.0 - double(y) / (h - 1) : 1.0, rgb);
    for (int x = 0; x < BarWidth; ++x) PutPixel(out, x, y, rgb);
  }
  // Labels need room: on a low bar only the ends are labelled, on a very low one none.
  const std::vector<std::string> labels = Labels(map);
  static const uint8_t black[3] = {0, 0, 0};
  for (int i = 0; i < LabelTicks; ++i) {
    if (h < GlyphHeight * LabelTicks * 2 && i != 0 && i != LabelTicks - 1) continue;
    if (h < GlyphHeight * 2) break;
    const int y = int(std::lround((h - 1) * (1.0 - double(i) / (LabelTicks - 1))));
    for (int x = BarWidth; x < BarWidth + 3; ++x) PutPixel(out, x, y, black);
    DrawText(out, BarWidth + LabelOffset, std::clamp(y - GlyphHeight / 2, 0, h - GlyphHeight), labels[size_t(i)]);
  }
}

void cPictureComparison::RenderMapWithBar(const sQualityMap& map, cBMPSurface& out)
{
  cBMPSurface picture, bar;
  RenderMap(map, picture);
  RenderColourBar(map, map.Height, bar);
  out.SetSize(map.Width + Gap + bar.GetWidth(), std::max(map.Height, 1), 3);
  Fill(out, 255);
  for (int y = 0; y < map.Height; ++y) {
    std::memcpy(out.Row(y), picture.Row(y), size_t(map.Width) * 3);
    std::memcpy(out.Row(y) + size_t(map.Width + Gap) * 3, bar.Row(y), size_t(bar.GetWidth()) * 3);
  }
}

void cPictureComparison::SideBySide(const cBMPSurface& a, const cBMPSurface& b, cBMPSurface& out)
{
  const int channels = std::max(a.GetChannelsCount(), b.GetChannelsCount());
  out.SetSize(a.GetWidth() + Gap + b.GetWidth(), std::max({a.GetHeight(), b.GetHeight(), 1}), channels);
  Fill(out, 255);
  auto place = [&out, channels](const cBMPSurface& s, int left) {
    for (int y = 0; y < s.GetHeight(); ++y) {
      const uint8_t* in = s.Row(y);
      uint8_t* row = out.Row(y) + size_t(left) * size_t(channels);
      for (int x = 0; x < s.GetWidth(); ++x)
        for (int c = 0; c < channels; ++c)
          row[size_t(x) * size_t(channels) + size_t(c)] =
              s.GetChannelsCount() == 1 ? in[x] : in[size_t(x) * 3 + size_t(c)];
    }
  };
  place(a, 0);
  place(b, a.GetWidth() + Gap);
}
