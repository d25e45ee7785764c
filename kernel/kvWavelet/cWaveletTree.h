#pragma once
// One tree of the wavelet library: its nodes by node path ("" = root, "/LL", "/LL/HH", ...).
#include <map>
#include <memory>
#include <string>

#include "kvRuntime/cPlaneBuffer.h"
#include "kvWavelet/iWaveletLib.h"

class cWaveletTree {
public:
  struct sNode {
    int Width = 0;
    int Height = 0;
    int ExtensionFlags = 0;
    cPlaneBuffer Plane;
  };

  // nullptr when the node does not exist.
  sNode* Find(const std::string& nodePath);
  // Creates or replaces the node with a plane of width x height, zero unless the caller
  // overwrites all of it anyway (zeroed = false).
  sNode& Create(const std::string& nodePath, int width, int height, bool zeroed = true);
  void Remove(const std::string& nodePath);
  static sLeaf Leaf(sNode& node);

private:
  std::map<std::string, std::unique_ptr<sNode>> Nodes;
};
