#include "kvMeasures/cImageMeasures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "kvMeasures/cPictureComparison.h"
#include "kvMeasures/vclIQThread.h"
#include "kvMessages/cMessenger.h"

namespace {

uint8_t SpectrumLevel(double v)
{
  if (!(v > 0)) return 0;  // also NaN
  return v > 255 ? 255 : uint8_t(v);
}

// The level one spectrum coefficient shows in the spectrum picture.
double SpectrumValue(double re, double im, SpectrumType type, bool grey, double scale)
{
  if (type == stPhase) {
    double phi = re == 0 ? M_PI : std::atan(im / re);
    if (phi < 0) phi += M_PI;
    return std::trunc(scale * phi * 0.5 / M_PI * 25);
  }
  if (grey) return std::trunc(std::log(1 + std::fabs(std::trunc(re)) + std::fabs(std::trunc(im))) * scale);
  return std::trunc(std::log(1 + std::trunc(std::sqrt(re * re + im * im))) * scale);
}

}  // namespace

cImageMeasures::cImageMeasures(std::function<void()> changed) : Changed(std::move(changed)) {}

cImageMeasures::~cImageMeasures() = default;

std::string cImageMeasures::FormatReal(double value)
{
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  char text[64];
  std::snprintf(text, sizeof text, "%.4E", value);
  const int exponent = std::atoi(std::strchr(text, 'E') + 1);
  if (exponent >= 5) return text;
  const int decimals = exponent >= 0 ? std::min(2, 4 - exponent) : 2;
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  std::string result = text;
  if (decimals == 0) result += ".";
  result.append(size_t(2 - decimals), '0');
  return result;
}

double cImageMeasures::PSNRFromMSE(double mse)
{
  if (std::isnan(mse)) return mse;
  return mse != 0 ? 10.0 * (std::log10(65025.0) - std::log10(mse)) : std::numeric_limits<double>::infinity();
}

void cImageMeasures::StopComputationsReading(const cBMPSurface* surface)
{
  if (!surface) return;
  for (TIQThread* thread : TIQThread::ThreadsReading(surface)) thread->GetOwner()->AbandonIndex(thread->GetKind());
}

void cImageMeasures::CreateChannelProperties(cBMPSurface* surface)
{
  Channels.clear();
  if (!surface) return;
  for (int i = 0; i < surface->GetChannelsCount(); ++i) {
    auto channel = std::make_unique<cChannelProperties>();
    channel->SetChannel(i, surface);
    Channels.push_back(std::move(channel));
  }
}

void cImageMeasures::EnsureChannelProperties(cBMPSurface* surface)
{
  const int wanted = surface ? surface->GetChannelsCount() : 0;
  if (int(Channels.size()) == wanted && (Channels.empty() || Channels[0]->GetImageSurface() == surface)) return;
  if (!Channels.empty()) StopComputationsReading(Channels[0]->GetImageSurface());
  StopComputationsReading(surface);
  SpectrumBI.reset();
  CreateChannelProperties(surface);
}

void cImageMeasures::DropChannels()
{
  Channels.clear();
  SpectrumBI.reset();
}

void cImageMeasures::Reset()
{
  Measured = false;
  OriginMismatch = false;
  for (int k = 0; k < 3; ++k) {
    Valid[k] = false;
    Running[k] = false;
    Index[k] = 1.0;
  }
  for (int& count : Histogram) count = 0;
  MSE = 0.0;
  PSNR = std::numeric_limits<double>::infinity();
}

void cImageMeasures::ForgetOrigin()
{
  // Its measures referred to pixels that no longer exist.
  OriginMismatch = true;
  for (auto& channel : Channels) channel->SetOriginSurface(nullptr);
}

void cImageMeasures::AbandonIndex(eQualityIndex kind)
{
  Threads[kind].reset();
  Running[kind] = false;
}

void cImageMeasures::RefreshOriginSurfaces(const sMeasuredSurfaces& surfaces)
{
  cBMPSurface* reference = nullptr;
  if (Measured && !OriginMismatch) {
    reference = surfaces.Reference;
    if (reference && surfaces.Image && !cPictureComparison::SameGeometry(*reference, *surfaces.Image))
      reference = nullptr;
  }
  for (auto& channel : Channels) channel->SetOriginSurface(reference);
}

void cImageMeasures::Calculate(const sMeasuredSurfaces& surfaces, bool originChanged)
{
  EnsureChannelProperties(surfaces.Image);
  if (originChanged) {
    for (auto& thread : Threads)
      if (thread) thread->Terminate();
  }
  Measured = true;
  cBMPSurface* reference = surfaces.Reference;
  OriginMismatch = !reference || !surfaces.Image || !cPictureComparison::SameGeometry(*reference, *surfaces.Image);
  for (auto& channel : Channels) channel->CalculateProperties(OriginMismatch ? nullptr : reference);
  if (OriginMismatch) {
    MSE = std::numeric_limits<double>::quiet_NaN();
    PSNR = MSE;
    return;
  }
  MSE = ChannelMeanMSE();
  PSNR = PSNRFromMSE(MSE);
}

double cImageMeasures::ChannelMeanMSE() const
{
  if (Channels.empty()) return 0.0;
  double sum = 0.0;
  for (auto& channel : Channels) sum += channel->GetMSE();
  return sum / double(Channels.size());
}

