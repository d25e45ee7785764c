#pragma once
// Settings several parts read: the quality window and SSIM constants, the time unit and the
// history columns. One object for the whole process, reached through GlobalParams.
#include <cstdint>

class cuGlobalParameters {
public:
  int QualityWindowWidth = 5;
  int QualityWindowHeight = 5;
  double K1 = 0.01;
  double K2 = 0.03;
  bool ShowPSNR = true;
  bool ShowMSE = false;
  bool ShowIQ = true;
  bool ShowIQHVS = true;
  bool ShowSSIM = true;
  bool ShowTime = true;
  bool CriteriaSettingsChanged = false;
  // 0 = seconds, 1 = milliseconds.
  uint8_t TimeUnit = 1;

  int GetHistoryColsCount() const;
  // Announces a change with GLOBAL_PARAMETERS_CHANGED.
  void FullUpdate();
};

// Created by the kernel library itself, before any facade exists.
extern cuGlobalParameters* GlobalParams;
