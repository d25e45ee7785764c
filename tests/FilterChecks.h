#pragma once
// Checks shared by the filter tests: row form against the per-sample path, channels filtered
// alone, PSNR, and the operations a package brings.
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FilterPictures.h"
#include "KvTestSupport.h"

namespace kvtest {

inline double PSNR(cBMPSurface& a, cBMPSurface& b)
{
  double mse = 0;
  for (int c = 0; c < a.GetChannelsCount(); ++c) mse += MSE(a, b, c);
  mse /= a.GetChannelsCount();
  return mse > 0 ? 10.0 * std::log10(255.0 * 255.0 / mse) : 1000.0;
}

// The row form of op on picture (and region) against the per-sample reference: it must give
// exactly the reference's pixels, and (unless mustRunByRows is off) must have run at all.
template <class tOp>
::testing::AssertionResult RowFormMatchesReference(tOp& op, cImage& picture, std::optional<sRect> region = std::nullopt,
                                                   bool mustRunByRows = true)
{
  op.SetPixelReference(true);
  auto plain = RunOperation(op, picture, region);
  op.SetPixelReference(false);
  auto rows = RunOperation(op, picture, region);
  if (mustRunByRows && !op.RanByRows()) return ::testing::AssertionFailure() << "the row form did not run";
  if (!SamePixels(*plain->GetSurface(), *rows->GetSurface()))
    return ::testing::AssertionFailure() << "the row form differs from the reference";
  return ::testing::AssertionSuccess();
}

// The fast path (the row form) of op must give exactly what the per-sample reference gives,
// on the whole picture and on a rectangle that touches the right border.
template <class tOp>
void ExpectFastEqualsPlain(tOp& op, const std::string& label)
{
  for (auto& picture : ProbePictures()) {
    const sRect rect{picture->GetWidth() / 2, 0, picture->GetWidth(), (picture->GetHeight() + 1) / 2};
    for (std::optional<sRect> region : {std::optional<sRect>(), std::optional<sRect>(rect)}) {
      EXPECT_TRUE(RowFormMatchesReference(op, *picture, region, false))
          << label << " on " << picture->GetWidth() << "x" << picture->GetHeight() << "x" << picture->GetChannelsCount()
          << (region ? " on a rectangle" : "");
    }
  }
}

// A colour picture must come out as if each channel were filtered as a grey picture alone.
inline ::testing::AssertionResult ChannelsIndependent(acOperation& op, cImage& colour)
{
  auto whole = RunOperation(op, colour);
  for (int c = 0; c < 3; ++c) {
    cImage grey;
    ExtractChannel(*colour.GetSurface(), c, *grey.GetSurface());
    auto alone = RunOperation(op, grey);
    cBMPSurface part;
    ExtractChannel(*whole->GetSurface(), c, part);
    if (!SamePixels(part, *alone->GetSurface()))
      return ::testing::AssertionFailure() << op.GetName() << ": channel " << c << " differs from its grey run";
  }
  return ::testing::AssertionSuccess();
}

// The same on a small random colour picture.
inline void ExpectChannelsIndependent(acOperation& op)
{
  cImage colour;
  FillRandom(*colour.GetSurface(), 12, 9, 3, 99);
  EXPECT_TRUE(ChannelsIndependent(op, colour));
}

// Loads one package into a pool and returns the names of its operations in UID order.
inline std::vector<std::string> PackageOperationNames(const std::string& file)
{
  MessageEnvironment env;
  cOperationPool pool;
  const unsigned before = pool.GetOperationsCount();
  pool.LoadOperationsFromPackage(std::string(KV_PLUGIN_DIR) + file);
  std::vector<std::string> names;
  for (unsigned uid = before + 1; uid <= pool.GetOperationsCount(); ++uid)
    names.push_back(pool.LookForOperationByUID(uid)->GetName());
  return names;
}

}  // namespace kvtest
