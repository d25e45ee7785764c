#pragma once
// Total-variation denoising of one plane by Chambolle's dual projection algorithm (time step
// 1/4): the result u minimises 1/2 |u - f|^2 + Weight * TV(u), TV the sum of the gradient
// norms by forward differences (none across the plane's edges).
//
// Iterations and the stopping rule follow scikit-image's denoise_tv_chambolle, so its users get
// the same pictures for the same settings: iteration i first forms u_i from the dual field (u_0
// is the input), then projects the field; the run ends after Iterations iterations, or once
// the stop energy E_i = (|u_i - f|^2 + Weight * TV(u_i)) / N changes by less than
// Tolerance * E_0, and gives the last u_i formed. (E is that library's measure of progress,
// not the objective itself, whose fit term has the factor 1/2.)
#include <functional>
#include <vector>

class cChambolleSolver {
public:
  struct sSettings {
    double Weight = 0.1;
    int Iterations = 200;
    double Tolerance = 0.0002;
  };
  // Asked before iteration i; false stops the run.
  using tProceed = std::function<bool(int iteration)>;

  // f: width x height values, row after row. plain: the straightforward reference, one sample
  // at a time on this thread; otherwise rows in vector loops across the kernel's worker
  // threads. Both give the same values. Returns false when stopped (u then holds no result).
  bool Solve(const sSettings& settings, const std::vector<double>& f, int width, int height, bool plain,
             const tProceed& proceed, std::vector<double>& u);

  // The objective 1/2 |u_i - f|^2 + Weight * TV(u_i), per sample, of every u_i the last Solve
  // formed.
  const std::vector<double>& Objectives() const { return ObjectiveTrace; }
  // The stop energy E_i of every u_i the last Solve formed.
  const std::vector<double>& Energies() const { return EnergyTrace; }

private:
  bool SolveByRows(const std::vector<double>& f, const tProceed& proceed, std::vector<double>& u);
  bool SolvePlain(const std::vector<double>& f, const tProceed& proceed, std::vector<double>& u);
  // Records iteration i's sums (|u_i - f|^2 and TV(u_i)) and says whether the run ends there.
  bool Converged(int i, double fit, double variation);

  sSettings Settings;
  int Width = 0;
  int Height = 0;
  double FirstEnergy = 0;
  double PreviousEnergy = 0;
  std::vector<double> ObjectiveTrace, EnergyTrace;
  // The row form's planes, kept between runs: u with a copy of its last column after each row
  // (so the last column's difference is zero), the dual field's vertical part with a zero row
  // above the first, its horizontal part with a zero column before the first, and the sums of
  // every row.
  std::vector<double> U, P0, P1, RowFit, RowVariation;
};
