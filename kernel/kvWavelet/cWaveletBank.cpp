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

  // Orthogonal banks to full double precision (Daubechies, "Ten Lectures on Wavelets", tables
  // 6.1 and 6.3), so that analysis followed by synthesis gives the input back.
  AddOrthogonal("haar", {0.70710678118654752, 0.70710678118654752});
  AddOrthogonal("db2", {-0.12940952255126037, 0.2241438680420134, 0.8365163037378079, 0.48296291314453416});
  AddOrthogonal("db4", {-0.010597401785069032, 0.0328830116668852, 0.030841381835560764, -0.18703481171909309,
                        -0.027983769416859854, 0.6308807679298589, 0.7148465705529157, 0.2303778133088965});
  AddOrthogonal("db8", {-0.00011747678412476953, 0.0006754494064505693, -0.00039174037337694705, -0.004870352993451574,
                        0.008746094047405777, 0.013981027917398282, -0.044088253930794755, -0.017369301001807547,
                        0.12874742662047847, 0.0004724845739132828, -0.2840155429615469, -0.015829105256349306,
                        0.5853546836542067, 0.6756307362972898, 0.31287159091429995, 0.05441584224310401});
  AddOrthogonal("sym8", {-0.0033824159510061256, -0.0005421323317911481, 0.03169508781149298, 0.007607487324917605,
                         -0.1432942383508097, -0.061273359067658524, 0.4813596512583722, 0.7771857517005235,
                         0.3644418948353314, -0.05194583810770904, -0.027219029917056003, 0.049137179673607506,
                         0.003808752013890615, -0.01495225833704823, -0.0003029205147213668, 0.0018899503327594609});
}

void cWaveletBank::AddOrthogonal(const std::string& name, const std::vector<double>& low)
{
  // The quadrature mirror of the low-pass filter; synthesis uses both filters reversed.
  const size_t length = low.size();
  std::vector<double> high(length);
  for (size_t j = 0; j < length; ++j) high[j] = (j % 2 ? 1.0 : -1.0) * low[length - 1 - j];
  Add({name, low, high, {low.rbegin(), low.rend()}, {high.rbegin(), high.rend()}});
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
