#include "kvWavelet/cWaveletLib.h"

#include <algorithm>
#include <vector>

#include "kvMessages/cUserDialogs.h"
#include "kvRuntime/kvDiagnostics.h"

namespace {

KV_UNIT("kvKernel_bpl\\kvWavelet\\cWaveletLib");

// y[k] = sum_j x[(2k + j) mod n] * f[L - 1 - j], k = 0 .. n/2 - 1; x is read with a stride so
// that rows and columns share the code. scratch holds the periodically extended line.
void AnalyseLine(const double* x, size_t stride, int n, const std::vector<double>& f, std::vector<double>& scratch,
                 double* y, size_t yStride)
{
  const int length = int(f.size());
  scratch.resize(size_t(n + length));
  for (int i = 0; i < n; ++i) scratch[size_t(i)] = x[size_t(i) * stride];
  for (int i = n; i < n + length; ++i) scratch[size_t(i)] = scratch[size_t(i % n)];
  for (int k = 0; k < n / 2; ++k) {
    const double* in = scratch.data() + 2 * k;
    double sum = 0.0;
    for (int j = 0; j < length; ++j) sum += in[j] * f[size_t(length - 1 - j)];
    y[size_t(k) * yStride] = sum;
  }
}

// The low- and high-pass taps of one position side by side: a row is filtered with both at
// once, each lane doing exactly the scalar sequence of AnalyseLine.
typedef double tPair __attribute__((vector_size(2 * sizeof(double))));
struct sTapPair {
  tPair Taps;
};

// AnalyseLine with lo and hi (of equal length) on one contiguous row.
void AnalyseRowPair(const double* x, int n, const std::vector<sTapPair>& taps, std::vector<double>& scratch,
                    double* yLo, double* yHi)
{
  const int length = int(taps.size());
  scratch.resize(size_t(n + length));
  std::copy(x, x + n, scratch.begin());
  for (int i = n; i < n + length; ++i) scratch[size_t(i)] = scratch[size_t(i % n)];
  for (int k = 0; k < n / 2; ++k) {
    const double* in = scratch.data() + 2 * k;
    tPair sum = {0.0, 0.0};
    for (int j = 0; j < length; ++j) sum += in[j] * taps[size_t(j)].Taps;
    yLo[k] = sum[0];
    yHi[k] = sum[1];
  }
}

// AnalyseLine applied to every column of a width x n plane at once, row by row, so that the
// plane is read contiguously: out row k = sum_j in row ((2k + j) mod n) * f[L - 1 - j].
void AnalyseColumns(const double* in, int width, int n, const std::vector<double>& f, double* out)
{
  const int length = int(f.size());
  for (int k = 0; k < n / 2; ++k) {
    double* dst = out + size_t(k) * size_t(width);
    std::fill(dst, dst + width, 0.0);
    for (int j = 0; j < length; ++j) {
      const double weight = f[size_t(length - 1 - j)];
      const double* src = in + size_t((2 * k + j) % n) * size_t(width);
      for (int c = 0; c < width; ++c) dst[c] += src[c] * weight;
    }
  }
}

// The transpose of AnalyseLine for a low/high pair: x[(2k + j) mod n] += lo[k] * rl[j] + hi[k] * rh[j].
void SynthesiseLine(const double* lo, const double* hi, size_t stride, int n, const std::vector<double>& rl,
                    const std::vector<double>& rh, std::vector<double>& scratch, double* x, size_t xStride)
{
  scratch.assign(size_t(n), 0.0);
  for (int k = 0; k < n / 2; ++k) {
    const double l = lo[size_t(k) * stride], h = hi[size_t(k) * stride];
    for (size_t j = 0; j < rl.size(); ++j) scratch[(size_t(2 * k) + j) % size_t(n)] += l * rl[j];
    for (size_t j = 0; j < rh.size(); ++j) scratch[(size_t(2 * k) + j) % size_t(n)] += h * rh[j];
  }
  for (int i = 0; i < n; ++i) x[size_t(i) * xStride] = scratch[size_t(i)];
}

}  // namespace

cWaveletLib::cWaveletLib() : Bank(std::make_unique<cWaveletBank>()) {}

cWaveletLib::~cWaveletLib()
{
  for (auto iterator = Trees.begin(); iterator != Trees.end(); ++iterator)
    KV_ASSERT((*iterator).second != nullptr, "(*Iterator).second != NULL");
  Trees.clear();
  Bank.reset();
}

bool cWaveletLib::SplitLeafPath(const std::string& leafPath, std::string& treeName, std::string& nodePath)
{
  const size_t colon = leafPath.find(':');
  if (colon == std::string::npos) return false;
  treeName = leafPath.substr(0, colon);
  nodePath = leafPath.substr(colon + 1);
  return true;
}