void cImageMeasures::PrepareHistogram(cBMPSurface* surface, int selected)
{
  EnsureChannelProperties(surface);
  for (int& count : Histogram) count = 0;
  if (Channels.empty()) return;
  if (selected >= 0 && selected < int(Channels.size())) {
    const int* source = Channels[size_t(selected)]->GetHistogram();
    std::copy(source, source + 256, Histogram);
    return;
  }
  const int count = int(Channels.size());
  for (int level = 0; level < 256; ++level) {
    int sum = 0;
    for (auto& channel : Channels) sum += channel->GetHistogram()[level];
    Histogram[level] = sum / count;
  }
}

cBMPSurface* cImageMeasures::GetSpectrumBI(cBMPSurface* surface, SpectrumType type, double scale)
{
  const int w = surface ? surface->GetWidth() : 0, h = surface ? surface->GetHeight() : 0;
  if (w == 0 || h == 0) return nullptr;
  EnsureChannelProperties(surface);
  for (auto& channel : Channels)
    if (!channel->HasSpectrum()) channel->PrepareSpectrum();
  const int channels = surface->GetChannelsCount();
  if (!SpectrumBI) SpectrumBI = std::make_unique<cBMPSurface>();
  if (SpectrumBI->GetWidth() != w || SpectrumBI->GetHeight() != h || SpectrumBI->GetChannelsCount() != channels)
    SpectrumBI->SetSize(w, h, channels);

  const bool grey = channels == 1;
  const int columns = w / 2 + 1;
  for (int i = 0; i < channels; ++i) {
    const double* spectrum = Channels[size_t(i)]->GetSpectrum();
    SpectrumBI->CurrentChannel = i;
    auto put = [&](int x, int y, uint8_t v) { SpectrumBI->Row(y)[size_t(x) * size_t(channels) + size_t(i)] = v; };
    for (int r = 0; r < h; ++r) {
      for (int c = 0; c < columns; ++c) {
        const size_t at = 2 * (size_t(r) * size_t(columns) + size_t(c));
        const uint8_t level = SpectrumLevel(SpectrumValue(spectrum[at], spectrum[at + 1], type, grey, scale));
        put(c, r, level);
        // The other half of the picture is the conjugate-symmetric mirror.
        if (c != 0 && r == 0) put(w - c, 0, level);
        if (c != 0 && r != 0) put(w - c, h - r, level);
      }
    }
  }
  return SpectrumBI.get();
}

void cImageMeasures::RemoveFFT()
{
  SpectrumBI.reset();
  for (auto& channel : Channels) channel->FreeSpectrum();
}

std::string cImageMeasures::GetIndexStr(const std::string& name, const sMeasuredSurfaces& surfaces)
{
  if (name == "MSE" || name == "PSNR") {
    if (OriginMismatch) return "n/a";
    const double mse = ChannelMeanMSE();
    return name == "MSE" ? FormatReal(mse) : FormatReal(PSNRFromMSE(mse)) + " dB";
  }
  if (name == "IQ" || name == "IQHVS" || name == "SSIM") {
    if (OriginMismatch) return "n/a";
    const eQualityIndex kind = name == "IQ" ? qiIQ : name == "IQHVS" ? qiIQHVS : qiSSIM;
    if (!Valid[kind] && !Running[kind]) StartIndex(kind, surfaces);
    return Valid[kind] ? FormatReal(Index[kind]) : "wait";
  }
  return "";
}

void cImageMeasures::StartIndex(eQualityIndex kind, const sMeasuredSurfaces& surfaces)
{
  EnsureChannelProperties(surfaces.Image);
  iKernelHost* host = cMessenger::GetHost();
  // Without a host nothing could deliver a background completion: compute here instead.
  if (!host || Channels.empty()) {
    CalculateIndexNow(kind, surfaces);
    return;
  }
  RefreshOriginSurfaces(surfaces);
  Running[kind] = true;
  Threads[kind] = std::make_unique<TIQThread>(kind, *this);
  Threads[kind]->SetCompletion([this](TIQThread& sender) { IndexCalculated(sender); });
  Threads[kind]->Start(*host);
}

void cImageMeasures::IndexCalculated(TIQThread& sender)
{
  const eQualityIndex kind = sender.GetKind();
  if (Threads[kind].get() != &sender) return;
  const bool stopped = sender.IsStopped();
  if (!stopped) {
    Index[kind] = sender.GetResult();
    const std::vector<double>& values = sender.GetChannelResults();
    for (size_t i = 0; i < values.size() && i < Channels.size(); ++i) Channels[i]->StoreIndex(kind, values[i]);
  }
  Valid[kind] = !stopped;
  Running[kind] = false;
  Threads[kind].reset();  // sender is gone from here on
  if (Changed) Changed();
}

void cImageMeasures::RemoveIQ()
{
  for (int k = 0; k < 3; ++k) {
    if (Threads[k]) Threads[k]->Terminate();
    Valid[k] = false;
  }
}

double cImageMeasures::CalculateIndexNow(eQualityIndex kind, const sMeasuredSurfaces& surfaces)
{
  EnsureChannelProperties(surfaces.Image);
  RefreshOriginSurfaces(surfaces);
  double sum = 0.0;
  for (auto& channel : Channels) sum += channel->Calculate(kind);
  Index[kind] = Channels.empty() ? 1.0 : sum / double(Channels.size());
  Valid[kind] = true;
  return Index[kind];
}
