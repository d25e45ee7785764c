#include "kvOperations/cOperationPool.h"

#include <dlfcn.h>

#include <exception>
#include <stdexcept>

#include "kvOperations/cOperationPoolMessenger.h"
#include "kvOperations/cResampleOperation.h"
#include "kvRuntime/kvDiagnostics.h"

KV_UNIT("kvKernel_bpl\\kvOperations\\cOperationPool");

cOperationPool* OperationPool = nullptr;

cOperationPool::cOperationPool() : ResampleOperation(new cResampleOperation)
{
  Operations.push_back(ResampleOperation);
}

cOperationPool::~cOperationPool()
{
  delete ResampleOperation;
  while (!PackageHandles.empty()) {
    dlclose(PackageHandles.back());
    PackageHandles.pop_back();
  }
}

void cOperationPool::LoadOperationsFromPackage(const std::string& fileName)
{
  void* handle = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = dlerror();
    kvDebugOutput("Skipped plug-in '" + fileName + "': " + (why ? why : "cannot be loaded"));
    return;
  }
  PackageHandles.push_back(handle);
  auto glo = reinterpret_cast<tGLOFunction>(dlsym(handle, "GLO"));
  if (!glo) {
    kvDebugOutput("Skipped plug-in '" + fileName + "': no entry point GLO");
    dlclose(handle);
    PackageHandles.pop_back();
    return;
  }
  tOperationsList list;
  try {
    glo(list);
  } catch (const std::exception& e) {
    kvDebugOutput("Skipped plug-in '" + fileName + "': GLO failed: " + e.what());
    dlclose(handle);
    PackageHandles.pop_back();
    return;
  } catch (...) {
    kvDebugOutput("Skipped plug-in '" + fileName + "': GLO failed");
    dlclose(handle);
    PackageHandles.pop_back();
    return;
  }
  for (acOperation* operation : list) {
    // An absent entry would only fail later, at the first lookup of its UID.
    if (!operation) {
      kvDebugOutput("Ignored an empty operation entry of plug-in '" + fileName + "'");
      continue;
    }
    Operations.push_back(operation);
    cOperationPoolMessenger::DirectOperationLoaded(unsigned(Operations.size()));
  }
}

acOperation* cOperationPool::LookForOperationByUID(unsigned uid) const
{
  if (uid == 0 || uid > Operations.size()) throw std::out_of_range("invalid vector<T> subscript");
  return Operations[uid - 1];
}

void cOperationPool::GetOperationGroupAndName(unsigned uid, std::string& group, std::string& name,
                                              std::string& type) const
{
  acOperation* operation = LookForOperationByUID(uid);
  KV_ASSERT(operation != nullptr, "Operation != NULL");
  group = operation->GetGroupName();
  name = operation->GetName();
  type = operation->GetOperationType();
}

acOperation* cOperationPool::SelectOperation(const cOperationParams& params) const
{
  const std::string name = params.GetName();
  acOperation* theOperation = nullptr;
  for (acOperation* operation : Operations)
    if (operation->Name == name) {
      theOperation = operation;
      break;
    }
  KV_ASSERT(theOperation != nullptr, "theOperation!=NULL");
  return theOperation;
}

unsigned cOperationPool::FindUIDByName(const std::string& name) const
{
  for (size_t i = 0; i < Operations.size(); ++i)
    if (Operations[i]->Name == name) return unsigned(i + 1);
  return 0;
}
