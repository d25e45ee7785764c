#include "cChambolleSolver.h"

#include <cmath>
#include <cstring>

#include "kvRuntime/cWorkerPool.h"
#include "kvRuntime/kvVectorClones.h"

namespace {
// The time step, 1 / (2 * dimensions): the largest the projection is known to converge with
// in practice.
constexpr double Step = 0.25;

using tReals = double __attribute__((vector_size(32)));

// The sum of n values as four interleaved partial sums (value x into sum x mod 4) combined as
// (s0 + s1) + (s2 + s3): an order the vector loop and the plain reference both keep, so both
// stop at the same iteration.
KV_VECTOR_CLONES double LaneSum(const double* v, int n)
{
  tReals lanes = {0, 0, 0, 0};
  int x = 0;
  for (; x + 4 <= n; x += 4) {
    tReals t;
    std::memcpy(&t, v + x, sizeof t);
    lanes += t;
  }
  double s[4] = {lanes[0], lanes[1], lanes[2], lanes[3]};
  for (; x < n; ++x) s[x & 3] += v[x];
  return (s[0] + s[1]) + (s[2] + s[3]);
}

// u = f + the divergence of the dual field, for one row; p1[x + 1] is column x's horizontal
// part and p1[x] its left neighbour's (zero before the first column), above the vertical part
// of the row above (zero above the first row). The last column is copied past the end, so the
// projection's difference there is zero without a test.
KV_VECTOR_CLONES void FormRow(const double* __restrict f, const double* __restrict above, const double* __restrict p0,
                              const double* __restrict p1, double* __restrict u, double* __restrict squares, int n)
{
  for (int x = 0; x < n; ++x) {
    const double d = (-(p0[x] + p1[x + 1]) + above[x]) + p1[x];
    u[x] = f[x] + d;
    squares[x] = d * d;
  }
  u[n] = u[n - 1];
}

// The projection of one row of the dual field; below is the next row of u (the row itself for
// the last, so the vertical difference there is zero).
KV_VECTOR_CLONES void ProjectRow(const double* __restrict u, const double* __restrict below, double* __restrict p0,
                                 double* __restrict p1, double* __restrict norms, double ratio, int n)
{
  for (int x = 0; x < n; ++x) {
    const double g0 = below[x] - u[x];
    const double g1 = u[x + 1] - u[x];
    const double norm = std::sqrt(g0 * g0 + g1 * g1);
    norms[x] = norm;
    const double scale = norm * ratio + 1.0;
    p0[x] = (p0[x] - Step * g0) / scale;
    p1[x] = (p1[x] - Step * g1) / scale;
  }
}
}  // namespace

bool cChambolleSolver::Solve(const sSettings& settings, const std::vector<double>& f, int width, int height, bool plain,
                             const tProceed& proceed, std::vector<double>& u)
{
  Settings = settings;
  Width = width;
  Height = height;
  ObjectiveTrace.clear();
  EnergyTrace.clear();
  u.resize(size_t(width) * size_t(height));
  if (u.empty()) return true;
  return plain ? SolvePlain(f, proceed, u) : SolveByRows(f, proceed, u);
}

bool cChambolleSolver::Converged(int i, double fit, double variation)
{
  const double n = double(Width) * double(Height);
  ObjectiveTrace.push_back((0.5 * fit + Settings.Weight * variation) / n);
  const double energy = (fit + Settings.Weight * variation) / n;
  EnergyTrace.push_back(energy);
  if (i == 0) {
    FirstEnergy = PreviousEnergy = energy;
    // A flat plane has no gradient: the field stays zero and every u_i is the input.
    return energy == 0;
  }
  if (std::abs(PreviousEnergy - energy) < Settings.Tolerance * FirstEnergy) return true;
  PreviousEnergy = energy;
  return false;
}