cWaveletTree::sNode* cWaveletLib::FindNode(const std::string& leafPath, cWaveletTree*& tree, std::string& nodePath)
{
  std::string treeName;
  tree = nullptr;
  if (!SplitLeafPath(leafPath, treeName, nodePath)) return nullptr;
  auto it = Trees.find(treeName);
  if (it == Trees.end()) return nullptr;
  tree = it->second.get();
  return tree->Find(nodePath);
}

sLeaf cWaveletLib::GetLeaf(const std::string& leafPath)
{
  cWaveletTree* tree;
  std::string nodePath;
  cWaveletTree::sNode* node = FindNode(leafPath, tree, nodePath);
  return node ? cWaveletTree::Leaf(*node) : sLeaf{};
}

sLeaf cWaveletLib::CreateTree(const std::string& name, int width, int height)
{
  auto tree = std::make_unique<cWaveletTree>();
  cWaveletTree::sNode& root = tree->Create("", width, height);
  Trees[name] = std::move(tree);
  return cWaveletTree::Leaf(root);
}

void cWaveletLib::DeleteTree(const std::string& name)
{
  Trees.erase(name);
}

void cWaveletLib::SetWavelet(const std::string& bankName)
{
  Selected = Bank->Find(bankName);
}

bool cWaveletLib::Decompose(const std::string& leafPath)
{
  cWaveletTree* tree;
  std::string nodePath;
  cWaveletTree::sNode* node = FindNode(leafPath, tree, nodePath);
  if (!node || !Selected) return false;
  if (node->Width == 1) {
    cUserDialogs::ShowMessage("Width of leaf \"" + leafPath + "\" equal 1");
    return false;
  }
  if (node->Height == 1) {
    cUserDialogs::ShowMessage("Height of leaf \"" + leafPath + "\" equal 1");
    return false;
  }
  if (node->Width <= 0 || node->Height <= 0) return false;
  KV_ASSERT(nodePath.size() % 3 == 0, "level>0");

  // Odd extents repeat their last column / row once.
  int w = node->Width, h = node->Height;
  const int flags = (w % 2 ? 1 : 0) + (h % 2 ? 2 : 0);
  cPlaneBuffer& extended = Extended;
  const double* x = node->Plane.data();
  if (flags) {
    const int ew = w + (flags & 1), eh = h + (flags & 2 ? 1 : 0);
    extended.Resize(size_t(ew) * size_t(eh));
    for (int r = 0; r < eh; ++r) {
      const double* src = node->Plane.data() + size_t(r < h ? r : h - 1) * size_t(w);
      double* dst = extended.data() + size_t(r) * size_t(ew);
      for (int c = 0; c < ew; ++c) dst[c] = src[c < w ? c : w - 1];
    }
    w = ew;
    h = eh;
    x = extended.data();
  }

  const int hw = w / 2, hh = h / 2;
  const std::vector<double>& lo = Selected->DecompositionLow;
  const std::vector<double>& hi = Selected->DecompositionHigh;
  std::vector<double>& scratch = Scratch;
  cPlaneBuffer& lowRows = LowRows;
  cPlaneBuffer& highRows = HighRows;
  lowRows.Resize(size_t(hw) * size_t(h));
  highRows.Resize(size_t(hw) * size_t(h));
  if (lo.size() == hi.size()) {
    std::vector<sTapPair> taps(lo.size());
    for (size_t j = 0; j < lo.size(); ++j) taps[j].Taps = tPair{lo[lo.size() - 1 - j], hi[hi.size() - 1 - j]};
    for (int r = 0; r < h; ++r)
      AnalyseRowPair(x + size_t(r) * size_t(w), w, taps, scratch, lowRows.data() + size_t(r) * size_t(hw),
                     highRows.data() + size_t(r) * size_t(hw));
  } else {
    for (int r = 0; r < h; ++r) {
      const double* row = x + size_t(r) * size_t(w);
      AnalyseLine(row, 1, w, lo, scratch, lowRows.data() + size_t(r) * size_t(hw), 1);
      AnalyseLine(row, 1, w, hi, scratch, highRows.data() + size_t(r) * size_t(hw), 1);
    }
  }

  cWaveletTree::sNode& ll = tree->Create(nodePath + "/LL", hw, hh, false);
  cWaveletTree::sNode& lh = tree->Create(nodePath + "/LH", hw, hh, false);
  cWaveletTree::sNode& hl = tree->Create(nodePath + "/HL", hw, hh, false);
  cWaveletTree::sNode& hhNode = tree->Create(nodePath + "/HH", hw, hh, false);
  ll.ExtensionFlags = flags;
  AnalyseColumns(lowRows.data(), hw, h, lo, ll.Plane.data());
  AnalyseColumns(lowRows.data(), hw, h, hi, lh.Plane.data());
  AnalyseColumns(highRows.data(), hw, h, lo, hl.Plane.data());
  AnalyseColumns(highRows.data(), hw, h, hi, hhNode.Plane.data());
  tree->Remove(nodePath);
  return true;
}

