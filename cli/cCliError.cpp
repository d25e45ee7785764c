#include "cCliError.h"

#include "kvImages/cImage.h"

cCliError::cCliError(eKind kind, const std::string& message) : std::runtime_error(message), Kind(kind) {}

std::string cCliError::LoadFailureText(const std::string& file, const cImage& image)
{
  const std::string& reason = image.GetLoadError();
  return "cannot load picture '" + file +
         "': " + (reason.empty() ? "not a readable BMP, JPEG, PNG or TIFF file" : reason);
}
