#include "acLateralFilter.h"

#include "kvLateralWeights.h"

acLateralFilter::acLateralFilter(const char* name, const char* group, const sSigmaParam& spatial,
                                 const sSigmaParam& second)
    : SigmaS(spatial.Default), SecondSigma(second.Default)
{
  Describe(name, group, otFilter, fmParamDialog);
  SizeParam = Params->AddInteger("Window size", 1, 27, 3);
  SigmaSParam = Params->AddReal(spatial.Name, 0, spatial.Max, spatial.Default, 1);
  SecondSigmaParam = Params->AddReal(second.Name, 0, second.Max, second.Default, 1);
  RecursiveParam = Params->AddBoolean("Recursive executing", false);
}

void acLateralFilter::PreProcessing()
{
  WindowSize = (*Params)[SizeParam].GetInteger();
  SigmaS = (*Params)[SigmaSParam].GetReal();
  SecondSigma = (*Params)[SecondSigmaParam].GetReal();
  Recursive = (*Params)[RecursiveParam].GetBoolean();
  Lo = kvLateral::Lower(WindowSize);
  Hi = kvLateral::Upper(WindowSize);
}
