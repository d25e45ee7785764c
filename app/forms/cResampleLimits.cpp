#include "cResampleLimits.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {
int Round(double x)
{
  return int(std::floor(x + 0.5));
}

std::string Between(double min, double max)
{
  return "Set value between " + GeneralNumber(min) + " and " + GeneralNumber(max);
}
}  // namespace

std::string GeneralNumber(double value)
{
  char text[64];
  std::snprintf(text, sizeof text, "%.15g", value);
  return text;
}

void cResampleLimits::Setup(unsigned width, unsigned height)
{
  SourceWidth = width;
  SourceHeight = height;
  Reset();
}

void cResampleLimits::Reset()
{
  NewWidth = int(SourceWidth);
  NewHeight = int(SourceHeight);
  WidthPercent = HeightPercent = 100;
  ComputeLimits();
}

void cResampleLimits::SetConstrained(bool constrained)
{
  // Unticking keeps the limits as they are; ticking starts again from the source size.
  Constrained = constrained;
  if (constrained) Reset();
}

void cResampleLimits::ComputeLimits()
{
  const double w = std::max(1u, SourceWidth), h = std::max(1u, SourceHeight);
  if (Constrained) {
    if (h < w) {
      MaxWidthPx = Largest;
      MaxHeightPx = float(Round(h / w * Largest));
    } else {
      MaxHeightPx = Largest;
      MaxWidthPx = float(Round(w / h * Largest));
    }
    if (w < h) {
      MinWidthPx = 1;
      MinHeightPx = float(Round(h / w));
    } else {
      MinHeightPx = 1;
      MinWidthPx = float(Round(w / h));
    }
  } else {
    MaxWidthPx = MaxHeightPx = Largest;
    MinWidthPx = MinHeightPx = 1;
  }
  MaxWidthPercent = float(MaxWidthPx / w * 100);
  MaxHeightPercent = float(MaxHeightPx / h * 100);
  MinWidthPercent = float(MinWidthPx / w * 100);
  MinHeightPercent = float(MinHeightPx / h * 100);
}

std::string cResampleLimits::PxChanged(double value, bool width)
{
  int& side = width ? NewWidth : NewHeight;
  int& other = width ? NewHeight : NewWidth;
  float& percent = width ? WidthPercent : HeightPercent;
  float& otherPercent = width ? HeightPercent : WidthPercent;
  const float max = width ? MaxWidthPx : MaxHeightPx, min = width ? MinWidthPx : MinHeightPx;
  const float otherMax = width ? MaxHeightPx : MaxWidthPx, otherMin = width ? MinHeightPx : MinWidthPx;
  const double source = std::max(1u, width ? SourceWidth : SourceHeight);
  const double otherSource = std::max(1u, width ? SourceHeight : SourceWidth);

  std::string message;
  side = int(std::trunc(value));
  if (side > max || side < min) {
    side = int(std::trunc(side > max ? max : min));
    message = Between(min, max);
  }
  percent = float(side * 100.0 / source);
  if (Constrained) {
    otherPercent = percent;
    other = std::clamp(Round(0.01 * otherSource * otherPercent), int(otherMin), int(otherMax));
  }
  return message;
}

std::string cResampleLimits::PercentChanged(double value, bool width)
{
  float& percent = width ? WidthPercent : HeightPercent;
  float& otherPercent = width ? HeightPercent : WidthPercent;
  const float max = width ? MaxWidthPercent : MaxHeightPercent, min = width ? MinWidthPercent : MinHeightPercent;
  std::string message;
  percent = float(value);
  if (percent > max || percent < min) {
    percent = percent > max ? max : min;
    message = Between(min, max);
  }
  if (Constrained) otherPercent = percent;
  NewWidth = std::clamp(Round(0.01 * SourceWidth * WidthPercent), int(MinWidthPx), int(MaxWidthPx));
  NewHeight = std::clamp(Round(0.01 * SourceHeight * HeightPercent), int(MinHeightPx), int(MaxHeightPx));
  return message;
}

std::string cResampleLimits::WidthPxChanged(double value)
{
  return PxChanged(value, true);
}
std::string cResampleLimits::HeightPxChanged(double value)
{
  return PxChanged(value, false);
}
std::string cResampleLimits::WidthPercentChanged(double value)
{
  return PercentChanged(value, true);
}
std::string cResampleLimits::HeightPercentChanged(double value)
{
  return PercentChanged(value, false);
}