bool cWaveletLib::AnalyseRows(int width, int height, bool high, const tRowReader& readRow, cPlaneBuffer& half)
{
  if (!Selected || width < 2 || height < 2) return false;
  const std::vector<double>& lo = Selected->DecompositionLow;
  const std::vector<double>& hi = Selected->DecompositionHigh;
  // Odd extents repeat their last column / row once, as in Decompose.
  const int ew = width + width % 2, eh = height + height % 2, hw = ew / 2;
  half.Resize(size_t(hw) * size_t(eh));
  std::vector<double> row(static_cast<size_t>(ew)), unused(static_cast<size_t>(hw));
  std::vector<double>& scratch = Scratch;
  std::vector<sTapPair> taps;
  if (lo.size() == hi.size()) {
    taps.resize(lo.size());
    for (size_t j = 0; j < lo.size(); ++j) taps[j].Taps = tPair{lo[lo.size() - 1 - j], hi[hi.size() - 1 - j]};
  }
  for (int r = 0; r < eh; ++r) {
    double* out = half.data() + size_t(r) * size_t(hw);
    if (r < height) {
      readRow(r, row.data());
      if (ew != width) row[size_t(width)] = row[size_t(width - 1)];
    }  // else: the last row once more, still in row
    if (!taps.empty())
      AnalyseRowPair(row.data(), ew, taps, scratch, high ? unused.data() : out, high ? out : unused.data());
    else
      AnalyseLine(row.data(), 1, ew, high ? hi : lo, scratch, out, 1);
  }
  return true;
}

bool cWaveletLib::AnalyseHalfColumns(const cPlaneBuffer& half, int width, int height, bool high, cPlaneBuffer& band)
{
  if (!Selected || width < 2 || height < 2) return false;
  const int hw = BandExtent(width), eh = height + height % 2;
  band.Resize(size_t(hw) * size_t(eh / 2));
  AnalyseColumns(half.data(), hw, eh, high ? Selected->DecompositionHigh : Selected->DecompositionLow, band.data());
  return true;
}

bool cWaveletLib::Reconstruct(const std::string& leafPath)
{
  std::string treeName, nodePath;
  if (!SplitLeafPath(leafPath, treeName, nodePath) || !Selected) return false;
  auto it = Trees.find(treeName);
  if (it == Trees.end()) return false;
  cWaveletTree* tree = it->second.get();
  cWaveletTree::sNode* ll = tree->Find(nodePath + "/LL");
  cWaveletTree::sNode* lh = tree->Find(nodePath + "/LH");
  cWaveletTree::sNode* hl = tree->Find(nodePath + "/HL");
  cWaveletTree::sNode* hh = tree->Find(nodePath + "/HH");
  if (!ll || !lh || !hl || !hh) return false;
  const int hw = ll->Width, hh2 = ll->Height;
  for (auto* band : {lh, hl, hh})
    if (band->Width != hw || band->Height != hh2) return false;
  const int w = 2 * hw, h = 2 * hh2, flags = ll->ExtensionFlags;
  const std::vector<double>& rl = Selected->ReconstructionLow;
  const std::vector<double>& rh = Selected->ReconstructionHigh;
  std::vector<double> scratch;
  std::vector<double> lowRows(size_t(hw) * size_t(h)), highRows(size_t(hw) * size_t(h));
  for (int c = 0; c < hw; ++c) {
    SynthesiseLine(ll->Plane.data() + c, lh->Plane.data() + c, size_t(hw), h, rl, rh, scratch, lowRows.data() + c,
                   size_t(hw));
    SynthesiseLine(hl->Plane.data() + c, hh->Plane.data() + c, size_t(hw), h, rl, rh, scratch, highRows.data() + c,
                   size_t(hw));
  }
  std::vector<double> full(size_t(w) * size_t(h));
  for (int r = 0; r < h; ++r)
    SynthesiseLine(lowRows.data() + size_t(r) * size_t(hw), highRows.data() + size_t(r) * size_t(hw), 1, w, rl, rh,
                   scratch, full.data() + size_t(r) * size_t(w), 1);

  // Drop the column / row the decomposition appended.
  const int ow = w - (flags & 1), oh = h - (flags & 2 ? 1 : 0);
  cWaveletTree::sNode& node = tree->Create(nodePath, ow, oh);
  for (int r = 0; r < oh; ++r)
    for (int c = 0; c < ow; ++c)
      node.Plane[size_t(r) * size_t(ow) + size_t(c)] = full[size_t(r) * size_t(w) + size_t(c)];
  for (const char* band : {"/LL", "/LH", "/HL", "/HH"}) tree->Remove(nodePath + band);
  return true;
}
