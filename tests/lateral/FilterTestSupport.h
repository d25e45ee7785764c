#pragma once
// Helpers for the filter tests: set parameters by name, run on a whole picture or a
// rectangle, compare the interior fast path against the plain per-sample path.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "KvTestSupport.h"

namespace kvfilter {

inline cOperationParameter* Param(acOperation& op, const std::string& name)
{
  const int i = op.GetParams()->FindParam(name);
  EXPECT_GE(i, 0) << "no parameter " << name << " in " << op.GetName();
  return op.GetParams()->GetParam(unsigned(i));
}
inline void Set(acOperation& op, const std::string& name, int v) { Param(op, name)->SetValue(v); }
inline void Set(acOperation& op, const std::string& name, double v) { Param(op, name)->SetValue(v); }
inline void Set(acOperation& op, const std::string& name, bool v) { Param(op, name)->SetValue(v); }

// A picture given row by row (grey).
inline void Rows(cBMPSurface& s, const std::vector<std::vector<int>>& rows)
{
  const int h = int(rows.size());
  const int w = int(rows[0].size());
  kvtest::Fill(s, w, h, 1, [&](int x, int y, int) { return uint8_t(rows[size_t(y)][size_t(x)]); });
}

inline std::unique_ptr<cImage> Apply(acOperation& op, cImage& source) { return kvtest::RunOperation(op, source); }

// Runs on a rectangle only; the rest of the result is the source's copy.
inline std::unique_ptr<cImage> RunRect(acOperation& op, cImage& source, sRect rect)
{
  auto result = std::make_unique<cImage>();
  result->SetWholeImage(false);
  result->SetProcessingRect(rect);
  op.SetInterfaces(&source, result.get());
  tTerminateFlag terminated{false};
  op.Execute(terminated);
  return result;
}

inline uint8_t At(cImage& image, int x, int y, int c = 0) { return kvtest::Pixel(*image.GetSurface(), x, y, c); }

// Pictures that exercise borders, thin shapes and windows larger than the picture.
inline std::vector<std::unique_ptr<cImage>> ProbePictures()
{
  std::vector<std::unique_ptr<cImage>> pictures;
  const int sizes[][3] = {{23, 17, 1}, {13, 11, 3}, {1, 9, 1}, {8, 1, 1}, {3, 2, 3}};
  uint32_t seed = 7;
  for (auto& s : sizes) {
    pictures.push_back(std::make_unique<cImage>());
    kvtest::FillRandom(*pictures.back()->GetSurface(), s[0], s[1], s[2], seed++);
  }
  // Smooth picture with a few impulses, where the weighted filters do real work.
  pictures.push_back(std::make_unique<cImage>());
  kvtest::Fill(*pictures.back()->GetSurface(), 19, 15, 3, [](int x, int y, int c) {
    if ((x * 7 + y * 3) % 11 == 0) return uint8_t(c == 1 ? 0 : 255);
    return uint8_t(40 + 5 * x + 3 * y + 10 * c);
  });
  return pictures;
}

// Switches op to its plain per-sample reference (on) or to its row form.
template <class tOp>
void UseReference(tOp& op, bool on)
{
  op.SetPixelReference(on);
}

// The fast path (the row form) of op must give exactly what the per-sample reference gives.
template <class tOp>
void ExpectFastEqualsPlain(tOp& op, const std::string& label)
{
  for (auto& picture : ProbePictures()) {
    UseReference(op, true);
    auto plain = Apply(op, *picture);
    UseReference(op, false);
    auto fast = Apply(op, *picture);
    EXPECT_TRUE(kvtest::SamePixels(*plain->GetSurface(), *fast->GetSurface()))
        << label << " on " << picture->GetWidth() << "x" << picture->GetHeight() << "x" << picture->GetChannelsCount();
    // A rectangle that touches the right border.
    const sRect rect{picture->GetWidth() / 2, 0, picture->GetWidth(), (picture->GetHeight() + 1) / 2};
    UseReference(op, true);
    auto plainRect = RunRect(op, *picture, rect);
    UseReference(op, false);
    auto fastRect = RunRect(op, *picture, rect);
    EXPECT_TRUE(kvtest::SamePixels(*plainRect->GetSurface(), *fastRect->GetSurface())) << label << " on a rectangle";
  }
}

// Every channel of a colour picture is filtered as if it were a grey picture of its own.
inline void ExpectChannelsIndependent(acOperation& op)
{
  cImage colour;
  kvtest::FillRandom(*colour.GetSurface(), 12, 9, 3, 99);
  auto result = Apply(op, colour);
  for (int c = 0; c < 3; ++c) {
    cImage grey;
    kvtest::Fill(*grey.GetSurface(), 12, 9, 1, [&](int x, int y, int) { return At(colour, x, y, c); });
    auto greyResult = Apply(op, grey);
    for (int y = 0; y < 9; ++y)
      for (int x = 0; x < 12; ++x)
        ASSERT_EQ(At(*result, x, y, c), At(*greyResult, x, y)) << op.GetName() << " channel " << c << " at " << x << "," << y;
  }
}

// Loads one package into a pool and returns the names of its operations in UID order.
inline std::vector<std::string> PackageOperationNames(const std::string& file)
{
  kvtest::MessageEnvironment env;
  cOperationPool pool;
  const unsigned before = pool.GetOperationsCount();
  pool.LoadOperationsFromPackage(std::string(KV_PLUGIN_DIR) + file);
  std::vector<std::string> names;
  for (unsigned uid = before + 1; uid <= pool.GetOperationsCount(); ++uid)
    names.push_back(pool.LookForOperationByUID(uid)->GetName());
  return names;
}

}  // namespace kvfilter
