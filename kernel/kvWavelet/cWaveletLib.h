#pragma once
// Separable one-level 2-D discrete wavelet transform over named trees of real planes,
// with periodic extension of every line.
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "kvWavelet/cWaveletBank.h"
#include "kvWavelet/cWaveletTree.h"
#include "kvWavelet/iWaveletLib.h"

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

  // Decompose in pieces, for planes too large to hold whole with all their subbands. The row
  // pass of a width x height plane read row by row (readRow(r, out) writes the width samples
  // of row r): its low-pass half (high false) or high-pass half, (width + 1) / 2 x height
  // rounded up to even as Decompose extends odd extents. Then the column pass of such a half:
  // with high false the "/LL" (or "/HL") subband, with high true "/LH" (or "/HH"). The values
  // are exactly those of Decompose. False when no wavelet is selected or an extent is below 2.
  using tRowReader = std::function<void(int row, double* out)>;
  bool AnalyseRows(int width, int height, bool high, const tRowReader& readRow, cPlaneBuffer& half);
  bool AnalyseHalfColumns(const cPlaneBuffer& half, int width, int height, bool high, cPlaneBuffer& band);
  // Extents of the subbands of a width x height plane.
  static int BandExtent(int extent) { return (extent + extent % 2) / 2; }

private:
  // Splits "Tree:/LL" into "Tree" and "/LL"; false without a colon.
  static bool SplitLeafPath(const std::string& leafPath, std::string& treeName, std::string& nodePath);
  // nullptr (and tree nullptr when the tree is missing) for a path that names no node.
  cWaveletTree::sNode* FindNode(const std::string& leafPath, cWaveletTree*& tree, std::string& nodePath);

  std::map<std::string, std::unique_ptr<cWaveletTree>> Trees;
  std::unique_ptr<cWaveletBank> Bank;
  const cWavelet* Selected = nullptr;
  // Work planes of Decompose, kept between calls (a library decomposes trees of one size).
  cPlaneBuffer Extended, LowRows, HighRows;
  std::vector<double> Scratch;
};
