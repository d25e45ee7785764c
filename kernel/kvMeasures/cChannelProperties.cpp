#include "kvMeasures/cChannelProperties.h"

#include <cmath>
#include <mutex>
#include <optional>
#include <vector>

#include <fftw3.h>

#include "kvMeasures/cPictureComparison.h"
#include "kvMeasures/cWindowStatistics.h"
#include "kvMeasures/kvSSIMRows.h"
#include "kvPixels/kvBorderRule.h"
#include "kvRuntime/cPlaneBuffer.h"
#include "kvRuntime/cuGlobalParameters.h"
#include "kvRuntime/kvDiagnostics.h"
#include "kvWavelet/cWaveletLib.h"

namespace {

KV_UNIT("kvKernel_bpl\\kvImages\\cChannelProperties");

// FFTW's planner is not thread-safe; plans are made and destroyed under this lock.
std::mutex PlannerLock;

// One channel of a surface into row-major doubles.
void CopyChannel(const cBMPSurface& s, int channel, double* plane)
{
  const int w = s.GetWidth(), h = s.GetHeight(), step = s.GetChannelsCount();
  const int offset = step == 1 ? 0 : channel;
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = s.Row(y) + offset;
    double* out = plane + size_t(y) * size_t(w);
    for (int x = 0; x < w; ++x) out[x] = row[size_t(x) * size_t(step)];
  }
}

cPlaneBuffer ChannelPlane(const cBMPSurface& s, int channel)
{
  cPlaneBuffer plane(size_t(s.GetWidth()) * size_t(s.GetHeight()));
  CopyChannel(s, channel, plane.data());
  return plane;
}

// Window offsets run from -(extent div 2) to +(extent div 2).
int Radius(int extent)
{
  return std::max(extent, 1) / 2;
}

// The border rule of every neighbourhood computation, one axis of n samples at a time.
std::vector<int> SurfaceBorderMap(int n, int radius)
{
  return cWindowStatistics::BorderMap(n, radius, [n](int t) { return kvFoldIndex(t, n); });
}

// The window sum of index over one channel of two surfaces of one geometry, read straight
// from their rows: a real copy of each plane would take eight bytes a pixel. The values are
// those of the copies (a byte converts to a double exactly). With locks, both surfaces'
// locks are held around each row read.
template <class tIndex, class tRowDone>
void SurfaceIndexRows(const cBMPSurface& image, const cBMPSurface& origin, int channel,
                      const sQualitySettings& settings, tIndex index, bool locks, int firstRow, int endRow,
                      tRowDone rowDone, const std::atomic<bool>* stop)
{
  const int step = image.GetChannelsCount();
  const size_t offset = step == 1 ? 0 : size_t(channel);
  const int rx = Radius(settings.WindowWidth), ry = Radius(settings.WindowHeight);
  const std::vector<int> columns = SurfaceBorderMap(image.GetWidth(), rx);
  std::vector<size_t> bytes(columns.size());
  for (size_t i = 0; i < columns.size(); ++i) bytes[i] = size_t(columns[i]) * size_t(step) + offset;
  const double shiftA = image.Row(0)[offset], shiftB = origin.Row(0)[offset];
  auto& imageLock = const_cast<cBMPSurface&>(image).Lock;
  auto& originLock = const_cast<cBMPSurface&>(origin).Lock;
  auto fillRow = [&](int row, double* ea, double* eb, size_t count) {
    std::unique_lock<std::mutex> first(imageLock, std::defer_lock), second(originLock, std::defer_lock);
    if (locks) std::lock(first, second);
    const uint8_t* ra = image.Row(row);
    const uint8_t* rb = origin.Row(row);
    for (size_t i = 0; i < count; ++i) {
      ea[i] = double(ra[bytes[i]]) - shiftA;
      eb[i] = double(rb[bytes[i]]) - shiftB;
    }
  };
  cWindowStatistics::IndexRows(image.GetWidth(), image.GetHeight(), firstRow, endRow,
                               SurfaceBorderMap(image.GetHeight(), ry), rx, ry, shiftA, shiftB, fillRow, index, rowDone,
                               stop);
}

