#pragma once
// Owns every picture the kernel makes: empty ones and copies of a parent. For each image it
// remembers the image it was copied from, and keeps those links valid as images go.
#include <map>
#include <string>

#include "kvImages/cImage.h"

struct sImageListItem {
  cImage* Parent = nullptr;
  // The image this one is related to as its origin; the image itself at creation.
  cImage* Origin = nullptr;
  std::map<std::string, double> Criteria;
};

class cImageStorage {
public:
  cImageStorage() = default;
  // Every image must have been deleted before.
  ~cImageStorage();
  cImageStorage(const cImageStorage&) = delete;
  cImageStorage& operator=(const cImageStorage&) = delete;

  cImage* CreateImage();
  // A new image holding a copy of the parent's pixels, with a title and measures of its own.
  cImage* CreateChildImage(cImage* theParent);
  // Unregisters and deletes; links of the remaining images that named it are cleared.
  // Deleting nullptr does nothing.
  void DeleteImage(cImage* theImage);

  int GetImagesCount() const { return int(Images.size()); }
  bool Contains(const cImage* theImage) const;
  // nullptr for an image created empty, for an unknown image, or when the parent is gone.
  cImage* GetParent(const cImage* theImage) const;
  cImage* GetOriginLink(const cImage* theImage) const;

private:
  cImage* Register(cImage* theImage, cImage* theParent);

  std::map<const cImage*, sImageListItem> Images;
};
