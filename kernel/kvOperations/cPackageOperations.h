#pragma once
// The operations of a plug-in package: one instance of each type, created when the package is
// loaded and deleted when it is unloaded. AppendTo hands them out in the order the types are
// listed, which is the order of the menus.
#include <tuple>

#include "kvOperations/cOperationPool.h"

template <class... tOperations>
class cPackageOperations {
public:
  void AppendTo(tOperationsList& list)
  {
    std::apply([&list](auto&... operation) { (list.push_back(&operation), ...); }, Operations);
  }

private:
  // Operations only describe themselves and declare their parameters when created, so the
  // order in which the tuple creates them does not matter.
  std::tuple<tOperations...> Operations;
};
