#include "cResampleOperation.h"

cResampleOperation::cResampleOperation()
{
  Name = "Resample";
  OperationType = otBuiltIn;
  FormMode = 2;
  TotalVariation = true;

  sParameterInfo info;
  info.theParameterType = ptInteger;
  info.MinBound = 0;
  info.MaxBound = 10000;
  info.DefaultValue = 1000;
  info.ParameterName = "NewWidth";
  Params->AddNewParam(info);
  info.ParameterName = "NewHeight";
  Params->AddNewParam(info);

  sParameterInfo choice;
  choice.theParameterType = ptEnumerated;
  choice.ParameterName = "ResampleType";
  choice.AddEnumString("NearestNeighbor");
  choice.AddEnumString("Bilinear");
  choice.AddEnumString("Bicubic");
  choice.MinBound = 0;
  choice.MaxBound = 3;
  choice.DefaultValue = 0;
  Params->AddNewParam(choice);
}

void cResampleOperation::OperationItself(const tTerminateFlag& terminated)
{
  // Filled in with the three methods.
}
