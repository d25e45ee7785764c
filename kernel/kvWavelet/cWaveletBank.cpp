#include "kvWavelet/cWaveletBank.h"

cWaveletBank::cWaveletBank()
{
  // The coefficients are used exactly as tabulated (rounded to four or five decimals).
  Add({"doubeshies_9_7",
       {0, 0.0378, -0.0238, -0.1106, 0.3774, 0.8527, 0.3774, -0.1106, -0.0238, 0.0378},
       {0, -0.0645, 0.0407, 0.4181, -0.7885, 0.4181, 0.0407, -0.0645, 0, 0},
       {0, -0.0645, -0.0407, 0.4181, 0.7885, 0.4181, -0.0407, -0.0645, 0, 0},
       {0, -0.0378, -0.0238, 0.1106, 0.3774, -0.8527, 0.3774, 0.1106, -0.0238, -0.0378}});
  Add({"doubeshies_1", {0.70711, 0.70711}, {-0.70711, 0.70711}, {0.70711, 0.70711}, {0.70711, -0.70711}});
  Add({"doubeshies_2",
       {-0.12941, 0.22414, 0.83652, 0.48296},
       {-0.48296, 0.83652, -0.22414, -0.12941},
       {0.48296, 0.83652, 0.22414, -0.12941},
       {-0.12941, -0.22414, 0.83652, -0.48296}});
  Add({"doubeshies_3",
       {0.0352, -0.0854, -0.135, 0.4599, 0.8069, 0.3327},
       {-0.3327, 0.8069, -0.4599, -0.135, 0.0854, 0.0352},
       {0.3327, 0.8069, 0.4599, -0.135, -0.0854, 0.0352},
       {0.0352, 0.0854, -0.135, -0.4599, 0.8069, -0.3327}});
}

void cWaveletBank::Add(cWavelet wavelet)
{
  std::string name = wavelet.Name;
  Wavelets.emplace(std::move(name), std::move(wavelet));
}

const cWavelet* cWaveletBank::Find(const std::string& name) const
{
  auto it = Wavelets.find(name);
  return it == Wavelets.end() ? nullptr : &it->second;
}
