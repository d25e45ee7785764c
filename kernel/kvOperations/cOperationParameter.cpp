#include "cOperationParameter.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <limits>
#include <locale>
#include <stdexcept>

#include "kvDiagnostics.h"

#define UNIT "kvKernel_bpl\\kvOperations\\cOperationParameter"

cOperationParameter::cOperationParameter(const sParameterInfo& info)
    : FParameterType(info.theParameterType), FName(info.ParameterName)
{
  KV_ASSERT_TEXT(info.MinBound < info.MaxBound, "ParameterInfo.MinBound<ParameterInfo.MaxBound", UNIT);
  switch (info.theParameterType) {
    case ptInteger:
      KV_ASSERT_TEXT(IsInteger(info.MinBound), "IsInteger(ParameterInfo.MinBound)", UNIT);
      KV_ASSERT_TEXT(IsInteger(info.MaxBound), "IsInteger(ParameterInfo.MaxBound)", UNIT);
      FPrecision = 0;
      FMinBound = RealToData(info.MinBound);
      FMaxBound = RealToData(info.MaxBound);
      break;
    case ptReal:
      FPrecision = info.Precision;
      // Bounds whose scaled form does not fit 32 bits could never be stored or compared.
      KV_ASSERT_TEXT(FitsData(info.MinBound) && FitsData(info.MaxBound),
                     "FitsData(ParameterInfo.MinBound) && FitsData(ParameterInfo.MaxBound)", UNIT);
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
    default:
      KV_ASSERT(false, UNIT);
  }
  if (FParameterType != ptReal)
    KV_ASSERT_TEXT(IsInteger(info.DefaultValue),
                   "ParameterInfo.DefaultValue == (double)((int)ParameterInfo.DefaultValue)", UNIT);
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
  KV_ASSERT(FParameterType == ptInteger, UNIT);
  return FValue;
}

double cOperationParameter::GetReal() const
{
  KV_ASSERT(FParameterType != ptBoolean, UNIT);
  return DataToReal(FValue);
}

bool cOperationParameter::GetBoolean() const
{
  KV_ASSERT(FParameterType == ptBoolean, UNIT);
  return FValue != 0;
}

int cOperationParameter::GetEnumSelectedIndex() const
{
  KV_ASSERT(FParameterType == ptEnumerated, UNIT);
  KV_ASSERT(FEnumVector.size() != 0, UNIT);
  return FValue;
}

void cOperationParameter::SetValue(int theInteger)
{
  switch (FParameterType) {
    case ptInteger:
      KV_ASSERT_TEXT((FMinBound <= theInteger) && (theInteger <= FMaxBound),
                     "(FMinBound<=theInteger)&&(theInteger<=FMaxBound)", UNIT);
      FValue = theInteger;
      break;
    case ptReal:
      SetValue(double(theInteger));
      break;
    case ptBoolean:
      FValue = theInteger != 0 ? 1 : 0;
      break;
    case ptEnumerated:
      KV_ASSERT(theInteger >= 0, UNIT);
      KV_ASSERT((unsigned int)theInteger < FEnumVector.size(), UNIT);
      KV_ASSERT_TEXT((FMinBound <= theInteger) && (theInteger <= FMaxBound),
                     "(FMinBound<=theInteger)&&(theInteger<=FMaxBound)", UNIT);
      FValue = theInteger;
      break;
    default:
      KV_ASSERT(false, UNIT);
  }
}

void cOperationParameter::SetValue(double value)
{
  KV_ASSERT(FParameterType == ptReal, UNIT);
  const int TempValue = RealToData(value);
  KV_ASSERT_TEXT((FMinBound <= TempValue) && (TempValue <= FMaxBound),
                 "(FMinBound<=TempValue)&&(TempValue<=FMaxBound)", UNIT);
  FValue = TempValue;
}

void cOperationParameter::SetValue(bool value)
{
  KV_ASSERT(FParameterType == ptBoolean, UNIT);
  SetValue(value ? 1 : 0);
}

void cOperationParameter::GetBounds(double& min, double& max, uint8_t& precision) const
{
  KV_ASSERT(FParameterType != ptBoolean, UNIT);
  min = DataToReal(FMinBound);
  max = DataToReal(FMaxBound);
  precision = FPrecision;
}

void cOperationParameter::GetBounds(int& min, int& max) const
{
  KV_ASSERT((FParameterType == ptInteger) || (FParameterType == ptEnumerated), UNIT);
  min = FMinBound;
  max = FMaxBound;
}

int cOperationParameter::GetEnumStringCount() const
{
  KV_ASSERT(FParameterType == ptEnumerated, UNIT);
  return int(FEnumVector.size());
}

const std::string& cOperationParameter::GetEnumString(unsigned Index) const
{
  KV_ASSERT(FParameterType == ptEnumerated, UNIT);
  KV_ASSERT(Index < FEnumVector.size(), UNIT);
  return FEnumVector[Index];
}
