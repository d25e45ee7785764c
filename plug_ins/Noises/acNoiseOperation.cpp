#include "acNoiseOperation.h"

acNoiseOperation::acNoiseOperation()
{
  OperationType = otNoise;
  FormMode = 1;
  TotalVariation = false;
}

double acNoiseOperation::ParamValue(sParamHandle handle) const
{
  const cOperationParameter& param = (*Params)[handle];
  double scale = 1.0;
  for (unsigned i = 0; i < param.GetPrecision(); ++i) scale *= 10.0;
  return double(param.GetRawValue()) / scale;
}
