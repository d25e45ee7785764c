#pragma once
// Every operation of the loaded packages with its parameters (bounds, default, choices), as
// 'kvadra list' prints it and the Python module hands it to scripts.
#include <string>

class cKvadraSystem;

class cOperationCatalog {
public:
  // One line per operation (UID, type, group, name), then one per parameter.
  static std::string Text(cKvadraSystem& system);
  // A JSON array of operations in UID order, each with its "parameters".
  static std::string Json(cKvadraSystem& system);
  // UID of the operation named (exact, else ignoring case); a usage error with suggestions and
  // where to look (listing) otherwise.
  static unsigned FindUID(cKvadraSystem& system, const std::string& name, const std::string& listing);
  // The criterion named, if the analyzer knows it; a usage error with suggestions otherwise.
  static const std::string& CheckedCriterion(const std::string& criterion);

private:
  static std::string Build(cKvadraSystem& system, bool json);
};
