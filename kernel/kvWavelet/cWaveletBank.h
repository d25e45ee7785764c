#pragma once
// The table of named filter banks the library can select.
#include <map>
#include <string>
#include <vector>

#include "kvWavelet/cWavelet.h"

class cWaveletBank {
public:
  cWaveletBank();
  // nullptr for a name that is not in the bank.
  const cWavelet* Find(const std::string& name) const;

private:
  void Add(cWavelet wavelet);
  void AddOrthogonal(const std::string& name, const std::vector<double>& low);
  std::map<std::string, cWavelet> Wavelets;
};
