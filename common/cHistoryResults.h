#pragma once
// The history's measures as a table of full-precision numbers: the columns of the command-line
// program's --history file, which the desktop program's CSV export writes as well.
#include <vector>

#include "cResultTable.h"
#include "kvMeasures/cChannelProperties.h"

class cKvadraSystem;

class cHistoryResults {
public:
  // One row per history picture: id, title, MSE, PSNR, IQ, IQHVS, SSIM, time_ms (with the
  // microseconds as its fraction). The indices are taken as they stand: complete them first.
  static cResultTable Build(cKvadraSystem& system);

  // The background-index steps a front end runs, with its own waiting in between:
  // start every index of kinds that is neither known nor being computed,
  static void RequestIndices(cKvadraSystem& system, const std::vector<eQualityIndex>& kinds);
  // wait while this is true,
  static bool AnyIndexRunning(cKvadraSystem& system);
  // then compute here whatever is still unknown (a computation that was stopped).
  static void CompleteIndices(cKvadraSystem& system, const std::vector<eQualityIndex>& kinds);
};
