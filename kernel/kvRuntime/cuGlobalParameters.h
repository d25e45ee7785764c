#pragma once
// Settings several parts read: the quality window and SSIM constants, the time unit, the
// history columns and the largest picture the readers accept. One object for the whole process, reached through
// GlobalParams.
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

  // The largest picture a reader accepts, in pixels (width x height). Every reader checks it
  // from the file's header, before anything is decoded or allocated: a tiny file may claim a
  // picture that would exhaust memory. The default takes large photos.
  static constexpr uint64_t DefaultMaxPixels = 120'000'000;
  // No surface holds more than this (1 GiB of grey pixels); SetMaxPixels clamps to 1 .. this.
  static constexpr uint64_t MaxPixelsCeiling = uint64_t(1) << 30;
  uint64_t GetMaxPixels() const { return MaxPixels; }
  void SetMaxPixels(uint64_t pixels);

  int GetHistoryColsCount() const;
  // Announces a change with GLOBAL_PARAMETERS_CHANGED.
  void FullUpdate();

private:
  uint64_t MaxPixels = DefaultMaxPixels;
};

// Created by the kernel library itself, before any facade exists.
extern cuGlobalParameters* GlobalParams;
