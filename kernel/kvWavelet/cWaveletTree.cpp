#include "kvWavelet/cWaveletTree.h"

#include <algorithm>

cWaveletTree::sNode* cWaveletTree::Find(const std::string& nodePath)
{
  auto it = Nodes.find(nodePath);
  return it == Nodes.end() ? nullptr : it->second.get();
}

cWaveletTree::sNode& cWaveletTree::Create(const std::string& nodePath, int width, int height, bool zeroed)
{
  auto node = std::make_unique<sNode>();
  node->Width = std::max(width, 0);
  node->Height = std::max(height, 0);
  node->Plane.Resize(size_t(node->Width) * size_t(node->Height));
  if (zeroed) node->Plane.Fill(0.0);
  sNode& result = *node;
  Nodes[nodePath] = std::move(node);
  return result;
}

void cWaveletTree::Remove(const std::string& nodePath)
{
  Nodes.erase(nodePath);
}

sLeaf cWaveletTree::Leaf(sNode& node)
{
  sLeaf leaf;
  leaf.Data = node.Plane.data();
  leaf.Width = node.Width;
  leaf.Height = node.Height;
  leaf.ExtensionFlags = node.ExtensionFlags;
  return leaf;
}
