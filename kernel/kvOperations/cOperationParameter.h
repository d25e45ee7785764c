#pragma once
// One typed, bounded parameter held as a scaled integer: a real value with precision p is
// stored as floor(value * 10^p), so all bounds checks are integer comparisons.
#include <cstdint>
#include <string>
#include <vector>

#include "kvOperations/sParameterInfo.h"

class cOperationParameter {
public:
  explicit cOperationParameter(const sParameterInfo& info);
  cOperationParameter(const cOperationParameter&) = default;
  cOperationParameter& operator=(const cOperationParameter&) = default;

  eParameterType GetType() const { return FParameterType; }
  const std::string& GetName() const { return FName; }
  std::string GetShortName() const;

  int GetInteger() const;
  double GetReal() const;
  bool GetBoolean() const;
  int GetEnumSelectedIndex() const;

  void SetValue(int value);
  void SetValue(double value);
  void SetValue(bool value);

  static bool IsInteger(double x);
  // floor(x * 10^precision); values beyond 32 bits saturate.
  int RealToData(double x) const;
  // Whether x scales to a 32-bit value without saturating.
  bool FitsData(double x) const;
  double DataToReal(int data) const;

  void GetBounds(double& min, double& max, uint8_t& precision) const;
  void GetBounds(int& min, int& max) const;
  int GetEnumStringCount() const;
  // A position past the end is a failed precondition.
  const std::string& GetEnumString(unsigned index) const;
  void ResetToDefault() { FValue = FDefaultValue; }

  // The scaled value as stored.
  int GetRawValue() const { return FValue; }
  int GetRawDefault() const { return FDefaultValue; }
  uint8_t GetPrecision() const { return FPrecision; }

private:
  double Scaled(double x) const;

  eParameterType FParameterType;
  uint8_t FPrecision = 0;
  int FValue = 0;
  int FDefaultValue = 0;
  int FMinBound = 0;
  int FMaxBound = 0;
  std::string FName;
  std::vector<std::string> FEnumVector;
};