bool cChambolleSolver::SolveByRows(const std::vector<double>& f, const tProceed& proceed, std::vector<double>& u)
{
  const int w = Width, h = Height;
  const size_t stride = size_t(w) + 1;
  U.assign(size_t(h) * stride, 0.0);
  P0.assign(size_t(h + 1) * size_t(w), 0.0);
  P1.assign(size_t(h) * stride, 0.0);
  RowFit.assign(size_t(h), 0.0);
  RowVariation.assign(size_t(h), 0.0);
  const double ratio = Step / Settings.Weight;
  for (int i = 0; i < Settings.Iterations; ++i) {
    if (!proceed(i)) return false;
    // Rows of u read only the field, rows of the field only u: each half goes across the cores.
    kvParallelFor(0, h, [&](int first, int end) {
      std::vector<double> squares(size_t(w), 0.0);
      for (int y = first; y < end; ++y) {
        FormRow(f.data() + size_t(y) * w, P0.data() + size_t(y) * w, P0.data() + size_t(y + 1) * w,
                P1.data() + size_t(y) * stride, U.data() + size_t(y) * stride, squares.data(), w);
        RowFit[size_t(y)] = LaneSum(squares.data(), w);
      }
    });
    kvParallelFor(0, h, [&](int first, int end) {
      std::vector<double> norms(size_t(w), 0.0);
      for (int y = first; y < end; ++y) {
        const double* row = U.data() + size_t(y) * stride;
        ProjectRow(row, y + 1 < h ? row + stride : row, P0.data() + size_t(y + 1) * w,
                   P1.data() + size_t(y) * stride + 1, norms.data(), ratio, w);
        RowVariation[size_t(y)] = LaneSum(norms.data(), w);
      }
    });
    double fit = 0, variation = 0;
    for (int y = 0; y < h; ++y) {
      fit += RowFit[size_t(y)];
      variation += RowVariation[size_t(y)];
    }
    if (Converged(i, fit, variation)) break;
  }
  for (int y = 0; y < h; ++y)
    std::memcpy(u.data() + size_t(y) * w, U.data() + size_t(y) * stride, sizeof(double) * size_t(w));
  return true;
}

bool cChambolleSolver::SolvePlain(const std::vector<double>& f, const tProceed& proceed, std::vector<double>& u)
{
  const int w = Width, h = Height;
  std::vector<double> p0(u.size(), 0.0), p1(u.size(), 0.0);
  const double ratio = Step / Settings.Weight;
  for (int i = 0; i < Settings.Iterations; ++i) {
    if (!proceed(i)) return false;
    double fit = 0, variation = 0;
    for (int y = 0; y < h; ++y) {
      double lanes[4] = {0, 0, 0, 0};
      for (int x = 0; x < w; ++x) {
        const size_t at = size_t(y) * w + size_t(x);
        double d = -(p0[at] + p1[at]);
        if (y > 0) d += p0[at - size_t(w)];
        if (x > 0) d += p1[at - 1];
        u[at] = f[at] + d;
        lanes[x & 3] += d * d;
      }
      fit += (lanes[0] + lanes[1]) + (lanes[2] + lanes[3]);
    }
    for (int y = 0; y < h; ++y) {
      double lanes[4] = {0, 0, 0, 0};
      for (int x = 0; x < w; ++x) {
        const size_t at = size_t(y) * w + size_t(x);
        const double g0 = y + 1 < h ? u[at + size_t(w)] - u[at] : 0.0;
        const double g1 = x + 1 < w ? u[at + 1] - u[at] : 0.0;
        const double norm = std::sqrt(g0 * g0 + g1 * g1);
        lanes[x & 3] += norm;
        const double scale = norm * ratio + 1.0;
        p0[at] = (p0[at] - Step * g0) / scale;
        p1[at] = (p1[at] - Step * g1) / scale;
      }
      variation += (lanes[0] + lanes[1]) + (lanes[2] + lanes[3]);
    }
    if (Converged(i, fit, variation)) break;
  }
  return true;
}
