#pragma once
// Separable one-level 2-D discrete wavelet transform over named trees of real planes,
// with periodic extension of every line.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cWaveletBank.h"
#include "cWaveletTree.h"
#include "iWaveletLib.h"

class cWaveletLib : public iWaveletLib {
public:
  cWaveletLib();
  ~cWaveletLib() override;
  cWaveletLib(const cWaveletLib&) = delete;
  cWaveletLib& operator=(const cWaveletLib&) = delete;

  void Reserved0() override {}
  void Reserved1(const std::string&) override {}
  void Reserved2(const std::string&) override {}

  sLeaf GetLeaf(const std::string& leafPath) override;
  sLeaf CreateTree(const std::string& name, int width, int height) override;
  void DeleteTree(const std::string& name) override;
  // A name that is not in the bank leaves no filters selected; Decompose then fails.
  void SetWavelet(const std::string& bankName) override;
  bool Decompose(const std::string& leafPath) override;
  bool Reconstruct(const std::string& leafPath) override;

private:
  // Splits "Tree:/LL" into "Tree" and "/LL"; false without a colon.
  static bool SplitLeafPath(const std::string& leafPath, std::string& treeName, std::string& nodePath);
  cWaveletTree::sNode* FindNode(const std::string& leafPath, cWaveletTree*& tree, std::string& nodePath);

  std::map<std::string, std::unique_ptr<cWaveletTree>> Trees;
  std::unique_ptr<cWaveletBank> Bank;
  const cWavelet* Selected = nullptr;
  // Work planes of Decompose, kept between calls (a library decomposes trees of one size).
  cPlaneBuffer Extended, LowRows, HighRows;
  std::vector<double> Scratch;
};
