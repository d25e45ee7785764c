#include "kvProcessing/cImageStorage.h"

#include "kvRuntime/kvDiagnostics.h"

KV_UNIT("kvKernel_bpl\\kvImages\\cImageStorage");

cImageStorage::~cImageStorage()
{
  KV_ASSERT(Images.size() == 0, "Images.size() == 0");
}

cImage* cImageStorage::Register(cImage* theImage, cImage* theParent)
{
  sImageListItem item;
  item.Parent = theParent;
  item.Origin = theImage;
  Images.emplace(theImage, std::move(item));
  return theImage;
}

cImage* cImageStorage::CreateImage()
{
  return Register(new cImage, nullptr);
}

cImage* cImageStorage::CreateChildImage(cImage* theParent)
{
  KV_ASSERT(theParent != nullptr, "theParent!=NULL");
  auto iterator = Images.find(theParent);
  KV_ASSERT(iterator != Images.end(), "Iterator!=Images.end()");
  auto* child = new cImage;
  child->MakeCopyFrom(*theParent);
  return Register(child, theParent);
}

void cImageStorage::DeleteImage(cImage* theImage)
{
  if (!theImage) return;
  Images.erase(theImage);
  for (auto& [image, item] : Images) {
    if (item.Origin == theImage) item.Origin = const_cast<cImage*>(image);
    if (item.Parent == theImage) item.Parent = nullptr;
  }
  delete theImage;
}

bool cImageStorage::Contains(const cImage* theImage) const
{
  return Images.count(theImage) != 0;
}

cImage* cImageStorage::GetParent(const cImage* theImage) const
{
  auto it = Images.find(theImage);
  return it == Images.end() ? nullptr : it->second.Parent;
}

cImage* cImageStorage::GetOriginLink(const cImage* theImage) const
{
  auto it = Images.find(theImage);
  return it == Images.end() ? nullptr : it->second.Origin;
}
