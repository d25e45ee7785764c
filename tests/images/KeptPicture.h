#pragma once
// A small known picture in an image, to see that a failed or refused load leaves it alone.
#include <gtest/gtest.h>

#include "KvTestSupport.h"

namespace kvtest {

inline void Prefill(cImage& image)
{
  FillRandom(*image.GetSurface(), 5, 3, 3, 99);
  image.SetTitle("kept");
}

inline void ExpectUnchanged(cImage& image)
{
  cBMPSurface expected;
  FillRandom(expected, 5, 3, 3, 99);
  ASSERT_NE(image.GetSurface(), nullptr);
  EXPECT_TRUE(SamePixels(*image.GetSurface(), expected));
  EXPECT_EQ(image.GetTitle(), "kept");
}

}  // namespace kvtest
