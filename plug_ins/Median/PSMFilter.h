#pragma once
// "PSM Filter": progressive switching median. A detection stage flags samples that differ
// from the median of their neighbourhood by the threshold or more (over several epochs of
// median estimates); a filtering stage then replaces flagged samples by the median of their
// unflagged neighbours, pass after pass, until no flagged sample is left or nothing changes.
#include "acSwitchingMedianFilter.h"
#include "cRegionChannel.h"

class PSMFilter : public acSwitchingMedianFilter {
public:
  PSMFilter();
  void OperationItself(const tTerminateFlag& terminated) override;

private:
  // The detection stage by rows of window medians, or (the plain reference) by one median of
  // each sample's mirrored window at a time.
  void Detect(const cRegionChannel& region, int channel, int channels, const tTerminateFlag& terminated);
  void DetectPlain(const cRegionChannel& region);
  // The sample's detection-window median of the estimate P, its mirrored window gathered plainly.
  uint8_t PlainWindowMedian(int w, int r, int col);
  void Restore(const cRegionChannel& region, int channel, int channels, const tTerminateFlag& terminated);
  // Mirrored index tables: map[i] is the index of position i + low of a window's offsets.
  static void BuildMirrorTable(std::vector<int>& map, int count, int size);
  // RowMap and ColumnMap for windows of size x size over the region.
  void BuildMirrorTables(const cRegionChannel& region, int size);
  // A stage's own progress (0..99) placed inside this channel's share of the run.
  static unsigned ChannelPercent(int channel, int channels, unsigned stagePercent);
  // The detection stage's start: both estimates the samples, nothing flagged.
  void StartDetection();

  sParamHandle ThresholdParam, EpochsParam;
  uint8_t Threshold = 25;
  uint8_t Epochs = 3;
  // Per-run arrays of the region besides the shared ones: the detection stage's estimates and
  // flags of the previous epoch, and the plain reference's window.
  std::vector<uint8_t> P, Q, F0, Window;
  std::vector<int> RowMap, ColumnMap;
  // Detection: the estimate with mirrored margins, one row of window medians.
  std::vector<uint8_t> Padded;
};
