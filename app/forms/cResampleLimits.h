#pragma once
// The resample dialog's arithmetic, free of widgets: limits of the new size in pixels and
// percent, and how a value typed into one of the four fields moves the others.
#include <string>

class cResampleLimits {
public:
  void Setup(unsigned width, unsigned height);
  void SetConstrained(bool constrained);
  bool IsConstrained() const { return Constrained; }
  // Back to the source size at 100 % with fresh limits (the constraint box was ticked).
  void Reset();

  // Each returns the message to show when the value had to be clamped, else "".
  std::string WidthPxChanged(double value);
  std::string HeightPxChanged(double value);
  std::string WidthPercentChanged(double value);
  std::string HeightPercentChanged(double value);

  unsigned SourceWidth = 0, SourceHeight = 0;
  int NewWidth = 0, NewHeight = 0;
  float WidthPercent = 100, HeightPercent = 100;
  float MaxWidthPx = 0, MaxHeightPx = 0, MaxWidthPercent = 0, MaxHeightPercent = 0;
  float MinWidthPx = 0, MinHeightPx = 0, MinWidthPercent = 0, MinHeightPercent = 0;

  static constexpr int Largest = 10000;

private:
  void ComputeLimits();
  std::string PxChanged(double value, bool width);
  std::string PercentChanged(double value, bool width);

  bool Constrained = true;
};

// The general float-to-text form of the messages ("5000", "2.5").
std::string GeneralNumber(double value);
