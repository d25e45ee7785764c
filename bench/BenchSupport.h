#pragma once
// Packages loaded as the system loads them (with the host and hub their registration reports
// to), and one operation of a package run on a 512 x 512 grey or colour picture.
#include <benchmark/benchmark.h>

#include <initializer_list>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "kvImages/cImage.h"
#include "kvMessages/cMessenger.h"
#include "kvMessages/cObservableSubject.h"
#include "kvMessages/cPlainEventLoop.h"
#include "kvOperations/cOperationPool.h"

namespace kvbench {

class cLoadedPackage {
public:
  cLoadedPackage(std::initializer_list<std::string> files) : cLoadedPackage(std::vector<std::string>(files)) {}
  explicit cLoadedPackage(const std::vector<std::string>& files)
  {
    cMessenger::SetHost(&Loop);
    Hub.Install(&Loop);
    ObservableSubject = &Hub;
    Pool = std::make_unique<cOperationPool>();
    for (const std::string& file : files) Pool->LoadOperationsFromPackage(std::string(KV_PLUGIN_DIR) + file);
  }
  explicit cLoadedPackage(const std::string& file) : cLoadedPackage({file}) {}
  ~cLoadedPackage()
  {
    Pool.reset();
    Hub.Uninstall();
    ObservableSubject = nullptr;
    cMessenger::SetHost(nullptr);
  }
  // nullptr when no loaded package has the operation.
  acOperation* Find(const std::string& name)
  {
    const unsigned uid = Pool->FindUIDByName(name);
    return uid ? Pool->LookForOperationByUID(uid) : nullptr;
  }
  // Every operation's name in UID order, the kernel's own resampling first.
  std::vector<std::string> Names() const
  {
    std::vector<std::string> names;
    for (unsigned uid = 1; uid <= Pool->GetOperationsCount(); ++uid) {
      std::string group, name, type;
      Pool->GetOperationGroupAndName(uid, group, name, type);
      names.push_back(name);
    }
    return names;
  }

private:
  cPlainEventLoop Loop;
  cObservableSubject Hub;
  std::unique_ptr<cOperationPool> Pool;
};

// Sets a parameter by name; an unknown name skips the benchmark with the reason rather than
// timing the wrong setting.
template <class tValue>
bool SetParam(benchmark::State& state, acOperation& op, const std::string& name, tValue value)
{
  const int index = op.GetParams()->FindParam(name);
  if (index < 0) {
    state.SkipWithError((op.GetName() + " has no parameter " + name).c_str());
    return false;
  }
  op.GetParams()->GetParam(unsigned(index))->SetValue(value);
  return true;
}

// A picture with smooth content and some impulses, so the filters do their usual work.
inline void MakePicture(cImage& image, int channels)
{
  image.SetSize(512, 512, channels);
  cBMPSurface& s = *image.GetSurface();
  std::mt19937 rng(5);
  for (int y = 0; y < 512; ++y)
    for (int x = 0; x < 512; ++x)
      for (int c = 0; c < channels; ++c) {
        s.CurrentChannel = c;
        const unsigned r = rng();
        s.SetPixel(x, y, uint8_t(r % 20 == 0 ? (r & 0x100 ? 255 : 0) : (x + 2 * y + 40 * c) / 4 % 256));
      }
}

// Times op on source, one run per iteration; itemsPerRun counts the samples one run covers.
inline void TimeRuns(benchmark::State& state, acOperation& op, cImage& source, int64_t itemsPerRun)
{
  cImage result;
  op.SetInterfaces(&source, &result);
  tTerminateFlag terminated{false};
  for (auto _ : state) {
    op.Execute(terminated);
    benchmark::DoNotOptimize(result.GetSurface()->Row(0));
  }
  state.SetItemsProcessed(state.iterations() * itemsPerRun);
}

// Runs one operation of a package on a picture of side x side pixels made by makePicture(image,
// channels), with state.range(0) channels.
inline void RunFilter(benchmark::State& state, const std::string& package, const std::string& name,
                      void (*makePicture)(cImage&, int) = MakePicture, int64_t side = 512)
{
  cLoadedPackage loaded(package);
  acOperation* op = loaded.Find(name);
  if (!op) {
    state.SkipWithError(("operation not found: " + name).c_str());
    return;
  }
  cImage source;
  makePicture(source, int(state.range(0)));
  TimeRuns(state, *op, source, side * side * state.range(0));
}

// One operation of a package, benchmarked at its default parameters as Id (plus a suffix).
struct sFilterBench {
  std::string Id, Package, Name;
};

// One benchmark per operation, grey (1) and colour (3), on pictures made by makePicture.
inline bool RegisterFilters(const std::vector<sFilterBench>& filters, const std::string& suffix = "",
                            void (*makePicture)(cImage&, int) = MakePicture, int64_t side = 512)
{
  for (const sFilterBench& f : filters)
    benchmark::RegisterBenchmark(
        (f.Id + suffix).c_str(),
        [f, makePicture, side](benchmark::State& state) { RunFilter(state, f.Package, f.Name, makePicture, side); })
        ->Arg(1)
        ->Arg(3)
        ->Unit(benchmark::kMillisecond);
  return true;
}

}  // namespace kvbench
