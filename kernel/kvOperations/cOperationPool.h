#pragma once
// The registry of every operation: the built-in resampler (UID 1) and the operations of the
// plug-in packages, in registration order (UID = position + 1).
#include <string>
#include <vector>

#include "kvOperations/acOperation.h"

using tOperationsList = std::vector<acOperation*>;
// Entry point every package exports with C linkage as "GLO": appends its operations.
using tGLOFunction = void (*)(tOperationsList& list);

class cOperationPool {
public:
  cOperationPool();
  ~cOperationPool();
  cOperationPool(const cOperationPool&) = delete;
  cOperationPool& operator=(const cOperationPool&) = delete;

  // Loads one package; files that are not packages, lack GLO or whose GLO throws are skipped
  // with one diagnostic line on stderr.
  void LoadOperationsFromPackage(const std::string& fileName);
  // Throws std::out_of_range for 0 and unknown UIDs.
  acOperation* LookForOperationByUID(unsigned uid) const;
  void GetOperationGroupAndName(unsigned uid, std::string& group, std::string& name, std::string& type) const;
  acOperation* SelectOperation(const cOperationParams& params) const;

  unsigned GetOperationsCount() const { return unsigned(Operations.size()); }
  // UID of the first operation with this exact name, 0 when there is none.
  unsigned FindUIDByName(const std::string& name) const;

private:
  tOperationsList Operations;
  std::vector<void*> PackageHandles;
  acOperation* ResampleOperation;
};

extern cOperationPool* OperationPool;
