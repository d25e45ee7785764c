// Operations with predictable results for driving the analyzer window, loaded from a folder of
// their own (never from plug-ins/).
#include <algorithm>
#include <chrono>
#include <thread>

#include "ParameterInfoBuilder.h"
#include "kvOperations/acOperation.h"
#include "kvOperations/cPackageOperations.h"

namespace {
using kvtest::Info;

// Adds the whole part of "Amount" plus "Extra" to every sample: the static "Extra" shows
// whether edits of the static parameters reach the experiment.
class OffsetNoise : public acOperation {
public:
  OffsetNoise()
  {
    Describe("Test Offset Noise", "Test Noises", otNoise, fmNoDialog);
    Params->AddNewParam(Info(ptReal, "Amount", 0, 100, 0, 1));
    Params->AddNewParam(Info(ptInteger, "Extra", 0, 50, 0, 0));
  }
  void OperationItself(const tTerminateFlag&) override
  {
    const unsigned add = unsigned(Params->GetParam(0)->GetReal()) + unsigned(Params->GetParam(1)->GetInteger());
    const unsigned channels = unsigned(ResultSurface->GetChannelsCount());
    for (unsigned y = FirstRow; y < EndRow; ++y) {
      uint8_t* row = ResultSurface->Row(int(y));
      for (unsigned i = FirstColumn * channels; i < EndColumn * channels; ++i)
        row[i] = uint8_t(std::min(255u, row[i] + add));
    }
  }
};

// A noise without a numeric parameter: nothing to sweep.
class FlagsNoise : public acOperation {
public:
  FlagsNoise()
  {
    Describe("Test Flags Noise", "Test Noises", otNoise, fmNoDialog);
    Params->AddNewParam(Info(ptBoolean, "Recursive", 0, 1, 0, 0));
    sParameterInfo kind = Info(ptEnumerated, "Kind", 0, 1, 0, 0);
    kind.AddEnumString("One");
    kind.AddEnumString("Two");
    Params->AddNewParam(kind);
  }
};

// Leaves the picture as it is: identical to the reference where nothing was added.
class IdentityFilter : public acOperation {
public:
  IdentityFilter()
  {
    Describe("Test Identity", "Test Filters", otFilter, fmNoDialog);
    Params->AddNewParam(Info(ptInteger, "Window", 1, 9, 3, 0));
  }
};

// Takes long enough for the window to be used while it runs.
class SlowFilter : public acOperation {
public:
  SlowFilter() { Describe("Test Slow Filter", "Test Filters", otFilter, fmNoDialog); }
  void OperationItself(const tTerminateFlag&) override { std::this_thread::sleep_for(std::chrono::milliseconds(120)); }
};

cPackageOperations<OffsetNoise, FlagsNoise, IdentityFilter, SlowFilter> Package;
}  // namespace

extern "C" void GLO(tOperationsList& list)
{
  Package.AppendTo(list);
}