template <class tIndex>
double SurfaceSumOfIndex(const cBMPSurface& image, const cBMPSurface& origin, int channel,
                         const sQualitySettings& settings, tIndex index, bool locks, const std::atomic<bool>* stop)
{
  double total = 0.0;
  auto add = [&total](int, const double*, double rowTotal) { total += rowTotal; };
  SurfaceIndexRows(image, origin, channel, settings, index, locks, 0, image.GetHeight(), add, stop);
  return total;
}

// Both means 0, or both variances 0: the window counts as agreement. A sum of two
// non-negative values is 0 exactly when both are (the variances are clamped at 0), so each
// rule is one comparison; selects (1 / 1 where a rule applies) let a row of windows vectorise.
inline double WindowIQ(const sWindowMoments& m)
{
  const double varianceSum = m.VarA + m.VarB;
  const bool agree = std::fabs(m.MeanA) + std::fabs(m.MeanB) == 0 || varianceSum == 0;
  const double numerator = 4.0 * m.Cov * m.MeanA * m.MeanB;
  const double denominator = (m.MeanA * m.MeanA + m.MeanB * m.MeanB) * varianceSum;
  return (agree ? 1.0 : numerator) / (agree ? 1.0 : denominator);
}

// As a type, so that the window loops inline it.
struct WindowIQIndex {
  double operator()(const sWindowMoments& m) const { return WindowIQ(m); }
};

// A ratio whose denominator vanishes (only possible with zero constants) counts as agreement.
inline double Ratio(double numerator, double denominator)
{
  const bool zero = denominator == 0;
  return (zero ? 1.0 : numerator) / (zero ? 1.0 : denominator);
}

// The structural similarity of one window; the stabilising constants come from K1 and K2.
struct WindowSSIMIndex {
  explicit WindowSSIMIndex(const sQualitySettings& settings)
      : C1((settings.K1 * 255) * (settings.K1 * 255)), C2((settings.K2 * 255) * (settings.K2 * 255)), C3(C2 / 2)
  {}
  double operator()(const sWindowMoments& m) const
  {
    const double sigma = std::sqrt(m.VarA * m.VarB);
    return Ratio(2 * m.MeanA * m.MeanB + C1, m.MeanA * m.MeanA + m.MeanB * m.MeanB + C1) *
           Ratio(2 * sigma + C2, m.VarA + m.VarB + C2) * Ratio(m.Cov + C3, sigma + C3);
  }
  double C1, C2, C3;
};

// The index of a pair that needs no computing: missing or mismatched pictures score 0, a
// picture against itself or an empty pair scores 1.
std::optional<double> DecidedIndex(const cBMPSurface* image, const cBMPSurface* origin)
{
  if (!image || !origin) return 0.0;
  if (image == origin) return 1.0;
  if (!cPictureComparison::SameGeometry(*image, *origin)) return 0.0;
  if (image->GetWidth() == 0 || image->GetHeight() == 0) return 1.0;
  return std::nullopt;
}
}  // namespace

sQualitySettings sQualitySettings::FromGlobals()
{
  sQualitySettings s;
  if (GlobalParams) {
    s.WindowWidth = GlobalParams->QualityWindowWidth;
    s.WindowHeight = GlobalParams->QualityWindowHeight;
    s.K1 = GlobalParams->K1;
    s.K2 = GlobalParams->K2;
  }
  return s;
}

cChannelProperties::cChannelProperties()
{
  Reset();
}

cChannelProperties::~cChannelProperties()
{
  FreeSpectrum();
}

void cChannelProperties::SetChannel(int index, cBMPSurface* surface)
{
  ChannelIndex = index;
  ImageSurface = surface;
}

void cChannelProperties::Reset()
{
  for (int& count : Histogram) count = 0;
  MSE = 0.0;
  IQ = 1.0;
  IQHVS = 1.0;
}

void cChannelProperties::CalculateProperties(cBMPSurface* originSurface)
{
  KV_ASSERT(ImageSurface != nullptr, "ImageSurface != NULL");
  ImageSurface->CurrentChannel = ChannelIndex;
  if (originSurface) originSurface->CurrentChannel = ChannelIndex;
  OriginSurface = originSurface;
  Reset();

  const cBMPSurface& s = *ImageSurface;
  const int w = s.GetWidth(), h = s.GetHeight(), step = s.GetChannelsCount();
  const int offset = step == 1 ? 0 : ChannelIndex;
  const bool compare =
      OriginSurface && OriginSurface != ImageSurface && cPictureComparison::SameGeometry(s, *OriginSurface);
  double sum = 0.0;
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = s.Row(y) + offset;
    for (int x = 0; x < w; ++x) ++Histogram[row[size_t(x) * size_t(step)]];
    if (!compare) continue;
    const uint8_t* other = OriginSurface->Row(y) + offset;
    for (int x = 0; x < w; ++x) {
      const double d = double(other[size_t(x) * size_t(step)]) - double(row[size_t(x) * size_t(step)]);
      sum += d * d;
    }
  }
  // An empty plane has nothing that differs.
  MSE = (compare && w > 0 && h > 0) ? sum / (double(w) * double(h)) : 0.0;
  IQHVS = CalculateIQHVS();
}

