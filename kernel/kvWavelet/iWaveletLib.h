#pragma once
// Interface of the wavelet library: named trees of real planes, decomposed one level at a time.
#include <string>

// One node of a tree, returned by value. Data addresses the node's plane (row-major, element
// (x, y) at y * Width + x) and stays valid until the node is decomposed or its tree deleted.
struct sLeaf {
  double* Data = nullptr;
  int Width = 0;
  int Height = 0;
  // 1 = a column was appended before the parent was decomposed, 2 = a row, 3 = both.
  int ExtensionFlags = 0;
};

class iWaveletLib {
public:
  virtual ~iWaveletLib() = default;

  // Three slots kept for interface compatibility; they do nothing in this library.
  virtual void Reserved0() = 0;
  virtual void Reserved1(const std::string& name) = 0;
  virtual void Reserved2(const std::string& name) = 0;

  // leafPath: tree name, ":", node path ("" for the root, "/LL", "/LL/HH", ...).
  // An unknown leaf gives a record without data.
  virtual sLeaf GetLeaf(const std::string& leafPath) = 0;
  // Creates (or replaces) a tree whose root plane the caller fills.
  virtual sLeaf CreateTree(const std::string& name, int width, int height) = 0;
  virtual void DeleteTree(const std::string& name) = 0;
  virtual void SetWavelet(const std::string& bankName) = 0;
  // Replaces the node by its four subbands LL, LH, HL, HH; false when it cannot.
  virtual bool Decompose(const std::string& leafPath) = 0;
  // Merges the four subbands below leafPath back into that node; false when they are missing.
  virtual bool Reconstruct(const std::string& leafPath) = 0;
};
