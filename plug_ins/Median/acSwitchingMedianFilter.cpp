#include "acSwitchingMedianFilter.h"

#include <algorithm>

acSwitchingMedianFilter::acSwitchingMedianFilter(const char* name)
{
  Describe(name, "Detector Median Filters", otFilter, fmParamDialog);
  DetectorSizeParam = Params->AddInteger("Detector window size", 1, 27, 5);
  FilterSizeParam = Params->AddInteger("Filter window size", 1, 27, 3);
}

void acSwitchingMedianFilter::ReadWindowSizes()
{
  DetectorSize = uint8_t(std::clamp((*Params)[DetectorSizeParam].GetInteger(), 1, 255));
  FilterSize = uint8_t(std::clamp((*Params)[FilterSizeParam].GetInteger(), 1, 255));
}

void acSwitchingMedianFilter::RegionRows(const tTerminateFlag& terminated, int h, unsigned progressFrom,
                                         unsigned progressTo, const std::function<void(int r)>& row)
{
  DriveRows(
      terminated, true,
      [&](int y) {
        if (y - int(FirstRow) < h) row(y - int(FirstRow));
      },
      progressFrom, progressTo);
}
