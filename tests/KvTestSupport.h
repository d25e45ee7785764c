#pragma once
// Shared fixtures: picture builders, a recording observer and a loaded pool.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kvPixels/cBMPSurface.h"
#include "kvImages/cImage.h"
#include "kvMessages/cMessenger.h"
#include "kvMessages/cObservableSubject.h"
#include "kvMessages/cPlainEventLoop.h"
#include "kvMessages/iObserver.h"
#include "kvOperations/cOperationPool.h"

namespace kvtest {

// A picture of the given size with pixel(x, y, c) = f(x, y, c).
inline void Fill(cBMPSurface& s, int w, int h, int channels, const std::function<uint8_t(int, int, int)>& f)
{
  s.SetSize(w, h, channels);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < channels; ++c) {
        s.CurrentChannel = c;
        s.SetPixel(x, y, f(x, y, c));
      }
}

inline void FillRandom(cBMPSurface& s, int w, int h, int channels, uint32_t seed)
{
  std::mt19937 rng(seed);
  Fill(s, w, h, channels, [&](int, int, int) { return uint8_t(rng() & 0xFF); });
}

inline uint8_t Pixel(cBMPSurface& s, int x, int y, int c = 0)
{
  s.CurrentChannel = c;
  return s.GetPixel(x, y);
}

inline uint8_t At(cImage& image, int x, int y, int c = 0)
{
  return Pixel(*image.GetSurface(), x, y, c);
}

inline bool SamePixels(cBMPSurface& a, cBMPSurface& b)
{
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight() || a.GetChannelsCount() != b.GetChannelsCount())
    return false;
  const int rowBytes = a.GetWidth() * a.GetChannelsCount();
  for (int y = 0; y < a.GetHeight(); ++y)
    for (int i = 0; i < rowBytes; ++i)
      if (a.Row(y)[i] != b.Row(y)[i]) return false;
  return true;
}

// MSE of one channel, by the plain formula.
inline double MSE(cBMPSurface& a, cBMPSurface& b, int c = 0)
{
  double sum = 0;
  for (int y = 0; y < a.GetHeight(); ++y)
    for (int x = 0; x < a.GetWidth(); ++x) {
      const double d = double(Pixel(a, x, y, c)) - double(Pixel(b, x, y, c));
      sum += d * d;
    }
  return sum / (double(a.GetWidth()) * a.GetHeight());
}

class RecordingObserver : public iObserver {
public:
  void Update(sMessage& m) override { Messages.push_back(m); }
  std::vector<uint32_t> Ids() const
  {
    std::vector<uint32_t> ids;
    for (auto& m : Messages) ids.push_back(m.Msg);
    return ids;
  }
  std::vector<sMessage> Messages;
};

// A host, a hub installed in front of it and a recording observer, as the facade sets them up.
class MessageEnvironment {
public:
  MessageEnvironment()
  {
    cMessenger::SetHost(&Loop);
    Hub = std::make_unique<cObservableSubject>();
    Hub->Install(&Loop);
    ObservableSubject = Hub.get();
    Hub->AddObserver(&Observer);
  }
  ~MessageEnvironment()
  {
    Hub->Uninstall();
    ObservableSubject = nullptr;
    cMessenger::SetHost(nullptr);
  }
  cPlainEventLoop Loop;
  std::unique_ptr<cObservableSubject> Hub;
  RecordingObserver Observer;
};

// Finds an operation by name in a pool, failing the test when it is missing.
inline acOperation* FindOperation(cOperationPool& pool, const std::string& name)
{
  const unsigned uid = pool.FindUIDByName(name);
  return uid ? pool.LookForOperationByUID(uid) : nullptr;
}

// Runs an operation on a whole picture, or on a region of it (right and bottom exclusive; the
// rest of the result is the source's copy), and returns the result image.
inline std::unique_ptr<cImage> RunOperation(acOperation& op, cImage& source, std::optional<sRect> region = std::nullopt)
{
  auto result = std::make_unique<cImage>();
  if (region) {
    result->SetWholeImage(false);
    result->SetProcessingRect(*region);
  }
  op.SetInterfaces(&source, result.get());
  tTerminateFlag terminated{false};
  op.Execute(terminated);
  return result;
}

// op, run on the whole of source, must leave every sample as it was.
inline ::testing::AssertionResult LeavesUnchanged(acOperation& op, cImage& source)
{
  if (SamePixels(*RunOperation(op, source)->GetSurface(), *source.GetSurface())) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << op.GetName() << " changed the picture";
}

}  // namespace kvtest
