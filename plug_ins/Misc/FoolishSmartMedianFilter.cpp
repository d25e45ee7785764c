#include "FoolishSmartMedianFilter.h"

FoolishSmartMedianFilter::FoolishSmartMedianFilter()
{
  Name = "Foolish detector-Smart filter";
}
