#include "kvOperations/cOperationParameter.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <limits>
#include <locale>
#include <stdexcept>

#include "kvRuntime/kvDiagnostics.h"

KV_UNIT("kvKernel_bpl\\kvOperations\\cOperationParameter");

cOperationParameter::cOperationParameter(const sParameterInfo& info)
    : FParameterType(info.theParameterType), FName(info.ParameterName)
{
  KV_ASSERT(info.MinBound < info.MaxBound, "ParameterInfo.MinBound<ParameterInfo.MaxBound");
  switch (info.theParameterType) {
    case ptInteger:
      KV_ASSERT(IsInteger(info.MinBound), "IsInteger(ParameterInfo.MinBound)");
      KV_ASSERT(IsInteger(info.MaxBound), "IsInteger(ParameterInfo.MaxBound)");
      FPrecision = 0;
      FMinBound = RealToData(info.MinBound);
      FMaxBound = RealToData(info.MaxBound);
      break;
    case ptReal:
      FPrecision = info.Precision;
      // Bounds whose scaled form does not fit 32 bits could never be stored or compared.
      KV_ASSERT(FitsData(info.MinBound) && FitsData(info.MaxBound),
                "FitsData(ParameterInfo.MinBound) && FitsData(ParameterInfo.MaxBound)");
      FMinBound = RealToData(info.MinBound);
      FMaxBound = RealToData(info.MaxBound);
      break;
    case ptBoolean:
      FMinBound = 0;
      FMaxBound = 1;
      break;
    case ptEnumerated:
      FMinBound = 0;
      FMaxBound = int(info.EnumStrings.size());
      FEnumVector = info.EnumStrings;
      break;
    default: KV_ASSERT(false, "false");
  }
  if (FParameterType != ptReal)
    KV_ASSERT(IsInteger(info.DefaultValue), "ParameterInfo.DefaultValue == (double)((int)ParameterInfo.DefaultValue)");
  FValue = FDefaultValue = RealToData(info.DefaultValue);
}

bool cOperationParameter::IsInteger(double x)
{
  if (!(x >= double(INT32_MIN) && x <= double(INT32_MAX))) return false;
  return x == double(int32_t(x));
}

double cOperationParameter::Scaled(double x) const
{
  for (unsigned i = 0; i < FPrecision; ++i) x = x * 10;
  // A typed decimal such as 0.57 scales to 56.99999999999999; a few units in the last place
  // take it back to its grid point, while values truly between grid points still floor.
  return std::floor(x + std::fabs(x) * 8 * std::numeric_limits<double>::epsilon());
}

bool cOperationParameter::FitsData(double x) const
{
  const double scaled = Scaled(x);
  return scaled >= double(INT32_MIN) && scaled <= double(INT32_MAX);
}

int cOperationParameter::RealToData(double x) const
{
  // Out-of-range values (and NaN) saturate instead of converting undefinedly; they then fail
  // the bounds checks of their callers.
  const double scaled = Scaled(x);
  if (scaled >= double(INT32_MAX)) return INT32_MAX;
  if (!(scaled > double(INT32_MIN))) return INT32_MIN;
  return int(scaled);
}

double cOperationParameter::DataToReal(int data) const
{
  double r = double(data);
  for (unsigned i = 0; i < FPrecision; ++i) r = r * 0.1;
  return r;
}

std::string cOperationParameter::GetShortName() const
{
  std::string shortName;
  bool takeNext = true;
  for (char c : FName) {
    if (takeNext) shortName += c;
    takeNext = (c == ' ');
  }
  // Building the user's locale is costly and every result title asks for it: build it once.
  static const std::locale locale = [] {
    try {
      return std::locale("");
    } catch (const std::runtime_error&) {
      return std::locale::classic();  // the environment names a locale this machine lacks
    }
  }();
  for (char& c : shortName) c = std::toupper(c, locale);
  return shortName;
}

int cOperationParameter::GetInteger() const
{
  KV_ASSERT(FParameterType == ptInteger, "FParameterType == ptInteger");
  return FValue;
}

double cOperationParameter::GetReal() const
{
  KV_ASSERT(FParameterType != ptBoolean, "FParameterType != ptBoolean");
  return DataToReal(FValue);
}

bool cOperationParameter::GetBoolean() const
{
  KV_ASSERT(FParameterType == ptBoolean, "FParameterType == ptBoolean");
  return FValue != 0;
}

int cOperationParameter::GetEnumSelectedIndex() const
{
  KV_ASSERT(FParameterType == ptEnumerated, "FParameterType == ptEnumerated");
  KV_ASSERT(FEnumVector.size() != 0, "FEnumVector.size() != 0");
  return FValue;
}

void cOperationParameter::SetValue(int theInteger)
{
  switch (FParameterType) {
    case ptInteger:
      KV_ASSERT((FMinBound <= theInteger) && (theInteger <= FMaxBound),
                "(FMinBound<=theInteger)&&(theInteger<=FMaxBound)");
      FValue = theInteger;
      break;
    case ptReal: SetValue(double(theInteger)); break;
    case ptBoolean: FValue = theInteger != 0 ? 1 : 0; break;
    case ptEnumerated:
      KV_ASSERT(theInteger >= 0, "theInteger >= 0");
      KV_ASSERT((unsigned int)theInteger < FEnumVector.size(), "(unsigned int)theInteger < FEnumVector.size()");
      KV_ASSERT((FMinBound <= theInteger) && (theInteger <= FMaxBound),
                "(FMinBound<=theInteger)&&(theInteger<=FMaxBound)");
      FValue = theInteger;
      break;
    default: KV_ASSERT(false, "false");
  }
}

void cOperationParameter::SetValue(double value)
{
  KV_ASSERT(FParameterType == ptReal, "FParameterType == ptReal");
  const int tempValue = RealToData(value);
  KV_ASSERT((FMinBound <= tempValue) && (tempValue <= FMaxBound), "(FMinBound<=TempValue)&&(TempValue<=FMaxBound)");
  FValue = tempValue;
}

void cOperationParameter::SetValue(bool value)
{
  KV_ASSERT(FParameterType == ptBoolean, "FParameterType == ptBoolean");
  SetValue(value ? 1 : 0);
}

void cOperationParameter::GetBounds(double& min, double& max, uint8_t& precision) const
{
  KV_ASSERT(FParameterType != ptBoolean, "FParameterType != ptBoolean");
  min = DataToReal(FMinBound);
  max = DataToReal(FMaxBound);
  precision = FPrecision;
}

void cOperationParameter::GetBounds(int& min, int& max) const
{
  KV_ASSERT((FParameterType == ptInteger) || (FParameterType == ptEnumerated),
            "(FParameterType == ptInteger) || (FParameterType == ptEnumerated)");
  min = FMinBound;
  max = FMaxBound;
}

int cOperationParameter::GetEnumStringCount() const
{
  KV_ASSERT(FParameterType == ptEnumerated, "FParameterType == ptEnumerated");
  return int(FEnumVector.size());
}

const std::string& cOperationParameter::GetEnumString(unsigned Index) const
{
  KV_ASSERT(FParameterType == ptEnumerated, "FParameterType == ptEnumerated");
  KV_ASSERT(Index < FEnumVector.size(), "Index < FEnumVector.size()");
  return FEnumVector[Index];
}