double cChannelProperties::Calculate(eQualityIndex kind)
{
  const double value = Compute(kind, ImageSurface, OriginSurface, ChannelIndex, sQualitySettings::FromGlobals());
  StoreIndex(kind, value);
  return value;
}

double cChannelProperties::CalculateIQ()
{
  return Calculate(qiIQ);
}
double cChannelProperties::CalculateIQHVS()
{
  return Calculate(qiIQHVS);
}
double cChannelProperties::CalculateSSIM()
{
  return Calculate(qiSSIM);
}

void cChannelProperties::StoreIndex(eQualityIndex kind, double value)
{
  switch (kind) {
    case qiIQ: IQ = value; break;
    case qiIQHVS: IQHVS = value; break;
    case qiSSIM: SSIM = value; break;
  }
}

double cChannelProperties::Compute(eQualityIndex kind, cBMPSurface* image, cBMPSurface* origin, int channel,
                                   const sQualitySettings& settings, const std::atomic<bool>* stop)
{
  switch (kind) {
    case qiIQ: return ComputeIQ(image, origin, channel, settings, stop);
    case qiIQHVS: return ComputeIQHVS(image, origin, channel, settings, stop);
    case qiSSIM: return ComputeSSIM(image, origin, channel, settings, stop);
  }
  return 0.0;
}

double cChannelProperties::ComputeIQ(cBMPSurface* image, cBMPSurface* origin, int channel,
                                     const sQualitySettings& settings, const std::atomic<bool>* stop)
{
  if (const auto decided = DecidedIndex(image, origin)) return *decided;
  const int w = image->GetWidth(), h = image->GetHeight();
  // The pixel reads of IQ hold both surfaces' locks (std::lock orders them free of deadlock).
  const double sum = SurfaceSumOfIndex(*image, *origin, channel, settings, WindowIQIndex{}, true, stop);
  return sum / (double(w) * double(h));
}

double cChannelProperties::ComputeSSIM(const cBMPSurface* image, const cBMPSurface* origin, int channel,
                                       const sQualitySettings& settings, const std::atomic<bool>* stop)
{
  if (const auto decided = DecidedIndex(image, origin)) return *decided;
  const int w = image->GetWidth(), h = image->GetHeight();
  const double sum = SurfaceSumOfIndex(*image, *origin, channel, settings, WindowSSIMIndex(settings), false, stop);
  return sum / (double(w) * double(h));
}

void kvSSIMRows(const cBMPSurface& image, const cBMPSurface& origin, int channel, const sQualitySettings& settings,
                int firstRow, int endRow, const tIndexRowDone& rowDone, const std::atomic<bool>* stop)
{
  KV_ASSERT(cPictureComparison::SameGeometry(image, origin), "SameGeometry(image, origin)");
  SurfaceIndexRows(image, origin, channel, settings, WindowSSIMIndex(settings), false, firstRow, endRow, rowDone, stop);
}

double cChannelProperties::PlaneIQ(const double* measured, const double* origin, int width, int height, int windowWidth,
                                   int windowHeight, const std::atomic<bool>* stop)
{
  if (width <= 0 || height <= 0) return 1.0;
  const int rx = Radius(windowWidth), ry = Radius(windowHeight);
  const auto columns =
      cWindowStatistics::BorderMap(width, rx, [width](int t) { return cWindowStatistics::FoldSymmetric(t, width); });
  const auto rows =
      cWindowStatistics::BorderMap(height, ry, [height](int t) { return cWindowStatistics::FoldSymmetric(t, height); });
  const double sum =
      cWindowStatistics::SumOfIndex(measured, origin, width, height, columns, rows, rx, ry, WindowIQIndex{}, stop);
  return sum / (double(width) * double(height));
}

