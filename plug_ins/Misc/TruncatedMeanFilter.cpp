#include "TruncatedMeanFilter.h"

TruncatedMeanFilter::TruncatedMeanFilter()
{
  Name = "Truncated Mean";
}
