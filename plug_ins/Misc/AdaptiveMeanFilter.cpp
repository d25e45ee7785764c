#include "AdaptiveMeanFilter.h"

AdaptiveMeanFilter::AdaptiveMeanFilter()
{
  Name = "Tamsel Filter";
}