double cChannelProperties::ComputeIQHVS(const cBMPSurface* image, const cBMPSurface* origin, int channel,
                                        const sQualitySettings& settings, const std::atomic<bool>* stop)
{
  if (const auto decided = DecidedIndex(image, origin)) return *decided;
  const int w = image->GetWidth(), h = image->GetHeight();
  // A plane one pixel wide or high has no subbands: its index is taken on the pixels.
  if (w < 2 || h < 2) {
    const cPlaneBuffer a = ChannelPlane(*image, channel), b = ChannelPlane(*origin, channel);
    return PlaneIQ(a.data(), b.data(), w, h, settings.WindowWidth, settings.WindowHeight, stop);
  }

  // The subbands are made a pair at a time (the row pass once per half), so that neither plane
  // nor all eight subbands need to exist at once: a large picture would otherwise need four
  // real planes of its size.
  cWaveletLib library;
  library.SetWavelet("doubeshies_9_7");
  const int step = image->GetChannelsCount();
  const size_t offset = step == 1 ? 0 : size_t(channel);
  auto reader = [w, step, offset](const cBMPSurface* s) {
    return [s, w, step, offset](int row, double* out) {
      const uint8_t* in = s->Row(row) + offset;
      for (int x = 0; x < w; ++x) out[x] = in[size_t(x) * size_t(step)];
    };
  };
  const int bandWidth = cWaveletLib::BandExtent(w), bandHeight = cWaveletLib::BandExtent(h);
  static const double weights[4] = {0.5779, 0.1707, 0.1582, 0.0932};  // LL, LH, HL, HH
  double result = 0.0;
  int band = 0;
  for (bool highRows : {false, true}) {
    cPlaneBuffer originHalf, imageHalf;
    library.AnalyseRows(w, h, highRows, reader(origin), originHalf);
    library.AnalyseRows(w, h, highRows, reader(image), imageHalf);
    for (bool highColumns : {false, true}) {
      cPlaneBuffer reference, measured;
      library.AnalyseHalfColumns(originHalf, w, h, highColumns, reference);
      library.AnalyseHalfColumns(imageHalf, w, h, highColumns, measured);
      result += weights[band++] * PlaneIQ(measured.data(), reference.data(), bandWidth, bandHeight,
                                          settings.WindowWidth, settings.WindowHeight, stop);
    }
  }
  return result;
}

void cChannelProperties::PrepareSpectrum()
{
  KV_ASSERT(ImageSurface != nullptr, "ImageSurface != NULL");
  FreeSpectrum();
  const cBMPSurface& s = *ImageSurface;
  const int w = s.GetWidth(), h = s.GetHeight(), step = s.GetChannelsCount();
  if (w == 0 || h == 0) return;
  const int offset = step == 1 ? 0 : ChannelIndex;
  ImageSurface->CurrentChannel = ChannelIndex;

  // The input is a work plane (aligned as FFTW's allocator would align it); the output is kept.
  cPlaneBuffer inputPlane(size_t(w) * size_t(h));
  double* input = inputPlane.data();
  fftw_complex* output = fftw_alloc_complex(size_t(h) * size_t(w / 2 + 1));
  KV_ASSERT(input != nullptr && output != nullptr, "Spectrum != NULL");
  // The factor -(-1)^(x+y) moves zero frequency to the centre of the spectrum picture.
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = s.Row(y) + offset;
    double* in = input + size_t(y) * size_t(w);
    for (int x = 0; x < w; ++x) {
      const double v = row[size_t(x) * size_t(step)];
      in[x] = ((x + y) % 2 == 0) ? -v : v;
    }
  }
  fftw_plan plan;
  {
    std::lock_guard<std::mutex> guard(PlannerLock);
    plan = fftw_plan_dft_r2c_2d(h, w, input, output, FFTW_ESTIMATE);
  }
  fftw_execute(plan);
  {
    std::lock_guard<std::mutex> guard(PlannerLock);
    fftw_destroy_plan(plan);
  }
  Spectrum = reinterpret_cast<double*>(output);
  SpectrumReady = true;
}

void cChannelProperties::FreeSpectrum()
{
  if (!SpectrumReady) return;
  fftw_free(Spectrum);
  Spectrum = nullptr;
  SpectrumReady = false;
}
