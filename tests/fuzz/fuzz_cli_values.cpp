// The command-line program's value parsing under the fuzzer: numbers, seeds and "NAME=VALUE"
// settings for parameters of every kind. A usage error is the expected answer to nonsense;
// any other exception, a crash or a sanitizer report is a finding.
#include <cstdint>
#include <string>

#include "ParameterInfoBuilder.h"
#include "cArgumentReader.h"
#include "cCliError.h"
#include "cNameMatcher.h"
#include "cParameterAssigner.h"
#include "kvOperations/cOperationParams.h"

namespace {
cOperationParams MakeParams()
{
  cOperationParams params;
  sParameterInfo kind = kvtest::Info(ptEnumerated, "Kind", 0, 2, 0, 0);
  for (const char* choice : {"Magnitude", "Phase", "Both"}) kind.AddEnumString(choice);
  params.AddNewParam(kvtest::Info(ptInteger, "Width size", 1, 25, 3, 0));
  params.AddNewParam(kvtest::Info(ptReal, "Noise percent", 0, 1, 0.2, 2));
  params.AddNewParam(kvtest::Info(ptReal, "Sigma", -1000, 1000, 0, 3));
  params.AddNewParam(kvtest::Info(ptBoolean, "Adaptive", 0, 1, 0, 0));
  params.AddNewParam(kind);
  return params;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size == 0) return 0;
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  try {
    switch (data[0] % 5) {
      case 0: {
        double value = 0;
        cArgumentReader::ParseDouble(text, value);
        cArgumentReader::RequireDouble(text, "--scale");
        break;
      }
      case 1: {
        long long value = 0;
        cArgumentReader::ParseInt(text, value);
        cArgumentReader::RequireInt(text, "--region");
        break;
      }
      case 2: cArgumentReader::RequireSeed(text); break;
      case 3: {
        static cOperationParams params = MakeParams();
        cOperationParams copy(params);
        cParameterAssigner::Assign(copy, text, "Fuzzed Operation");
        for (int i = 0; i < copy.GetParamsCount(); ++i) cParameterAssigner::ValueText(*copy.GetParam(unsigned(i)));
        copy.GetShortInfo();
        break;
      }
      default:
        cNameMatcher::Suggestion(text, {"Median Filter", "Salt-and-Pepper Noise", "Invert", "ROAD filter"});
        break;
    }
  } catch (const cCliError&) {}
  return 0;
}
