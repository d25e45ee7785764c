#include <gtest/gtest.h>

#include "KvTestSupport.h"
#include "kvProcessing/cImageStorage.h"

namespace {

TEST(ImageStorage, CreatedImagesAreEmptyAndLinkedToThemselves)
{
  cImageStorage storage;
  cImage* image = storage.CreateImage();
  EXPECT_EQ(image->GetTitle(), "empty");
  EXPECT_EQ(image->GetWidth(), 0);
  EXPECT_EQ(image->GetHeight(), 0);
  EXPECT_EQ(storage.GetParent(image), nullptr);
  EXPECT_EQ(storage.GetOriginLink(image), image);
  EXPECT_EQ(storage.GetImagesCount(), 1);
  storage.DeleteImage(image);
  EXPECT_EQ(storage.GetImagesCount(), 0);
}

TEST(ImageStorage, ChildCopiesPixelsButNotTitleOrMeasures)
{
  cImageStorage storage;
  cImage* parent = storage.CreateImage();
  kvtest::FillRandom(*parent->GetSurface(), 13, 7, 3, 5);
  parent->SetTitle("Load 'a.bmp'");
  parent->SetTime(42);
  cImage* child = storage.CreateChildImage(parent);
  EXPECT_NE(child, parent);
  EXPECT_NE(child->GetSurface(), parent->GetSurface());
  EXPECT_TRUE(kvtest::SamePixels(*child->GetSurface(), *parent->GetSurface()));
  EXPECT_EQ(child->GetChannelsCount(), 3);
  EXPECT_EQ(child->GetTitle(), "empty");
  EXPECT_EQ(child->GetTime(), 0u);
  EXPECT_EQ(child->GetOrigin(), nullptr);
  EXPECT_EQ(storage.GetParent(child), parent);
  EXPECT_EQ(storage.GetOriginLink(child), child);
  // The copy is independent of its parent.
  child->GetSurface()->Row(0)[0] ^= 0xFF;
  EXPECT_FALSE(kvtest::SamePixels(*child->GetSurface(), *parent->GetSurface()));
  storage.DeleteImage(child);
  storage.DeleteImage(parent);
}

TEST(ImageStorage, DeletingAParentKeepsChildrenAliveWithoutParent)
{
  cImageStorage storage;
  cImage* parent = storage.CreateImage();
  kvtest::FillRandom(*parent->GetSurface(), 4, 4, 1, 1);
  cImage* child = storage.CreateChildImage(parent);
  cImage* grandChild = storage.CreateChildImage(child);
  cImage* sibling = storage.CreateChildImage(parent);
  storage.DeleteImage(parent);
  EXPECT_FALSE(storage.Contains(parent));
  EXPECT_TRUE(storage.Contains(child));
  EXPECT_EQ(storage.GetParent(child), nullptr);
  EXPECT_EQ(storage.GetParent(sibling), nullptr);
  EXPECT_EQ(storage.GetParent(grandChild), child);
  EXPECT_EQ(child->GetWidth(), 4);
  storage.DeleteImage(nullptr);  // harmless
  EXPECT_EQ(storage.GetImagesCount(), 3);
  storage.DeleteImage(grandChild);
  storage.DeleteImage(sibling);
  storage.DeleteImage(child);
}

using ImageStorageDeathTest = ::testing::Test;

TEST_F(ImageStorageDeathTest, AssertionsGuardParentsAndLeftovers)
{
  EXPECT_DEATH(
      {
        cImageStorage storage;
        storage.CreateChildImage(nullptr);
      },
      "theParent!=NULL");
  EXPECT_DEATH(
      {
        cImageStorage storage;
        cImage stranger;
        storage.CreateChildImage(&stranger);
      },
      "Iterator!=Images.end\\(\\)");
  EXPECT_DEATH(
      {
        cImageStorage storage;
        storage.CreateImage();
      },
      "Images.size\\(\\) == 0");
}

}  // namespace
