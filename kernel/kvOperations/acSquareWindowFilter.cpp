#include "kvOperations/acSquareWindowFilter.h"

#include <algorithm>

#include "kvOperations/kvWindowSums.h"

void acSquareWindowFilter::DeclareWindowSize(int defaultSize)
{
  WindowSize = uint8_t(defaultSize);
  WindowParam = Params->AddInteger("Window size", 1, 27, defaultSize);
}

void acSquareWindowFilter::ReadWindowSize()
{
  WindowSize = uint8_t(std::clamp((*Params)[WindowParam].GetInteger(), 1, 255));
}

acSingleChannelOperation::sRowForm acSquareWindowFilter::RowForm() const
{
  return {true, Window(), true, false};
}

void acSquareWindowFilter::WindowSums(const sWindowRows& in, int count, std::vector<int32_t>& sums,
                                      std::vector<int32_t>& squares) const
{
  kvWindowSums(in.Rows, in.Channels, count, Window(), sums, squares);
}
