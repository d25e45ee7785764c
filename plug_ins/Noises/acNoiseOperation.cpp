#include "acNoiseOperation.h"

#include "kvDiagnostics.h"

acNoiseOperation::acNoiseOperation()
{
  OperationType = otNoise;
  FormMode = 1;
  TotalVariation = false;
}

void acNoiseOperation::DeclareReal(sParameterInfo& info, const char* name, double minBound, double maxBound,
                                   double defaultValue)
{
  KV_ASSERT_TEXT(Params != nullptr, "OperationParams != NULL", "210pkNoises");
  info.theParameterType = ptReal;
  info.ParameterName = name;
  info.MinBound = minBound;
  info.MaxBound = maxBound;
  info.DefaultValue = defaultValue;
  Params->AddNewParam(info);
}

double acNoiseOperation::ParamValue(unsigned index) const
{
  const cOperationParameter* param = Params->GetParam(index);
  double scale = 1.0;
  for (unsigned i = 0; i < param->GetPrecision(); ++i) scale *= 10.0;
  return double(param->GetRawValue()) / scale;
}
